#pragma once
// The log file of one command-line run: its lines as the window's log would
// show them, each after the local time it was written at ("2026-12-11
// 23:30:02 "), so that a run's log tells where the time went and several runs
// appended to one file keep apart. UTF-8, with a byte-order mark on Windows,
// where editors need it to tell UTF-8.

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
    // Adds a line (a text of several lines: each of them, each timed); it
    // reaches the file by the next Flush at the latest.
    void Line(const QString& line);
    void Flush();

private:
    bool OpenNew(const QString& path);
    const QByteArray& Stamp();
    QFile FFile;
    QString FFailure;
    // The time's text, made again only when the second changes: a verbose
    // job writes thousands of lines a second.
    qint64 FStampSecond = -1;
    QByteArray FStamp;
};

// The log file's default name for database at the moment started.
QString DefaultLogName(const QString& database, const QDateTime& started);
// The day in name when it is a default name of database's logs (with or
// without the suffix of a second run in the same second, in any letter
// case); an invalid date otherwise.
QDate DefaultLogDay(const QString& name, const QString& database);
