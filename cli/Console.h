#pragma once
// What the command line does its own way on each platform (Console_win.cpp,
// Console_posix.cpp): the console's code page, whether there is a terminal,
// the switches' prefixes, the log file's start and line end.

#include <QByteArray>

// On Windows sets the console's output code page to UTF-8, so that the lines
// read as they are written; nothing to do elsewhere.
void PrepareConsole();
// Whether standard output is a terminal (a console on Windows) that someone
// watches, rather than a file, a pipe or nothing at all (a scheduler's run).
bool OutputIsTerminal();
// Whether "/x" is a switch as well as "--x" (Windows' custom).
bool SlashSwitches();
// The bytes a new log file starts with: the UTF-8 byte-order mark on Windows,
// where editors need it to tell UTF-8; nothing elsewhere.
QByteArray LogFileStart();
// The end of a log file's line.
QByteArray LogLineEnd();
