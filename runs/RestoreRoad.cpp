#include "runs/RestoreRoad.h"

#include "core/FileMove.h"
#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Errors.h"
#include "runs/JobPlan.h"

#include <ibase.h>

#include <QFile>
#include <QFileInfo>

namespace {

const QString PathReadAsSizeText = QStringLiteral("O caminho \"%1\" contém \"=\", que o servidor leria como o fim do "
                                                  "nome do arquivo seguido de um tamanho. Use um caminho sem \"=\".");
const QString OtherRunText = QStringLiteral("Outra execução do programa está trabalhando com %1 (trava %2).");
const QString LockNotMadeText = QStringLiteral("Não foi possível criar a trava %1: %2.");
const QString NothingChangedText = QStringLiteral(" Nada foi alterado.");
const QString InUseLine = QStringLiteral("A base de dados %1 está em uso (%2). Nada foi alterado.");
const QString NotChangedLine = QStringLiteral("A base de dados %1 não foi alterada.");

// The road beside the destination.
const QString IncompleteBackupLine
    = QStringLiteral("O backup escolhido está incompleto. A base de dados não foi substituída!");
const QString UnrestorableBackupLine
    = QStringLiteral("O backup escolhido não pôde ser restaurado por completo. A base de dados não foi substituída!");
const QString ScratchNotOutOfUseLine = QStringLiteral("A base restaurada %1 não pôde ser tirada de uso: %2");
const QString SetAsideFailedLine = QStringLiteral("A base de dados %1 não pôde ser renomeada para %2: %3");
const QString NotOnlineAgainLine
    = QStringLiteral("A base de dados %1 não pôde voltar a ficar online: %2. A próxima execução tenta de novo.");
const QString MoveInFailedLine = QStringLiteral("A base restaurada %1 não pôde receber o nome %2: %3");
const QString MovedBackLine = QStringLiteral("A base de dados anterior voltou para %1.");
const QString NotMovedBackLine = QStringLiteral("A base de dados anterior ficou em %1 e não pôde voltar para %2: %3. "
                                                "A próxima execução a coloca de volta.");
const QString NewNotOnlineLine
    = QStringLiteral("A base restaurada já está em %1, mas não pôde ficar online: %2. A base anterior está em %3; "
                     "a próxima execução termina a troca.");
const QString OldNotRemovedLine = QStringLiteral("A base anterior ficou em %1 e não pôde ser removida: %2");
const QString ReplacedDoneLine
    = QStringLiteral("A base de dados %1 foi substituída pela base restaurada e verificada.");
const QString CreatedLine = QStringLiteral("A base restaurada e verificada recebeu o nome %1.");
const QString NoRenameLine = QStringLiteral("O programa não pode renomear arquivos na pasta de %1 (%2): o backup é "
                                            "verificado numa base de teste e depois restaurado por cima dela.");

// The road of a server elsewhere.
const QString CheckingBackupLine = QStringLiteral("Verificando o backup antes de substituir a base de dados...");
const QString ReplaceDropsFirstLine
    = QStringLiteral("Restaurando o backup por cima de %1: neste servidor a restauração apaga a base de dados antes "
                     "de ler o backup.");
const QString IncompleteRestoreLine = QStringLiteral("A base restaurada está incompleta. O Restore não foi concluído!");
const QString ReplacedLine
    = QStringLiteral("A base de dados %1 foi substituída e está incompleta. Restaure novamente o backup %2.");

// What interrupted runs left.
const QString LeftAsideBackLine
    = QStringLiteral("Encontrada a base %1, deixada de lado por uma execução interrompida, sem base em %2: ela "
                     "voltou para o lugar.");
const QString LeftAsideNotBackLine = QStringLiteral(
    "Encontrada a base %1, deixada de lado por uma execução interrompida, sem base em %2; ela não pôde voltar: %3");
const QString LeftAsideRemovedLine
    = QStringLiteral("Encontrada a base %1, deixada de lado por uma execução interrompida; %2 já é a base "
                     "restaurada e está online: a anterior foi removida.");
const QString LeftAsideKeptLine
    = QStringLiteral("Encontrada a base %1, deixada de lado por uma execução interrompida; %2 não está online (%3): "
                     "nada foi removido.");
const QString LeftScratchLine
    = QStringLiteral("Encontrada a base de teste %1, deixada por uma execução interrompida: ela será removida.");

// Attaches the service; a failure is put into the log in the server's words
// and then leaves the run, for the top-level error report.
void AttachLogged(TIBRestoreService& service, TRestoreSink& sink)
{
    try {
        service.Attach();
    } catch (const Exception& failure) {
        sink.Line(failure.Message());
        throw;
    }
}

// Whether the database at path is online, bringing it online when a run
// took it out of use; the reason when it is not.
QString EnsureOnline(const TDatabaseLogin& login, const QString& path)
{
    try {
        if (DatabaseIsOnline(login, path))
            return QString();
    } catch (const Exception& failure) {
        if (!FailureHasCode(failure, {isc_shutdown}))
            return failure.Message();
    }
    const QString reason = BringOnline(login, path);
    if (!reason.isEmpty())
        return reason;
    try {
        return DatabaseIsOnline(login, path) ? QString() : QStringLiteral("fora de uso");
    } catch (const Exception& failure) {
        return failure.Message();
    }
}

// Why the program may not rename files in the folder of path; empty when it
// may (a file of the run's own is made and removed there).
QString FolderRefusesRenames(const QString& path, const QString& runMark)
{
    QFile probe(path + QStringLiteral(".ZURSONDA.") + runMark);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return probe.errorString();
    probe.close();
    if (!probe.remove())
        return probe.errorString();
    return QString();
}

// Starts the run's progress, when it is watched, on what the run knows of
// the backup or else on the database it replaces; a new path has nothing to
// plan on.
void StartProgress(TRestoreSink& sink, const TRestoreRequest& request, bool replaces, int restores)
{
    if (!sink.progress)
        return;
    TJobPlan plan = request.plan;
    if (!plan.known && replaces) {
        QString unread;
        plan = JobPlanAt(request.login, request.destination, &unread);
        if (!plan.known)
            qWarning("No estimate of the restore's work: %s", qUtf8Printable(unread));
    }
    sink.progress->Start(plan, std::vector<TJobStage>(static_cast<size_t>(restores), TJobStage::Restore));
}

void Reached(const TRestoreRequest& request, TRestorePhase phase)
{
    if (request.reached)
        request.reached(phase);
}

// The failed restore's lines.
void TellUnrestorable(TRestoreSink& sink, const TRestoreResult& result)
{
    if (result.backupIncomplete) {
        sink.Line(IncompleteBackupLine);
    } else {
        sink.Line(result.reason);
        sink.Line(UnrestorableBackupLine);
    }
}

// Puts the set-aside database back at the destination after a failed swap.
void PutBack(TRestoreSink& sink, const TDatabaseLogin& login, const QString& aside, const QString& destination)
{
    const QString reason = MoveFileNoReplace(aside, destination);
    if (!reason.isEmpty()) {
        sink.Line(NotMovedBackLine.arg(aside, destination, reason));
        return;
    }
    sink.Line(MovedBackLine.arg(destination));
    const QString offline = BringOnline(login, destination);
    if (!offline.isEmpty())
        sink.Line(NotOnlineAgainLine.arg(destination, offline));
}

TRestoreOutcome SwapRoad(const TRestoreRequest& request, TIBRestoreService& service, TRestoreSink& sink,
    const QString& runMark, bool replaces)
{
    const TDatabaseLogin& login = request.login;
    const QString& destination = request.destination;
    const QString scratch = ScratchDatabasePath(destination, runMark);
    SetUpRestore(service, login, request.backupFile, scratch, request.pageSize);
    AttachLogged(service, sink);
    // A backup just proved for this database needs no word of a check.
    if (replaces && !request.proved)
        sink.Line(CheckingBackupLine);
    TScratchGuard guard(sink, login, scratch);
    const TRestoreResult result = RestoreAndCheck(service, sink, login);
    if (!result.online) {
        if (replaces)
            TellUnrestorable(sink, result);
        else
            sink.Line(result.backupIncomplete ? IncompleteRestoreLine : result.reason);
        return {};
    }
    // Nobody may attach to what has been checked, up to the swap.
    const QString outOfUse = TakeOutOfUse(login, scratch);
    if (!outOfUse.isEmpty()) {
        sink.Line(ScratchNotOutOfUseLine.arg(scratch, outOfUse));
        return {};
    }
    Reached(request, TRestorePhase::Checked);

    if (!replaces) {
        // A name that was free may have been taken meanwhile: the move then fails.
        const QString reason = MoveFileNoReplace(scratch, destination);
        if (!reason.isEmpty()) {
            sink.Line(MoveInFailedLine.arg(scratch, destination, reason));
            return {};
        }
        guard.Keep();
        const QString offline = BringOnline(login, destination);
        if (!offline.isEmpty()) {
            // Nothing is left at a new path when its restore fails.
            sink.Line(NotOnlineAgainLine.arg(destination, offline));
            if (MoveFileNoReplace(destination, scratch).isEmpty())
                guard.Drop();
            return {};
        }
        return {true, QString()};
    }

    const QString inUse = TakeOutOfUse(login, destination);
    if (!inUse.isEmpty()) {
        sink.Line(InUseLine.arg(destination, inUse));
        return {};
    }
    const QString aside = SetAsidePath(destination, runMark);
    // The old database gets a second name first, and the restored one then
    // takes the destination's name in one step: at no moment is the
    // destination's path without a whole database. Where the file system has
    // no second names, the old one is renamed aside and the restored one
    // renamed in, with a moment between the two that the next run puts
    // right.
    const bool linked = LinkFileNoReplace(destination, aside).isEmpty();
    QString reason = linked ? QString() : MoveFileNoReplace(destination, aside);
    if (!reason.isEmpty()) {
        sink.Line(SetAsideFailedLine.arg(destination, aside, reason));
        const QString offline = BringOnline(login, destination);
        if (!offline.isEmpty())
            sink.Line(NotOnlineAgainLine.arg(destination, offline));
        sink.Line(NotChangedLine.arg(destination));
        return {};
    }
    Reached(request, TRestorePhase::SetAside);
    reason = linked ? ReplaceFileRetrying(scratch, destination) : MoveFileNoReplace(scratch, destination);
    if (!reason.isEmpty()) {
        sink.Line(MoveInFailedLine.arg(scratch, destination, reason));
        if (linked) {
            // The destination is still the old database: its second name goes.
            const QString notRemoved = RemoveFileRetrying(aside);
            if (!notRemoved.isEmpty())
                sink.Line(OldNotRemovedLine.arg(aside, notRemoved));
            const QString offline = BringOnline(login, destination);
            if (!offline.isEmpty())
                sink.Line(NotOnlineAgainLine.arg(destination, offline));
            sink.Line(NotChangedLine.arg(destination));
        } else {
            PutBack(sink, login, aside, destination);
        }
        return {};
    }
    guard.Keep();
    const QString offline = BringOnline(login, destination);
    if (!offline.isEmpty()) {
        sink.Line(NewNotOnlineLine.arg(destination, offline, aside));
        return {};
    }
    Reached(request, TRestorePhase::Swapped);
    // The old file goes only now that the new one is online in its place.
    const QString notRemoved = RemoveFileRetrying(aside);
    if (!notRemoved.isEmpty())
        sink.Line(OldNotRemovedLine.arg(aside, notRemoved));
    return {true, QString()};
}

TRestoreOutcome TrialThenReplace(const TRestoreRequest& request, TIBRestoreService& service, TRestoreSink& sink,
    const QString& runMark, bool replaces)
{
    const TDatabaseLogin& login = request.login;
    const QString& destination = request.destination;
    // A restore with replace drops the database before it reads the backup:
    // a backup that has not proved itself is tried on a scratch database first.
    if (replaces && !request.proved) {
        const QString scratch = ScratchDatabasePath(destination, runMark);
        SetUpRestore(service, login, request.backupFile, scratch, request.pageSize);
        AttachLogged(service, sink);
        sink.Line(CheckingBackupLine);
        TRestoreResult trial;
        {
            TScratchGuard dropped(sink, login, scratch);
            trial = RestoreAndCheck(service, sink, login);
        }
        if (!trial.online) {
            TellUnrestorable(sink, trial);
            return {};
        }
        Reached(request, TRestorePhase::Checked);
    }
    SetUpRestore(service, login, request.backupFile, destination, request.pageSize);
    AttachLogged(service, sink);
    if (replaces)
        sink.Line(ReplaceDropsFirstLine.arg(destination));
    const TRestoreResult result = RestoreAndCheck(service, sink, login);
    if (result.online)
        return {true, QString()};
    sink.Line(result.backupIncomplete ? IncompleteRestoreLine : result.reason);
    TRestoreOutcome outcome;
    if (!replaces) {
        // What the failed restore made at a new path is the run's own.
        DropScratchDatabase(sink, login, destination);
        return outcome;
    }
    // Whether the server got as far as replacing the database.
    bool online = false;
    try {
        online = DatabaseIsOnline(login, destination);
    } catch (const Exception& failure) {
        sink.Line(failure.Message());
    }
    if (online) {
        sink.Line(NotChangedLine.arg(destination));
    } else {
        outcome.boxNote
            = ReplacedLine.arg(destination, request.chosenBackup.isEmpty() ? request.backupFile : request.chosenBackup);
        sink.Line(outcome.boxNote);
    }
    return outcome;
}

} // namespace

