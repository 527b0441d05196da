#pragma once
// The zip library's handles, each with its owner, and its error text with
// the library's code, for the archive reading and writing of this folder.

#include <QFile>
#include <QString>

#include <zip.h>

#include <memory>

// The library takes file names as UTF-8 on every platform (on Windows it
// turns them into the wide names of the system itself).
inline QByteArray ZipFileName(const QString& path)
{
    return path.toUtf8();
}

// The library's words for an error, and its code.
inline QString ZipErrorText(zip_error_t* error)
{
    return QStringLiteral("%1 (zip %2)")
        .arg(QString::fromUtf8(zip_error_strerror(error)))
        .arg(zip_error_code_zip(error));
}
inline QString ZipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = ZipErrorText(&error);
    zip_error_fini(&error);
    return text;
}

// An open archive; one that was not closed on purpose is discarded (nothing
// it was told to write is written).
struct TZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using TZipArchive = std::unique_ptr<zip_t, TZipDiscard>;

// An archive open for reading, or the library's words for why it is not.
inline TZipArchive OpenZip(const QString& path, int flags, QString& failure)
{
    int code = ZIP_ER_OK;
    TZipArchive archive(zip_open(ZipFileName(path).constData(), flags, &code));
    if (!archive)
        failure = ZipErrorText(code);
    return archive;
}

// An entry open for reading.
struct TZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using TZipFile = std::unique_ptr<zip_file_t, TZipFileClose>;

// The size of the blocks that entries are read and compared in: peak memory
// stays this, whatever the size of the backup.
constexpr qint64 ZipBlockBytes = 1 << 20;
