#pragma once
// What tests need of the private Firebird server: its address, credentials,
// a folder for their files and databases made with the server's own isql.

#include <QString>

namespace testserver {

// "localhost/3055:", the window's default server text (another port when
// ZUR_FB_PORT is set, for several developers on one machine).
QString ServerText();
QString User();
QString Password();

// A fresh, empty folder for one test (under the build tree), ending in "/".
QString NewFolder(const QString& name);

// Runs isql-fb with the given SQL on stdin; returns its standard output and
// fails the calling test (ADD_FAILURE) when isql-fb reports an error.
QString Isql(const QString& sql);
// The same, attached to a database first ("localhost/3055:" is put before the path).
QString IsqlOn(const QString& path, const QString& sql);

// Creates a database at path on the server with the given SQL dialect (and
// page size, when not 0), then runs sql (statements, each ending in ";") in it
// and commits.
void CreateDatabase(const QString& path, const QString& sql = QString(), int dialect = 3, int pageSize = 0);

// Runs gfix with the given arguments, as SYSDBA; fails the calling test when
// it does not end well.
void Gfix(const QStringList& arguments);

// SELECT COUNT(*) of a table, through isql; -1 when the query fails.
long long CountRows(const QString& path, const QString& table);

} // namespace testserver
