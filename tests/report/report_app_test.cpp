#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/application.h"
#include "tests/support/doubles.h"
#include "tests/support/window_helpers.h"

namespace morvane {
namespace {

using test::clickButton;
using test::crlf;
using test::readFile;
using test::when;
using test::whenShown;
using test::writeFile;

// The whole program over a temporary drive C: and data folder, with scripted dialogs and a recording printer.
class ReportThroughTheMainWindow : public ::testing::Test {
protected:
    ReportThroughTheMainWindow()
    {
        test::makeDirs(tmp / "c/WINDOWS");
        writeFile(tmp / "data/AFTER1.DAT",
                  crlf({"Paint Pot", "C", "\\PAINT\\", "\\WINDOWS\\PAINT.INI", "*AUTOEXEC*", "~NO CHANGE~",
                        "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~", "*END CONFIG*", "*WIN*", "~NO CHANGE~",
                        "*END WIN*", "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}));
        record = readFile(tmp / "data/AFTER1.DAT");
        DriveMap map;
        map.set('C', tmp / "c");
        app = std::make_unique<Application>(
            Host{std::make_unique<FileSystem>(std::move(map)), tmp / "data/", "", prompts, desktop, printer});
        app->load();
    }

    // Picks the only program, prints its directories and closes the report with Ok, while `start` runs the
    // command.
    void reportAndPrint(const std::function<void()>& start)
    {
        whenShown("AfterFileListForm", [&](QWidget* w) {
            prompt = w->findChild<QLabel*>("Label1")->text();
            clickButton(w, "Command1");
            whenShown("ReportForm", [&](QWidget* report) {
                mainVisibleDuringReport = app->mainForm().isVisible();
                caption = report->windowTitle();
                clickButton(report, "Command1");
                when([&] { return app->state().DialogDone == kFalse; },
                     [&] {
                         QWidget* report = test::visibleWindow("ReportForm");
                         clickButton(report, "Command8");
                         when([&] { return !printer.documents.empty(); },
                              [&] { clickButton(test::visibleWindow("ReportForm"), "Command7"); });
                     });
            });
        });
        start();
    }

    test::TempDir tmp;
    test::ScriptedPrompts prompts;
    test::ScriptedDesktop desktop;
    test::RecordingPrinter printer;
    std::unique_ptr<Application> app;
    std::string record;
    QString prompt;
    QString caption;
    bool mainVisibleDuringReport = true;
};

TEST_F(ReportThroughTheMainWindow, FromTheButton)
{
    reportAndPrint([&] { QTest::mouseClick(app->mainForm().button(9), Qt::LeftButton); });
    EXPECT_EQ(prompt, "Select installed program to report on");
    EXPECT_EQ(caption, "Changes for Paint Pot");
    EXPECT_FALSE(mainVisibleDuringReport);
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(printer.documents[0], (std::vector<std::string>{"Directories added by Paint Pot:", "", "C:\\PAINT\\"}));
    EXPECT_TRUE(app->mainForm().isVisible());
    EXPECT_EQ(test::visibleWindow("ReportForm"), nullptr);
    EXPECT_EQ(readFile(tmp / "data/AFTER1.DAT"), record);
    EXPECT_TRUE(prompts.prompts().empty());
}

TEST_F(ReportThroughTheMainWindow, FromTheMenuItem)
{
    auto* item = app->mainForm().findChild<QAction*>("ReportFunc");
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isEnabled());
    reportAndPrint([&] { item->trigger(); });
    EXPECT_EQ(caption, "Changes for Paint Pot");
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_TRUE(app->mainForm().isVisible());
    EXPECT_EQ(readFile(tmp / "data/AFTER1.DAT"), record);
}

}  // namespace
}  // namespace morvane
