#include "runs/RestoreRoad.h"

#include "core/FileMove.h"
#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Errors.h"
#include "runs/JobPlan.h"
#include "runs/Leftovers.h"
#include "runs/RunLocks.h"
#include "runs/RunServices.h"

#include <ibase.h>

#include <QFile>
#include <QFileInfo>

namespace {

const QString NothingChangedText = QStringLiteral(" Nada foi alterado.");
const QString InUseLine = QStringLiteral("A base de dados %1 está em uso (%2). Nada foi alterado.");
const QString NotChangedLine = QStringLiteral("A base de dados %1 não foi alterada.");

// The road beside the destination.
const QString IncompleteBackupLine
    = QStringLiteral("O backup escolhido está incompleto. A base de dados não foi substituída!");
const QString UnrestorableBackupLine
    = QStringLiteral("O backup escolhido não pôde ser restaurado por completo. A base de dados não foi substituída!");
const QString ScratchNotOutOfUseLine = QStringLiteral("A base restaurada %1 não pôde ser tirada de uso: %2");
const QString MarkNotMadeLine
    = QStringLiteral("Não foi possível gravar ao lado de %1 a marca de que a base será tirada de uso: %2");
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
const QString NotSeenHereLine
    = QStringLiteral("O servidor encontra %1, mas este computador não vê esse arquivo no mesmo caminho: o servidor "
                     "lê outro sistema de arquivos, e é tratado como um servidor em outra máquina.");
const QString ScratchNotSeenLine
    = QStringLiteral("O servidor restaurou %1 onde este computador não vê esse arquivo: nada foi trocado.");
const QString LinkedDestinationLine
    = QStringLiteral("O caminho %1 leva ao arquivo %2: é este arquivo que o servidor abre e que a restauração "
                     "substitui.");
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
void StartProgress(TRestoreSink& sink, const TRestoreRequest& request, const TJobPlan& destinationPlan, int restores)
{
    if (!sink.progress)
        return;
    const TJobPlan& plan = request.plan.known ? request.plan : destinationPlan;
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

// Brings the destination online again after a swap that stopped short; the
// mark goes only once it is.
bool BackOnline(TRestoreSink& sink, const TDatabaseLogin& login, const QString& destination, TOutOfUseMark& mark)
{
    const QString offline = BringOnline(login, destination);
    if (!offline.isEmpty()) {
        sink.Line(NotOnlineAgainLine.arg(destination, offline));
        return false;
    }
    mark.Remove();
    return true;
}

// Puts the set-aside database back at the destination after a failed swap;
// whether it is back and online.
bool PutBack(TRestoreSink& sink, const TDatabaseLogin& login, const QString& aside, const QString& destination)
{
    const QString reason = MoveFileNoReplace(aside, destination);
    if (!reason.isEmpty()) {
        sink.Line(NotMovedBackLine.arg(aside, destination, reason));
        return false;
    }
    sink.Line(MovedBackLine.arg(destination));
    const QString offline = BringOnline(login, destination);
    if (!offline.isEmpty()) {
        sink.Line(NotOnlineAgainLine.arg(destination, offline));
        return false;
    }
    return true;
}

TRestoreOutcome SwapRoad(const TRestoreRequest& request, const QString& destination, TIBRestoreService& service,
    TRestoreSink& sink, const QString& runMark, bool replaces)
{
    const TDatabaseLogin& login = request.login;
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
    // The server wrote the scratch where this machine sees it, or the swap
    // would rename files that are not the server's.
    if (!QFileInfo::exists(scratch)) {
        sink.Line(ScratchNotSeenLine.arg(scratch));
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

    // Until the database is online again, a mark beside it tells the next
    // run that this one took it out of use.
    TOutOfUseMark destinationMark(destination, runMark);
    const QString notMarked = destinationMark.Make();
    if (!notMarked.isEmpty()) {
        sink.Line(MarkNotMadeLine.arg(destination, notMarked));
        sink.Line(NotChangedLine.arg(destination));
        return {};
    }
    const QString inUse = TakeOutOfUse(login, destination);
    if (!inUse.isEmpty()) {
        destinationMark.Remove();
        sink.Line(InUseLine.arg(destination, inUse));
        return {};
    }
    Reached(request, TRestorePhase::OutOfUse);
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
        BackOnline(sink, login, destination, destinationMark);
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
            BackOnline(sink, login, destination, destinationMark);
            sink.Line(NotChangedLine.arg(destination));
        } else if (PutBack(sink, login, aside, destination)) {
            destinationMark.Remove();
        }
        return {};
    }
    guard.Keep();
    const QString offline = BringOnline(login, destination);
    if (!offline.isEmpty()) {
        sink.Line(NewNotOnlineLine.arg(destination, offline, aside));
        return {};
    }
    destinationMark.Remove();
    Reached(request, TRestorePhase::Swapped);
    // The old file goes only now that the new one is online in its place.
    const QString notRemoved = RemoveFileRetrying(aside);
    if (!notRemoved.isEmpty())
        sink.Line(OldNotRemovedLine.arg(aside, notRemoved));
    return {true, QString()};
}

TRestoreOutcome TrialThenReplace(const TRestoreRequest& request, const QString& destination, TIBRestoreService& service,
    TRestoreSink& sink, const QString& runMark, bool replaces)
{
    const TDatabaseLogin& login = request.login;
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

TRestoreOutcome RunRestoreRoad(const TRestoreRequest& request, TRestoreSink& sink)
{
    const TDatabaseLogin& login = request.login;
    const bool here = ServerIsThisMachine(login.target);
    QString refusal = PathRefusal({request.backupFile, request.destination});
    if (refusal.isEmpty() && here)
        refusal = RelativePathRefusal(request.destination);
    if (!refusal.isEmpty()) {
        sink.Line(refusal);
        return {};
    }
    // On this machine the run works on the file the server opens: where the
    // path is a link, the database it leads to, beside which the scratch
    // is restored and which the swap replaces (the link then leads to the
    // restored database).
    const QString destination = here ? DatabaseFileHere(request.destination) : request.destination;
    if (destination != request.destination)
        sink.Line(LinkedDestinationLine.arg(request.destination, destination));
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
    // The database it replaces is the plan of the restore's progress, where
    // the run knows nothing better (read in the same attachment).
    TJobPlan destinationPlan;
    const TDatabaseProbe found
        = ProbeDatabase(login, destination, sink.progress && !request.plan.known ? &destinationPlan : nullptr);
    if (found.state == TDatabaseState::InUse) {
        sink.Line(InUseLine.arg(destination, found.reason));
        return {};
    }
    const bool replaces = found.state != TDatabaseState::Absent;
    const QString runMark = NewRunMark();
    bool swaps = false;
    if (here && replaces && found.state == TDatabaseState::Present && !QFileInfo::exists(destination)) {
        // A server that finds a database where this machine sees no file
        // reads another file system (a server in a system or container of
        // its own): nothing here may be renamed for it, as for a server on
        // another machine.
        sink.Line(NotSeenHereLine.arg(destination));
    } else if (here) {
        const QString refused = FolderRefusesRenames(destination, runMark);
        swaps = refused.isEmpty();
        if (!swaps)
            sink.Line(NoRenameLine.arg(destination, refused));
    }
    // The swap restores once; a replace that has not proved the backup
    // tries it first.
    StartProgress(sink, request, destinationPlan, swaps || !replaces || request.proved ? 1 : 2);
    TIBRestoreService service;
    DesignRestoreService(service);
    TDetachOnExit cleanUp(service);
    const TRestoreOutcome outcome = swaps ? SwapRoad(request, destination, service, sink, runMark, replaces)
                                          : TrialThenReplace(request, destination, service, sink, runMark, replaces);
    cleanUp.Now();
    return outcome;
}
