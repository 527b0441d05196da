#include "core/BackupArchive.h"

#include "core/ZipHandles.h"

#include <QCoreApplication>
#include <QStorageInfo>

#include <algorithm>
#include <atomic>
#include <limits>
#include <vector>

namespace {

const QString UnreadableText = QStringLiteral("O arquivo %1 não pôde ser lido como arquivo compactado (zip): %2");
const QString NoBackupText
    = QStringLiteral("O arquivo compactado %1 não contém um backup (um único arquivo, ou um só .FBK, .BKP ou .GBK).");
const QString SeveralBackupsText
    = QStringLiteral("O arquivo compactado %1 contém mais de um backup (%2): não se sabe qual restaurar.");
const QString UnsafeNameText = QStringLiteral("O arquivo compactado %1 contém o nome \"%2\", que sai da pasta "
                                              "(\"..\"), é um caminho absoluto ou indica um drive: foi recusado.");
const QString EncryptedText = QStringLiteral("O backup %2 do arquivo compactado %1 está protegido por senha.");
const QString NoSizeText = QStringLiteral("O arquivo compactado %1 não diz o tamanho do backup %2.");
const QString NoRoomText = QStringLiteral("Não há espaço em %1 para extrair o backup %2: ele ocupa %3 bytes, "
                                          "são precisos %4 bytes livres e há %5.");
const QString NoFreeSpaceKnownText = QStringLiteral("Não foi possível saber o espaço livre em %1.");
const QString TooMuchDataText = QStringLiteral("O backup %2 do arquivo compactado %1 tem mais dados do que os %3 "
                                               "bytes que declara: a extração parou.");
const QString TooLittleDataText = QStringLiteral("O backup %2 do arquivo compactado %1 terminou com %3 dos %4 bytes "
                                                 "que declara.");
const QString ReadFailedText = QStringLiteral("Não foi possível extrair o backup %2 do arquivo compactado %1: %3");
const QString WriteFailedText = QStringLiteral("Não foi possível gravar o backup extraído em %1: %2 (erro %3)");

const QString NotRemovedText = QStringLiteral("Não foi possível remover o backup extraído %1: %2 (erro %3)");

const QStringList BackupSuffixes = {QStringLiteral(".FBK"), QStringLiteral(".BKP"), QStringLiteral(".GBK")};
const QString ExtractedSuffix = QStringLiteral(".EXTRAIDO");

// Room left on the disk beyond the extracted backup: a tenth of it, and never
// less than this.
constexpr qint64 SmallestSpareBytes = 16 << 20;

bool IsSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

// A name that would climb out of a folder, start at a root or name a drive,
// wherever it were extracted (on Windows "\" separates as "/" does).
bool UnsafeName(const QString& name)
{
    if (name.isEmpty() || IsSeparator(name.at(0)))
        return true;
    if (name.size() >= 2 && name.at(1) == u':' && name.at(0).isLetter())
        return true;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i == name.size() || IsSeparator(name.at(i))) {
            if (QStringView(name).mid(start, i - start) == QLatin1String(".."))
                return true;
            start = i + 1;
        }
    }
    return false;
}

bool IsFolderEntry(const QString& name)
{
    return !name.isEmpty() && IsSeparator(name.back());
}

bool HasBackupSuffix(const QString& name)
{
    for (const QString& suffix : BackupSuffixes) {
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

struct TEntry {
    zip_uint64_t index;
    QString name;
};

// The archive's backup entry, or why there is none to take.
struct TChoice {
    TEntry entry{0, QString()};
    QString refusal;
};

TChoice ChooseEntry(zip_t* archive, const QString& path)
{
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    std::vector<TEntry> files;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (raw == nullptr)
            return {{0, QString()}, UnreadableText.arg(path, ZipErrorText(zip_get_error(archive)))};
        const QString name = QString::fromUtf8(raw);
        // Every name is looked at, not only the backup's: an archive made to
        // write outside its folder is not one to trust.
        if (UnsafeName(name))
            return {{0, QString()}, UnsafeNameText.arg(path, name)};
        if (!IsFolderEntry(name))
            files.push_back({static_cast<zip_uint64_t>(i), name});
    }
    if (files.size() == 1)
        return {files.front(), QString()};
    std::vector<TEntry> backups;
    for (const TEntry& file : files) {
        if (HasBackupSuffix(file.name))
            backups.push_back(file);
    }
    if (backups.size() == 1)
        return {backups.front(), QString()};
    if (backups.empty())
        return {{0, QString()}, NoBackupText.arg(path)};
    QStringList names;
    for (const TEntry& backup : backups)
        names.append(backup.name);
    return {{0, QString()}, SeveralBackupsText.arg(path, names.join(QStringLiteral(", ")))};
}

// A new file in directory that no other run of this or another copy of the
// program has: the process's number and a count, created only if absent.
std::unique_ptr<QFile> CreateOwnFile(const QString& directory, QString& failure)
{
    static std::atomic<unsigned> count{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = directory
            + QStringLiteral("RESTORE-%1-%2").arg(QCoreApplication::applicationPid()).arg(++count) + ExtractedSuffix;
        auto file = std::make_unique<QFile>(path);
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file;
        if (!QFile::exists(path)) {
            failure = WriteFailedText.arg(path, file->errorString()).arg(file->error());
            return nullptr;
        }
    }
    failure = WriteFailedText.arg(directory, QStringLiteral("nenhum nome livre")).arg(QFileDevice::OpenError);
    return nullptr;
}

// Streams the entry into file, never more than its declared size; the reason
// when it does not come out whole.
QString CopyEntry(zip_t* archive, const TEntry& entry, qint64 declared, QFile& file, const QString& path,
    const TBetweenBlocks& between)
{
    TZipFile data(zip_fopen_index(archive, entry.index, 0));
    if (!data)
        return ReadFailedText.arg(path, entry.name, ZipErrorText(zip_get_error(archive)));
    std::vector<char> block(static_cast<size_t>(ZipBlockBytes));
    qint64 total = 0;
    for (;;) {
        const zip_int64_t read = zip_fread(data.get(), block.data(), block.size());
        if (read < 0)
            return ReadFailedText.arg(path, entry.name, ZipErrorText(zip_file_get_error(data.get())));
        if (read == 0)
            break;
        // Past the declared size nothing more is written: the data is not
        // what the disk was checked for.
        const qint64 room = declared - total;
        if (read > room)
            return TooMuchDataText.arg(path, entry.name).arg(declared);
        if (file.write(block.data(), read) != read)
            return WriteFailedText.arg(file.fileName(), file.errorString()).arg(file.error());
        total += read;
        if (between)
            between();
    }
    if (total != declared)
        return TooLittleDataText.arg(path, entry.name).arg(total).arg(declared);
    if (!file.flush())
        return WriteFailedText.arg(file.fileName(), file.errorString()).arg(file.error());
    return QString();
}

} // namespace

