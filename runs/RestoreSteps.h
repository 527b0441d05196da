#pragma once
// The steps that the restore road and the backup road's proof are made of,
// without widgets: one restore into a database with its output read into the
// run's log, taking a database out of use and back online, dropping a
// scratch database, and the names of what a run leaves beside a database.

#include "core/RestoreOutput.h"
#include "runs/RestoreSafety.h"

#include <QString>
#include <QStringList>

#include <functional>

class TIBControlAndQueryService;
class TIBCustomService;
class TIBRestoreService;
class TJobProgress;

// Where a run's lines go, and what it does while it waits: the window puts
// them into its log and keeps answering; a test's helper prints them.
class TRestoreSink {
public:
    virtual ~TRestoreSink() = default;
    // One line of the run's own.
    virtual void Line(const QString& line) = 0;
    // Reads the started job's output to its end into the log; seen gets each
    // batch of lines as well. A failed query is raised once the lines read
    // before it are in the log.
    virtual void ReadOutput(TIBControlAndQueryService& service, const std::function<void(const QStringList&)>& seen)
        = 0;
    // Waits about milliseconds.
    virtual void Wait(int milliseconds) = 0;

    // Where the roads tell how far along the run is (none: nobody watches).
    // The roads start it with their plan and feed it the server's lines;
    // whoever shows it says Finish or Fail when the run is over.
    TJobProgress* progress = nullptr;
};

// The names of a run's files beside a database: the scratch database that
// a backup is restored into, and the old database set aside during a swap.
// Each carries a fixed suffix and the run's mark.
QString ScratchDatabasePath(const QString& destination, const QString& runMark);
QString SetAsidePath(const QString& destination, const QString& runMark);
// The files of those kinds, of any run, beside destination (full paths).
QStringList ScratchDatabasesBeside(const QString& destination);
QStringList SetAsideFilesBeside(const QString& destination);

// The detach of a service on every way out of a step. Now() on the step's
// own way out, where a failed detach is the step's failure; the destructor is
// the net under a failure already on its way out, which a second one must
// not replace.
class TDetachOnExit {
public:
    explicit TDetachOnExit(TIBCustomService& service);
    ~TDetachOnExit();
    TDetachOnExit(const TDetachOnExit&) = delete;
    TDetachOnExit& operator=(const TDetachOnExit&) = delete;
    void Now();

private:
    TIBCustomService& FService;
};

// The restore service's settings for one restore of backupFile to database on
// the server that login names; the options and the verbose output are the
// ones the window gave it.
void SetUpRestore(TIBRestoreService& service, const TDatabaseLogin& login, const QString& backupFile,
    const QString& database, int pageSize);

// How one restore ended.
struct TRestoreResult {
    bool online = false;
    // The output stopped before the server's closing line.
    bool backupIncomplete = false;
    // Otherwise, what went wrong: the server's own words.
    QString reason;
};

// Runs the restore that the service is set up for (attached by the caller),
// reads its output into the log and looks whether the database it names came
// out online. Never raises for the restore's own failure; the service is
// detached on every way out.
TRestoreResult RestoreAndCheck(TIBRestoreService& service, TRestoreSink& sink, const TDatabaseLogin& login);

// The message of a restore that reached its end with the database not online.
QString NotOnlineMessage(const TRestoreOutput& output);

// Takes the database at path out of use (a full shutdown that cuts off no
// one: it fails while others are attached), or brings it back online. On
// failure, the server's words; empty on success.
QString TakeOutOfUse(const TDatabaseLogin& login, const QString& path);
QString BringOnline(const TDatabaseLogin& login, const QString& path);

// Drops the scratch database at path when it is there, bringing it online
// first when a run took it out of use, and trying again while the server
// refuses; when it goes on refusing, the log says so in its words.
void DropScratchDatabase(TRestoreSink& sink, const TDatabaseLogin& login, const QString& path);

// A scratch database, dropped on every way out of the run that made it,
// unless the run has put it somewhere (Keep).
class TScratchGuard {
public:
    TScratchGuard(TRestoreSink& sink, const TDatabaseLogin& login, const QString& path);
    ~TScratchGuard();
    TScratchGuard(const TScratchGuard&) = delete;
    TScratchGuard& operator=(const TScratchGuard&) = delete;
    void Keep() { FKept = true; }
    // Undoes Keep: the file at the path is the scratch again.
    void Drop() { FKept = false; }
    const QString& Path() const { return FPath; }

private:
    TRestoreSink& FSink;
    const TDatabaseLogin& FLogin;
    QString FPath;
    bool FKept = false;
};
