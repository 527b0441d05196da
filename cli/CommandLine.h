#pragma once
// The program's command line: a backup or a restore run without the window,
// for the system's scheduler and for administrators' scripts.
//
//   zur --backup  [--server TEXT] [--database PATH] [--user NAME] [--password-file FILE]
//                 [--dest FOLDER] [--keep N] [--zip] [--log FILE] [--quiet] [--progress]
//   zur --restore BACKUP [--server TEXT] [--database PATH] [--user NAME] [--password-file FILE]
//                 [--create] [--log FILE] [--quiet] [--progress]
//   zur --help (-h, -?, /?)     zur --version
//
// On Windows every switch may also be written with "/" (/backup, /keep 7).
// The password never comes from the command line, where process lists show
// it: from the password file, else ZUR_PASSWORD, else the window's default.
// Any argument at all makes a run without the window, so that a scheduler
// given a mistyped line gets exit code 2 and a reason, never a window that
// waits for nobody (or aborts where there is no display).

#include <QString>
#include <QStringList>

// The exit codes.
enum TExitCode {
    ExitDone = 0, // the proved backup or the restore is in place
    ExitFailed = 1, // it failed; nothing changed but the run's own partial files
    ExitUnusable = 2, // the command line or the site configuration was unusable; nothing tried
    ExitAfterwards = 3, // the backup is proved and in place, but what came after it failed
};

struct TCommandLine {
    enum TAction { Backup, Restore, Help, Version };
    TAction action = Help;
    QString server;
    QString database;
    QString user;
    QString password;
    // Where the password came from, for the log (never the password itself).
    QString passwordSource;
    // Where the backup goes, ending in this machine's separator.
    QString destination;
    // The backup to restore.
    QString backupFile;
    // Backups to keep; 0: none removed.
    int keep = 0;
    // A compressed copy of the proved backup beside it (ZUR<base><date>.ZIP).
    bool zip = false;
    // The log file; empty: the default name in the "logs" folder.
    QString logFile;
    // Nothing on standard output but the progress lines that --progress asks for.
    bool quiet = false;
    // Progress lines even when standard output is no terminal.
    bool progress = false;
    // A restore may create the database where none exists.
    bool create = false;
};

// Whether these arguments (the program's name first) ask for a run without
// the window: any argument at all, known or not.
bool IsCommandLineRun(const QStringList& arguments);

// Reads the arguments into command, with the defaults the window starts
// with (the site configuration of programDirectory, the server field, the
// user) for what they leave out. An empty text when they are usable; otherwise
// what is wrong with them.
QString ParseCommandLine(const QStringList& arguments, const QString& programDirectory, TCommandLine& command);

// The help text, in the operators' language, with the exit codes.
QString CommandLineHelp();
// The few lines that follow an unusable command line on standard error.
QString CommandLineUsage();
// The program's name and version, for --version and the log's header.
QString ProgramVersionText();
