#pragma once
// The database connection, its transactions and the links through which
// statement objects register with both.

#include "ibclient/GdsTypes.h"
#include "ibclient/StringList.h"
#include "ibclient/TraceHook.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class IGDSLibrary;
class TIBBase;
class TIBDatabase;
class TIBDatabaseInfo;
class TIBTransaction;
class TIBSQL;

// The general connection: the Connected property with its events, the login
// prompt switch and the registered clients.
class TCustomConnection {
public:
    TCustomConnection() = default;
    virtual ~TCustomConnection() = default;
    TCustomConnection(const TCustomConnection&) = delete;
    TCustomConnection& operator=(const TCustomConnection&) = delete;

    bool Connected() const { return GetConnected(); }
    // Opens or closes the connection, with the events around it; nothing
    // happens when the value equals Connected.
    virtual void SetConnected(bool value);

    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool value) { FLoginPrompt = value; }

    // A client is told (true) after the connection opens and (false) before it closes.
    void RegisterClient(const void* client, std::function<void(bool connecting)> connectEvent = {});
    void UnRegisterClient(const void* client);

    // While loading from a stored description, Connected := true is only
    // remembered; Loaded applies it.
    void BeginLoading() { FLoading = true; }
    virtual void Loaded();

    std::function<void()> BeforeConnect;
    std::function<void()> AfterConnect;
    std::function<void()> BeforeDisconnect;
    std::function<void()> AfterDisconnect;

protected:
    virtual void DoConnect() = 0;
    virtual void DoDisconnect() = 0;
    virtual bool GetConnected() const = 0;
    void SendConnectEvent(bool connecting);
    bool Loading() const { return FLoading; }

    bool FLoginPrompt = false;
    bool FStreamedConnected = false;

private:
    struct TClient {
        const void* client;
        std::function<void(bool)> connectEvent;
    };
    std::vector<TClient> FClients;
    bool FLoading = false;
};

enum TIBTransactionAction { TARollback = 0, TACommit = 1, TARollbackRetaining = 2, TACommitRetaining = 3 };

class TIBDatabase : public TCustomConnection {
public:
    TIBDatabase();
    // Detaches when connected; lets no exception out.
    ~TIBDatabase() override;

    TStringList& Params() { return FDBParams; }
    QString DatabaseName() const { return FDBName; }
    void SetDatabaseName(const QString& value);

    TIBTransaction* DefaultTransaction() const { return FDefaultTransaction; }
    void SetDefaultTransaction(TIBTransaction* value);
    TIBTransaction* InternalTransaction() const { return FInternalTransaction.get(); }

    int SQLDialect() const { return FSQLDialect; }
    int DBSQLDialect() const { return FDBSQLDialect; }
    gds::Handle Handle() const { return FHandle; }
    bool HandleIsShared() const { return FHandleIsShared; }
    QString CharacterSet() const { return FCharacterSet; }
    int CharacterSetCodePage() const { return FCharacterSetCodePage; }
    TTraceFlags TraceFlags() const { return FTraceFlags; }
    void SetTraceFlags(const TTraceFlags& value) { FTraceFlags = value; }
    bool AllowStreamedConnected() const { return FAllowStreamedConnected; }
    void SetAllowStreamedConnected(bool value) { FAllowStreamedConnected = value; }

    // The block last built from Params and its length.
    const QByteArray& DPB() const { return FDPB; }
    short DPBLength() const { return FDPBLength; }

    // With LoginPrompt on, asked for the user name and password before each
    // connect (prefilled from Params); false cancels the connect (client error
    // 10). The password it gives is sent but never stored in Params.
    std::function<bool(QString& userName, QString& password)> OnLogin;
    // Told when the connect lowers SQLDialect to the database's dialect.
    std::function<void()> OnDialectDowngradeWarning;

    void ForceClose();
    // Drops the attached database; afterwards the object is not connected.
    // When the server refuses, the attachment stays open.
    void DropDatabase();
    void CheckActive();
    void CheckInactive();
    void CheckDatabaseName();
    // The status of a finished client call; a lost connection force-closes
    // this connection before the error is raised.
    gds::Status Call(gds::Status errCode, bool raiseError);

