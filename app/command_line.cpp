#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFile>

#include "morvane_version.h"
#include "platform/folder_options.h"

namespace morvane {

namespace {

CommandLine fail(const QString& message)
{
    CommandLine line;
    line.action = CommandLine::Action::Fail;
    line.output = "morvane: " + message + "\n";
    return line;
}

std::string hostPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CommandLine ReadCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Morvane records what the installation of a program adds to the drives, and deletes the program again.");
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
    const QCommandLineOption prefix(
        "prefix", "Work on the drives of the Wine prefix <dir> (instead of $WINEPREFIX or ~/.wine).", "dir");
    const QCommandLineOption dataDir("data-dir", "Keep the record files and the manual in the folder <dir>.", "dir");
    parser.addOptions({help, version, prefix, dataDir});

    if (!parser.parse(arguments)) {
        return fail(parser.errorText() + " See morvane --help.");
    }
    if (parser.isSet(help)) {
        return CommandLine{CommandLine::Action::ShowHelp, parser.helpText(), {}, {}};
    }
    if (parser.isSet(version)) {
        return CommandLine{CommandLine::Action::ShowVersion, QString("Morvane ") + kProgramVersion + "\n", {}, {}};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return fail("Unexpected argument '" + parser.positionalArguments().first() + "'. See morvane --help.");
    }

    CommandLine line;
    if (parser.isSet(prefix)) {
        const Result<std::string> folder = PrefixOption(hostPath(parser.value(prefix)));
        if (!folder) {
            return fail(QString::fromLocal8Bit(folder.error().reason));
        }
        line.prefix = *folder;
    }
    if (parser.isSet(dataDir)) {
        const Result<std::string> folder = DataFolderOption(hostPath(parser.value(dataDir)));
        if (!folder) {
            return fail(QString::fromLocal8Bit(folder.error().reason));
        }
        line.dataFolder = *folder;
    }
    return line;
}

}  // namespace morvane
