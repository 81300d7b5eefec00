#include <QApplication>

#include "app/application.h"
#include "platform/qt_desktop.h"
#include "platform/qt_printer.h"
#include "platform/qt_prompts.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName("Morvane");
    // Commands hide the main window while message boxes come and go; only Exit ends the program.
    app.setQuitOnLastWindowClosed(false);

    morvane::QtPrompts prompts;
    morvane::QtDesktop desktop;
    morvane::QtPrinter printer;
    const std::string exeDir = morvane::executableDirectory();
    morvane::Application morvane(morvane::Host{
        std::make_unique<morvane::FileSystem>(morvane::DriveMap::fromEnvironment()),
        morvane::chooseDataFolder(exeDir),
        morvane::shippedManualPath(exeDir),
        prompts,
        desktop,
        printer,
    });
    morvane.load();
    return QApplication::exec();
}
