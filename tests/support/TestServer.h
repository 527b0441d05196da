#pragma once
// What tests need of the private Firebird servers: their addresses,
// credentials, a folder for their files and databases made with the server's
// own isql.
//
// The server under test is Firebird 3 or, with ZUR_FB_VERSION=4, Firebird 4
// (scripts/firebird-server runs both, the second in a Debian 13 system of its
// own, which the test folder is shared with). Tests that use both servers at
// once name the version.

#include <QString>
#include <QStringList>

namespace testserver {

// The version of the server under test: 3 or 4.
int Version();

// "localhost/3055:", the window's default server text (another port when
// ZUR_FB_PORT is set, for several developers on one machine); for Firebird 4
// "localhost/3056:" (ZUR_FB4_PORT).
QString ServerText();
QString ServerTextOf(int version);
QString User();
QString Password();

// Runs scripts/firebird-server with an action ("start", "stop", "kill") for
// the server under test; its exit code.
int ServerScript(const QString& action);

// The name under which the server knows the file that this program names
// path: path itself, but under Wine the Linux name that the bridge client
// library gives the server in place of a Z: name.
QString ServerFileName(const QString& path);

// A fresh, empty folder for one test (under the build tree), ending in this
// machine's separator.
QString NewFolder(const QString& name);

// A command line of one of the server's own tools ("isql-fb", "gbak"): the
// program and the first arguments, for Firebird 4 the tool inside its system,
// so that the client matches the server.
QStringList ToolCommand(int version, const QString& tool);

// Runs a tool of the server's version with arguments and input; its standard
// output (and error output when mergeErrors). Fails the calling test
// (ADD_FAILURE) when the tool cannot run or exits with an error.
QString RunTool(int version, const QString& tool, const QStringList& arguments, const QByteArray& input = {},
    bool mergeErrors = false);

// Runs isql-fb with the given SQL on stdin; returns its standard output and
// fails the calling test (ADD_FAILURE) when isql-fb reports an error.
QString Isql(const QString& sql);
// The same, attached to a database first ("localhost/3055:" is put before the path).
QString IsqlOn(const QString& path, const QString& sql);
QString IsqlOn(int version, const QString& path, const QString& sql);

// Creates a database at path on the server with the given SQL dialect (and
// page size, when not 0), then runs sql (statements, each ending in ";") in it
// and commits.
void CreateDatabase(const QString& path, const QString& sql = QString(), int dialect = 3, int pageSize = 0);

// Runs gfix with the given arguments, as SYSDBA; fails the calling test when
// it does not end well.
void Gfix(const QStringList& arguments);

// SELECT COUNT(*) of a table, through isql; -1 when the query fails.
long long CountRows(const QString& path, const QString& table);

} // namespace testserver
