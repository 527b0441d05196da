// zurzipbench: the extraction of a compressed backup against Debian's unzip
// on the same archive, and the extraction's peak memory at two sizes.
//
//   zurzipbench --folder DIR [--sizes 32,256] [--rounds 5]
//   zurzipbench extract ARCHIVE DIR      (one extraction; prints its peak memory)
//
// For each size (MiB) it writes a file of rows that compress about as a
// backup of business data does, archives it with the zip library, then times
// alternately, as child processes both, this program's extraction and
// "unzip -o -qq", and prints their medians and the ratio (unzip's time over
// ours: 1.0 is as fast as unzip). Exits 3 when a ratio is under 0.8 or the
// peak memory of the largest size is more than the smallest one's plus 8 MiB.

#include "core/BackupArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double LeastRatio = 0.8;
constexpr qint64 MemorySlackKiB = 8 * 1024;

// The process's peak resident memory, in KiB, from /proc.
qint64 PeakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

int Extract(const QString& archive, const QString& directory)
{
    TExtraction extraction = ExtractBackup(archive, directory);
    if (!extraction.refusal.isEmpty()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(extraction.refusal));
        return 1;
    }
    // The file stays for the caller to look at: released from its owner.
    const QString path = extraction.file.Path();
    QFile::rename(path, directory + QStringLiteral("saida.fbk"));
    std::printf("%lld\n", PeakMemoryKiB());
    return 0;
}

// Rows as a backup of business data holds them: names, numbers and dates,
// compressing to about a fifth.
void WriteRows(const QString& path, qint64 megabytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qUtf8Printable(path));
    quint32 state = 7;
    QByteArray block;
    const qint64 total = megabytes << 20;
    qint64 written = 0;
    while (written < total) {
        block.clear();
        while (block.size() < (1 << 20)) {
            state = state * 1664525u + 1013904223u;
            block += QByteArray::number(state % 100000) + ";CLIENTE " + QByteArray::number(state >> 20) + ";"
                + QByteArray::number((state >> 8) % 10000) + "," + QByteArray::number(state % 97) + ";2026-"
                + QByteArray::number(1 + state % 12) + "-" + QByteArray::number(1 + (state >> 4) % 28) + '\n';
        }
        file.write(block.left(std::min<qint64>(block.size(), total - written)));
        written += std::min<qint64>(block.size(), total - written);
    }
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs a program to its end; its seconds, and its standard output.
double Timed(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("%s failed: %s", qUtf8Printable(program), process.readAllStandardError().constData());
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (output != nullptr)
        *output = process.readAllStandardOutput();
    return seconds;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.value(1) == QLatin1String("extract") && arguments.size() == 4)
        return Extract(arguments[2], arguments[3]);
    QString folder;
    QStringList sizes{QStringLiteral("32"), QStringLiteral("256")};
    int rounds = 5;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--folder"))
            folder = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--sizes"))
            sizes = arguments[i + 1].split(u',');
        else if (arguments[i] == QLatin1String("--rounds"))
            rounds = std::max(1, arguments[i + 1].toInt());
    }
    if (folder.isEmpty()) {
        std::fprintf(stderr, "usage: zurzipbench --folder DIR [--sizes 32,256] [--rounds 5]\n");
        return 2;
    }
    folder = QDir(folder).absolutePath() + u'/';
    QDir().mkpath(folder);
    bool within = true;
    std::vector<qint64> peaks;
    std::printf("size MiB  archive MiB  ours s  unzip s  ratio  peak KiB\n");
    for (const QString& size : sizes) {
        const QString rows = folder + QStringLiteral("DADOS.FBK");
        const QString archive = folder + QStringLiteral("ZURDADOS%1.ZIP").arg(size);
        if (!QFile::exists(archive)) {
            WriteRows(rows, size.toLongLong());
            if (!WriteBackupArchive(rows, archive).isEmpty())
                qFatal("cannot write %s", qUtf8Printable(archive));
            QFile::remove(rows);
        }
        const QString ours = folder + QStringLiteral("ours/");
        const QString theirs = folder + QStringLiteral("unzip/");
        QDir().mkpath(ours);
        QDir().mkpath(theirs);
        std::vector<double> oursSeconds;
        std::vector<double> unzipSeconds;
        qint64 peak = 0;
        for (int round = 0; round < rounds; ++round) {
            QByteArray output;
            oursSeconds.push_back(
                Timed(application.applicationFilePath(), {QStringLiteral("extract"), archive, ours}, &output));
            peak = std::max(peak, output.trimmed().toLongLong());
            QFile::remove(ours + QStringLiteral("saida.fbk"));
            unzipSeconds.push_back(Timed(QStringLiteral("unzip"),
                {QStringLiteral("-o"), QStringLiteral("-qq"), archive, QStringLiteral("-d"), theirs}));
            QDir(theirs).removeRecursively();
            QDir().mkpath(theirs);
        }
        const double ratio = Median(unzipSeconds) / Median(oursSeconds);
        within = within && ratio >= LeastRatio;
        peaks.push_back(peak);
        std::printf("%8s  %11.1f  %6.3f  %7.3f  %5.2f  %8lld\n", qUtf8Printable(size),
            QFile(archive).size() / 1048576.0, Median(oursSeconds), Median(unzipSeconds), ratio, peak);
    }
    if (peaks.size() > 1 && peaks.back() > peaks.front() + MemorySlackKiB)
        within = false;
    std::printf("%s\n", within ? "within the limits" : "OUTSIDE the limits");
    return within ? 0 : 3;
}
