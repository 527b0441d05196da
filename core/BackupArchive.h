#pragma once
// Compressed backups: a zip archive that holds one backup. The server cannot
// read an archive, so a restore first extracts the backup into a file of its
// own run, which it removes on every way out; a backup can also be written
// into an archive of its own.

#include <QString>

#include <functional>

// Whether the catalogue entry names an archive (ends in ".ZIP", any letter case).
bool IsBackupArchive(const QString& path);

// A file that one restore run extracted and owns: removed when the owner goes,
// on every way out of the run. Empty (no path) when nothing was extracted.
class TExtractedBackup {
public:
    TExtractedBackup() = default;
    explicit TExtractedBackup(const QString& path)
        : FPath(path)
    {
    }
    ~TExtractedBackup();
    TExtractedBackup(TExtractedBackup&& other) noexcept;
    TExtractedBackup& operator=(TExtractedBackup&& other) noexcept;
    TExtractedBackup(const TExtractedBackup&) = delete;
    TExtractedBackup& operator=(const TExtractedBackup&) = delete;

    const QString& Path() const { return FPath; }
    // Told, in the operator's words, when the file cannot be removed (a
    // server on Windows that still holds it, say); without it, a warning.
    void SetRemovalReport(std::function<void(const QString&)> report) { FReport = std::move(report); }

private:
    void Remove();
    QString FPath;
    std::function<void(const QString&)> FReport;
};

// What an extraction gave: the extracted file, or why nothing was written.
struct TExtraction {
    TExtractedBackup file;
    // Empty when file holds the backup; otherwise what the operator reads.
    QString refusal;
    // The archive's entry that was (or would have been) extracted.
    QString entry;
};

// Called between two blocks of an extraction, so that the window goes on
// answering while a large backup comes out.
using TBetweenBlocks = std::function<void()>;

// Extracts the archive's backup into a new file in directory (which ends in
// its separator), under a name that no other run and no catalogue uses. The
// archive is usable when it holds exactly one file, or exactly one whose name
// ends in ".FBK", ".BKP" or ".GBK"; it is refused, with nothing written, when
// it has none or several, when a name in it climbs out of a folder (".."), is
// absolute or names a drive, when the entry is encrypted, when its size and
// room to spare do not fit on the disk, or when the file is no zip archive.
// The data is streamed in blocks; more data than the entry declares stops the
// extraction, as does a checksum that does not match, and the file goes.
TExtraction ExtractBackup(const QString& archive, const QString& directory, const TBetweenBlocks& between = {});

// The room an extraction of size bytes asks for on its disk: the size and
// some to spare, so that the disk is not left full for whatever writes next.
qint64 RoomForExtraction(qint64 size);

// Writes backupFile into archive (one entry named after the backup's own file
// name), atomically: under a partial name first, read back and compared with
// the backup, and only then renamed to archive, replacing an older one. On
// failure, the reason, and neither name holds a new file.
QString WriteBackupArchive(const QString& backupFile, const QString& archive);
