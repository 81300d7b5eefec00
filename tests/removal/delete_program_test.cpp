#include "removal/delete_program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <map>

#include "tests/removal/scripted_after_file_list.h"
#include "tests/snapshot/hooked_file_system.h"
#include "tests/support/doubles.h"
#include "wine/companion.h"

namespace morvane {
namespace {

using test::crlf;
using test::folderState;
using test::pathExists;
using test::writeFile;
using Lines = std::vector<std::string>;

// Form4 without a window: answers from a queue and records what it was shown with.
class ScriptedRestoreOptions : public RestoreOptions {
public:
    int ShowRestoreOptions(const std::string& path, const std::string&, bool) override
    {
        shown.push_back(path);
        if (choices.empty()) {
            ADD_FAILURE() << "restoration window shown without a scripted choice";
            return 1;
        }
        const int choice = choices.front();
        choices.pop_front();
        return choice;
    }
    std::deque<int> choices;
    std::vector<std::string> shown;
};

// A configuration section of an AFTER file: the lines before and right after the installation.
struct Section {
    Lines before, after;
};

// An AFTER file: program name, drive lines as given, the configuration sections given (by section name),
// "~NO CHANGE~" for the others.
std::string AfterFile(const std::string& name, const Lines& driveLines,
                      const std::map<std::string, Section>& changed = {})
{
    Lines lines{name};
    lines.insert(lines.end(), driveLines.begin(), driveLines.end());
    lines.push_back("*AUTOEXEC*");
    for (const std::string section : {"AUTOEXEC", "CONFIG", "WIN", "SYSTEM"}) {
        if (section != "AUTOEXEC") {
            lines.push_back("*" + section + "*");
        }
        if (const auto it = changed.find(section); it != changed.end()) {
            lines.insert(lines.end(), it->second.before.begin(), it->second.before.end());
            lines.push_back("*NEW " + section + "*");
            lines.insert(lines.end(), it->second.after.begin(), it->second.after.end());
        } else {
            lines.push_back("~NO CHANGE~");
        }
        lines.push_back("*END " + section + "*");
    }
    return crlf(lines);
}

void SetDos(const std::string& path, const char* value)
{
    lsetxattr(path.c_str(), "user.DOSATTRIB", value, std::char_traits<char>::length(value), 0);
}

class DeleteProgramTest : public ::testing::Test {
protected:
    DeleteProgramTest() : fs(test::HookedFileSystem::install(world)) {}

    // C: holds the user's files, an older folder WINDOWS and what "Setup" installed: \APP\ with \APP\SUB\ (a
    // read-only file, a hidden one, a DOS-hidden system one, a link to a file of the user's) and two files
    // added to WINDOWS. The record also names a directory and a file that are gone already.
    void install()
    {
        writeFile(world.host("C:\\USER\\KEEP.TXT"), "mine");
        writeFile(world.host("C:\\WINDOWS\\OLD.DLL"), "old");
        userState = folderState(world.drive('C'));
        writeFile(world.host("C:\\APP\\APP.EXE"), "exe");
        writeFile(world.host("C:\\APP\\SUB\\READ.ME"), "r");
        chmod(world.host("C:\\APP\\SUB\\READ.ME").c_str(), 0444);
        writeFile(world.host("C:\\APP\\SUB\\.hidden"), "h");
        writeFile(world.host("C:\\APP\\SUB\\SYS.BIN"), "s");
        SetDos(world.host("C:\\APP\\SUB\\SYS.BIN"), "0x6");
        symlink(world.host("C:\\USER\\KEEP.TXT").c_str(), world.host("C:\\APP\\LINK").c_str());
        writeFile(world.host("C:\\WINDOWS\\NEW1.DLL"), "1");
        writeFile(world.host("C:\\WINDOWS\\NEW2.DLL"), "2");
        record(AfterFile("Setup", {"C", "\\APP\\SUB\\", "\\GONE\\", "\\APP\\", "\\WINDOWS\\NEW1.DLL",
                                   "\\WINDOWS\\GONE.DLL", "\\WINDOWS\\NEW2.DLL"}));
    }
    void record(const std::string& bytes) { writeFile(world.data("AFTER1.DAT"), bytes); }
    void run()
    {
        list.choices = {0};
        DeleteProgram(world.ctx(), list, form4);
    }
    Lines messages() const { return world.prompts.messageTexts(); }

