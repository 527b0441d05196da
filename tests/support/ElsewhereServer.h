#pragma once
// A private Firebird 3 server that the program reaches as a server on another
// machine: it runs in a network namespace of the test's own, behind a veth
// pair, at an address that is none of this machine's own (10.197.<n>.2, port
// 3055). The file system is the same, so a database or backup path means the
// same file to the test and to that server.
//
// POSIX only, and root only (a namespace and a veth pair). Its databases
// belong in a test folder of their own: the main test server must not have
// them open, since Firebird refuses a file that another instance holds.

#include <QString>
#include <QStringList>

class TElsewhereServer {
public:
    // Makes the namespace and the veth pair and starts the server; a failure
    // of the server to start fails the calling test (ADD_FAILURE).
    TElsewhereServer();
    // Stops the server and takes away the namespace, the veth pair and the
    // server's root.
    ~TElsewhereServer();
    TElsewhereServer(const TElsewhereServer&) = delete;
    TElsewhereServer& operator=(const TElsewhereServer&) = delete;

    // Why this machine cannot have such a server (not root, no network
    // namespaces): a reason to skip the test. Empty when it can.
    const QString& Unavailable() const { return unavailable; }
    bool Running() const { return running; }

    // "10.197.<n>.2/3055:", the server text that names it.
    QString ServerText() const;

    // isql-fb with sql on stdin, attached through this server to the database
    // at path (none when path is empty); its standard output. Fails the
    // calling test when isql-fb reports an error.
    QString Isql(const QString& path, const QString& sql) const;
    // Creates a database at path through this server, runs sql in it and commits.
    void CreateDatabase(const QString& path, const QString& sql) const;
    // SELECT COUNT(*) of a table; -1 when the query fails.
    long long CountRows(const QString& path, const QString& table) const;
    // A backup of the database made by this server's own service manager.
    void Backup(const QString& database, const QString& backupFile) const;

private:
    // The environment of scripts/firebird-server for this instance.
    QStringList ScriptCommand(const QString& action) const;
    bool SetUpNetwork();
    void TearDownNetwork();

    QString unavailable;
    bool running = false;
    bool namespaceMade = false;
    QString name; // the namespace's
    QString hostLink;
    QString address;
    QString root;
};
