#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include "tests/support/app_world.h"
#include "tests/support/window_helpers.h"

namespace morvane::test {
namespace {

using Lines = std::vector<std::string>;
using State = std::map<std::string, std::string>;

// Answers every showing of a window with `act` for as long as `alive` holds.
void everyTimeShown(const QString& objectName, std::shared_ptr<bool> alive, std::function<void(QWidget*)> act)
{
    whenShown(objectName, [objectName, alive, act](QWidget* w) {
        if (*alive) {
            act(w);
            everyTimeShown(objectName, alive, act);
        }
    });
}

void clickOption(QWidget* form4, int option)
{
    auto* button = form4->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(option));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// The configuration files before the installation, right after it, and after a later edit of the user's.
struct Config {
    const char* path;  // below C:
    Lines before;
    Lines installed;
    Lines edited;
};

const std::vector<Config> kConfigs = {
    {"AUTOEXEC.BAT",
     {"@ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP"},
     {"@ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP"},
     {"@ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP", "SET BLASTER=A220"}},
    {"CONFIG.SYS",
     {"DEVICE=HIMEM.SYS", "DEVICE=EMM386.EXE", "FILES=30"},
     {"DEVICE=HIMEM.SYS", "FILES = 40"},
     {"DEVICE=HIMEM.SYS", "FILES = 40", "BUFFERS=20"}},
    {"WINDOWS/WIN.INI",
     {"[windows]", "load=", "", "[Desktop]"},
     {"[windows]", "load=app.exe", "", "[Desktop]", "[App]", "Dir=C:\\APP"},
     {"[windows]", "load=app.exe", "", "[Desktop]", "Wallpaper=sea.bmp", "[App]", "Dir=C:\\APP"}},
    // Changed by the installation and left alone by the user.
    {"WINDOWS/SYSTEM.INI", {"[boot]", "shell=progman.exe"}, {"[boot]", "shell=progman.exe", "device=app.386"}, {}},
};

// One installation through the real windows: Create BEFORE file, the installation, Create AFTER file, an edit
// of the user's, then Delete program with one restoration choice for every file that was changed since.
class ProgramLife : public ::testing::TestWithParam<int> {
protected:
    void write(const std::string& relative, const Lines& lines) { writeFile(world.c(relative), crlf(lines)); }
    State drive() { return folderState(world.tmp / "c"); }
    void clickWhenPanelAsks()
    {
        when([this] { return app->form3().isVisible() && app->form3().command1()->isVisible(); },
             [this] { QTest::mouseClick(app->form3().command1(), Qt::LeftButton); });
    }

