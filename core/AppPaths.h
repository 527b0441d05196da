#pragma once
// Paths of this machine: the executable's directory and the file tests that
// the program makes.

#include <QString>

// The separator that ends the directories this machine uses: "\" on Windows,
// "/" elsewhere.
QString PathSeparator();

// Whether c ends a path element on this machine ("\", "/" and ":" on Windows,
// "/" elsewhere).
bool IsPathDelimiter(QChar c);

// The running executable's path: the platform's answer, else the application
// object's; empty when neither knows.
QString ExecutablePath();
// The platform's own answer (AppPaths_win.cpp, AppPaths_posix.cpp); empty
// when it has none.
QString PlatformExecutablePath();

// The running executable's directory, ending in the path separator.
QString ExecutableDirectory();

// Whether path names an existing file; a directory does not count, and a file
// that another program holds locked does.
bool FileExists(const QString& path);
