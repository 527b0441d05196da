#pragma once
// A small volume of a test's own (a tmpfs mounted at a folder), to fill up.
// Mounting needs root: a test without it skips.

#include <QDir>
#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

class TSmallVolume {
public:
    TSmallVolume(const QString& path, qint64 bytes)
        : FPath(path)
    {
        QDir().mkpath(path);
        FMounted = QProcess::execute(QStringLiteral("mount"),
                       {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                           QStringLiteral("size=%1").arg(bytes), QStringLiteral("tmpfs"), path})
            == 0;
    }
    ~TSmallVolume()
    {
        if (FMounted && QProcess::execute(QStringLiteral("umount"), {FPath}) != 0)
            ADD_FAILURE() << "could not unmount " << FPath.toStdString();
    }
    TSmallVolume(const TSmallVolume&) = delete;
    TSmallVolume& operator=(const TSmallVolume&) = delete;
    bool Mounted() const { return FMounted; }

private:
    QString FPath;
    bool FMounted = false;
};
