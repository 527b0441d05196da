#include "runs/RestoreSteps.h"

#include "core/BackupFile.h"
#include "core/JobProgress.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/ConfigService.h"
#include "ibclient/Errors.h"
#include "ibclient/StringList.h"

#include <ibase.h>

namespace {

// Fixed suffixes that no database of the administrative application carries;
// the run's mark follows them.
const QString ScratchSuffix = QStringLiteral(".ZURTESTE.");
const QString SetAsideSuffix = QStringLiteral(".ZURANTERIOR.");

// A scratch database that the server still closes refuses to be dropped for a
// moment: the drop is tried again, this often, this far apart.
constexpr int ScratchDropAttempts = 6;
constexpr int ScratchDropPauseMs = 500;

const QString ServerSaidText = QStringLiteral(" O servidor disse: ");
const QString NotOnlineText = QStringLiteral("A base restaurada não ficou online.");
const QString ScratchNotRemovedLine = QStringLiteral("Não foi possível remover a base de teste %1: %2");

// Runs one properties request on the database at path; the server's words
// on failure.
QString RunProperties(const TDatabaseLogin& login, const QString& path, bool shutdown)
{
    TIBConfigService service;
    try {
        service.SetLoginPrompt(false);
        service.SetParams({QStringLiteral("user_name=") + login.user, QStringLiteral("password=") + login.password});
        service.SetServerName(login.target.serverName);
        service.SetProtocol(login.target.tcp ? TCP : Local);
        service.SetDatabaseName(path);
        if (shutdown)
            service.PrepareShutdown(TShutdownMode::Full, 0);
        else
            service.PrepareOnline();
        TDetachOnExit detach(service);
        service.Attach();
        service.RunToEnd();
        detach.Now();
        return QString();
    } catch (const Exception& failure) {
        return failure.Message();
    }
}

} // namespace

QString ScratchDatabasePath(const QString& destination, const QString& runMark)
{
    return destination + ScratchSuffix + runMark;
}

QString SetAsidePath(const QString& destination, const QString& runMark)
{
    return destination + SetAsideSuffix + runMark;
}

QStringList ScratchDatabasesBeside(const QString& destination)
{
    return FilesBesideWithSuffix(destination, ScratchSuffix);
}

QStringList SetAsideFilesBeside(const QString& destination)
{
    return FilesBesideWithSuffix(destination, SetAsideSuffix);
}

TDetachOnExit::TDetachOnExit(TIBCustomService& service)
    : FService(service)
{
}

TDetachOnExit::~TDetachOnExit()
{
    if (!FService.Active())
        return;
    try {
        FService.Detach();
    } catch (const Exception& failure) {
        // The object has forgotten its handle all the same.
        qWarning("The service could not be detached on the way out of a run: %s", failure.what());
    }
}

void TDetachOnExit::Now()
{
    if (FService.Active())
        FService.Detach();
}

void SetUpRestore(TIBRestoreService& service, const TDatabaseLogin& login, const QString& backupFile,
    const QString& database, int pageSize)
{
    service.SetLoginPrompt(false);
    service.Params().Clear();
    service.Params().Add(QStringLiteral("user_name=") + login.user);
    service.Params().Add(QStringLiteral("password=") + login.password);
    service.DatabaseName().Clear();
    service.DatabaseName().Add(database);
    service.BackupFile().Clear();
    service.BackupFile().Add(backupFile);
    service.SetServerName(login.target.serverName);
    if (login.target.tcp)
        service.SetProtocol(TCP);
    service.SetPageSize(pageSize);
}

QString NotOnlineMessage(const TRestoreOutput& output)
{
    if (output.Problems().isEmpty())
        return NotOnlineText;
    return NotOnlineText + ServerSaidText + output.Problems().join(u' ');
}

TRestoreResult RestoreAndCheck(TIBRestoreService& service, TRestoreSink& sink, const TDatabaseLogin& login)
{
    const QString database = service.DatabaseName()[0];
    TDetachOnExit detach(service);
    TRestoreResult result;
    try {
        TRestoreOutput output;
        service.ServiceStart();
        TJobProgress* progress = sink.progress;
        if (progress)
            progress->BeginStage();
        sink.ReadOutput(service, [&output, progress](const QStringList& lines) {
            output.Add(lines);
            if (progress)
                progress->Lines(lines);
        });
        if (progress)
            progress->EndStage();
        detach.Now();
        // The output's end is not the restore's success: a backup cut short
        // ends its output as a whole one does, and leaves the database shut
        // down.
        result.online = DatabaseIsOnline(login, database);
        if (!result.online) {
            result.backupIncomplete = !output.Finished();
            result.reason = NotOnlineMessage(output);
        }
    } catch (const Exception& failure) {
        result.reason = failure.Message();
    }
    return result;
}

QString TakeOutOfUse(const TDatabaseLogin& login, const QString& path)
{
    return RunProperties(login, path, true);
}

QString BringOnline(const TDatabaseLogin& login, const QString& path)
{
    return RunProperties(login, path, false);
}

void DropScratchDatabase(TRestoreSink& sink, const TDatabaseLogin& login, const QString& path)
{
    bool broughtOnline = false;
    for (int attempt = 1;; ++attempt) {
        try {
            DropDatabaseAt(login, path);
            return;
        } catch (const Exception& failure) {
            // A database taken out of use takes no attachment, not even the drop's.
            if (!broughtOnline && FailureHasCode(failure, {isc_shutdown})) {
                broughtOnline = true;
                const QString reason = BringOnline(login, path);
                if (reason.isEmpty())
                    continue;
            }
            if (attempt >= ScratchDropAttempts || !FailureMayPass(failure)) {
                sink.Line(ScratchNotRemovedLine.arg(path, failure.Message()));
                return;
            }
        }
        sink.Wait(ScratchDropPauseMs);
    }
}

TScratchGuard::TScratchGuard(TRestoreSink& sink, const TDatabaseLogin& login, const QString& path)
    : FSink(sink)
    , FLogin(login)
    , FPath(path)
{
}

TScratchGuard::~TScratchGuard()
{
    if (FKept)
        return;
    try {
        DropScratchDatabase(FSink, FLogin, FPath);
    } catch (const std::exception& failure) {
        qWarning("The scratch database %s was not removed: %s", qUtf8Printable(FPath), failure.what());
    }
}
