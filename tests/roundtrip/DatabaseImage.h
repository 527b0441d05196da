#pragma once
// What a round trip through a backup and a restore must leave as it was: a
// database's metadata as isql extracts it and the rows of every table (their
// count and a digest of the ordered rows), read with the isql of a given
// Firebird version from the server of a given version.

#include <QMap>
#include <QString>
#include <QStringList>

namespace roundtrip {

// Which server holds a database, and which version's isql reads it.
struct TPlace {
    int server;
    int client;
};

struct TDatabaseImage {
    // `isql -x`, the database's path and page size masked (a restore may
    // change the page size on request).
    QString metadata;
    // Per table "<rows> rows, <digest>"; per sequence "value <n>".
    QMap<QString, QString> contents;
};

TDatabaseImage ImageOf(const TPlace& place, const QString& path);

// Creates a database on the server of that version, with its isql, from SQL
// scripts (UTF-8, statements ending in ";"); characterSet may be empty.
void CreateFromScripts(int version, const QString& path, const QString& characterSet, const QStringList& scripts);

// The text of a SQL script of this folder of tests.
QString Script(const QString& name);

// Firebird's sample database `employee`, from the SQL that Debian ships.
void CreateEmployee(int version, const QString& path);

// The same database, as readable failure output: each difference is reported.
void ExpectSameDatabase(const TDatabaseImage& original, const TDatabaseImage& restored);

} // namespace roundtrip
