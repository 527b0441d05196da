#include "ibclient/Database.h"

#include "ibclient/DatabaseParamBlock.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <ibase.h>

#include <QtGlobal>

#include <array>

namespace {

constexpr gds::Status LostDBConnection = 335544741; // isc_lost_db_connection
constexpr gds::Status NetReadError = 335544726; // isc_net_read_err
constexpr gds::Status NetWriteError = 335544727; // isc_net_write_err
constexpr int MaxDatabaseNameLength = 32767;

// A failure that a forced close, or a destructor, deliberately does not pass on.
void ReportDropped(const char* where, const std::exception& failure)
{
    qWarning("%s: failure dropped: %s", where, failure.what());
}

// One entry of isc_start_multiple's vector. The length is a long so that the
// layout also suits a reader that takes an int there (little-endian LP64).
struct TTransactionEntry {
    gds::Handle* database;
    long tpbLength;
    const char* tpb;
};

// First free place of a list whose freed places hold none, else a new one at the end.
template <typename T> int AddToList(std::vector<T*>& list, T* item)
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == item)
            return static_cast<int>(i);
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (!list[i]) {
            list[i] = item;
            return static_cast<int>(i);
        }
    }
    list.push_back(item);
    return static_cast<int>(list.size() - 1);
}

template <typename T> int FindInList(const std::vector<T*>& list, const T* item)
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == item)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

// --- TCustomConnection -------------------------------------------------------

void TCustomConnection::SetConnected(bool value)
{
    if (FLoading && value) {
        FStreamedConnected = true;
        return;
    }
    if (value == GetConnected())
        return;
    if (value) {
        if (BeforeConnect)
            BeforeConnect();
        DoConnect();
        SendConnectEvent(true);
        if (AfterConnect)
            AfterConnect();
    } else {
        if (BeforeDisconnect)
            BeforeDisconnect();
        SendConnectEvent(false);
        DoDisconnect();
        if (AfterDisconnect)
            AfterDisconnect();
    }
}

void TCustomConnection::RegisterClient(const void* client, std::function<void(bool)> connectEvent)
{
    FClients.push_back({client, std::move(connectEvent)});
}

void TCustomConnection::UnRegisterClient(const void* client)
{
    for (auto it = FClients.begin(); it != FClients.end(); ++it) {
        if (it->client == client) {
            FClients.erase(it);
            return;
        }
    }
}

void TCustomConnection::Loaded()
{
    FLoading = false;
    if (FStreamedConnected) {
        FStreamedConnected = false;
        SetConnected(true);
    }
}

void TCustomConnection::SendConnectEvent(bool connecting)
{
    const std::vector<TClient> clients = FClients;
    for (const TClient& client : clients) {
        if (client.connectEvent)
            client.connectEvent(connecting);
    }
}

// --- TIBDatabase -------------------------------------------------------------

TIBDatabase::TIBDatabase()
    : FGDSLibrary(ClientLibrary())
{
    FGDSLibrary.CheckIBLoaded();
    FIBLoaded = true;
    FLoginPrompt = true;
    FDBParams.OnChanging = [this] { CheckInactive(); };
    FDBParams.OnChange = [this] { FDBParamsChanged = true; };
    FInternalTransaction = std::make_unique<TIBTransaction>();
    FInternalTransaction->SetDefaultDatabase(this);
}

TIBDatabase::~TIBDatabase()
{
    if (Connected()) {
        try {
            SetConnected(false);
        } catch (const std::exception& failure) {
            ReportDropped("closing the connection being destroyed", failure);
            try {
                ForceClose();
            } catch (const std::exception& again) {
                ReportDropped("force-closing the connection being destroyed", again);
            }
        }
    }
    for (size_t i = 0; i < FSQLObjects.size(); ++i) {
        TIBBase* link = FSQLObjects[i];
        if (!link)
            continue;
        FSQLObjects[i] = nullptr;
        try {
            link->DoDatabaseFree();
        } catch (const std::exception& failure) {
            ReportDropped("telling a statement that its connection is freed", failure);
        }
    }
    for (size_t i = 0; i < FTransactions.size(); ++i) {
        TIBTransaction* transaction = FTransactions[i];
        FTransactions[i] = nullptr;
        if (transaction)
            transaction->ForgetDatabase(this);
    }
    FDefaultTransaction = nullptr;
    FInternalTransaction.reset();
}