    test::World world;
    test::HookedFileSystem& fs;
    test::ScriptedAfterFileList list;
    ScriptedRestoreOptions form4;
    std::map<std::string, std::string> userState;
};

TEST_F(DeleteProgramTest, RemovesExactlyTheRecordedEntriesAndTheRecord)
{
    install();
    world.prompts.answer(Answer::Yes);  // Delete Setup? Are you sure?
    world.prompts.answer(Answer::No);   // no question per file
    run();

    EXPECT_EQ(list.prompt, "");
    EXPECT_EQ(messages(),
              (Lines{"Delete Setup? Are you sure?", "Confirm deletion of files in pre-existing directories?"}));
    const auto& asked = world.prompts.messages();
    EXPECT_EQ(asked[0].title, "Morvane");
    EXPECT_EQ(asked[0].icon, Icon::Question);
    EXPECT_EQ(userState.at("/USER/KEEP.TXT"), "f 0644 mine");
    EXPECT_EQ(folderState(world.drive('C')), userState);  // the link's target is still there
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
    EXPECT_EQ(world.state.ProgramName, "Setup");
    EXPECT_EQ(world.panel.written, (Lines{"1: Deleting all traces of Setup"}));
    EXPECT_FALSE(world.panel.visible);
    EXPECT_TRUE(world.panel.okVisible);
    EXPECT_TRUE(world.main.visible);
    EXPECT_FALSE(world.main.pairs.at(Pair::DeleteProgram));
    EXPECT_FALSE(world.main.pairs.at(Pair::DeleteSafety));
    EXPECT_TRUE(form4.shown.empty());
}

TEST_F(DeleteProgramTest, EachFileInAnOlderDirectoryIsAskedForWhenTheUserWantsToConfirm)
{
    install();
    for (Answer a : {Answer::Yes, Answer::Yes, Answer::No, Answer::Yes}) {
        world.prompts.answer(a);
    }
    run();
    EXPECT_EQ(messages(),
              (Lines{"Delete Setup? Are you sure?", "Confirm deletion of files in pre-existing directories?",
                     "Delete C:\\WINDOWS\\NEW1.DLL?", "Delete C:\\WINDOWS\\NEW2.DLL?"}));
    EXPECT_TRUE(pathExists(world.host("C:\\WINDOWS\\NEW1.DLL")));
    EXPECT_FALSE(pathExists(world.host("C:\\WINDOWS\\NEW2.DLL")));
    EXPECT_FALSE(pathExists(world.host("C:\\APP")));
}

TEST_F(DeleteProgramTest, NoAtTheConfirmationChangesNothing)
{
    install();
    const auto before = folderState(world.tmp.path());
    world.prompts.answer(Answer::No);
    run();
    EXPECT_EQ(folderState(world.tmp.path()), before);
    EXPECT_TRUE(world.main.visible);
    EXPECT_FALSE(world.panel.visible);
}

TEST_F(DeleteProgramTest, AFileThatWillNotGoIsAskedAboutUntilTheUserGivesUpOnItsDirectory)
{
    install();
    const std::string stuck = "C:\\APP\\SUB\\SYS.BIN";
    int attempts = 0;
    fs.failRemove = [&](std::string_view path) -> std::optional<Error> {
        if (path != stuck) {
            return std::nullopt;
        }
        ++attempts;
        return errorFromErrno(std::string(path), EACCES);
    };
    for (Answer a : {Answer::Yes, Answer::No, Answer::Yes, Answer::No}) {
        world.prompts.answer(a);
    }
    run();
    const std::string problem2 =
        "There was a problem #2 deleting file C:\\APP\\SUB\\SYS.BIN. If it still exits, make "
        "a note to delete it manually. Abort deleting directory C:\\APP\\SUB\\";
    EXPECT_EQ(messages(),
              (Lines{"Delete Setup? Are you sure?", problem2, problem2,
                     "There was a problem deleting directory C:\\APP\\SUB. Please make a note to delete it manually.",
                     "There was a problem deleting directory C:\\APP. Please make a note to delete it manually.",
                     "Confirm deletion of files in pre-existing directories?"}));
    EXPECT_EQ(world.prompts.messageNotices(),
              (std::vector<Notice>{Notice::ConfirmDeletion, Notice::ProblemDeletingFile, Notice::ProblemDeletingFile,
                                   Notice::DirectoryNotRemoved, Notice::DirectoryNotRemoved, Notice::ConfirmEachFile}));
    EXPECT_EQ(world.prompts.messages()[1].title, "We got a problem!");
    EXPECT_EQ(world.prompts.messages()[1].buttons, Buttons::YesNo);
    EXPECT_EQ(world.prompts.messages()[3].title, "Morvane");
    EXPECT_EQ(world.prompts.messages()[3].icon, Icon::None);
    EXPECT_EQ(attempts, 4);  // two attempts per question, the second after the attributes were reset
    // The stuck file and its folders stay; every other file of the installation is gone.
    EXPECT_TRUE(pathExists(world.host(stuck)));
    EXPECT_FALSE(pathExists(world.host("C:\\APP\\SUB\\READ.ME")));
    EXPECT_FALSE(pathExists(world.host("C:\\APP\\APP.EXE")));
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
}

TEST_F(DeleteProgramTest, AListingThatFailsIsReportedAndNoListsAgain)
{
    install();
    int failures = 0;
    fs.failRead = [&](std::string_view directory) -> std::optional<Error> {
        if (directory == "C:\\APP\\SUB\\" && failures++ < 1) {
            return errorFromErrno(std::string(directory), EIO);
        }
        return std::nullopt;
    };
    for (Answer a : {Answer::Yes, Answer::No, Answer::No}) {
        world.prompts.answer(a);
    }
    run();
    EXPECT_EQ(messages()[1],
              "There was a problem #1 deleting file C:\\APP\\SUB\\. If it still exits, make a note to "
              "delete it manually. Abort deleting directory C:\\APP\\SUB\\");
    EXPECT_FALSE(pathExists(world.host("C:\\APP")));
}

TEST_F(DeleteProgramTest, CancelAtADriveThatCannotBeWrittenKeepsTheRecordAndEarlierDrives)
{
    install();
    record(AfterFile("Setup", {"C", "\\APP\\SUB\\", "\\APP\\", "D", "\\DATA\\"}));
    // The machine has no drive D:, so nothing can be written there.
    for (Answer a : {Answer::Yes, Answer::Ok, Answer::Cancel}) {
        world.prompts.answer(a);
    }
    run();
    const std::string notReady =
        "Drive D is not ready to write to. Fix and click on Ok, or select Cancel to abort operation.";
    EXPECT_EQ(messages(), (Lines{"Delete Setup? Are you sure?", notReady, notReady}));
    EXPECT_EQ(world.prompts.messages()[1].buttons, Buttons::OkCancel);
    EXPECT_FALSE(pathExists(world.host("C:\\APP")));
    EXPECT_TRUE(pathExists(world.data("AFTER1.DAT")));
    EXPECT_TRUE(world.main.pairs.at(Pair::DeleteProgram));
    EXPECT_TRUE(world.main.visible);
    EXPECT_FALSE(world.panel.visible);
}

TEST_F(DeleteProgramTest, ARecordThatIsDamagedOrLeadsThroughALinkIsRefusedBeforeAnythingIsDeleted)
{
    install();
    const std::string path = world.data("AFTER1.DAT");
    writeFile(world.tmp / "elsewhere/SUB/VICTIM", "v");
    symlink((world.tmp / "elsewhere").c_str(), world.host("C:\\VIA").c_str());
    struct Case {
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {AfterFile("Setup", {"C", "\\APP\\SUB\\", "\\"}),
         "The AFTER file " + path + " is damaged: line 4 \"\\\" is not a directory below the drive's root."},
        {crlf({"Setup", "C", "\\APP\\SUB\\", "\\APP\\", "*AUTOEXEC*", "~NO CHANGE~"}),
         "The AFTER file " + path + " ends inside its AUTOEXEC section."},
        {AfterFile("Setup", {"C", "\\APP\\", "\\VIA\\SUB\\VICTIM"}),
         "The AFTER file " + path +
             " cannot be used: line 4 \"\\VIA\\SUB\\VICTIM\" now leads through a symbolic link on drive C:."},
    };
    for (const Case& c : cases) {
        record(c.bytes);
        const auto before = folderState(world.tmp.path());
        world.prompts = test::ScriptedPrompts();
        run();
        EXPECT_EQ(messages(), Lines{c.message + " Nothing has been deleted; the AFTER file is kept."});
        EXPECT_EQ(folderState(world.tmp.path()), before);
        EXPECT_TRUE(world.main.visible);
    }

    // A good record whose companion was made in a Wine prefix, while the drives now come from elsewhere; and one
    // whose companion is cut short.
    record(AfterFile("Setup", {"C", "\\APP\\SUB\\", "\\APP\\"}));
    wine::PrefixChanges changes;
    changes.prefix = world.tmp / "prefix";
    ASSERT_TRUE(wine::WriteAfterCompanion(*world.fs, world.data("AFTER1.WINE"), changes));
    const std::string companion = test::readFile(world.data("AFTER1.WINE"));
    for (const std::string& bytes : {companion, companion.substr(0, companion.size() / 2)}) {
        writeFile(world.data("AFTER1.WINE"), bytes);
        const auto before = folderState(world.tmp.path());
        world.prompts = test::ScriptedPrompts();
        run();
        ASSERT_EQ(messages().size(), 1u);
        if (bytes == companion) {
            EXPECT_EQ(messages()[0], "The AFTER file " + path + " was made in the Wine prefix " + changes.prefix +
                                         ", but Morvane now works on other drives. Start Morvane on the prefix the "
                                         "program was installed in (--prefix or WINEPREFIX). Nothing has been "
                                         "deleted; the AFTER file is kept.");
        } else {
            EXPECT_TRUE(messages()[0].starts_with("The companion " + world.data("AFTER1.WINE") + " is damaged: line "))
                << messages()[0];
        }
        EXPECT_EQ(folderState(world.tmp.path()), before);
    }
}

TEST_F(DeleteProgramTest, ADirectoryThatIsNowALinkIsNeverEntered)
{
    writeFile(world.tmp / "elsewhere/PRECIOUS", "p");
    symlink((world.tmp / "elsewhere").c_str(), world.host("C:\\APP").c_str());
    record(AfterFile("Setup", {"C", "\\APP\\"}));
    world.prompts.answer(Answer::Yes);
    run();
    EXPECT_EQ(messages(), (Lines{"Delete Setup? Are you sure?",
                                 "There was a problem deleting directory C:\\APP. Please make a note to delete it "
                                 "manually."}));
    EXPECT_EQ(test::readFile(world.tmp / "elsewhere/PRECIOUS"), "p");
    EXPECT_TRUE(pathExists(world.host("C:\\APP")));
}

TEST_F(DeleteProgramTest, OnlyEntriesOfExactlyTheRecordedNamesAreTouched)
{
    // The recorded APP folder and NEW.DLL are gone; namesakes in another letter case belong to someone else.
    writeFile(world.host("C:\\WINDOWS\\new.dll"), "someone else's");
    test::makeDirs(world.host("C:\\app"));
    writeFile(world.host("C:\\WINDOWS\\KEEP.DLL"), "installed");
    writeFile(world.host("C:\\WINDOWS\\keep.dll"), "someone else's");
    record(AfterFile("Setup", {"C", "\\APP\\", "\\WINDOWS\\KEEP.DLL", "\\WINDOWS\\NEW.DLL"}));
    auto expected = folderState(world.drive('C'));
    expected.erase("/WINDOWS/KEEP.DLL");
    world.prompts.answer(Answer::Yes);
    world.prompts.answer(Answer::No);
    run();
    EXPECT_EQ(messages(),
              (Lines{"Delete Setup? Are you sure?", "Confirm deletion of files in pre-existing directories?"}));
    EXPECT_EQ(folderState(world.drive('C')), expected);
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
}

TEST_F(DeleteProgramTest, AConfigurationFileNotRestoredKeepsTheRecordAndASecondRunFinishes)
{
    // Three configuration files changed by the installation and unchanged since: CONFIG.SYS cannot be written,
    // WIN.INI is a link to a file elsewhere, SYSTEM.INI is hidden. AUTOEXEC.BAT is restored the first time.
    const std::map<std::string, Section> sections = {
        {"AUTOEXEC", {{"ECHO OFF"}, {"ECHO OFF", "SET APP=1"}}},
        {"CONFIG", {{"FILES=30"}, {"FILES=40"}}},
        {"WIN", {{"[windows]"}, {"[windows]", "load=app.exe"}}},
        {"SYSTEM", {{"[boot]"}, {"[boot]", "app=1"}}},
    };
    writeFile(world.host("C:\\APP\\APP.EXE"), "exe");
    record(AfterFile("Setup", {"C", "\\APP\\"}, sections));
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"ECHO OFF", "SET APP=1"}));
    writeFile(world.host("C:\\CONFIG.SYS"), crlf({"FILES=40"}));
    writeFile(world.tmp / "elsewhere/win.ini", crlf({"[windows]", "load=app.exe"}));
    symlink((world.tmp / "elsewhere/win.ini").c_str(), world.host("C:\\WINDOWS\\WIN.INI").c_str());
    writeFile(world.host("C:\\WINDOWS\\SYSTEM.INI"), crlf({"[boot]", "app=1"}));
    SetDos(world.host("C:\\WINDOWS\\SYSTEM.INI"), "0x2");
    fs.failWriteAtomic = [](std::string_view path) -> std::optional<Error> {
        return path == "C:\\CONFIG.SYS" ? std::optional(errorFromErrno(std::string(path), EIO)) : std::nullopt;
    };
    const std::string recordBytes = test::readFile(world.data("AFTER1.DAT"));
    auto unchanged = [](const std::string& path) {
        return "Considering restoring original " + path + " file. \n" + path +
               " was changed during installation of Setup, but has not been changed since. " + path +
               " can be easily restored by replacing original file. \nProceed?";
    };
    for (int k = 0; k < 3; ++k) {
        world.prompts.answer(Answer::Yes);
    }
    run();
    EXPECT_EQ(
        messages(),
        (Lines{"Delete Setup? Are you sure?", unchanged("C:\\AUTOEXEC.BAT"), unchanged("C:\\CONFIG.SYS"),
               "The file C:\\CONFIG.SYS could not be written: Input/output error. It has been left unchanged.",
               "The file C:\\WINDOWS\\WIN.INI is a symbolic link, so it has not been read and has been left "
               "unchanged, with the file it points to. Restore it by hand if it needs it.",
               "The file C:\\WINDOWS\\SYSTEM.INI is a hidden or system file, so it has not been read and has been "
               "left unchanged. Restore it by hand if it needs it.",
               "Not restored: C:\\CONFIG.SYS, C:\\WINDOWS\\WIN.INI and C:\\WINDOWS\\SYSTEM.INI. The AFTER file " +
                   world.data("AFTER1.DAT") +
                   " is kept, because it holds the lines from before the installation. Run Delete program "
                   "again once the files can be restored."}));
    EXPECT_EQ(world.prompts.messages().back().title, "Error");
    EXPECT_EQ(test::readFile(world.data("AFTER1.DAT")), recordBytes);
    EXPECT_TRUE(world.main.pairs.at(Pair::DeleteProgram));
    EXPECT_FALSE(pathExists(world.host("C:\\APP")));
    EXPECT_EQ(test::readFile(world.host("C:\\AUTOEXEC.BAT")), crlf({"ECHO OFF"}));
    EXPECT_EQ(test::readFile(world.host("C:\\CONFIG.SYS")), crlf({"FILES=40"}));
    EXPECT_EQ(test::readFile(world.tmp / "elsewhere/win.ini"), crlf({"[windows]", "load=app.exe"}));
    char target[256] = {};
    ASSERT_GT(readlink(world.host("C:\\WINDOWS\\WIN.INI").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), world.tmp / "elsewhere/win.ini");

    // The user mends the three files. The second run offers only their restorations and then lets the record go.
    fs.failWriteAtomic = nullptr;
    unlink(world.host("C:\\WINDOWS\\WIN.INI").c_str());
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]", "load=app.exe"}));
    SetDos(world.host("C:\\WINDOWS\\SYSTEM.INI"), "0x0");
    world.prompts = test::ScriptedPrompts();
    for (int k = 0; k < 4; ++k) {
        world.prompts.answer(Answer::Yes);
    }
    run();
    EXPECT_EQ(messages(), (Lines{"Delete Setup? Are you sure?", unchanged("C:\\CONFIG.SYS"),
                                 unchanged("C:\\WINDOWS\\WIN.INI"), unchanged("C:\\WINDOWS\\SYSTEM.INI")}));
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
    EXPECT_FALSE(world.main.pairs.at(Pair::DeleteProgram));
    EXPECT_EQ(test::readFile(world.host("C:\\AUTOEXEC.QRV")), crlf({"ECHO OFF", "SET APP=1"}));
    EXPECT_EQ(test::readFile(world.host("C:\\CONFIG.SYS")), crlf({"FILES=30"}));
    EXPECT_EQ(test::readFile(world.host("C:\\WINDOWS\\WIN.INI")), crlf({"[windows]"}));
    EXPECT_EQ(test::readFile(world.host("C:\\WINDOWS\\SYSTEM.INI")), crlf({"[boot]"}));
}

TEST(DeleteProgramLeftOut, AnOlderRecordsEntriesInAFolderTheDriveLeavesOutStay)
{
    // A record made before /tmp was left out of C: = / names a folder and a file there.
    test::World world;
    DriveMap map = world.fs->drives();
    map.leaveOut('C', {"tmp"});
    world.fs = std::make_unique<FileSystem>(map);
    writeFile(world.host("C:\\tmp\\build\\obj.o"), "another program's");
    writeFile(world.host("C:\\tmp\\log.txt"), "another program's");
    writeFile(world.data("AFTER1.DAT"), AfterFile("Setup", {"C", "\\tmp\\build\\", "\\tmp\\log.txt"}));
    const auto before = folderState(world.drive('C'));
    world.prompts.answer(Answer::Yes);
    test::ScriptedAfterFileList list;
    list.choices = {0};
    ScriptedRestoreOptions form4;
    DeleteProgram(world.ctx(), list, form4);
    EXPECT_EQ(world.prompts.messageTexts(), Lines{"Delete Setup? Are you sure?"});
    EXPECT_EQ(folderState(world.drive('C')), before);
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
}

}  // namespace
}  // namespace morvane
