#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "tests/support/app_world.h"
#include "tests/support/window_helpers.h"

namespace morvane::test {
namespace {

TEST(Startup, WithoutRecordsOnlyCreateBeforeAndTheAlwaysOnCommandsAreEnabled)
{
    AppWorld world;
    Application& app = world.start();
    EXPECT_TRUE(app.mainForm().isVisible());
    EXPECT_EQ(app.state().DataFolder, world.data(""));
    EXPECT_EQ(app.state().WinDir, "C:\\WINDOWS\\");
    EXPECT_EQ(app.state().BootDrive, "C:");
    EXPECT_TRUE(world.enabled(1));
    EXPECT_TRUE(world.itemEnabled("CreateBEFOREFileFunc"));
    for (int n : {2, 3, 4, 5, 8, 9}) {
        EXPECT_FALSE(world.enabled(n)) << n;
    }
    for (int n : {6, 7}) {
        EXPECT_TRUE(world.enabled(n)) << n;
    }
    EXPECT_FALSE(app.form3().isVisible());
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST(Startup, PendingBeforeFileEnablesCreateAfterAndDeleteBefore)
{
    AppWorld world;
    writeFile(world.data("BEFORE.DAT"), "App\r\n");
    world.start();
    EXPECT_FALSE(world.enabled(1));
    EXPECT_FALSE(world.itemEnabled("CreateBEFOREFileFunc"));
    EXPECT_TRUE(world.enabled(2));
    EXPECT_TRUE(world.itemEnabled("CreateAFTERFileFunc"));
    EXPECT_TRUE(world.enabled(8));
    EXPECT_TRUE(world.itemEnabled("DeleteBEFOREFileFunc"));
}

TEST(Startup, UnnumberedAfterFileEnablesTheAfterFileCommands)
{
    AppWorld world;
    writeFile(world.data("AFTER.DAT"), "App\r\n");
    world.start();
    for (int n : {3, 4, 9}) {
        EXPECT_TRUE(world.enabled(n)) << n;
    }
    for (const char* name : {"DeleteProgramFunc", "DeleteAFTERFileFunc", "ReportFunc"}) {
        EXPECT_TRUE(world.itemEnabled(name)) << name;
    }
}

TEST(Startup, SafetyCopyInTheWindowsDirectoryEnablesDeleteSafetyFiles)
{
    AppWorld world;
    writeFile(world.c("WINDOWS/WIN.QRV"), "");
    world.start();
    EXPECT_TRUE(world.enabled(5));
    EXPECT_TRUE(world.itemEnabled("DeleteSafetyFilesFunc"));
    EXPECT_FALSE(world.enabled(3));
}

TEST(Startup, RecordsMoveFromTheWindowsDirectoryBeforeThePairsAreSet)
{
    AppWorld world;
    writeFile(world.c("WINDOWS/AFTER3.DAT"), "Moved\r\n");
    writeFile(world.c("WINDOWS/AFTER.DAT"), "Stays\r\n");
    writeFile(world.c("WINDOWS/BEFORE.DAT"), "Newer\r\n");
    writeFile(world.data("BEFORE.DAT"), "Older\r\n");
    world.start();
    EXPECT_EQ(readFile(world.data("AFTER3.DAT")), "Moved\r\n");
    EXPECT_FALSE(pathExists(world.c("WINDOWS/AFTER3.DAT")));
    EXPECT_EQ(readFile(world.c("WINDOWS/AFTER.DAT")), "Stays\r\n");
    EXPECT_FALSE(pathExists(world.data("AFTER.DAT")));
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), "Newer\r\n");
    EXPECT_FALSE(pathExists(world.c("WINDOWS/BEFORE.DAT")));
    EXPECT_TRUE(world.enabled(3));
    EXPECT_TRUE(world.enabled(2));
}

TEST(Exit, PendingBeforeFileAsksAndNoStillEndsTheProgram)
{
    AppWorld world;
    writeFile(world.data("BEFORE.DAT"), "App\r\n");
    Application& app = world.start();
    world.prompts.answer(Answer::No);
    QTest::mouseClick(app.mainForm().button(6), Qt::LeftButton);
    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(world.prompts.messages()[0].text,
              "Warning. You have not yet created the AFTER file for the most recent BEFORE file. Create this AFTER "
              "file now?");
    EXPECT_TRUE(app.mainForm().exiting());
    EXPECT_FALSE(app.mainForm().isVisible());
    EXPECT_TRUE(pathExists(world.data("BEFORE.DAT")));  // No creates nothing and deletes nothing
}

TEST(Exit, YesCreatesThePendingAfterFileBeforeTheProgramEnds)
{
    AppWorld world;
    writeFile(world.data("BEFORE.DAT"),
              crlf({"Pending", "C", "\\WINDOWS\\", "\\", "*AUTOEXEC*", "*END AUTOEXEC*", "*CONFIG*", "*END CONFIG*",
                    "*WIN*", "*END WIN*", "*SYSTEM*", "*END SYSTEM*"}));
    writeFile(world.c("NEW/FILE.TXT"), "x");
    Application& app = world.start();
    world.prompts.answer(Answer::Yes);
    when([&] { return app.form3().isVisible() && app.form3().command1()->isVisible(); },
         [&] { QTest::mouseClick(app.form3().command1(), Qt::LeftButton); });
    app.mainForm().findChild<QAction*>("ExitFunc")->trigger();

    EXPECT_EQ(readFile(world.data("AFTER1.DAT")),
              crlf({"Pending", "C", "\\NEW\\", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*",
                    "~NO CHANGE~", "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*", "*SYSTEM*", "~NO CHANGE~",
                    "*END SYSTEM*"}));
    EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));
    EXPECT_TRUE(app.mainForm().exiting());
    EXPECT_FALSE(app.mainForm().isVisible());
}

