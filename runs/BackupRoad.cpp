#include "runs/BackupRoad.h"

#include "core/BackupFile.h"
#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "ibclient/StringList.h"
#include "runs/JobPlan.h"
#include "runs/Leftovers.h"
#include "runs/RestoreRoad.h"
#include "runs/RunLocks.h"
#include "runs/RunServices.h"

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

TBackupOutcome RunBackupRoad(const TBackupRequest& request, TRestoreSink& sink)
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
    TIBBackupService backup;
    SetUpBackup(backup, login, database, written);
    TIBRestoreService restore;
    DesignRestoreService(restore);
    // On this machine the proof's scratch lies beside the file the server
    // opens, and the run's lock is that file's.
    const QString file = seenHere ? DatabaseFileHere(database) : database;

    QString failure = PathRefusal({written, ScratchDatabasePath(file, request.runMark)});
    // The proof's scratch beside a relative path would land in a working folder.
    if (failure.isEmpty() && seenHere)
        failure = RelativePathRefusal(database);
    // One run at a time on a backup name, and on the database beside which
    // the backup proves itself.
    const TRunLock backupLock(BackupLockPath(backupFile));
    const TRunLock databaseLock(DatabaseLockPath(login, database));
    if (failure.isEmpty())
        failure = LockRefusal(backupLock, backupFile);
    if (failure.isEmpty())
        failure = LockRefusal(databaseLock, database);
    if (failure.isEmpty() && seenHere) {
        // What an interrupted run left beside the database (the scratch of
        // a proof, a database out of use) is put right before it is read.
        ResolveLeftovers(sink, login, file);
        // A partial backup of an interrupted run of this name is nobody's.
        for (const QString& partial : PartialBackupsOf(backupFile)) {
            if (QFile::remove(partial))
                sink.Line(LeftPartialLine.arg(partial));
        }
    }
    // The page size that the proof restores with, and the plan of the run's
    // progress (the backup, then the restore that proves it), read in one
    // attachment before the backup.
    TDatabaseFigures figures;
    if (failure.isEmpty()) {
        figures = DatabaseFiguresAt(login, database, sink.progress != nullptr);
        if (sink.progress)
            sink.progress->Start(figures.plan, {TJobStage::Backup, TJobStage::Restore});
    }
    if (failure.isEmpty())
        failure = WriteBackup(backup, sink);
    // The output's end does not prove the backup: it is good once it has
    // restored completely.
    if (failure.isEmpty()) {
        if (!seenHere)
            sink.Line(NotCheckedHereLine.arg(backupFile));
        outcome.pageSize = RestorePageSize(figures.pageSize);
        if (outcome.pageSize == 0 && seenHere)
            outcome.pageSize = RestorePageSize(BackupPageSize(written));
        failure = ProveBackup(restore, sink, login, written, file, outcome.pageSize, request.runMark);
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
