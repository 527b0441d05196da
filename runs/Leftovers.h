#pragma once
// What an interrupted run leaves beside a database of a server on this
// machine, and how the next run puts it right. Every such file carries a
// fixed suffix and the mark of the run that made it:
//   <database>.ZURTESTE.<mark>     a scratch database (a restore's, or a backup's proof)
//   <database>.ZURANTERIOR.<mark>  the old database, set aside during a swap
//   <database>.ZURFORADEUSO.<mark> the run has taken the database out of use
// Only a run that holds the database's lock may put them right: a run still
// at work holds it, and its files are never touched.

#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"

#include <QString>
#include <QStringList>

// The mark a run leaves while it has database out of use (made before the
// shutdown, removed once the database is online again), so that a run killed
// in between is followed by one that brings the database back online.
class TOutOfUseMark {
public:
    TOutOfUseMark(const QString& database, const QString& runMark);
    ~TOutOfUseMark() = default;
    TOutOfUseMark(const TOutOfUseMark&) = delete;
    TOutOfUseMark& operator=(const TOutOfUseMark&) = delete;
    // Makes the mark; the reason when it cannot be made.
    QString Make();
    // Removes it: the database is online again (or was never taken out of use).
    void Remove();

private:
    QString FPath;
    bool FMade = false;
};

// Whether any file of an interrupted run lies beside database (no server asked).
bool HasLeftoversBeside(const QString& database);

// Puts right what interrupted runs left beside database: a set-aside database
// with no database at the path goes back in place (and online); one beside a
// database that is online goes; a scratch database is dropped; a database
// that a run took out of use comes back online. The log says what was found
// and done. The caller holds the database's lock.
void ResolveLeftovers(TRestoreSink& sink, const TDatabaseLogin& login, const QString& database);

// The same for a door that holds no lock yet (the window's start, the
// connection test): when files of an interrupted run lie beside the database
// of a server on this machine, takes the database's lock and resolves them;
// a run at work (its lock held) is left alone. The lines said.
QStringList PutRightBeside(TRestoreSink& sink, const TDatabaseLogin& login, const QString& database);

// Whether the database at path is online, bringing it online when a run
// took it out of use; the reason when it is not.
QString EnsureOnline(const TDatabaseLogin& login, const QString& path);
