#include "core/RunLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct TRunLock::TPlatform {
    int fd = -1;
};

TRunLock::TRunLock(const QString& path)
    : FPath(path)
    , FPlatform(std::make_unique<TPlatform>())
{
    const QByteArray name = QFile::encodeName(path);
    // A holder removes the file when it lets go; a run that opened the old
    // file meanwhile holds a lock on nothing and tries the new one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            FReason = qt_error_string(errno);
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            FHeldByAnother = error == EWOULDBLOCK;
            FReason = qt_error_string(error);
            return;
        }
        struct stat opened { };
        struct stat named { };
        if (::fstat(fd, &opened) == 0 && ::stat(name.constData(), &named) == 0 && opened.st_dev == named.st_dev
            && opened.st_ino == named.st_ino) {
            FPlatform->fd = fd;
            FHeld = true;
            return;
        }
        ::close(fd);
    }
    FHeldByAnother = true;
    FReason = QStringLiteral("o arquivo de trava muda a cada tentativa");
}

TRunLock::~TRunLock()
{
    if (FPlatform->fd < 0)
        return;
    // Removed while still held, so that nobody locks the name in between.
    ::unlink(QFile::encodeName(FPath).constData());
    ::close(FPlatform->fd);
}
