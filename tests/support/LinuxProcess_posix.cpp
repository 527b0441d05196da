#include "LinuxProcess.h"

#include <QProcess>

namespace testserver {

TLinuxResult RunLinux(const QStringList& command, const QByteArray& input, bool mergeErrors, int timeoutMs)
{
    TLinuxResult result;
    QProcess process;
    process.setProcessChannelMode(mergeErrors ? QProcess::MergedChannels : QProcess::SeparateChannels);
    process.start(command.first(), command.mid(1));
    if (!process.waitForStarted()) {
        result.error = process.errorString();
        return result;
    }
    result.started = true;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        result.error = QStringLiteral("did not finish");
        process.kill();
        process.waitForFinished();
    }
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 128 + 9;
    return result;
}

QString LinuxFileName(const QString& path)
{
    return path;
}

} // namespace testserver
