#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTest>

#include "app/application.h"
#include "tests/support/doubles.h"
#include "tests/support/window_helpers.h"

namespace morvane {
namespace {

using test::clickButton;
using test::whenShown;

// The whole program over a temporary drive C: and data folder: Display Report from the main window, the
// program picked, the report closed with Ok.
class ReportThroughTheMainWindow : public ::testing::Test {
protected:
    ReportThroughTheMainWindow()
    {
        test::makeDirs(tmp / "c/WINDOWS");
        test::writeFile(tmp / "data/AFTER1.DAT",
                        test::crlf({"Paint Pot", "C", "\\PAINT\\", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*",
                                    "*CONFIG*", "~NO CHANGE~", "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*",
                                    "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}));
        DriveMap map;
        map.set('C', tmp / "c");
        app = std::make_unique<Application>(
            Host{std::make_unique<FileSystem>(std::move(map)), tmp / "data/", "", prompts, desktop, printer});
        app->load();
    }

    void reportAndClose(const std::function<void()>& start)
    {
        whenShown("AfterFileListForm", [&](QWidget* w) {
            clickButton(w, "Command1");
            whenShown("ReportForm", [&](QWidget* report) {
                mainHidden = !app->mainForm().isVisible();
                caption = report->windowTitle();
                clickButton(report, "Command7");
            });
        });
        start();
        EXPECT_EQ(caption, "Changes for Paint Pot");
        EXPECT_TRUE(mainHidden);
        EXPECT_TRUE(app->mainForm().isVisible());
        EXPECT_EQ(test::visibleWindow("ReportForm"), nullptr);
        EXPECT_TRUE(test::pathExists(tmp / "data/AFTER1.DAT"));
        EXPECT_TRUE(prompts.prompts().empty());
    }

    test::TempDir tmp;
    test::ScriptedPrompts prompts;
    test::ScriptedDesktop desktop;
    test::RecordingPrinter printer;
    std::unique_ptr<Application> app;
    QString caption;
    bool mainHidden = false;
};

TEST_F(ReportThroughTheMainWindow, FromTheButton)
{
    reportAndClose([&] { QTest::mouseClick(app->mainForm().button(9), Qt::LeftButton); });
}

TEST_F(ReportThroughTheMainWindow, FromTheMenuItem)
{
    auto* item = app->mainForm().findChild<QAction*>("ReportFunc");
    ASSERT_NE(item, nullptr);
    reportAndClose([&] { item->trigger(); });
}

}  // namespace
}  // namespace morvane
