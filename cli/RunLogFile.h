#pragma once
// The log file of one command-line run: its lines as the window's log would
// show them, then the outcome, the elapsed time and the backup's size. UTF-8,
// with a byte-order mark on Windows, where editors need it to tell UTF-8.

#include <QDateTime>
#include <QFile>
#include <QString>

class TRunLogFile {
public:
    // Opens path for this run. With no path: "ZUR-<database>-<yyyymmdd-hhmmss>.log"
    // in the "logs" folder of folder (made when folder exists), never a file of
    // another run (a suffix "-2", "-3"... when the name is taken), and when that
    // folder takes no file, the same name in the temporary folder.
    TRunLogFile(const QString& path, const QString& folder, const QString& database, const QDateTime& started);
    bool IsOpen() const { return FFile.isOpen(); }
    // The file's path, or why it could not be opened.
    QString Path() const { return FFile.fileName(); }
    QString Failure() const { return FFailure; }
    // Adds a line; it reaches the file by the next Flush at the latest.
    void Line(const QString& line);
    void Flush();

private:
    bool OpenNew(const QString& path);
    QFile FFile;
    QString FFailure;
};

// The log file's default name for database at the moment started.
QString DefaultLogName(const QString& database, const QDateTime& started);