void TIBDatabase::SetDatabaseName(const QString& value)
{
    if (value == FDBName)
        return;
    CheckInactive();
    FDBName = value;
}

void TIBDatabase::SetDefaultTransaction(TIBTransaction* value)
{
    if (value == FDefaultTransaction)
        return;
    if (value)
        AddTransaction(value);
    FDefaultTransaction = value;
}

void TIBDatabase::CheckActive()
{
    if (FHandle == 0)
        RaiseClientError(ibxeDatabaseClosed);
}

void TIBDatabase::CheckInactive()
{
    if (FHandle != 0)
        RaiseClientError(ibxeDatabaseOpen);
}

void TIBDatabase::CheckDatabaseName()
{
    if (FDBName.isEmpty())
        RaiseClientError(ibxeDatabaseNameMissing);
}

gds::Status TIBDatabase::Call(gds::Status errCode, bool raiseError)
{
    FCanTimeout = false;
    if (raiseError && StatusHasCode({LostDBConnection, NetReadError, NetWriteError})) {
        // Read everything from the status vector before the close overwrites it.
        const gds::Status* vector = CurrentStatusVector();
        const int errorCode = static_cast<int>(vector[1]);
        const int sqlCode = FGDSLibrary.isc_sqlcode(vector);
        TStatusCodes codes = CaptureStatusCodes();
        const QString text = StatusVectorMessage();
        ForceClose();
        MonitorHook().SendError(QString::number(sqlCode) + u' ' + QString::number(errorCode) + u' ' + text);
        throw EIBInterBaseError(sqlCode, errorCode, text, std::move(codes));
    }
    return CheckStatus(errCode, raiseError);
}

void TIBDatabase::Login()
{
    if (!OnLogin)
        return; // no prompt of its own: the lines go as they are
    QString userName = FDBParams.Value(QStringLiteral("user_name"));
    QString password = FDBParams.Value(QStringLiteral("password"));
    if (!OnLogin(userName, password))
        RaiseClientError(ibxeOperationCancelled);
    if (userName != FDBParams.Value(QStringLiteral("user_name")))
        FDBParams.SetValue(QStringLiteral("user_name"), userName);
    FHiddenPassword = password;
    FDBParamsChanged = true;
}

void TIBDatabase::BuildDPB()
{
    FDBParamsChanged = false;
    FCharacterSet = QStringLiteral("NONE");
    FCharacterSetCodePage = 0;
    QStringList lines = FDBParams.Lines();
    if (!FHiddenPassword.isEmpty()) {
        // The password given at the login prompt replaces the stored one.
        for (int i = lines.size() - 1; i >= 0; --i) {
            QString key = AsciiLower(TStringList::NameOf(lines.at(i)));
            if (key.startsWith(QLatin1String("isc_dpb_")))
                key.remove(0, 8);
            if (lines.at(i).contains(u'=') && key == QLatin1String("password"))
                lines.removeAt(i);
        }
        lines.append(QStringLiteral("password=") + FHiddenPassword);
    }
    TDatabaseParamBlock built;
    try {
        built = BuildDatabaseParamBlock(lines);
    } catch (...) {
        // Nothing of a refused build is kept: the next connect builds again.
        FDBParamsChanged = true;
        FDPB.clear();
        FDPBLength = 0;
        throw;
    }
    FDPB = built.Block;
    FDPBLength = built.Length;
    if (built.CharacterSet) {
        FCharacterSet = *built.CharacterSet;
        FCharacterSetCodePage = ::CharacterSetCodePage(FCharacterSet);
    }
}

