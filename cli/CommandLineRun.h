#pragma once
// A backup or restore run from the command line: the same roads as the
// window's buttons, with the lines on standard output and in the run's log
// file, and the outcome as the exit code (CommandLine.h).

#include <QStringList>

// Runs what the arguments (the program's name first) ask for; the exit code.
int RunCommandLine(const QStringList& arguments);