    AppWorld world;
    Application* app = nullptr;
};

TEST_P(ProgramLife, DeletionLeavesTheDriveAsItWasApartFromTheUsersEditAndTheSafetyFiles)
{
    const int choice = GetParam();
    for (const Config& c : kConfigs) {
        write(c.path, c.before);
    }
    write("DOS/EDIT.COM", {"editor"});
    write("WINDOWS/OLD.DLL", {"old"});
    const State original = drive();
    app = &world.start();

    world.prompts.type("Acme Paint");
    world.prompts.type("C");
    QTest::mouseClick(app->mainForm().button(1), Qt::LeftButton);

    // The installation: new directories with hidden and read-only files, files in old directories, and its
    // configuration changes.
    write("APP/APP.EXE", {"exe"});
    write("APP/.settings", {"hidden"});
    write("APP/DATA/READONLY.DAT", {"ro"});
    chmod(world.c("APP/DATA/READONLY.DAT").c_str(), 0444);
    write("APP/DATA/.cache/C1", {"c"});
    lsetxattr(world.c("APP/APP.EXE").c_str(), "user.DOSATTRIB", "0x6", 3, 0);
    write("WINDOWS/APP.DLL", {"dll"});
    write("WINDOWS/SYSTEM/APPDRV.386", {"drv"});
    for (const Config& c : kConfigs) {
        write(c.path, c.installed);
    }
    clickWhenPanelAsks();
    QTest::mouseClick(app->mainForm().button(2), Qt::LeftButton);
    ASSERT_TRUE(pathExists(world.data("AFTER1.DAT")));

    // The user's later edits.
    for (const Config& c : kConfigs) {
        if (!c.edited.empty()) {
            write(c.path, c.edited);
        }
    }

    world.prompts.answer(Answer::Yes);  // Delete Acme Paint? Are you sure?
    world.prompts.answer(Answer::No);   // no question per file in older directories
    world.prompts.answer(Answer::Yes);  // SYSTEM.INI, unchanged since: replace it
    whenShown("AfterFileListForm", [](QWidget* w) { clickButton(w, "Command1"); });
    int shown = 0;
    auto alive = std::make_shared<bool>(true);
    everyTimeShown("Form4", alive, [&](QWidget* w) {
        ++shown;
        clickOption(w, choice);
        clickButton(w, "Command1");
    });
    QTest::mouseClick(app->mainForm().button(3), Qt::LeftButton);
    *alive = false;

    EXPECT_EQ(shown, 3);
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
    EXPECT_TRUE(app->mainForm().isVisible());
    EXPECT_FALSE(app->form3().isVisible());
    EXPECT_FALSE(world.enabled(3));
    EXPECT_TRUE(world.enabled(5));  // SYSTEM.QRV is written whatever the choice

    // What each choice leaves in the three edited files, and which lines the merge could not place.
    struct Outcome {
        Lines autoexec, config, win, configMissing;
    };
    const Outcome outcomes[] = {
        {},
        {kConfigs[0].edited, {"DEVICE=HIMEM.SYS", "FILES=40", "BUFFERS=20"}, kConfigs[2].edited, {}},
        {kConfigs[0].before, kConfigs[1].before, kConfigs[2].before, {}},
        {{"@ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP", "SET BLASTER=A220"},
         {"DEVICE=HIMEM.SYS", "FILES=30", "BUFFERS=20"},
         {"[windows]", "load=", "", "[Desktop]", "Wallpaper=sea.bmp"},
         {"DEVICE=EMM386.EXE"}},
    };
    const Outcome& expected = outcomes[choice];
    State now = drive();
    State wanted = original;
    if (choice == 1) {
        // Nothing written: the files keep their bytes as the user left them, spacing included.
        wanted["/AUTOEXEC.BAT"] = "f 0644 " + crlf(kConfigs[0].edited);
        wanted["/CONFIG.SYS"] = "f 0644 " + crlf(kConfigs[1].edited);
        wanted["/WINDOWS/WIN.INI"] = "f 0644 " + crlf(kConfigs[2].edited);
    } else {
        wanted["/AUTOEXEC.BAT"] = "f 0644 " + crlf(expected.autoexec);
        wanted["/CONFIG.SYS"] = "f 0644 " + crlf(expected.config);
        wanted["/WINDOWS/WIN.INI"] = "f 0644 " + crlf(expected.win);
        // The safety copies hold the files as they were just before, tidied.
        wanted["/AUTOEXEC.QRV"] = "f 0644 " + crlf(kConfigs[0].edited);
        wanted["/CONFIG.QRV"] = "f 0644 " + crlf({"DEVICE=HIMEM.SYS", "FILES=40", "BUFFERS=20"});
        wanted["/WINDOWS/WIN.QRV"] = "f 0644 " + crlf(kConfigs[2].edited);
    }
    wanted["/WINDOWS/SYSTEM.QRV"] = "f 0644 " + crlf(kConfigs[3].installed);
    if (!expected.configMissing.empty()) {
        wanted["/CONFIG.MIS"] = "f 0644 " + crlf(expected.configMissing);
    }
    EXPECT_EQ(now, wanted);

    Lines messages = {"Delete Acme Paint? Are you sure?", "Confirm deletion of files in pre-existing directories?"};
    if (choice == 3) {
        messages.push_back(
            "Attention! Some line(s) from the original file could not be found in the existing file and could not "
            "be safely replaced. They have been placed in the file C:\\CONFIG.MIS for safe keeping.\nYou may wish "
            "to manually add them to C:\\CONFIG.SYS.\nYou can use C:\\CONFIG.QRV as a guide by looking for lines "
            "in C:\\CONFIG.QRV that are similar to the missing lines.");
    }
    messages.push_back(
        "Considering restoring original C:\\WINDOWS\\SYSTEM.INI file. \nC:\\WINDOWS\\SYSTEM.INI was "
        "changed during installation of Acme Paint, but has not been changed since. "
        "C:\\WINDOWS\\SYSTEM.INI can be easily restored by replacing original file. \nProceed?");
    EXPECT_EQ(world.prompts.messageTexts(), messages);
    EXPECT_TRUE(world.prompts.allAnswered());
}

INSTANTIATE_TEST_SUITE_P(EachChoice, ProgramLife, ::testing::Values(1, 2, 3));

TEST(DeleteProgramFunc, TheMenuItemOffersTheProgramsAndCancelChangesNothing)
{
    AppWorld world;
    writeFile(world.data("AFTER1.DAT"), crlf({"Acme Paint", "C", "\\WINDOWS\\", "*AUTOEXEC*"}));
    Application& app = world.start();
    QString prompt;
    whenShown("AfterFileListForm", [&](QWidget* w) {
        prompt = w->findChild<QLabel*>("Label1")->text();
        clickButton(w, "Command2");
    });
    app.mainForm().findChild<QAction*>("DeleteProgramFunc")->trigger();
    EXPECT_EQ(prompt, "Select program to delete from disk");
    EXPECT_TRUE(pathExists(world.c("WINDOWS")));
    EXPECT_TRUE(pathExists(world.data("AFTER1.DAT")));
    EXPECT_TRUE(app.mainForm().isVisible());
    EXPECT_TRUE(world.prompts.messages().empty());
}

}  // namespace
}  // namespace morvane::test
