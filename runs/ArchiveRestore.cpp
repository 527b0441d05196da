#include "runs/ArchiveRestore.h"

namespace {

const QString ExtractingLine = QStringLiteral("Extraindo o backup do arquivo compactado %1...");
const QString ExtractedLine = QStringLiteral("Backup %1 extraído em %2.");
const QString RemoteServerLine = QStringLiteral("O servidor %1 não está neste computador e não leria o backup "
                                                "extraído aqui do arquivo compactado %2. Nada foi alterado.");
const QString NothingWrittenLine = QStringLiteral("Nada foi extraído e a base de dados não foi alterada.");

} // namespace

bool ExtractForRestore(const QString& archive, const TServiceTarget& target, const QString& directory,
    const std::function<void(const QString&)>& logLine, const TBetweenBlocks& between, TExtractedBackup& extracted)
{
    // The file would be extracted here, and the server reads the path on its
    // own disk: only a server on this machine would find it.
    if (!ServerIsThisMachine(target)) {
        logLine(RemoteServerLine.arg(target.serverName, archive));
        return false;
    }
    logLine(ExtractingLine.arg(archive));
    TExtraction extraction = ExtractBackup(archive, directory, between);
    if (!extraction.refusal.isEmpty()) {
        logLine(extraction.refusal);
        logLine(NothingWrittenLine);
        return false;
    }
    logLine(ExtractedLine.arg(extraction.entry, extraction.file.Path()));
    extracted = std::move(extraction.file);
    extracted.SetRemovalReport(logLine);
    return true;
}
