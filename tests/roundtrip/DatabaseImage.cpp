#include "DatabaseImage.h"

#include "TestServer.h"

#include <gtest/gtest.h>

#include "LinuxProcess.h"
#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

namespace roundtrip {

namespace {

QStringList Login(const QString& characterSet = QStringLiteral("UTF8"))
{
    return {QStringLiteral("-q"), QStringLiteral("-ch"), characterSet, QStringLiteral("-user"), testserver::User(),
        QStringLiteral("-password"), testserver::Password()};
}

QString Isql(const TPlace& place, const QString& path, const QStringList& options, const QString& sql)
{
    return testserver::RunTool(place.client, QStringLiteral("isql-fb"),
        Login() + options << testserver::ServerTextOf(place.server) + path, sql.toUtf8());
}

QString Quoted(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString Literal(const QString& text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

// The database's line of the extract names its path and page size.
QString MaskedMetadata(QString extract)
{
    static const QRegularExpression databaseLine(
        QStringLiteral("^(/\\* CREATE DATABASE )'[^']*'( PAGE_SIZE )\\d+"), QRegularExpression::MultilineOption);
    extract.replace(databaseLine, QStringLiteral("\\1'<database>'\\2<page size>"));
    return extract;
}

struct TColumn {
    QString name;
    bool blob;
    bool array;
};

// The user tables (not views) and their columns in order, and the sequences.
void ReadStructure(
    const TPlace& place, const QString& path, QMap<QString, std::vector<TColumn>>& tables, QStringList& sequences)
{
    const QString out = Isql(place, path, {},
        QStringLiteral("set heading off;\n"
                       "select '#C|' || trim(r.rdb$relation_name) || '|' || trim(rf.rdb$field_name) || '|'\n"
                       "       || f.rdb$field_type || '|' || coalesce(f.rdb$dimensions, 0)\n"
                       "from rdb$relations r\n"
                       "join rdb$relation_fields rf on rf.rdb$relation_name = r.rdb$relation_name\n"
                       "join rdb$fields f on f.rdb$field_name = rf.rdb$field_source\n"
                       "where coalesce(r.rdb$system_flag, 0) = 0 and r.rdb$view_blr is null\n"
                       "order by r.rdb$relation_name, rf.rdb$field_position;\n"
                       "select '#S|' || trim(rdb$generator_name) from rdb$generators\n"
                       "where coalesce(rdb$system_flag, 0) = 0 order by rdb$generator_name;\n"));
    for (QString line : out.split(u'\n')) {
        line = line.trimmed();
        const QStringList parts = line.split(u'|');
        if (line.startsWith(QLatin1String("#C|")) && parts.size() == 5)
            tables[parts[1]].push_back({parts[2], parts[3] == QLatin1String("261"), parts[4] != QLatin1String("0")});
        else if (line.startsWith(QLatin1String("#S|")) && parts.size() == 2)
            sequences << parts[1];
    }
}

// One query for all the rows of a table in a fixed order: blobs by their
// length and a hash the server computes, arrays left out (isql shows only
// their ids, which a restore changes).
QString RowsQuery(const QString& table, const std::vector<TColumn>& columns)
{
    QStringList items;
    QStringList order;
    for (const TColumn& column : columns) {
        if (column.array)
            continue;
        if (column.blob) {
            items << QStringLiteral("octet_length(%1)").arg(Quoted(column.name))
                  << QStringLiteral("hash(%1)").arg(Quoted(column.name));
        } else {
            items << Quoted(column.name);
            order << QString::number(items.size());
        }
    }
    QString query = QStringLiteral("select %1 from %2").arg(items.join(QStringLiteral(", ")), Quoted(table));
    if (!order.isEmpty())
        query += QStringLiteral(" order by ") + order.join(QStringLiteral(", "));
    return query + QStringLiteral(";\n");
}

} // namespace

TDatabaseImage ImageOf(const TPlace& place, const QString& path)
{
    TDatabaseImage image;
    image.metadata = MaskedMetadata(Isql(place, path, {QStringLiteral("-x")}, QString()));
    QMap<QString, std::vector<TColumn>> tables;
    QStringList sequences;
    ReadStructure(place, path, tables, sequences);
    EXPECT_FALSE(tables.isEmpty()) << path.toStdString();

    // One isql run for everything: each table's part begins with a line of
    // its own.
    const QString marker = QStringLiteral("@@ ");
    QString sql = QStringLiteral("set list on;\n");
    for (auto table = tables.cbegin(); table != tables.cend(); ++table) {
        sql += QStringLiteral("select %1 as MARCA, count(*) as LINHAS from %2;\n")
                   .arg(Literal(marker + table.key()), Quoted(table.key()));
        sql += RowsQuery(table.key(), table.value());
    }
    for (const QString& sequence : sequences)
        sql += QStringLiteral("select %1 as MARCA, gen_id(%2, 0) as VALOR from rdb$database;\n")
                   .arg(Literal(marker + QStringLiteral("sequence ") + sequence), Quoted(sequence));
    const QString out = Isql(place, path, {}, sql);

    static const QRegularExpression markLine(QStringLiteral("^MARCA\\s+@@ (.*)$"));
    QString current;
    QString rows;
    QString count;
    auto finish = [&] {
        if (current.isEmpty())
            return;
        const QByteArray digest = QCryptographicHash::hash(rows.toUtf8(), QCryptographicHash::Sha256).toHex();
        image.contents[current] = current.startsWith(QLatin1String("sequence "))
            ? count
            : QStringLiteral("%1 rows, %2").arg(count, QString::fromLatin1(digest));
    };
    for (const QString& line : out.split(u'\n')) {
        const auto mark = markLine.match(line.trimmed());
        if (mark.hasMatch()) {
            finish();
            current = mark.captured(1);
            rows.clear();
            count.clear();
        } else if (count.isEmpty()
            && (line.startsWith(QLatin1String("LINHAS ")) || line.startsWith(QLatin1String("VALOR ")))) {
            count = line.section(QRegularExpression(QStringLiteral("\\s+")), 1).trimmed();
        } else {
            rows += line + u'\n';
        }
    }
    finish();
    EXPECT_EQ(image.contents.size(), tables.size() + sequences.size()) << out.left(3000).toStdString();
    return image;
}

void CreateFromScripts(int version, const QString& path, const QString& characterSet, const QStringList& scripts)
{
    QString sql = QStringLiteral("set sql dialect 3;\ncreate database '%1%2' user '%3' password '%4'")
                      .arg(testserver::ServerTextOf(version), path, testserver::User(), testserver::Password());
    if (!characterSet.isEmpty())
        sql += QStringLiteral(" default character set ") + characterSet;
    sql += QStringLiteral(";\n") + scripts.join(u'\n') + QStringLiteral("\ncommit;\n");
    testserver::RunTool(version, QStringLiteral("isql-fb"), Login() << QStringLiteral("-b"), sql.toUtf8());
}

QString Script(const QString& name)
{
    QFile file(QStringLiteral(ZUR_ROUNDTRIP_SQL_DIR "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return QString::fromUtf8(file.readAll());
}

void CreateEmployee(int version, const QString& path)
{
    const testserver::TLinuxResult gzip
        = testserver::RunLinux({QStringLiteral("gzip"), QStringLiteral("-dc"), QStringLiteral(ZUR_EMPLOYEE_SQL)});
    QString sql = QString::fromUtf8(gzip.output);
    ASSERT_TRUE(gzip.exitCode == 0 && !sql.isEmpty())
        << ZUR_EMPLOYEE_SQL " is missing (Debian's firebird3.0-examples; scripts/setup installs it)";
    // The script creates its database in the current folder.
    const QString create = QStringLiteral("create database 'employee.fdb';");
    ASSERT_TRUE(sql.contains(create));
    sql.replace(create,
        QStringLiteral("create database '%1%2' user '%3' password '%4';")
            .arg(testserver::ServerTextOf(version), path, testserver::User(), testserver::Password()));
    if (version == 4) {
        // Firebird 4 refuses SUSPEND in a procedure that returns nothing,
        // where it always did what EXIT does.
        QStringList statements = sql.split(QStringLiteral("!!"));
        static const QRegularExpression executable(
            QStringLiteral("\\bCREATE PROCEDURE\\s+\\w+(\\s*\\((?:[^()]|\\([^()]*\\))*\\))?\\s*AS\\b"),
            QRegularExpression::CaseInsensitiveOption);
        for (QString& statement : statements)
            if (executable.match(statement).hasMatch())
                statement.replace(QStringLiteral("SUSPEND;"), QStringLiteral("EXIT;"));
        sql = statements.join(QStringLiteral("!!"));
    }
    testserver::RunTool(version, QStringLiteral("isql-fb"),
        {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-user"), testserver::User(),
            QStringLiteral("-password"), testserver::Password()},
        sql.toUtf8());
}

void ExpectSameDatabase(const TDatabaseImage& original, const TDatabaseImage& restored)
{
    EXPECT_FALSE(original.metadata.trimmed().isEmpty());
    if (original.metadata != restored.metadata) {
        // The first line that differs, for a readable failure.
        const QStringList before = original.metadata.split(u'\n');
        const QStringList after = restored.metadata.split(u'\n');
        int line = 0;
        while (line < before.size() && line < after.size() && before[line] == after[line])
            ++line;
        ADD_FAILURE() << "the metadata differs from line " << line + 1
                      << ":\n  original: " << before.value(line).toStdString()
                      << "\n  restored: " << after.value(line).toStdString();
    }
    // Per table and sequence.
    QStringList names = original.contents.keys() + restored.contents.keys();
    names.removeDuplicates();
    for (const QString& name : names) {
        EXPECT_EQ(original.contents.value(name, QStringLiteral("(missing)")).toStdString(),
            restored.contents.value(name, QStringLiteral("(missing)")).toStdString())
            << name.toStdString();
    }
}

} // namespace roundtrip
