#pragma once
// The program's command line: a backup or a restore run without the window,
// for the system's scheduler and for administrators' scripts.
//
//   zur --backup  [--server TEXT] [--database PATH] [--user NAME]
//                 [--password-file FILE] [--dest FOLDER] [--keep N] [--zip] [--log FILE] [--quiet]
//   zur --restore BACKUP [--server TEXT] [--database PATH] [--user NAME]
//                 [--password-file FILE] [--log FILE] [--quiet]
//
// On Windows every switch may also be written with "/" (/backup, /keep 7).
// The password never comes from the command line, where process lists show
// it: from the password file, else ZUR_PASSWORD, else the window's default.

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
    enum TAction { Backup, Restore, Help };
    TAction action = Help;
    QString server;
    QString database;
    QString user;
    QString password;
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
    bool quiet = false;
};

// Whether these arguments (the program's name first) ask for a run without
// the window: any argument that is a switch of ours ("--x", or "/x" on
// Windows).
bool IsCommandLineRun(const QStringList& arguments);

// Reads the arguments into command, with the defaults the window starts
// with (the site configuration of programDirectory, the server field, the
// user) for what they leave out. An empty text when they are usable; otherwise
// what is wrong with them.
QString ParseCommandLine(const QStringList& arguments, const QString& programDirectory, TCommandLine& command);

// The help text, in the operators' language, with the exit codes.
QString CommandLineHelp();