bool IsBackupArchive(const QString& path)
{
    return path.endsWith(QLatin1String(".ZIP"), Qt::CaseInsensitive);
}

TExtractedBackup::~TExtractedBackup()
{
    Remove();
}

TExtractedBackup::TExtractedBackup(TExtractedBackup&& other) noexcept
    : FPath(std::move(other.FPath))
    , FReport(std::move(other.FReport))
{
    other.FPath.clear();
}

TExtractedBackup& TExtractedBackup::operator=(TExtractedBackup&& other) noexcept
{
    if (this != &other) {
        Remove();
        FPath = std::move(other.FPath);
        FReport = std::move(other.FReport);
        other.FPath.clear();
    }
    return *this;
}

void TExtractedBackup::Remove()
{
    if (FPath.isEmpty())
        return;
    QFile file(FPath);
    if (file.exists() && !file.remove()) {
        const QString text = NotRemovedText.arg(FPath, file.errorString()).arg(file.error());
        try {
            if (FReport)
                FReport(text);
            else
                qWarning("%s", qUtf8Printable(text));
        } catch (const std::exception& failure) {
            // On the way out of a run that may be failing already: said, not raised.
            qWarning("%s (%s)", qUtf8Printable(text), failure.what());
        }
    }
    FPath.clear();
}

qint64 RoomForExtraction(qint64 size)
{
    return size + std::max(size / 10, SmallestSpareBytes);
}

TExtraction ExtractBackup(const QString& archive, const QString& directory, const TBetweenBlocks& between)
{
    TExtraction result;
    QString failure;
    // The consistency check compares every entry's local header with the
    // archive's directory: an archive that says two things is not read.
    TZipArchive zip = OpenZip(archive, ZIP_RDONLY | ZIP_CHECKCONS, failure);
    if (!zip) {
        result.refusal = UnreadableText.arg(archive, failure);
        return result;
    }
    const TChoice choice = ChooseEntry(zip.get(), archive);
    if (!choice.refusal.isEmpty()) {
        result.refusal = choice.refusal;
        return result;
    }
    result.entry = choice.entry.name;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip.get(), choice.entry.index, 0, &stat) != 0) {
        result.refusal = UnreadableText.arg(archive, ZipErrorText(zip_get_error(zip.get())));
        return result;
    }
    if (!(stat.valid & ZIP_STAT_ENCRYPTION_METHOD) || stat.encryption_method != ZIP_EM_NONE) {
        result.refusal = EncryptedText.arg(archive, result.entry);
        return result;
    }
    if (!(stat.valid & ZIP_STAT_SIZE)
        || stat.size > static_cast<zip_uint64_t>(std::numeric_limits<qint64>::max() / 2)) {
        result.refusal = NoSizeText.arg(archive, result.entry);
        return result;
    }
    const qint64 declared = static_cast<qint64>(stat.size);
    const QStorageInfo disk(directory);
    if (!disk.isValid() || disk.bytesAvailable() < 0) {
        result.refusal = NoFreeSpaceKnownText.arg(directory);
        return result;
    }
    const qint64 needed = RoomForExtraction(declared);
    if (disk.bytesAvailable() < needed) {
        result.refusal = NoRoomText.arg(directory, result.entry).arg(declared).arg(needed).arg(disk.bytesAvailable());
        return result;
    }
    std::unique_ptr<QFile> file = CreateOwnFile(directory, failure);
    if (!file) {
        result.refusal = failure;
        return result;
    }
    // From here the file is the run's: it goes on every way out but success.
    TExtractedBackup owned(file->fileName());
    failure = CopyEntry(zip.get(), choice.entry, declared, *file, archive, between);
    file->close();
    if (failure.isEmpty() && file->error() != QFileDevice::NoError)
        failure = WriteFailedText.arg(file->fileName(), file->errorString()).arg(file->error());
    if (!failure.isEmpty()) {
        result.refusal = failure;
        return result;
    }
    result.file = std::move(owned);
    return result;
}
