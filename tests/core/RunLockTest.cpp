// The lock that keeps two runs apart and the rename that never replaces: the
// operating system's own calls, on this platform's files.

#include "core/RunLock.h"
#include "core/FileMove.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(RunLock, OneHolderAtATimeAndTheNextAfterIt)
{
    QTemporaryDir dir;
    const QString path = LockPathBeside(dir.filePath(QStringLiteral("DADOS.FDB")), QStringLiteral("k"));
    EXPECT_EQ(path, dir.filePath(QStringLiteral("DADOS.FDB.TRAVA")));
    auto first = std::make_unique<TRunLock>(path);
    ASSERT_TRUE(first->Held()) << first->Reason().toStdString();
    {
        // Another run (another opening of the file) finds it taken.
        const TRunLock second(path);
        EXPECT_FALSE(second.Held());
        EXPECT_TRUE(second.HeldByAnother());
        EXPECT_FALSE(second.Reason().isEmpty());
    }
    first.reset();
    // Let go: the file goes with its holder, and the next run takes the lock.
    EXPECT_FALSE(QFile::exists(path));
    const TRunLock next(path);
    EXPECT_TRUE(next.Held());
}

TEST(RunLock, AFolderThatCannotTakeTheLockFileSendsItToTheTemporaryFolder)
{
    // No folder (a database on another machine's server) or a missing one.
    for (const QString& path : {QString(), QStringLiteral("/no/such/folder/DADOS.FDB")}) {
        const QString lock = LockPathBeside(path, QStringLiteral("base:host|") + path);
        EXPECT_TRUE(lock.startsWith(QDir::tempPath() + QStringLiteral("/zur-"))) << lock.toStdString();
        EXPECT_TRUE(lock.endsWith(QStringLiteral(".TRAVA")));
        // The same key, the same lock; another key, another.
        EXPECT_EQ(lock, LockPathBeside(path, QStringLiteral("base:host|") + path));
        EXPECT_NE(lock, LockPathBeside(path, QStringLiteral("base:other|") + path));
    }
    const TRunLock missing(QStringLiteral("/no/such/folder/x.TRAVA"));
    EXPECT_FALSE(missing.Held());
    EXPECT_FALSE(missing.HeldByAnother());
}

TEST(RunLock, EveryRunHasAMarkOfItsOwn)
{
    QStringList marks;
    for (int i = 0; i < 50; ++i)
        marks << NewRunMark();
    marks.removeDuplicates();
    EXPECT_EQ(marks.size(), 50);
}

TEST(FileMove, MovesOnlyToAFreeName)
{
    QTemporaryDir dir;
    const QString from = dir.filePath(QStringLiteral("NOVA"));
    const QString to = dir.filePath(QStringLiteral("DADOS.FDB"));
    Write(from, "nova");
    Write(to, "antiga");

    // A taken name stops the move: both files as they were.
    EXPECT_FALSE(MoveFileNoReplace(from, to).isEmpty());
    EXPECT_EQ(Contents(from), "nova");
    EXPECT_EQ(Contents(to), "antiga");

    ASSERT_TRUE(QFile::remove(to));
    EXPECT_EQ(MoveFileNoReplace(from, to), QString());
    EXPECT_EQ(Contents(to), "nova");
    EXPECT_FALSE(QFile::exists(from));
    // Nothing to move: a reason.
    EXPECT_FALSE(MoveFileNoReplace(from, dir.filePath(QStringLiteral("OUTRA"))).isEmpty());
}

TEST(FileMove, TheSwapKeepsAFileAtTheDestinationThroughout)
{
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("DADOS.FDB"));
    const QString aside = dir.filePath(QStringLiteral("DADOS.FDB.ZURANTERIOR.1"));
    const QString restored = dir.filePath(QStringLiteral("DADOS.FDB.ZURTESTE.1"));
    Write(destination, "antiga");
    Write(restored, "nova");

    // A second name for the old file: the destination is still there.
    ASSERT_EQ(LinkFileNoReplace(destination, aside), QString());
    EXPECT_EQ(Contents(destination), "antiga");
    EXPECT_EQ(Contents(aside), "antiga");
    // A taken second name changes nothing.
    EXPECT_FALSE(LinkFileNoReplace(restored, aside).isEmpty());
    EXPECT_EQ(Contents(aside), "antiga");

    // The restored file takes the destination's name in one step.
    ASSERT_EQ(ReplaceFileRetrying(restored, destination), QString());
    EXPECT_EQ(Contents(destination), "nova");
    EXPECT_EQ(Contents(aside), "antiga");
    EXPECT_FALSE(QFile::exists(restored));
    // Nothing to put in place: a reason, and the destination as it was.
    EXPECT_FALSE(ReplaceFileRetrying(restored, destination).isEmpty());
    EXPECT_EQ(Contents(destination), "nova");
}