void TIBDatabase::OpenConnection()
{
    CheckInactive();
    CheckDatabaseName();
    if (!FLoginPrompt) {
        if (!FHiddenPassword.isEmpty()) {
            FHiddenPassword.clear();
            FDBParamsChanged = true;
        }
    } else {
        Login();
    }
    if (FDBParamsChanged)
        BuildDPB();

    const QByteArray name = ToClientText(FDBName);
    if (name.size() > MaxDatabaseNameLength) // the call's 16-bit length could not describe it
        RaiseClientError(ibxeParamValueTooLong,
            {QStringLiteral("database name (%1 bytes, at most %2)").arg(name.size()).arg(MaxDatabaseNameLength)});
    const gds::Status status = FGDSLibrary.isc_attach_database(CurrentStatusVector(), static_cast<short>(name.size()),
        name.constData(), &FHandle, FDPBLength, FDPB.constData());
    if (Call(status, false) > 0) {
        FHandle = 0;
        RaiseServerError();
    }

    FDBSQLDialect = ReadDBSQLDialect();
    if (FDBSQLDialect < FSQLDialect) {
        FSQLDialect = FDBSQLDialect;
        if (OnDialectDowngradeWarning)
            OnDialectDowngradeWarning();
    }
    MonitorHook().DBConnect(this);
}

int TIBDatabase::ReadDBSQLDialect()
{
    TIBDatabaseInfo info(*this);
    return info.DBSQLDialect();
}

void TIBDatabase::CloseConnection()
{
    if (Connected()) {
        try {
            ReleaseAttachment(false);
        } catch (...) {
            ForceClose();
            throw;
        }
    }
    FDBSQLDialect = 1;
}

void TIBDatabase::ReleaseAttachment(bool force)
{
    CheckActive();
    const gds::Handle handle = FHandle;
    if (force)
        FHandle = 0;

    for (size_t i = 0; i < FSQLObjects.size(); ++i) {
        if (TIBBase* link = FSQLObjects[i]) {
            try {
                link->DoBeforeDatabaseDisconnect();
            } catch (const std::exception& failure) {
                if (!force)
                    throw;
                ReportDropped("a statement before its connection closes", failure);
            }
        }
    }
    for (size_t i = 0; i < FTransactions.size(); ++i) {
        if (TIBTransaction* transaction = FTransactions[i]) {
            try {
                transaction->EndBeforeDisconnect();
            } catch (const std::exception& failure) {
                if (!force)
                    throw;
                ReportDropped("a transaction before its connection closes", failure);
            }
        }
    }

    if (force)
        FHandle = handle;
    if (!FHandleIsShared) {
        const gds::Status status = FGDSLibrary.isc_detach_database(CurrentStatusVector(), &FHandle);
        if (Call(status, false) > 0 && !force)
            RaiseServerError();
    }
    FHandle = 0;
    FHandleIsShared = false;
    MonitorHook().DBDisconnect(this);

    for (size_t i = 0; i < FSQLObjects.size(); ++i) {
        if (TIBBase* link = FSQLObjects[i])
            link->DoAfterDatabaseDisconnect();
    }
}

void TIBDatabase::ForceClose()
{
    if (!Connected())
        return;
    if (BeforeDisconnect)
        BeforeDisconnect();
    SendConnectEvent(false);
    ReleaseAttachment(true);
    if (AfterDisconnect)
        AfterDisconnect();
}

void TIBDatabase::DropDatabase()
{
    CheckActive();
    if (BeforeDisconnect)
        BeforeDisconnect();
    SendConnectEvent(false);
    for (size_t i = 0; i < FSQLObjects.size(); ++i) {
        if (TIBBase* link = FSQLObjects[i])
            link->DoBeforeDatabaseDisconnect();
    }
    for (size_t i = 0; i < FTransactions.size(); ++i) {
        if (TIBTransaction* transaction = FTransactions[i])
            transaction->EndBeforeDisconnect();
    }
    const gds::Status status = FGDSLibrary.isc_drop_database(CurrentStatusVector(), &FHandle);
    Call(status, true);
    FHandle = 0;
    FHandleIsShared = false;
    FDBSQLDialect = 1;
    MonitorHook().DBDisconnect(this);
    for (size_t i = 0; i < FSQLObjects.size(); ++i) {
        if (TIBBase* link = FSQLObjects[i])
            link->DoAfterDatabaseDisconnect();
    }
    if (AfterDisconnect)
        AfterDisconnect();
}

