#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace morvane {

// What the command line asks for. It is read before any window system is needed, so that --help, --version
// and a wrong command line work in a terminal without a display.
struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Fail };
    Action action = Action::Run;
    // The help text or the version line for standard output, or the error line for standard error; each ends
    // in a newline.
    QString output;
    std::string prefix;      // the Wine prefix given with --prefix, absolute; empty without the option
    std::string dataFolder;  // the folder given with --data-dir, absolute and ending in '/'; empty without it
};

// Reads `arguments` (the program's name first). Checks that the prefix is a folder, and creates the data
// folder when it is missing; a data folder that is no folder or cannot be created fails the command line.
CommandLine ReadCommandLine(const QStringList& arguments);

// The exit status for a command line that does not start the program.
inline constexpr int kCommandLineError = 2;

}  // namespace morvane
