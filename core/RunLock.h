#pragma once
// What keeps two runs of the program (two windows, two operators sharing the
// program's folder) off the same destination and the same backup name: a
// lock on a file that the operating system lets go when the process ends,
// however it ends, so a crashed run never blocks the next one.

#include <QString>

#include <memory>

class TRunLock {
public:
    // Tries to lock the file at path (made when missing) without waiting.
    // Held() tells whether it did; Reason() says why not (another run holds
    // it, or the file could not be made).
    explicit TRunLock(const QString& path);
    ~TRunLock();
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;

    bool Held() const { return FHeld; }
    // Another run holds the lock (as opposed to a file that could not be made).
    bool HeldByAnother() const { return FHeldByAnother; }
    const QString& Reason() const { return FReason; }
    const QString& Path() const { return FPath; }

private:
    struct TPlatform;
    QString FPath;
    bool FHeld = false;
    bool FHeldByAnother = false;
    QString FReason;
    std::unique_ptr<TPlatform> FPlatform;
};

// The lock file beside a file (a database on this machine, a backup), or,
// where that folder cannot take a new file (or path is empty: a database on
// another machine), in this machine's temporary folder under a name made
// from key.
QString LockPathBeside(const QString& path, const QString& key);

// A mark that names one run's files apart from every other run's: the time,
// the process, a count of the process's own runs and a random part.
QString NewRunMark();