void TIBDatabase::Loaded()
{
    if (!FAllowStreamedConnected)
        FStreamedConnected = false;
    TCustomConnection::Loaded();
}

int TIBDatabase::AddTransaction(TIBTransaction* transaction)
{
    const int index = AddToList(FTransactions, transaction);
    AddToList(transaction->FDatabases, this);
    return index;
}

void TIBDatabase::RemoveTransaction(int index)
{
    if (index < 0 || index >= TransactionCount())
        return;
    TIBTransaction* transaction = FTransactions[index];
    FTransactions[index] = nullptr;
    if (FDefaultTransaction == transaction)
        FDefaultTransaction = nullptr;
    if (transaction)
        transaction->ForgetDatabase(this);
}

int TIBDatabase::FindTransaction(const TIBTransaction* transaction) const
{
    return FindInList(FTransactions, transaction);
}

TIBTransaction* TIBDatabase::FindDefaultTransaction() const
{
    if (FDefaultTransaction)
        return FDefaultTransaction;
    for (TIBTransaction* transaction : FTransactions) {
        if (transaction && transaction != FInternalTransaction.get() && transaction->DefaultDatabase() == this)
            return transaction;
    }
    return nullptr;
}

void TIBDatabase::ForgetTransaction(const TIBTransaction* transaction)
{
    const int index = FindTransaction(transaction);
    if (index >= 0)
        FTransactions[index] = nullptr;
    if (FDefaultTransaction == transaction)
        FDefaultTransaction = nullptr;
}

int TIBDatabase::AddSQLObject(TIBBase* link)
{
    return AddToList(FSQLObjects, link);
}

void TIBDatabase::RemoveSQLObject(int index)
{
    if (index >= 0 && index < SQLObjectCount())
        FSQLObjects[index] = nullptr;
}

// --- TIBTransaction ----------------------------------------------------------

TIBTransaction::TIBTransaction()
    : FGDSLibrary(ClientLibrary())
{
    FGDSLibrary.CheckIBLoaded();
    FIBLoaded = true;
}

TIBTransaction::~TIBTransaction()
{
    try {
        if (InTransaction())
            EndTransaction(FDefaultAction, true);
    } catch (const std::exception& failure) {
        ReportDropped("finishing the transaction being destroyed", failure);
    }
    for (size_t i = 0; i < FDatabases.size(); ++i) {
        TIBDatabase* database = FDatabases[i];
        FDatabases[i] = nullptr;
        if (database)
            database->ForgetTransaction(this);
    }
    FDefaultDatabase = nullptr;
    for (size_t i = 0; i < FSQLObjects.size(); ++i) {
        TIBBase* link = FSQLObjects[i];
        if (!link)
            continue;
        FSQLObjects[i] = nullptr;
        try {
            link->DoTransactionFree();
        } catch (const std::exception& failure) {
            ReportDropped("telling a statement that its transaction is freed", failure);
        }
    }
}

void TIBTransaction::SetDefaultDatabase(TIBDatabase* value)
{
    if (value == FDefaultDatabase)
        return;
    if (value)
        AddDatabase(value);
    FDefaultDatabase = value;
}

int TIBTransaction::AddDatabase(TIBDatabase* database)
{
    const int index = AddToList(FDatabases, database);
    AddToList(database->FTransactions, this);
    return index;
}

void TIBTransaction::RemoveDatabase(int index)
{
    if (index < 0 || index >= DatabaseCount())
        return;
    TIBDatabase* database = FDatabases[index];
    FDatabases[index] = nullptr;
    if (FDefaultDatabase == database)
        FDefaultDatabase = nullptr;
    if (database)
        database->ForgetTransaction(this);
}

