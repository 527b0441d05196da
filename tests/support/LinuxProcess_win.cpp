#include "LinuxProcess.h"

#include <QRegularExpression>

#include <windows.h>

#include <vector>

namespace testserver {

namespace {

using RunFunction = int(WINAPI*)(const char* const*, const char*, int, int, char**, int*, char**, int*, int*);
using FreeFunction = void(WINAPI*)(char*);

// The runner named by ZUR_LINUX_RUNNER, loaded once for the process.
struct TRunner {
    RunFunction run = nullptr;
    FreeFunction release = nullptr;
    QString problem;

    TRunner()
    {
        const QString file = qEnvironmentVariable("ZUR_LINUX_RUNNER");
        if (file.isEmpty()) {
            problem = QStringLiteral("ZUR_LINUX_RUNNER names no runner of Linux programs");
            return;
        }
        HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(file.utf16()));
        if (!module) {
            problem = QStringLiteral("%1 does not load (error %2)").arg(file).arg(GetLastError());
            return;
        }
        run = reinterpret_cast<RunFunction>(reinterpret_cast<void*>(GetProcAddress(module, "zur_run")));
        release = reinterpret_cast<FreeFunction>(reinterpret_cast<void*>(GetProcAddress(module, "zur_free")));
        if (!run || !release)
            problem = QStringLiteral("%1 has no zur_run/zur_free").arg(file);
    }
};

TRunner& Runner()
{
    static TRunner runner;
    return runner;
}

// "Z:\dir\x" and "Z:/dir/x" up to a quote, a line end or the end of the text.
QString LinuxNames(const QString& text)
{
    static const QRegularExpression zName(QStringLiteral("(?<![A-Za-z])[Zz]:[\\\\/]([^'\"\\r\\n]*)"));
    QString result;
    qsizetype at = 0;
    for (auto it = zName.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        result += text.mid(at, match.capturedStart() - at);
        result += u'/' + match.captured(1).replace(u'\\', u'/');
        at = match.capturedEnd();
    }
    return result + text.mid(at);
}

} // namespace

QString LinuxFileName(const QString& path)
{
    return LinuxNames(path);
}

TLinuxResult RunLinux(const QStringList& command, const QByteArray& input, bool mergeErrors, int)
{
    TLinuxResult result;
    TRunner& runner = Runner();
    if (!runner.run) {
        result.error = runner.problem;
        return result;
    }
    std::vector<QByteArray> arguments;
    for (const QString& argument : command)
        arguments.push_back(LinuxNames(argument).toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& argument : arguments)
        argv.push_back(argument.constData());
    argv.push_back(nullptr);
    const QByteArray linuxInput = LinuxNames(QString::fromUtf8(input)).toUtf8();

    char* output = nullptr;
    char* errors = nullptr;
    int outputLength = 0, errorLength = 0, error = 0;
    const int code = runner.run(argv.data(), linuxInput.constData(), static_cast<int>(linuxInput.size()),
        mergeErrors ? 1 : 0, &output, &outputLength, &errors, &errorLength, &error);
    if (output)
        result.output = QByteArray(output, outputLength);
    if (errors)
        result.errors = QByteArray(errors, errorLength);
    runner.release(output);
    runner.release(errors);
    if (code < 0) {
        result.error = QStringLiteral("%1 does not start (errno %2)").arg(command.first()).arg(error);
        return result;
    }
    result.started = true;
    result.exitCode = code;
    return result;
}

} // namespace testserver
