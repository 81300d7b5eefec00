#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <cstdio>
#include <utility>

#include "app/application.h"
#include "app/command_line.h"
#include "app/startup.h"
#include "platform/qt_desktop.h"
#include "platform/qt_printer.h"
#include "platform/qt_prompts.h"

int main(int argc, char** argv)
{
    // The command line is read with a core application only: it needs no display, so --help, --version and
    // errors work in a terminal, and a wrong command line ends before any window opens.
    morvane::CommandLine line;
    {
        QCoreApplication core(argc, argv);
        line = morvane::ReadCommandLine(QCoreApplication::arguments());
    }
    if (line.action == morvane::CommandLine::Action::Fail) {
        std::fputs(line.output.toLocal8Bit().constData(), stderr);
        return morvane::kCommandLineError;
    }
    if (line.action != morvane::CommandLine::Action::Run) {
        std::fputs(line.output.toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    app.setApplicationName("Morvane");
    app.setWindowIcon(QIcon(":/icons/org.example.morvane.svg"));
    // Ties the windows to the desktop entry, whose name is the application's ID.
    QGuiApplication::setDesktopFileName("org.example.morvane");
    // Commands hide the main window while message boxes come and go; only Exit ends the program.
    app.setQuitOnLastWindowClosed(false);

    morvane::QtPrompts prompts;
    morvane::QtDesktop desktop;
    morvane::QtPrinter printer;
    const std::string exeDir = morvane::executableDirectory();
    // Without its drives or its data folder the program could only record or delete the wrong things: it says
    // why and ends.
    auto drives =
        line.prefix.empty() ? morvane::DriveMap::fromEnvironment() : morvane::DriveMap::fromPrefix(line.prefix);
    if (!drives) {
        prompts.messageBox(morvane::Notice::DrivesUnreadable, morvane::DrivesUnreadableText(drives.error()),
                           morvane::Buttons::Ok, morvane::Icon::Exclamation, "Error");
        return 1;
    }
    morvane::Result<std::string> dataFolder = line.dataFolder;
    if (line.dataFolder.empty()) {
        dataFolder = morvane::chooseDataFolder(exeDir);
    }
    if (!dataFolder) {
        prompts.messageBox(morvane::Notice::DataFolderUnusable, morvane::DataFolderUnusableText(dataFolder.error()),
                           morvane::Buttons::Ok, morvane::Icon::Exclamation, "Error");
        return 1;
    }
    morvane::Application morvane(morvane::Host{
        std::make_unique<morvane::FileSystem>(std::move(*drives)),
        std::move(*dataFolder),
        morvane::shippedManualPath(exeDir),
        prompts,
        desktop,
        printer,
    });
    morvane.load();
    return QApplication::exec();
}
