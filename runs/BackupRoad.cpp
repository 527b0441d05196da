#include "runs/BackupRoad.h"

#include "core/BackupFile.h"
#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "ibclient/StringList.h"
#include "runs/JobPlan.h"
#include "runs/RestoreRoad.h"

#include <QFile>

namespace {

const QString ProvingBackupLine = QStringLiteral("Verificando o backup: restaurando-o numa base de teste...");
const QString WrittenBackupIncompleteText
    = QStringLiteral("O backup gravado está incompleto: a restauração de teste parou antes do fim.");
const QString NotCheckedHereLine
    = QStringLiteral("O servidor gravou o backup %1 fora deste computador: o arquivo não pôde ser verificado aqui.");
const QString NotRenamedText = QStringLiteral("O backup foi verificado, mas não pôde receber o nome %1: %2");
const QString LeftPartialLine
    = QStringLiteral("Encontrado o backup parcial %1, deixado por uma execução interrompida: removido.");

// The one line of a file list.
void NameFile(TStringList& list, const QString& path)
{
    list.Clear();
    list.Add(path);
}

// Proves the backup by restoring it into a scratch database of the run
// beside the database, which goes again on every way out. The failure's
// text, empty when proved.
QString ProveBackup(TIBRestoreService& restore, TRestoreSink& sink, const TDatabaseLogin& login,
    const QString& backupFile, const QString& database, int pageSize, const QString& runMark)
{
    const QString scratch = ScratchDatabasePath(database, runMark);
    SetUpRestore(restore, login, backupFile, scratch, pageSize);
    restore.SetActive(false);
    try {
        restore.Attach();
    } catch (const Exception& failure) {
        return failure.Message();
    }
    sink.Line(ProvingBackupLine);
    const TScratchGuard dropped(sink, login, scratch);
    const TRestoreResult proof = RestoreAndCheck(restore, sink, login);
    if (!proof.online)
        return proof.backupIncomplete ? WrittenBackupIncompleteText : proof.reason;
    return QString();
}

// The backup itself, with the service detached on every way out; a failed
// attach leaves by its exception, its words in the log.
QString WriteBackup(TIBBackupService& backup, TRestoreSink& sink)
{
    TDetachOnExit cleanUp(backup);
    try {
        backup.Attach();
    } catch (const Exception& failure) {
        sink.Line(failure.Message());
        throw;
    }
    QString failure;
    try {
        backup.ServiceStart();
        TJobProgress* progress = sink.progress;
        if (progress)
            progress->BeginStage();
        sink.ReadOutput(backup, [progress](const QStringList& lines) {
            if (progress)
                progress->Lines(lines);
        });
        if (progress)
            progress->EndStage();
    } catch (const Exception& error) {
        failure = error.Message();
    }
    cleanUp.Now();
    return failure;
}

} // namespace

QString CheckConnection(const TDatabaseLogin& login, const QString& database)
{
    TIBDatabase connection;
    connection.SetLoginPrompt(false);
    connection.Params().Add(QStringLiteral("User_Name=") + login.user);
    connection.Params().Add(QStringLiteral("Password=") + login.password);
    connection.SetDatabaseName(DatabaseConnectionString(login.target, database));
    try {
        connection.SetConnected(true);
        connection.SetConnected(false);
    } catch (const Exception& failure) {
        return failure.Message();
    }
    return QString();
}

TBackupOutcome RunBackupRoad(
    const TBackupRequest& request, TIBBackupService& backup, TIBRestoreService& restore, TRestoreSink& sink)
{
    const TDatabaseLogin& login = request.login;
    const QString& database = request.database;
    const QString& backupFile = request.backupFile;
    // A server on this machine writes the new backup under a name of this
    // run's own until the backup has proved itself; an older file of the
    // final name stays as it was until then.
    const bool seenHere = ServerIsThisMachine(login.target);
    const QString written = seenHere ? PartialBackupName(backupFile, request.runMark) : backupFile;
    TBackupOutcome outcome;

    sink.Line(QStringLiteral("Aguarde... Conectando ao servidor..."));
    sink.Line(QStringLiteral("Verificando permissão..."));
    sink.Line(QStringLiteral("Iniciando Backup..."));
    if (login.target.tcp) {
        backup.SetServerName(login.target.serverName);
        backup.SetProtocol(TCP);
    } else {
        backup.SetProtocol(Local);
    }
    backup.Params().Clear();
    backup.Params().SetValue(QStringLiteral("user_name"), login.user);
    backup.Params().SetValue(QStringLiteral("password"), login.password);
    backup.SetLoginPrompt(false);
    backup.SetOptions({});
    NameFile(backup.BackupFile(), written);
    backup.SetDatabaseName(database);
    backup.SetVerbose(true);

    QString failure = PathRefusal({written, ScratchDatabasePath(database, request.runMark)});
    // One run at a time on a backup name, and on the database beside which
    // the backup proves itself.
    const TRunLock backupLock(BackupLockPath(backupFile));
    const TRunLock databaseLock(DatabaseLockPath(login, database));
    if (failure.isEmpty())
        failure = LockRefusal(backupLock, backupFile);
    if (failure.isEmpty())
        failure = LockRefusal(databaseLock, database);
    if (failure.isEmpty() && seenHere) {
        // A partial backup of an interrupted run of this name is nobody's.
        for (const QString& partial : PartialBackupsOf(backupFile)) {
            if (QFile::remove(partial))
                sink.Line(LeftPartialLine.arg(partial));
        }
    }
    if (failure.isEmpty() && sink.progress) {
        // The backup, then the restore that proves it.
        QString unread;
        const TJobPlan plan = JobPlanAt(login, database, &unread);
        if (!plan.known)
            qWarning("No estimate of the backup's work: %s", qUtf8Printable(unread));
        sink.progress->Start(plan, {TJobStage::Backup, TJobStage::Restore});
    }
    if (failure.isEmpty())
        failure = WriteBackup(backup, sink);
    // The output's end does not prove the backup: it is good once it has
    // restored completely.
    if (failure.isEmpty()) {
        if (!seenHere)
            sink.Line(NotCheckedHereLine.arg(backupFile));
        outcome.pageSize = RestorePageSize(DatabasePageSizeAt(login, database));
        if (outcome.pageSize == 0 && seenHere)
            outcome.pageSize = RestorePageSize(BackupPageSize(written));
        failure = ProveBackup(restore, sink, login, written, database, outcome.pageSize, request.runMark);
    }
    if (failure.isEmpty() && seenHere) {
        const QString reason = ReplaceFile(written, backupFile);
        if (!reason.isEmpty())
            failure = NotRenamedText.arg(backupFile, reason);
    }
    if (!failure.isEmpty()) {
        // The backup's own file goes; an older one of its final name stays.
        // (A name of this run's own: never another run's file.)
        if (seenHere)
            QFile::remove(written);
        sink.Line(failure);
        outcome.failure = failure;
        return outcome;
    }
    outcome.proved = true;
    if (sink.progress)
        outcome.plan = sink.progress->LearnedPlan();
    return outcome;
}
