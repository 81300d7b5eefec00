#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/application.h"
#include "tests/snapshot/hooked_file_system.h"
#include "tests/support/doubles.h"

namespace morvane::test {
namespace {

// The program over a temporary drive C:, with a file system that lets the test look at the windows while the
// drive is being read.
class SnapshotApp {
public:
    SnapshotApp()
    {
        writeFile(tmp / "c/WINDOWS/WIN.INI", "[windows]\r\n");
        writeFile(tmp / "c/APP/A.TXT", "");
        makeDirs(tmp / "data");
        DriveMap map;
        map.set('C', tmp / "c");
        auto hooked = std::make_unique<HookedFileSystem>(std::move(map));
        fs = hooked.get();
        app = std::make_unique<Application>(Host{std::move(hooked), tmp / "data/", "", prompts, desktop, printer});
        app->load();
    }

    QPushButton* button(int n) const { return app->mainForm().button(n); }
    QAction* item(const char* name) const { return app->mainForm().findChild<QAction*>(name); }
    std::string data(std::string_view name) const { return tmp / ("data/" + std::string(name)); }

    // What the windows showed when the scan read the drive's root.
    struct Seen {
        bool form3Visible = false;
        bool okShown = true;
        bool mainVisible = true;
        QStringList lines;  // Label1(1) .. Label1(7)
        bool line4Centred = false;
    };
    void watch()
    {
        fs->onRead = [this](std::string_view dir) {
            if (dir != "C:\\") {
                return;
            }
            Form3& form3 = app->form3();
            seen.form3Visible = form3.isVisible();
            seen.okShown = !form3.command1()->isHidden();
            seen.mainVisible = app->mainForm().isVisible();
            for (int i = 1; i <= 7; ++i) {
                seen.lines << form3.label1(i)->text();
            }
            seen.line4Centred = (form3.label1(4)->alignment() & Qt::AlignHCenter) != 0;
        };
    }

    void expectRecordedAndPanelPutAway()
    {
        EXPECT_EQ(readFile(data("BEFORE.DAT")),
                  crlf({"Word Pro", "C", "\\WINDOWS\\", "\\APP\\", "\\", "\\WINDOWS\\WIN.INI", "\\APP\\A.TXT",
                        "*AUTOEXEC*", "*END AUTOEXEC*", "*CONFIG*", "*END CONFIG*", "*WIN*", "[windows]", "*END WIN*",
                        "*SYSTEM*", "*END SYSTEM*"}));
        EXPECT_TRUE(seen.form3Visible);
        EXPECT_FALSE(seen.okShown);
        EXPECT_FALSE(seen.mainVisible);
        EXPECT_EQ(seen.lines,
                  (QStringList{"Creating BEFORE file for", "Word Pro", "", "Reading subdirectory names.", "", "", ""}));
        EXPECT_TRUE(seen.line4Centred);

        Form3& form3 = app->form3();
        EXPECT_FALSE(form3.isVisible());
        EXPECT_FALSE(form3.command1()->isHidden());
        for (int i = 1; i <= 10; ++i) {
            EXPECT_EQ(form3.label1(i)->text(), "") << i;
        }
        EXPECT_TRUE(app->mainForm().isVisible());
        EXPECT_FALSE(button(1)->isEnabled());
        EXPECT_FALSE(item("CreateBEFOREFileFunc")->isEnabled());
        EXPECT_TRUE(button(2)->isEnabled());
        EXPECT_TRUE(item("CreateAFTERFileFunc")->isEnabled());
        EXPECT_TRUE(button(8)->isEnabled());
        EXPECT_TRUE(item("DeleteBEFOREFileFunc")->isEnabled());
        EXPECT_TRUE(prompts.messages().empty());
    }

    TempDir tmp;
    ScriptedPrompts prompts;
    ScriptedDesktop desktop;
    RecordingPrinter printer;
    HookedFileSystem* fs = nullptr;
    std::unique_ptr<Application> app;
    Seen seen;
};

TEST(CreateBeforeFileWindows, RunsFromTheButtonWithTheRealPanel)
{
    SnapshotApp world;
    world.watch();
    world.prompts.type("Word Pro");
    world.prompts.type("C");
    ASSERT_TRUE(world.button(1)->isEnabled());

    QTest::mouseClick(world.button(1), Qt::LeftButton);

    world.expectRecordedAndPanelPutAway();
}

TEST(CreateBeforeFileWindows, RunsFromTheMenuItem)
{
    SnapshotApp world;
    world.watch();
    world.prompts.type("Word Pro");
    world.prompts.type("C");
    QAction* item = world.item("CreateBEFOREFileFunc");
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isEnabled());

    item->trigger();

    world.expectRecordedAndPanelPutAway();
}

}  // namespace
}  // namespace morvane::test