int TIBTransaction::FindDatabase(const TIBDatabase* database) const
{
    return FindInList(FDatabases, database);
}

void TIBTransaction::ForgetDatabase(const TIBDatabase* database)
{
    const int index = FindDatabase(database);
    if (index >= 0)
        FDatabases[index] = nullptr;
    if (FDefaultDatabase == database)
        FDefaultDatabase = nullptr;
}

int TIBTransaction::AddSQLObject(TIBBase* link)
{
    return AddToList(FSQLObjects, link);
}

void TIBTransaction::RemoveSQLObject(int index)
{
    if (index >= 0 && index < SQLObjectCount())
        FSQLObjects[index] = nullptr;
}

gds::Status TIBTransaction::Call(gds::Status errCode, bool raiseError)
{
    FCanTimeout = false;
    if (FDefaultDatabase && StatusHasCode({LostDBConnection}))
        return FDefaultDatabase->Call(errCode, raiseError);
    return CheckStatus(errCode, raiseError);
}

void TIBTransaction::CheckInTransaction()
{
    if (!InTransaction())
        RaiseClientError(ibxeNotInTransaction);
}

void TIBTransaction::CheckNotInTransaction()
{
    if (InTransaction())
        RaiseClientError(ibxeInTransaction);
}

void TIBTransaction::StartTransaction()
{
    CheckNotInTransaction();
    std::vector<TTransactionEntry> entries;
    for (TIBDatabase* database : FDatabases) {
        if (!database)
            continue;
        database->CheckActive();
        entries.push_back({&database->FHandle, FTPBLength, FTPB.constData()});
    }
    const gds::Status status = FGDSLibrary.isc_start_multiple(
        CurrentStatusVector(), &FHandle, static_cast<short>(entries.size()), entries.data());
    if (Call(status, false) > 0) {
        FHandle = 0;
        RaiseServerError();
    }
}

void TIBTransaction::Commit()
{
    CheckInTransaction();
    EndTransaction(TACommit, false);
}

void TIBTransaction::Rollback()
{
    CheckInTransaction();
    EndTransaction(TARollback, false);
}

void TIBTransaction::EndBeforeDisconnect()
{
    if (InTransaction())
        EndTransaction(FDefaultAction, true);
}

void TIBTransaction::EndTransaction(TIBTransactionAction action, bool force)
{
    if (FHandleIsShared) {
        // Not ours to finish: forget it.
        FHandle = 0;
        FHandleIsShared = false;
        FTransactionID = 0;
        return;
    }
    for (size_t i = 0; i < FSQLObjects.size(); ++i) {
        if (TIBBase* link = FSQLObjects[i]) {
            try {
                link->DoBeforeTransactionEnd();
            } catch (const std::exception& failure) {
                if (!force)
                    throw;
                ReportDropped("a statement before its transaction ends", failure);
            }
        }
    }
    const bool commit = action == TACommit || action == TACommitRetaining;
    gds::Status* vector = CurrentStatusVector();
    const gds::Status status = commit ? FGDSLibrary.isc_commit_transaction(vector, &FHandle)
                                      : FGDSLibrary.isc_rollback_transaction(vector, &FHandle);
    if (force) {
        if (Call(status, false) > 0)
            FGDSLibrary.isc_rollback_transaction(CurrentStatusVector(), &FHandle);
        FHandle = 0;
    } else {
        Call(status, true);
        FHandle = 0;
    }
    for (size_t i = 0; i < FSQLObjects.size(); ++i) {
        if (TIBBase* link = FSQLObjects[i])
            link->DoAfterTransactionEnd();
    }
    FTransactionID = 0;
}

// --- TIBBase -----------------------------------------------------------------

TIBBase::TIBBase(void* owner)
    : FOwner(owner)
{
}

TIBBase::~TIBBase()
{
    SetDatabase(nullptr);
    SetTransaction(nullptr);
}