QString DatabaseLockPath(const TDatabaseLogin& login, const QString& path)
{
    const bool here = ServerIsThisMachine(login.target);
    const QString server = login.target.tcp ? login.target.serverName : QStringLiteral("local");
    return LockPathBeside(here ? path : QString(), QStringLiteral("base:") + server + u'|' + path);
}

QString BackupLockPath(const QString& backupFile)
{
    return LockPathBeside(backupFile, QStringLiteral("backup:") + backupFile);
}

QString LockRefusal(const TRunLock& lock, const QString& what)
{
    if (lock.Held())
        return QString();
    return lock.HeldByAnother() ? OtherRunText.arg(what, lock.Path()) : LockNotMadeText.arg(lock.Path(), lock.Reason());
}

QString PathRefusal(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (FileLineHasSize(path))
            return PathReadAsSizeText.arg(path);
    }
    return QString();
}

void ResolveLeftovers(TRestoreSink& sink, const TDatabaseLogin& login, const QString& destination)
{
    for (const QString& aside : SetAsideFilesBeside(destination)) {
        if (!QFileInfo::exists(destination)) {
            const QString reason = MoveFileNoReplace(aside, destination);
            if (!reason.isEmpty()) {
                sink.Line(LeftAsideNotBackLine.arg(aside, destination, reason));
                continue;
            }
            sink.Line(LeftAsideBackLine.arg(aside, destination));
            const QString offline = EnsureOnline(login, destination);
            if (!offline.isEmpty())
                sink.Line(NotOnlineAgainLine.arg(destination, offline));
            continue;
        }
        // The swap got as far as giving the restored database its name.
        const QString offline = EnsureOnline(login, destination);
        if (!offline.isEmpty()) {
            sink.Line(LeftAsideKeptLine.arg(aside, destination, offline));
            continue;
        }
        const QString notRemoved = RemoveFileRetrying(aside);
        if (notRemoved.isEmpty())
            sink.Line(LeftAsideRemovedLine.arg(aside, destination));
        else
            sink.Line(OldNotRemovedLine.arg(aside, notRemoved));
    }
    for (const QString& scratch : ScratchDatabasesBeside(destination)) {
        sink.Line(LeftScratchLine.arg(scratch));
        DropScratchDatabase(sink, login, scratch);
    }
}

