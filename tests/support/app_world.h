#pragma once

#include <QAction>
#include <QPushButton>

#include <memory>
#include <string>
#include <string_view>

#include "app/application.h"
#include "tests/support/doubles.h"

namespace morvane::test {

// The whole program over a temporary drive C: and data folder, with scripted dialogs.
class AppWorld {
public:
    AppWorld()
    {
        makeDirs(tmp / "c/WINDOWS");
        makeDirs(tmp / "data");
    }

    Application& start()
    {
        DriveMap map;
        map.set('C', tmp / "c");
        app = std::make_unique<Application>(
            Host{std::make_unique<FileSystem>(std::move(map)), tmp / "data/", "", prompts, desktop, printer});
        app->load();
        return *app;
    }

    std::string c(std::string_view relative) const { return tmp / ("c/" + std::string(relative)); }
    std::string data(std::string_view name) const { return tmp / ("data/" + std::string(name)); }
    bool enabled(int button) const { return app->mainForm().button(button)->isEnabled(); }
    bool itemEnabled(const char* name) const { return app->mainForm().findChild<QAction*>(name)->isEnabled(); }

    TempDir tmp;
    ScriptedPrompts prompts;
    ScriptedDesktop desktop;
    RecordingPrinter printer;
    std::unique_ptr<Application> app;
};

}  // namespace morvane::test