void TIBBase::SetDatabase(TIBDatabase* value)
{
    if (value == FDatabase)
        return;
    if (FDatabase)
        FDatabase->RemoveSQLObject(FIndexInDatabase);
    FDatabase = value;
    FIndexInDatabase = -1;
    if (value) {
        FIndexInDatabase = value->AddSQLObject(this);
        if (!FTransaction)
            SetTransaction(value->FindDefaultTransaction());
    }
}

void TIBBase::SetTransaction(TIBTransaction* value)
{
    if (value == FTransaction)
        return;
    if (FTransaction)
        FTransaction->RemoveSQLObject(FIndexInTransaction);
    FTransaction = value;
    FIndexInTransaction = -1;
    if (value)
        FIndexInTransaction = value->AddSQLObject(this);
}

void TIBBase::DoBeforeDatabaseDisconnect()
{
    if (BeforeDatabaseDisconnect)
        BeforeDatabaseDisconnect(*this);
}

void TIBBase::DoAfterDatabaseDisconnect()
{
    if (AfterDatabaseDisconnect)
        AfterDatabaseDisconnect(*this);
}

void TIBBase::DoDatabaseFree()
{
    // The connection has already let go of this link.
    TIBDatabase* database = FDatabase;
    if (OnDatabaseFree)
        OnDatabaseFree(*this);
    if (FDatabase == database) {
        FDatabase = nullptr;
        FIndexInDatabase = -1;
    }
}

void TIBBase::DoBeforeTransactionEnd()
{
    if (BeforeTransactionEnd)
        BeforeTransactionEnd(*this);
}

void TIBBase::DoAfterTransactionEnd()
{
    if (AfterTransactionEnd)
        AfterTransactionEnd(*this);
}

void TIBBase::DoTransactionFree()
{
    // The transaction has already let go of this link.
    TIBTransaction* transaction = FTransaction;
    if (OnTransactionFree)
        OnTransactionFree(*this);
    if (FTransaction == transaction) {
        FTransaction = nullptr;
        FIndexInTransaction = -1;
    }
}

// --- TIBSQL ------------------------------------------------------------------

TIBSQL::TIBSQL()
    : FGDSLibrary(ClientLibrary())
    , FBase(this)
{
    FGDSLibrary.CheckIBLoaded();
    FBase.BeforeDatabaseDisconnect = [this](TIBBase&) { FreeHandle(); };
}

TIBSQL::~TIBSQL()
{
    try {
        FreeHandle();
    } catch (const std::exception& failure) {
        ReportDropped("freeing the statement being destroyed", failure);
    }
}

void TIBSQL::FreeHandle()
{
    if (FHandle == 0)
        return;
    const gds::Status status = FGDSLibrary.isc_dsql_free_statement(CurrentStatusVector(), &FHandle, DSQL_drop);
    FHandle = 0;
    CheckStatus(status, true);
}

// --- TIBDatabaseInfo -----------------------------------------------------------

TIBDatabaseInfo::TIBDatabaseInfo(TIBDatabase& database)
    : FGDSLibrary(ClientLibrary())
    , FDatabase(database)
{
    FGDSLibrary.CheckIBLoaded();
}

gds::Status TIBDatabaseInfo::Call(gds::Status errCode, bool raiseError)
{
    if (StatusHasCode({LostDBConnection}))
        return FDatabase.Call(errCode, true);
    return CheckStatus(errCode, raiseError);
}

int TIBDatabaseInfo::DBSQLDialect()
{
    const char item = isc_info_db_sql_dialect;
    std::array<char, 512> reply{};
    const gds::Status status = FGDSLibrary.isc_database_info(
        CurrentStatusVector(), &FDatabase.FHandle, 1, &item, static_cast<short>(reply.size()), reply.data());
    Call(status, true);
    if (static_cast<unsigned char>(reply[0]) != isc_info_db_sql_dialect)
        return 1;
    const int length = FGDSLibrary.isc_vax_integer(reply.data() + 1, 2);
    return FGDSLibrary.isc_vax_integer(reply.data() + 3, static_cast<short>(length));
}
