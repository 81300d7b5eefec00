#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/windowless.h"
#include "platform/desktop.h"
#include "platform/printer.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace morvane::test {

// Form3 without a window: keeps the lines and records what was written, in order.
class RecordingPanel : public Panel {
public:
    void setLine(int index, std::string_view text) override;
    void setAlignment(int index, Alignment alignment) override;
    void setOkVisible(bool visible) override { okVisible = visible; }
    void setLabel2(bool visible, int heightTwips) override
    {
        label2Visible = visible;
        label2Height = heightTwips;
    }
    void show() override { visible = true; }
    void hide() override { visible = false; }
    void repaint() override { ++repaints; }
    void waitForOk() override;

    std::string line(int index) const { return lines.at(index); }

    std::array<std::string, kLines + 1> lines{};
    std::array<Alignment, kLines + 1> alignment{};  // Centre unless set
    std::vector<std::string> written;                // "4: Reading subdirectory names." for each non-empty setLine
    bool okVisible = true;
    bool visible = false;
    bool label2Visible = false;
    int label2Height = 0;
    int repaints = 0;
    int waits = 0;
    // Called inside waitForOk, with the lines as they stand then (the installation report, say).
    std::function<void(RecordingPanel&)> onWait;
    std::vector<std::array<std::string, kLines + 1>> linesAtWait;

    RecordingPanel() { alignment.fill(Alignment::Centre); }
};

using FakeMainWindow = WindowlessMainWindow;
using CountingEvents = CountingEventPump;

class RecordingPrinter : public Printer {
public:
    void printLines(const std::vector<std::string>& lines) override { documents.push_back(lines); }
    std::vector<std::vector<std::string>> documents;
};

class ScriptedDesktop : public Desktop {
public:
    bool openInEditor(const std::string& hostPath) override
    {
        opened.push_back(hostPath);
        return editorWorks;
    }
    std::optional<int> openUrl(const std::string& url) override
    {
        urls.push_back(url);
        return urlError;
    }
    bool editorWorks = true;
    std::optional<int> urlError;
    std::vector<std::string> opened;
    std::vector<std::string> urls;
};

// A world for one command: drive C: (and others on request) in a temporary folder, a data folder, and
// doubles for everything the command talks to.
//
//   <tmp>/c/            root of C:, with WINDOWS/ in it
//   <tmp>/data/         the data folder
class World {
public:
    World();
    explicit World(std::vector<char> drives);

    std::string drive(char letter) const;            // host root of a drive, no trailing '/'
    std::string host(std::string_view winPath) const; // "C:\A\B" -> <tmp>/c/A/B (no case lookup)
    std::string data(std::string_view name) const { return state.DataFolder + std::string(name); }
    Context ctx() { return Context{state, *fs, prompts, panel, main, events}; }

    TempDir tmp;
    State state;
    std::unique_ptr<FileSystem> fs;
    ScriptedPrompts prompts;
    RecordingPanel panel;
    FakeMainWindow main;
    CountingEvents events;
};

}  // namespace morvane::test
