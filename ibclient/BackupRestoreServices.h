#pragma once
// The backup and restore service objects and the start blocks they send.

#include "ibclient/Services.h"
#include "ibclient/StringList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <set>

enum class TBackupOption {
    IgnoreChecksums,
    IgnoreLimbo,
    MetadataOnly,
    NoGarbageCollection,
    OldMetadataDesc,
    NonTransportable,
    ConvertExtTables
};
using TBackupOptions = std::set<TBackupOption>;

enum class TRestoreOption {
    DeactivateIndexes,
    NoShadow,
    NoValidityCheck,
    OneRelationAtATime,
    Replace,
    CreateNewDB,
    UseAllSpace,
    ValidationCheck
};
using TRestoreOptions = std::set<TRestoreOption>;

// The options value of a start block: backup option i sets bit i, restore
// option i sets bit i + 8.
int BackupOptionBits(const TBackupOptions& options);
int RestoreOptionBits(const TRestoreOptions& options);

// Appends the items of a file list: each line that is not blank is a file name,
// optionally followed by "=" and a size; the name goes out as a string item
// with nameCode, the size (read with StrToInt) as an integer item with sizeCode.
void AppendFileLines(QByteArray& block, const QStringList& lines, unsigned char nameCode, unsigned char sizeCode);
// Whether that rule reads line as a file name followed by a size: it does
// for every line with an "=" in it, and the name sent is then only the part
// before the "=" (or the request fails when the rest is not a number).
bool FileLineHasSize(const QString& line);

// The backup start block: 1; 106 database; 108 options; 107 when verbose;
// 6 blocking factor when above 0; 5/7 for each backup file line. Client error
// 94 when the database name is empty.
QByteArray BuildBackupStartBlock(const QString& databaseName, const TBackupOptions& options, bool verbose,
    int blockingFactor, const QStringList& backupFiles);
// The restore start block: 2; 108 options; 107 when verbose; 10 page size and
// 9 page buffers when above 0; 5/7 for each backup file line; 106/11 for each
// database file line.
QByteArray BuildRestoreStartBlock(const TRestoreOptions& options, bool verbose, int pageSize, int pageBuffers,
    const QStringList& backupFiles, const QStringList& databaseFiles);

class TIBBackupRestoreService : public TIBControlAndQueryService {
public:
    TIBBackupRestoreService() = default;

    // Asks the server for its verbose output.
    bool Verbose() const { return FVerbose; }
    void SetVerbose(bool value) { FVerbose = value; }

private:
    bool FVerbose = false;
};

class TIBBackupService : public TIBBackupRestoreService {
public:
    TIBBackupService() = default;

    // Path of the database to back up, as the server sees it.
    QString DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString& value) { FDatabaseName = value; }
    TBackupOptions Options() const { return FOptions; }
    void SetOptions(const TBackupOptions& value) { FOptions = value; }
    // Backup files to write, each optionally followed by "=" and a size.
    TStringList& BackupFile() { return FBackupFile; }
    const TStringList& BackupFile() const { return FBackupFile; }
    void SetBackupFile(const QStringList& lines) { FBackupFile.Assign(lines); }
    // Sent only when above 0.
    int BlockingFactor() const { return FBlockingFactor; }
    void SetBlockingFactor(int value) { FBlockingFactor = value; }

protected:
    void BuildStartRequest() override;

private:
    QString FDatabaseName;
    TBackupOptions FOptions;
    TStringList FBackupFile;
    int FBlockingFactor = 0;
};

class TIBRestoreService : public TIBBackupRestoreService {
public:
    TIBRestoreService() = default;

    // Database files to create, each optionally followed by "=" and a size.
    TStringList& DatabaseName() { return FDatabaseName; }
    const TStringList& DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QStringList& lines) { FDatabaseName.Assign(lines); }
    // Backup files to read, each optionally followed by "=" and a size.
    TStringList& BackupFile() { return FBackupFile; }
    const TStringList& BackupFile() const { return FBackupFile; }
    void SetBackupFile(const QStringList& lines) { FBackupFile.Assign(lines); }
    TRestoreOptions Options() const { return FOptions; }
    void SetOptions(const TRestoreOptions& value) { FOptions = value; }
    // Sent only when above 0.
    int PageSize() const { return FPageSize; }
    void SetPageSize(int value) { FPageSize = value; }
    int PageBuffers() const { return FPageBuffers; }
    void SetPageBuffers(int value) { FPageBuffers = value; }

protected:
    void BuildStartRequest() override;

private:
    TStringList FDatabaseName;
    TStringList FBackupFile;
    TRestoreOptions FOptions{TRestoreOption::CreateNewDB};
    int FPageSize = 4096;
    int FPageBuffers = 0;
};
