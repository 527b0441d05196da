// Writing a backup into an archive of its own.
#include "core/BackupArchive.h"

#include "core/BackupFile.h"
#include "core/RunLock.h"
#include "core/ZipHandles.h"

#include <QFileInfo>

#include <cstring>

#include <vector>

namespace {

const QString NotWrittenText = QStringLiteral("O arquivo compactado %1 não pôde ser gravado: %2");
const QString NotReadBackText = QStringLiteral("O arquivo compactado %1 foi gravado, mas a releitura falhou: %2");
const QString DiffersText = QStringLiteral("o conteúdo relido difere do backup %1");
const QString BackupUnreadableText = QStringLiteral("o backup %1 não pôde ser lido: %2");

// Reads the entry of the archive at path back and compares it, block by
// block, with the backup; the reason when it differs or cannot be read.
QString CompareWithBackup(const QString& path, const QString& entryName, const QString& backupFile)
{
    QString failure;
    TZipArchive zip = OpenZip(path, ZIP_RDONLY | ZIP_CHECKCONS, failure);
    if (!zip)
        return failure;
    if (zip_get_num_entries(zip.get(), 0) != 1)
        return DiffersText.arg(backupFile);
    const zip_int64_t index = zip_name_locate(zip.get(), entryName.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
    if (index != 0)
        return DiffersText.arg(backupFile);
    TZipFile data(zip_fopen_index(zip.get(), 0, 0));
    if (!data)
        return ZipErrorText(zip_get_error(zip.get()));
    QFile backup(backupFile);
    if (!backup.open(QIODevice::ReadOnly))
        return BackupUnreadableText.arg(backupFile, backup.errorString());
    std::vector<char> block(static_cast<size_t>(ZipBlockBytes));
    for (;;) {
        // The library's checksum check ends the entry's last read.
        const zip_int64_t read = zip_fread(data.get(), block.data(), block.size());
        if (read < 0)
            return ZipErrorText(zip_file_get_error(data.get()));
        const QByteArray original = backup.read(read == 0 ? 1 : read);
        if (read == 0)
            return original.isEmpty() ? QString() : DiffersText.arg(backupFile);
        if (original.size() != read || std::memcmp(original.constData(), block.data(), read) != 0)
            return DiffersText.arg(backupFile);
    }
}

} // namespace

QString WriteBackupArchive(const QString& backupFile, const QString& archive)
{
    // A name of this run's own: two copies of the program writing the same
    // archive never write into one file.
    const QString partial = PartialBackupName(archive, NewRunMark());
    const QString entryName = QFileInfo(backupFile).fileName();
    QString failure;
    TZipArchive zip = OpenZip(partial, ZIP_CREATE | ZIP_EXCL, failure);
    if (!zip)
        return NotWrittenText.arg(partial, failure);
    zip_source_t* source = zip_source_file(zip.get(), ZipFileName(backupFile).constData(), 0, 0);
    if (source == nullptr)
        return NotWrittenText.arg(partial, ZipErrorText(zip_get_error(zip.get())));
    const zip_int64_t index = zip_file_add(zip.get(), entryName.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source); // not taken by the archive when the add fails
        return NotWrittenText.arg(partial, ZipErrorText(zip_get_error(zip.get())));
    }
    if (zip_set_file_compression(zip.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0) != 0)
        return NotWrittenText.arg(partial, ZipErrorText(zip_get_error(zip.get())));
    // The library writes the whole archive under a temporary name of its own
    // beside the partial one and renames it only when complete.
    if (zip_close(zip.get()) != 0) {
        failure = NotWrittenText.arg(partial, ZipErrorText(zip_get_error(zip.get())));
        QFile::remove(partial);
        return failure;
    }
    zip.release(); // closed: nothing left to discard
    failure = CompareWithBackup(partial, entryName, backupFile);
    if (!failure.isEmpty()) {
        QFile::remove(partial);
        return NotReadBackText.arg(partial, failure);
    }
    const QString reason = ReplaceFile(partial, archive);
    if (!reason.isEmpty()) {
        QFile::remove(partial);
        return NotWrittenText.arg(archive, reason);
    }
    return QString();
}
