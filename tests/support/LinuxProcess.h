#pragma once
// Runs a program of the machine that hosts the private servers: the server's
// tools and scripts/firebird-server. On Linux a plain process; in the Windows
// build under Wine the same Linux program, through the runner that
// scripts/windows-build makes (a Wine process cannot wait for a Linux one),
// with the Windows names of files on Wine's Z: drive ("Z:\dir\x", "Z:/dir/x")
// in the arguments and the input turned into the Linux names ("/dir/x").

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testserver {

struct TLinuxResult {
    bool started = false; // false: the program could not run (error says why)
    int exitCode = -1; // 128 + the signal when a signal ended it
    QByteArray output;
    QByteArray errors; // empty when the error output was merged into output
    QString error;
};

// Runs command (the program, found in PATH, and its arguments) with input,
// waits up to timeoutMs for it (Linux only: the runner waits for the end).
TLinuxResult RunLinux(
    const QStringList& command, const QByteArray& input = {}, bool mergeErrors = false, int timeoutMs = 180000);

// The name under which the server's machine knows a file that this program
// names path: path itself on Linux, "/dir/x" for "Z:\dir\x" under Wine.
QString LinuxFileName(const QString& path);

} // namespace testserver