    // Registered statement links and transactions (freed places hold none).
    int SQLObjectCount() const { return static_cast<int>(FSQLObjects.size()); }
    TIBBase* SQLObject(int index) const { return FSQLObjects.at(index); }
    int TransactionCount() const { return static_cast<int>(FTransactions.size()); }
    TIBTransaction* Transaction(int index) const { return FTransactions.at(index); }
    int AddTransaction(TIBTransaction* transaction);
    void RemoveTransaction(int index);
    int FindTransaction(const TIBTransaction* transaction) const;
    TIBTransaction* FindDefaultTransaction() const;

    void Loaded() override;

protected:
    void DoConnect() override { OpenConnection(); }
    void DoDisconnect() override { CloseConnection(); }
    bool GetConnected() const override { return FHandle != 0; }

private:
    friend class TIBBase;
    friend class TIBDatabaseInfo;
    friend class TIBTransaction;

    void OpenConnection();
    void CloseConnection();
    void ReleaseAttachment(bool force);
    void BuildDPB();
    void Login();
    int ReadDBSQLDialect();
    int AddSQLObject(TIBBase* link);
    void RemoveSQLObject(int index);
    // Forgets a transaction on this side only (the transaction forgets this connection itself).
    void ForgetTransaction(const TIBTransaction* transaction);

    QString FHiddenPassword;
    bool FIBLoaded = false;
    TTraceFlags FTraceFlags;
    int FDBSQLDialect = 3;
    int FSQLDialect = 3;
    bool FCanTimeout = false;
    std::vector<TIBBase*> FSQLObjects;
    std::vector<TIBTransaction*> FTransactions;
    QString FDBName;
    TStringList FDBParams;
    bool FDBParamsChanged = true;
    QByteArray FDPB;
    short FDPBLength = 0;
    gds::Handle FHandle = 0;
    bool FHandleIsShared = false;
    TIBTransaction* FDefaultTransaction = nullptr;
    std::unique_ptr<TIBTransaction> FInternalTransaction;
    bool FAllowStreamedConnected = true;
    IGDSLibrary& FGDSLibrary;
    QString FCharacterSet;
    int FCharacterSetCodePage = 0;
};

class TIBTransaction {
public:
    TIBTransaction();
    // Finishes an active transaction by its DefaultAction (forced) and leaves its connections.
    ~TIBTransaction();
    TIBTransaction(const TIBTransaction&) = delete;
    TIBTransaction& operator=(const TIBTransaction&) = delete;

    TIBDatabase* DefaultDatabase() const { return FDefaultDatabase; }
    void SetDefaultDatabase(TIBDatabase* value);
    TIBTransactionAction DefaultAction() const { return FDefaultAction; }
    void SetDefaultAction(TIBTransactionAction value) { FDefaultAction = value; }

    bool InTransaction() const { return FHandle != 0; }
    bool Active() const { return InTransaction(); }
    gds::Handle Handle() const { return FHandle; }
    gds::Handle* HandleAddress() { return &FHandle; }
    int TransactionID() const { return FTransactionID; }

    // Starts the transaction over every registered connection with the
    // server's default parameters; each connection must be open.
    void StartTransaction();
    void Commit();
    void Rollback();
    // The connection is going away: an active transaction is finished by its
    // DefaultAction, forced (nothing is raised).
    void EndBeforeDisconnect();

    // The status of a finished client call; a lost connection goes to the
    // default connection's Call.
    gds::Status Call(gds::Status errCode, bool raiseError);

    int DatabaseCount() const { return static_cast<int>(FDatabases.size()); }
    TIBDatabase* Database(int index) const { return FDatabases.at(index); }
    int AddDatabase(TIBDatabase* database);
    void RemoveDatabase(int index);
    int FindDatabase(const TIBDatabase* database) const;
    int SQLObjectCount() const { return static_cast<int>(FSQLObjects.size()); }
    TIBBase* SQLObject(int index) const { return FSQLObjects.at(index); }

private:
    friend class TIBBase;
    friend class TIBDatabase;

