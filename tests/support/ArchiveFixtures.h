#pragma once
// Archives for the tests of compressed backups: written by the zip library,
// or by Debian's zip, the other common tool; and the hostile ones made from
// them by rewriting the sizes they declare.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <zip.h>

#include <vector>

namespace archives {

struct TEntry {
    QString name; // ending in "/": a folder
    QByteArray bytes;
};

// An archive of entries, deflated (or stored as they are), written by the zip library.
inline void MakeWithLibrary(const QString& path, const std::vector<TEntry>& entries, bool stored = false)
{
    int code = 0;
    zip_t* archive = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_NE(archive, nullptr) << "zip_open " << code;
    for (const TEntry& entry : entries) {
        const QByteArray name = entry.name.toUtf8();
        if (entry.name.endsWith(u'/')) {
            ASSERT_GE(zip_dir_add(archive, name.constData(), ZIP_FL_ENC_UTF_8), 0);
            continue;
        }
        // The archive reads the bytes when it is closed: they stay in entries until then.
        zip_source_t* source = zip_source_buffer(archive, entry.bytes.constData(), entry.bytes.size(), 0);
        ASSERT_NE(source, nullptr);
        const zip_int64_t index = zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(index, 0) << zip_strerror(archive);
        zip_set_file_compression(
            archive, static_cast<zip_uint64_t>(index), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, stored ? 0 : 9);
    }
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

// Whether a Debian tool (zip, unzip) runs here: not under Wine.
inline bool ToolRuns(const QString& tool)
{
    QProcess process;
    process.start(tool, {QStringLiteral("-v")});
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Runs Debian's zip in folder: archive from the files named (relative to
// folder), with zip's own options before them.
inline void MakeWithZipTool(
    const QString& folder, const QString& archive, const QStringList& names, const QStringList& options = {})
{
    QProcess zip;
    zip.setWorkingDirectory(folder);
    zip.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q")} + options + QStringList{archive} + names);
    ASSERT_TRUE(zip.waitForFinished(120000)) << "zip did not run";
    ASSERT_EQ(zip.exitCode(), 0) << zip.readAllStandardError().toStdString();
}

// Rewrites the uncompressed size that the archive's only entry declares, in
// its local header and in the archive's directory alike.
inline void DeclareSize(const QString& path, quint32 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const auto put = [&bytes, size](qsizetype at) {
        ASSERT_LE(at + 4, bytes.size());
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char((size >> (8 * i)) & 0xff);
    };
    ASSERT_TRUE(bytes.startsWith(QByteArray("PK\x03\x04", 4)));
    put(22);
    const qsizetype central = bytes.lastIndexOf(QByteArray("PK\x01\x02", 4));
    ASSERT_GT(central, 0);
    put(central + 24);
    file.seek(0);
    file.write(bytes);
}

} // namespace archives
