#include "runs/Leftovers.h"

#include "core/BackupFile.h"
#include "core/FileMove.h"
#include "core/RunLock.h"
#include "ibclient/Errors.h"
#include "runs/RunLocks.h"

#include <ibase.h>

#include <QFile>
#include <QFileInfo>

namespace {

const QString OutOfUseSuffix = QStringLiteral(".ZURFORADEUSO.");

const QString LeftAsideBackLine
    = QStringLiteral("Encontrada a base %1, deixada de lado por uma execução interrompida, sem base em %2: ela "
                     "voltou para o lugar.");
const QString LeftAsideNotBackLine = QStringLiteral(
    "Encontrada a base %1, deixada de lado por uma execução interrompida, sem base em %2; ela não pôde voltar: %3");
const QString LeftAsideRemovedLine
    = QStringLiteral("Encontrada a base %1, deixada de lado por uma execução interrompida; %2 já é a base "
                     "restaurada e está online: a anterior foi removida.");
const QString LeftAsideKeptLine
    = QStringLiteral("Encontrada a base %1, deixada de lado por uma execução interrompida; %2 não está online (%3): "
                     "nada foi removido.");
const QString LeftScratchLine
    = QStringLiteral("Encontrada a base de teste %1, deixada por uma execução interrompida: ela será removida.");
const QString LeftOutOfUseLine = QStringLiteral(
    "Encontrada a base %1 fora de uso, deixada assim por uma execução interrompida: ela voltou a ficar online.");
const QString LeftOutOfUseNotOnlineLine = QStringLiteral(
    "Encontrada a base %1 fora de uso, deixada assim por uma execução interrompida; ela não pôde voltar a ficar "
    "online: %2");
const QString NotOnlineAgainLine
    = QStringLiteral("A base de dados %1 não pôde voltar a ficar online: %2. A próxima execução tenta de novo.");
const QString OldNotRemovedLine = QStringLiteral("A base anterior ficou em %1 e não pôde ser removida: %2");

// Records the lines said to the sink.
class TSaidSink : public TRestoreSink {
public:
    TSaidSink(TRestoreSink& sink, QStringList& said)
        : FSink(sink)
        , FSaid(said)
    {
        progress = nullptr;
    }
    void Line(const QString& line) override
    {
        FSaid << line;
        FSink.Line(line);
    }
    void ReadOutput(TIBControlAndQueryService& service, const std::function<void(const QStringList&)>& seen) override
    {
        FSink.ReadOutput(service, seen);
    }
    void Wait(int milliseconds) override { FSink.Wait(milliseconds); }

private:
    TRestoreSink& FSink;
    QStringList& FSaid;
};

} // namespace

TOutOfUseMark::TOutOfUseMark(const QString& database, const QString& runMark)
    : FPath(database + OutOfUseSuffix + runMark)
{
}

QString TOutOfUseMark::Make()
{
    QFile mark(FPath);
    if (!mark.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return mark.errorString();
    mark.close();
    FMade = true;
    return QString();
}

void TOutOfUseMark::Remove()
{
    if (FMade && !QFile::remove(FPath))
        qWarning("The mark %s could not be removed", qUtf8Printable(FPath));
    FMade = false;
}

bool HasLeftoversBeside(const QString& database)
{
    if (database.isEmpty())
        return false;
    return !SetAsideFilesBeside(database).isEmpty() || !ScratchDatabasesBeside(database).isEmpty()
        || !FilesBesideWithSuffix(database, OutOfUseSuffix).isEmpty();
}

QString EnsureOnline(const TDatabaseLogin& login, const QString& path)
{
    try {
        if (DatabaseIsOnline(login, path))
            return QString();
    } catch (const Exception& failure) {
        if (!FailureHasCode(failure, {isc_shutdown}))
            return failure.Message();
    }
    const QString reason = BringOnline(login, path);
    if (!reason.isEmpty())
        return reason;
    try {
        return DatabaseIsOnline(login, path) ? QString() : QStringLiteral("fora de uso");
    } catch (const Exception& failure) {
        return failure.Message();
    }
}

void ResolveLeftovers(TRestoreSink& sink, const TDatabaseLogin& login, const QString& database)
{
    for (const QString& aside : SetAsideFilesBeside(database)) {
        if (!QFileInfo::exists(database)) {
            const QString reason = MoveFileNoReplace(aside, database);
            if (!reason.isEmpty()) {
                sink.Line(LeftAsideNotBackLine.arg(aside, database, reason));
                continue;
            }
            sink.Line(LeftAsideBackLine.arg(aside, database));
            const QString offline = EnsureOnline(login, database);
            if (!offline.isEmpty())
                sink.Line(NotOnlineAgainLine.arg(database, offline));
            continue;
        }
        // The swap got as far as giving the restored database its name (or
        // as far as the old one's second name: the path still holds it).
        const QString offline = EnsureOnline(login, database);
        if (!offline.isEmpty()) {
            sink.Line(LeftAsideKeptLine.arg(aside, database, offline));
            continue;
        }
        const QString notRemoved = RemoveFileRetrying(aside);
        if (notRemoved.isEmpty())
            sink.Line(LeftAsideRemovedLine.arg(aside, database));
        else
            sink.Line(OldNotRemovedLine.arg(aside, notRemoved));
    }
    for (const QString& scratch : ScratchDatabasesBeside(database)) {
        sink.Line(LeftScratchLine.arg(scratch));
        DropScratchDatabase(sink, login, scratch);
    }
    // Last: by now the path holds the database that was there before the
    // run, or the one it restored and checked; both are whole.
    for (const QString& mark : FilesBesideWithSuffix(database, OutOfUseSuffix)) {
        if (!QFileInfo::exists(database))
            continue; // the set-aside database could not go back: the mark stays for the next run
        bool wasOnline = false;
        try {
            wasOnline = DatabaseIsOnline(login, database);
        } catch (const Exception&) {
            // Out of use, or not reachable now: EnsureOnline says which.
        }
        const QString offline = EnsureOnline(login, database);
        if (!offline.isEmpty()) {
            sink.Line(LeftOutOfUseNotOnlineLine.arg(database, offline));
            continue;
        }
        if (!wasOnline)
            sink.Line(LeftOutOfUseLine.arg(database));
        if (!QFile::remove(mark))
            qWarning("The mark %s could not be removed", qUtf8Printable(mark));
    }
}

QStringList PutRightBeside(TRestoreSink& sink, const TDatabaseLogin& login, const QString& database)
{
    QStringList said;
    if (!ServerIsThisMachine(login.target))
        return said;
    const QString file = DatabaseFileHere(database);
    if (!HasLeftoversBeside(file))
        return said;
    const TRunLock lock(DatabaseLockPath(login, database));
    if (!lock.Held())
        return said; // a run at work, or no lock to be had: nothing is touched
    TSaidSink saying(sink, said);
    ResolveLeftovers(saying, login, file);
    return said;
}