TEST(Exit, DuringTheProgramSelectionCancelsItAndStillAsks)
{
    AppWorld world;
    writeFile(world.data("BEFORE.DAT"), "Pending\r\n");
    writeFile(world.data("AFTER1.DAT"), "Recorded\r\nC\r\n*AUTOEXEC*\r\n");
    Application& app = world.start();
    world.prompts.answer(Answer::No);
    whenShown("AfterFileListForm", [&](QWidget*) { QTest::mouseClick(app.mainForm().button(6), Qt::LeftButton); });
    QTest::mouseClick(app.mainForm().button(9), Qt::LeftButton);

    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(world.prompts.messages()[0].text.rfind("Warning. You have not yet created the AFTER file", 0), 0u);
    EXPECT_TRUE(app.mainForm().exiting());
    EXPECT_EQ(visibleWindow("AfterFileListForm"), nullptr);
    EXPECT_EQ(visibleWindow("ReportForm"), nullptr);  // the selection ended as Cancel: no report was opened
    EXPECT_TRUE(pathExists(world.data("AFTER1.DAT")));
}

// One installation from start to end through the main window: Create BEFORE file, install, Create AFTER file.
TEST(RecordCycle, BeforeAndAfterFilesThroughTheMainWindow)
{
    AppWorld world;
    writeFile(world.c("AUTOEXEC.BAT"), "ECHO OFF\r\nPATH=C:\\DOS\r\n");
    writeFile(world.c("CONFIG.SYS"), "FILES=30\r\n");
    writeFile(world.c("WINDOWS/WIN.INI"), "[windows]\r\nload=\r\n");
    writeFile(world.c("WINDOWS/SYSTEM.INI"), "[boot]\r\n");
    writeFile(world.c("DOS/EDIT.COM"), "x");
    Application& app = world.start();

    world.prompts.type("Test App");
    world.prompts.type("C");
    QTest::mouseClick(app.mainForm().button(1), Qt::LeftButton);
    const std::string before = crlf({
        "Test App", "C", "\\WINDOWS\\", "\\DOS\\", "\\", "\\WINDOWS\\SYSTEM.INI", "\\WINDOWS\\WIN.INI",
        "\\DOS\\EDIT.COM", "\\AUTOEXEC.BAT", "\\CONFIG.SYS", "*AUTOEXEC*", "ECHO OFF", "PATH=C:\\DOS",
        "*END AUTOEXEC*", "*CONFIG*", "FILES=30", "*END CONFIG*", "*WIN*", "[windows]", "load=", "*END WIN*",
        "*SYSTEM*", "[boot]", "*END SYSTEM*",
    });
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), before);
    EXPECT_TRUE(app.mainForm().isVisible());
    EXPECT_FALSE(world.enabled(1));
    EXPECT_TRUE(world.enabled(2));
    EXPECT_TRUE(world.enabled(8));

    // The installation.
    writeFile(world.c("APP/BIN/APP.EXE"), "x");
    writeFile(world.c("APP/README.TXT"), "x");
    writeFile(world.c("WINDOWS/APP.INI"), "x");
    writeFile(world.c("AUTOEXEC.BAT"), "ECHO OFF\r\nPATH = C:\\DOS;C:\\APP\r\n");

    std::vector<QString> report;
    when([&] { return app.form3().isVisible() && app.form3().command1()->isVisible(); },
         [&] {
             for (int i = 1; i <= 6; ++i) {
                 report.push_back(app.form3().label1(i)->text());
             }
             QTest::mouseClick(app.form3().command1(), Qt::LeftButton);
         });
    QTest::mouseClick(app.mainForm().button(2), Qt::LeftButton);

    EXPECT_EQ(readFile(world.data("AFTER1.DAT")),
              crlf({"Test App", "C", "\\APP\\BIN\\", "\\APP\\", "\\WINDOWS\\APP.INI", "*AUTOEXEC*", "ECHO OFF",
                    "PATH=C:\\DOS", "*NEW AUTOEXEC*", "ECHO OFF", "PATH=C:\\DOS;C:\\APP", "*END AUTOEXEC*",
                    "*CONFIG*", "~NO CHANGE~", "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*", "*SYSTEM*",
                    "~NO CHANGE~", "*END SYSTEM*"}));
    EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));
    EXPECT_EQ(report, (std::vector<QString>{"Installation Report", "",
                                             "Number of subdirectories created during installation: 2",
                                             "Number of files installed in old subdirectories: 1",
                                             "AUTOEXEC.BAT was modified.", ""}));
    EXPECT_TRUE(app.mainForm().isVisible());
    EXPECT_FALSE(app.form3().isVisible());
    EXPECT_TRUE(world.enabled(1));
    EXPECT_FALSE(world.enabled(2));
    EXPECT_FALSE(world.enabled(8));
    for (int n : {3, 4, 9}) {
        EXPECT_TRUE(world.enabled(n)) << n;
    }
    EXPECT_TRUE(world.prompts.messages().empty());
    // Nothing on the drive was touched by recording it.
    EXPECT_EQ(readFile(world.c("DOS/EDIT.COM")), "x");
}

}  // namespace
}  // namespace morvane::test
