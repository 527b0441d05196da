#include "BenchSupport.h"

#include <QFile>
#include <QPaintEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

double Now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double ProcessorTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

long PeakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CountServerLines(const QString& text)
{
    long lines = 0;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (line.startsWith(QLatin1String("gbak:")))
            ++lines;
    }
    return lines;
}

long CountServerLinesInFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("cannot read %1").arg(path));
    return CountServerLines(QString::fromLocal8Bit(file.readAll()));
}

bool TPaintCounter::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Paint) {
        ++events;
        for (const QRect& rect : static_cast<QPaintEvent*>(event)->region())
            area += static_cast<double>(rect.width()) * rect.height();
    }
    return false;
}

void Fail(const QString& message)
{
    std::fprintf(stderr, "zurbench: %s\n", message.toLocal8Bit().constData());
    std::exit(1);
}