    void EndTransaction(TIBTransactionAction action, bool force);
    void CheckInTransaction();
    void CheckNotInTransaction();
    int AddSQLObject(TIBBase* link);
    void RemoveSQLObject(int index);
    // Forgets a connection on this side only.
    void ForgetDatabase(const TIBDatabase* database);

    bool FIBLoaded = false;
    bool FCanTimeout = false;
    std::vector<TIBDatabase*> FDatabases;
    std::vector<TIBBase*> FSQLObjects;
    TIBDatabase* FDefaultDatabase = nullptr;
    gds::Handle FHandle = 0;
    bool FHandleIsShared = false;
    QByteArray FTPB;
    short FTPBLength = 0;
    TIBTransactionAction FDefaultAction = TACommit;
    IGDSLibrary& FGDSLibrary;
    int FTransactionID = 0;
};

// The link of one statement object (its owner) to a connection and a transaction.
class TIBBase {
public:
    explicit TIBBase(void* owner);
    ~TIBBase();
    TIBBase(const TIBBase&) = delete;
    TIBBase& operator=(const TIBBase&) = delete;

    TIBDatabase* Database() const { return FDatabase; }
    void SetDatabase(TIBDatabase* value);
    TIBTransaction* Transaction() const { return FTransaction; }
    void SetTransaction(TIBTransaction* value);
    void* Owner() const { return FOwner; }
    int IndexInDatabase() const { return FIndexInDatabase; }
    int IndexInTransaction() const { return FIndexInTransaction; }

    std::function<void(TIBBase&)> BeforeDatabaseDisconnect;
    std::function<void(TIBBase&)> AfterDatabaseDisconnect;
    std::function<void(TIBBase&)> OnDatabaseFree;
    std::function<void(TIBBase&)> BeforeTransactionEnd;
    std::function<void(TIBBase&)> AfterTransactionEnd;
    std::function<void(TIBBase&)> OnTransactionFree;

private:
    friend class TIBDatabase;
    friend class TIBTransaction;

    void DoBeforeDatabaseDisconnect();
    void DoAfterDatabaseDisconnect();
    void DoDatabaseFree();
    void DoBeforeTransactionEnd();
    void DoAfterTransactionEnd();
    void DoTransactionFree();

    TIBDatabase* FDatabase = nullptr;
    int FIndexInDatabase = -1;
    TIBTransaction* FTransaction = nullptr;
    int FIndexInTransaction = -1;
    void* FOwner;
};

// A statement object. This system binds one to the connection and its
// transaction and never prepares it; before the connection closes it frees a
// statement it holds.
class TIBSQL {
public:
    TIBSQL();
    ~TIBSQL();
    TIBSQL(const TIBSQL&) = delete;
    TIBSQL& operator=(const TIBSQL&) = delete;

    TIBDatabase* Database() const { return FBase.Database(); }
    void SetDatabase(TIBDatabase* value) { FBase.SetDatabase(value); }
    TIBTransaction* Transaction() const { return FBase.Transaction(); }
    void SetTransaction(TIBTransaction* value) { FBase.SetTransaction(value); }
    TIBBase& Base() { return FBase; }
    gds::Handle Handle() const { return FHandle; }

private:
    void FreeHandle();

    IGDSLibrary& FGDSLibrary;
    TIBBase FBase;
    gds::Handle FHandle = 0;
};

// Information about an attached database, asked through isc_database_info.
class TIBDatabaseInfo {
public:
    explicit TIBDatabaseInfo(TIBDatabase& database);
    TIBDatabaseInfo(const TIBDatabaseInfo&) = delete;
    TIBDatabaseInfo& operator=(const TIBDatabaseInfo&) = delete;

    // The SQL dialect of the database (1 when the reply does not name it).
    int DBSQLDialect();
    gds::Status Call(gds::Status errCode, bool raiseError);

private:
    IGDSLibrary& FGDSLibrary;
    TIBDatabase& FDatabase;
};
