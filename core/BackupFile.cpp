#include "core/BackupFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString PartialSuffix = QStringLiteral(".PARCIAL.");

// The header of a backup: a record of the backup program's attributes, then
// the physical and the logical database records. Every attribute is a code, a
// length byte and that many bytes; code 0 ends a record.
constexpr unsigned char BackupProgramRecord = 0;
constexpr unsigned char DatabaseRecord = 1;
constexpr unsigned char PhysicalDatabaseRecord = 14;
constexpr unsigned char PageSizeAttribute = 5;
constexpr unsigned char EndOfRecord = 0;
// The header fits easily: the attributes before the page size are a few
// numbers, a date and the database's file name (at most 255 bytes).
constexpr qint64 HeaderBytes = 4096;

class THeaderReader {
public:
    explicit THeaderReader(const QByteArray& bytes)
        : FBytes(bytes)
    {
    }
    bool AtEnd() const { return FPos >= FBytes.size(); }
    unsigned char Byte() { return static_cast<unsigned char>(FBytes.at(FPos++)); }
    // The value of an attribute of length bytes, least significant byte first.
    bool Number(int length, qint64& value)
    {
        if (length < 1 || length > 4 || FPos + length > FBytes.size())
            return false;
        value = 0;
        for (int i = length - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(FBytes.at(FPos + i));
        FPos += length;
        return true;
    }
    bool Skip(int length)
    {
        FPos += length;
        return FPos <= FBytes.size();
    }

private:
    const QByteArray& FBytes;
    qsizetype FPos = 0;
};

bool IsPageSize(qint64 value)
{
    return value >= 1024 && value <= 65536 && (value & (value - 1)) == 0;
}

} // namespace

QString PartialBackupName(const QString& finalName, const QString& runMark)
{
    return finalName + PartialSuffix + runMark;
}

QStringList PartialBackupsOf(const QString& finalName)
{
    return FilesBesideWithSuffix(finalName, PartialSuffix);
}

QStringList FilesBesideWithSuffix(const QString& path, const QString& suffix)
{
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    const QString prefix = info.fileName() + suffix;
    QStringList found;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (name.startsWith(prefix) && name.size() > prefix.size())
            found << QDir::toNativeSeparators(folder.filePath(name));
    }
    return found;
}

int BackupPageSize(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.read(HeaderBytes);
    THeaderReader header(bytes);
    if (header.AtEnd() || header.Byte() != BackupProgramRecord)
        return 0;
    // The records up to the logical database's, attribute by attribute.
    bool inDatabaseRecord = false;
    while (!header.AtEnd()) {
        const unsigned char code = header.Byte();
        if (code == EndOfRecord) {
            if (header.AtEnd())
                return 0;
            const unsigned char record = header.Byte();
            if (record != PhysicalDatabaseRecord && record != DatabaseRecord)
                return 0; // past the database's records without a page size
            inDatabaseRecord = true;
            continue;
        }
        if (header.AtEnd())
            return 0;
        const int length = header.Byte();
        if (inDatabaseRecord && code == PageSizeAttribute) {
            qint64 value = 0;
            return header.Number(length, value) && IsPageSize(value) ? static_cast<int>(value) : 0;
        }
        if (!header.Skip(length))
            return 0;
    }
    return 0;
}

int RestorePageSize(int databasePageSize)
{
    constexpr int Smallest = 4096;
    if (databasePageSize <= 0)
        return 0;
    return databasePageSize > Smallest ? databasePageSize : Smallest;
}

TFileStamp FileStamp(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return {info.size(), info.lastModified()};
}
