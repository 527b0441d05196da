#include "cli/RunChecks.h"

#include "cli/CommandLine.h"
#include "core/BackupNaming.h"
#include "runs/RestoreSafety.h"
#include "runs/RunLocks.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

const QString RelativeFolderText = QStringLiteral("A pasta de destino \"%1\" não é um caminho completo: o servidor e o "
                                                  "programa a leriam a partir de pastas diferentes. Use o caminho "
                                                  "completo da pasta.");
const QString MissingFolderText = QStringLiteral("A pasta de destino %1 não existe.");
const QString NotAFolderText = QStringLiteral("O destino %1 não é uma pasta.");
const QString FolderTakesNoFileText = QStringLiteral("A pasta de destino %1 não aceita arquivos do programa: %2");
const QString NoDatabaseHereText
    = QStringLiteral("A base de dados %1 não existe. Para criar uma base nova com este backup, use --create.");
const QString NoDatabaseThereText = QStringLiteral("A base de dados %1 não existe no servidor %2. Para criar uma base "
                                                   "nova com este backup, use --create.");

} // namespace

QString BackupFolderRefusal(const QString& folder)
{
    if (!QDir::isAbsolutePath(folder))
        return RelativeFolderText.arg(folder);
    // Without its last separator: "file/" names nothing, where the file is.
    const QFileInfo info(QDir::cleanPath(QDir::fromNativeSeparators(folder)));
    if (!info.exists())
        return MissingFolderText.arg(folder);
    if (!info.isDir())
        return NotAFolderText.arg(folder);
    // The permission bits do not tell a read-only mount or an immutable
    // folder: a file made there does. The run writes there itself (the
    // rename of the proved backup, the log).
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".zur-sonda-XXXXXX")));
    if (!probe.open())
        return FolderTakesNoFileText.arg(folder, probe.errorString());
    return QString();
}

QString CheckBeforeRun(const TCommandLine& command)
{
    const bool backup = command.action == TCommandLine::Backup;
    const TServiceTarget target = backup ? BackupServiceTarget(command.server) : RestoreServiceTarget(command.server);
    // The paths of a server elsewhere are that machine's: nothing here can
    // judge them.
    const bool here = ServerIsThisMachine(target);
    if (here) {
        const QString relative = RelativePathRefusal(command.database);
        if (!relative.isEmpty())
            return relative;
    }
    if (backup)
        return here ? BackupFolderRefusal(command.destination) : QString();
    // A mistyped path would otherwise become a new database, which later
    // runs would go on using while the real one is left behind.
    if (command.create)
        return QString();
    if (here)
        return QFileInfo::exists(command.database) ? QString() : NoDatabaseHereText.arg(command.database);
    const TDatabaseProbe probe = ProbeDatabase({target, command.user, command.password}, command.database);
    if (probe.state == TDatabaseState::Absent)
        return NoDatabaseThereText.arg(command.database, command.server);
    return QString();
}
