#include "runs/RunLocks.h"

#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString PathReadAsSizeText = QStringLiteral("O caminho \"%1\" contém \"=\", que o servidor leria como o fim do "
                                                  "nome do arquivo seguido de um tamanho. Use um caminho sem \"=\".");
const QString OtherRunText = QStringLiteral("Outra execução do programa está trabalhando com %1 (trava %2).");
const QString LockNotMadeText = QStringLiteral("Não foi possível criar a trava %1: %2.");
const QString RelativePathText = QStringLiteral("O caminho da base de dados \"%1\" não é um caminho completo: o "
                                                "servidor e o programa o leriam a partir de pastas diferentes. Use "
                                                "o caminho completo do arquivo.");

} // namespace

QString DatabaseFileHere(const QString& path)
{
    // Only a link in the file's own place matters: a rename beside it would
    // replace the link instead of the database. Links among the folders lead
    // the server (which may see this machine's folders from a system of its
    // own) and the program to the same folder, and are kept as written.
    QString file = path;
    for (int hops = 0; hops < 16; ++hops) {
        const QFileInfo info(file);
        if (!info.isSymLink())
            return file;
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            return file;
        file = QDir::toNativeSeparators(QDir::cleanPath(QDir(info.absolutePath()).absoluteFilePath(target)));
    }
    return file;
}

QString DatabaseLockPath(const TDatabaseLogin& login, const QString& path)
{
    const bool here = ServerIsThisMachine(login.target);
    const QString server = login.target.tcp ? login.target.serverName : QStringLiteral("local");
    const QString file = here ? DatabaseFileHere(path) : path;
    return LockPathBeside(here ? file : QString(), QStringLiteral("base:") + server + u'|' + file);
}

QString BackupLockPath(const QString& backupFile)
{
    return LockPathBeside(backupFile, QStringLiteral("backup:") + backupFile);
}

QString LockRefusal(const TRunLock& lock, const QString& what)
{
    if (lock.Held())
        return QString();
    return lock.HeldByAnother() ? OtherRunText.arg(what, lock.Path()) : LockNotMadeText.arg(lock.Path(), lock.Reason());
}

QString PathRefusal(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (FileLineHasSize(path))
            return PathReadAsSizeText.arg(path);
    }
    return QString();
}

QString RelativePathRefusal(const QString& path)
{
    return QDir::isAbsolutePath(path) ? QString() : RelativePathText.arg(path);
}
