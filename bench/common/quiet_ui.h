#pragma once

#include <memory>
#include <string>

#include "core/context.h"
#include "core/main_window.h"
#include "core/windowless.h"
#include "core/panel.h"
#include "platform/event_pump.h"

namespace morvane::bench {

// The windows of a benchmark run: the commands run as they do in the program, with nothing to show.

class QuietPanel : public Panel {
public:
    void setLine(int, std::string_view) override {}
    void setAlignment(int, Alignment) override {}
    void setOkVisible(bool) override {}
    void setLabel2(bool, int) override {}
    void show() override {}
    void hide() override {}
    void repaint() override {}
    void waitForOk() override {}
};

// The command pairs are remembered, so that a run can tell whether its command succeeded.
using QuietMainWindow = WindowlessMainWindow;
using QuietEvents = CountingEventPump;

// Drive C: is the benchmark's tree and the data folder lies outside it; the commands talk to `UserPrompts`.
template <typename UserPrompts>
struct QuietMachine {
    QuietMachine(const std::string& root, const std::string& dataFolder)
    {
        DriveMap drives;
        drives.set('C', root);
        fs = std::make_unique<FileSystem>(std::move(drives));
        state.WinDir = fs->windowsDirectory();
        state.DataFolder = dataFolder;
    }
    Context ctx() { return Context{state, *fs, prompts, panel, main, events}; }

    State state;
    std::unique_ptr<FileSystem> fs;
    UserPrompts prompts;
    QuietPanel panel;
    QuietMainWindow main;
    QuietEvents events;
};

}  // namespace morvane::bench
