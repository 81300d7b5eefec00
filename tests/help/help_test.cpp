#include <gtest/gtest.h>

#include "help/about.h"
#include "help/manual.h"
#include "help/quick_instructions.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::World;
using test::writeFile;

// ---- Quick instructions ----

TEST(QuickInstructions, ShowTheLinesWithTheMainWindowDisabledUntilOk)
{
    World world;
    bool mainEnabledAtWait = true;
    bool label2VisibleAtWait = false;
    int label2HeightAtWait = 0;
    bool panelVisibleAtWait = false;
    std::array<Alignment, Panel::kLines + 1> alignmentAtWait{};
    world.panel.onWait = [&](test::RecordingPanel& panel) {
        mainEnabledAtWait = world.main.enabled;
        label2VisibleAtWait = panel.label2Visible;
        label2HeightAtWait = panel.label2Height;
        panelVisibleAtWait = panel.visible;
        alignmentAtWait = panel.alignment;
    };

    ShowQuickInstructions(world.ctx());

    ASSERT_EQ(world.panel.waits, 1);
    const auto& lines = world.panel.linesAtWait[0];
    const std::array<std::string, 20> expected{
        "Quick Instructions",
        "",
        "1) Before installing a new program, run Morvane and select",
        "    option 2, Create &BEFORE file.",
        "2) Minimize QRV to an icon (this step is not absolutely necessary).",
        "3) Install your new program and give your new program a quick run in case",
        "    it installs files the first time it runs.",
        "4) Restore QRV (if you minimized it) and select the Create &AFTER file option.",
        "5) If you want to experiment more with your new program, exit QRV and do so.",
        "6) If you decide you want to to delete a program, run QRV and select the",
        "    &Delete Program option. Select the name of the program you wish to delete",
        "    from the menu, or select CANCEL to abort the deletion process.",
        "7) If you decide you want to keep the new program, run QRV and select the",
        "    D&elete AFTER file option and select the name of the program you wish to",
        "    keep from the menu.",
        "",
        "",
        "Note: These quick instructions are for your convenience only. It is STRONGLY",
        "recommended that you read the full instruction manual available under &Help.",
        "",
    };
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(lines[i], expected[i - 1]) << "line " << i;
        const Alignment want = i >= 3 && i <= 16 ? Alignment::Left : Alignment::Centre;
        EXPECT_EQ(alignmentAtWait[i], want) << "line " << i;
    }
    EXPECT_FALSE(mainEnabledAtWait);
    EXPECT_TRUE(label2VisibleAtWait);
    EXPECT_EQ(label2HeightAtWait, 400);
    EXPECT_TRUE(panelVisibleAtWait);
}

TEST(QuickInstructions, LeaveThePanelAsStartUpPreparesIt)
{
    World world;
    ShowQuickInstructions(world.ctx());

    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(world.panel.line(i), "") << "line " << i;
        EXPECT_EQ(world.panel.alignment[i], Alignment::Centre) << "line " << i;
    }
    EXPECT_FALSE(world.panel.label2Visible);
    EXPECT_FALSE(world.panel.visible);
    EXPECT_TRUE(world.panel.okVisible);
    EXPECT_TRUE(world.main.enabled);
    EXPECT_EQ(world.main.hides, 0);  // disabled, never hidden
    EXPECT_TRUE(world.main.pairs.empty());
}

// ---- The manual ----

class RecordingManualWindow : public ManualWindow {
public:
    void showManualText(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

TEST(Manual, OpensInTheEditorWhenTheDesktopAcceptsIt)
{
    World world;
    writeFile(world.data("ZELK.TXT"), "Morvane\r\n");
    test::ScriptedDesktop desktop;
    RecordingManualWindow window;

    ShowManual(world.ctx(), desktop, window);

    EXPECT_EQ(desktop.opened, std::vector<std::string>{world.data("ZELK.TXT")});
    EXPECT_TRUE(window.shown.empty());
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST(Manual, FallsBackToTheWindowWithTheWholeText)
{
    World world;
    writeFile(world.data("zelk.txt"), "MORVANE\r\n\r\n  Contents\r\nlast line without an ending");
    test::ScriptedDesktop desktop;
    desktop.editorWorks = false;
    RecordingManualWindow window;

    ShowManual(world.ctx(), desktop, window);

    // The file is found in the letter case it has on disk, by the editor and by the window.
    EXPECT_EQ(desktop.opened, std::vector<std::string>{world.data("zelk.txt")});
    EXPECT_EQ(window.shown, std::vector<std::string>{"MORVANE\n\n  Contents\nlast line without an ending"});
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST(Manual, AnEmptyManualGivesAnEmptyWindowAndAMissingOneNothing)
{
    World world;
    test::ScriptedDesktop desktop;
    desktop.editorWorks = false;
    RecordingManualWindow window;

    ShowManual(world.ctx(), desktop, window);
    EXPECT_TRUE(window.shown.empty());

    writeFile(world.data("ZELK.TXT"), "");
    ShowManual(world.ctx(), desktop, window);
    EXPECT_EQ(window.shown, std::vector<std::string>{""});
    EXPECT_TRUE(world.prompts.prompts().empty());
}

// ---- The home page ----

TEST(MakerWebPage, OpensTheHomePageAndReportsTheDesktopsErrorCode)
{
    test::ScriptedPrompts prompts;
    test::ScriptedDesktop desktop;
    OpenMakerWebPage(desktop, prompts);
    EXPECT_EQ(desktop.urls, std::vector<std::string>{"https://morvane.example.org/"});
    EXPECT_TRUE(prompts.prompts().empty());

    desktop.urlError = 3;
    OpenMakerWebPage(desktop, prompts);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text, "Unable to view file. Error 3");
    EXPECT_EQ(prompts.messages()[0].icon, Icon::Exclamation);
    EXPECT_EQ(prompts.messages()[0].title, "Error");
    EXPECT_EQ(desktop.urls.size(), 2u);
}

}  // namespace
}  // namespace morvane
