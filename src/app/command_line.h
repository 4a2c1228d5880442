#pragma once
// The program's command line, decided before any window, port or database is touched, so
// that --help, --version and a mistyped option answer at once, also without a display.
// Every option the program knows is listed in one table in command_line.cpp: a new one
// goes there, with its action here.

#include <QString>
#include <QStringList>

class QTextStream;

namespace app {

// "1.0.0": the version of the top-level project, the one the package and the About box show.
QString ProgramVersion();

enum class StartAction {
    RunWindows,          // no option: the login window, as always
    PrintHelp,           // --help
    PrintVersion,        // --version
    PrintArchiveStatus,  // --archive-status
    PrintStatistics,     // --statistics, with the options that choose its scope
    RefuseArguments,     // anything the program does not know; exit code 2
};

struct CommandLine {
    StartAction action = StartAction::RunWindows;
    QString error;  // with RefuseArguments: what is wrong, for the operator
};

// `arguments` as the program got them, its own path first. Qt's own options (-platform,
// -style, …) are accepted and left for QApplication.
CommandLine ParseCommandLine(const QStringList& arguments);

// The usage: options and the environment variables the program reads.
QString UsageText();
// "qmr4070 1.0.0"
QString VersionText();

// Answers the actions that need no window and no archive: help, version and refused
// arguments, on the given streams. Returns the exit code, or -1 for any other action.
int AnswerAtOnce(const CommandLine& command, QTextStream& out, QTextStream& err);

}  // namespace app