TRestoreOutcome RunRestoreRoad(const TRestoreRequest& request, TIBRestoreService& service, TRestoreSink& sink)
{
    const TDatabaseLogin& login = request.login;
    const QString& destination = request.destination;
    const QString refusal = PathRefusal({request.backupFile, destination});
    if (!refusal.isEmpty()) {
        sink.Line(refusal);
        return {};
    }
    const bool here = ServerIsThisMachine(login.target);
    // One run at a time on a destination and on a backup name; a lock
    // that this one cannot take leaves everything as it was.
    const TRunLock destinationLock(DatabaseLockPath(login, destination));
    const TRunLock backupLock(BackupLockPath(request.backupFile));
    QString locked = LockRefusal(destinationLock, destination);
    if (locked.isEmpty())
        locked = LockRefusal(backupLock, request.backupFile);
    if (!locked.isEmpty()) {
        sink.Line(locked + NothingChangedText);
        return {};
    }
    if (here)
        ResolveLeftovers(sink, login, destination);
    // A database that someone is using is left alone.
    const TDatabaseProbe found = ProbeDatabase(login, destination);
    if (found.state == TDatabaseState::InUse) {
        sink.Line(InUseLine.arg(destination, found.reason));
        return {};
    }
    const bool replaces = found.state != TDatabaseState::Absent;
    const QString runMark = NewRunMark();
    bool swaps = false;
    if (here) {
        const QString refused = FolderRefusesRenames(destination, runMark);
        swaps = refused.isEmpty();
        if (!swaps)
            sink.Line(NoRenameLine.arg(destination, refused));
    }
    // The swap restores once; a replace that has not proved the backup
    // tries it first.
    StartProgress(sink, request, replaces, swaps || !replaces || request.proved ? 1 : 2);
    if (swaps)
        return SwapRoad(request, service, sink, runMark, replaces);
    return TrialThenReplace(request, service, sink, runMark, replaces);
}
