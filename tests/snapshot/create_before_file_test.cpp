#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "snapshot/create_before_file.h"
#include "tests/snapshot/hooked_file_system.h"
#include "tests/support/doubles.h"

namespace morvane::test {
namespace {

using Strings = std::vector<std::string>;
using Kind = ScriptedPrompts::Prompt::Kind;

const std::string kNamePrompt = "Name of new program being installed (no name aborts operation)?";
const std::string kDrivePrompt =
    "Input the drive or drives the program is being installed on. If the program will be spread out over several "
    "drives, input the letters of all the drives the program will be installed on, such as DE. The default is just "
    "C.";
const Strings kNoSystemFiles{"*AUTOEXEC*", "*END AUTOEXEC*", "*CONFIG*", "*END CONFIG*",
                             "*WIN*",      "*END WIN*",      "*SYSTEM*", "*END SYSTEM*"};

// Lines joined with CR LF after each, as BEFORE.DAT holds them.
std::string record(const std::vector<Strings>& parts)
{
    std::string out;
    for (const Strings& part : parts) {
        for (const std::string& line : part) {
            out += line;
            out += "\r\n";
        }
    }
    return out;
}

// A prompts double that also runs a check whenever a message box is shown (the state of the disk at that moment).
class WatchingPrompts : public ScriptedPrompts {
public:
    Answer messageBox(Notice notice, std::string_view text, Buttons buttons, Icon icon, std::string_view title) override
    {
        if (onMessage) {
            onMessage(text);
        }
        return ScriptedPrompts::messageBox(notice, text, buttons, icon, title);
    }
    std::function<void(std::string_view)> onMessage;
};

// The end of every path that showed the panel: Form3 hidden with lines 1 to 10 blank and its Ok button back,
// the main window shown again.
void expectCleanedUp(const World& world)
{
    EXPECT_FALSE(world.panel.visible);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(world.panel.line(i), "") << "line " << i;
    }
    EXPECT_TRUE(world.panel.okVisible);
    EXPECT_TRUE(world.main.visible);
    EXPECT_EQ(world.main.hides, 1);
}

// After an abort: no BEFORE.DAT, and no command pair touched.
void expectNothingRecorded(const World& world)
{
    EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));
    EXPECT_TRUE(world.main.pairs.empty());
}

void expectBeforePairsSwitched(const World& world)
{
    EXPECT_FALSE(world.main.pairEnabled(Pair::CreateBefore));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteBefore));
    EXPECT_TRUE(world.main.pairEnabled(Pair::CreateAfter));
}

bool setDosAttribute(const std::string& path, const char* value)
{
    return lsetxattr(path.c_str(), "user.DOSATTRIB", value, std::char_traits<char>::length(value), 0) == 0;
}

// ---- The whole file ----------------------------------------------------------------------------------------

TEST(CreateBeforeFile, RecordsARealisticDriveByteForByte)
{
    World world;
    const std::string c = world.drive('C');
    writeFile(c + "/AUTOEXEC.BAT", "@ECHO OFF\r\nPATH C:\\DOS\r\n");
    writeFile(c + "/config.sys", "FILES=30\nBUFFERS=20");  // found in any letter case; LF and no last ending
    writeFile(c + "/IO.SYS", "");
    writeFile(c + "/MSDOS.SYS", "");
    writeFile(c + "/.bashrc", "");
    writeFile(c + "/BEFORE.DAT", "not the record");
    writeFile(c + "/AFTER7.DAT", "");
    writeFile(c + "/AFTER7.TXT", "");
    writeFile(c + "/MYAFTER.DAT", "");
    writeFile(c + "/WINDOWS/WIN.INI", "[windows]\r\nload=\r\n");
    writeFile(c + "/WINDOWS/SYSTEM.INI", "[boot]\r\nshell=progman.exe\r\n");
    writeFile(c + "/WINDOWS/SYSTEM/USER.EXE", "");
    writeFile(c + "/WINDOWS/SYSTEM/after.dat", "");
    writeFile(c + "/WINDOWS/SYSTEM/AFTER12.DAT", "");
    ASSERT_EQ(symlink("SYSTEM", (c + "/WINDOWS/link-to-system").c_str()), 0);
    writeFile(c + "/APPS/readme.txt", "");
    writeFile(c + "/APPS/.cache/x.bin", "");
    ASSERT_EQ(chmod((c + "/APPS/readme.txt").c_str(), 0444), 0);
    ASSERT_EQ(chmod((c + "/IO.SYS").c_str(), 0444), 0);
    const bool attributes = setDosAttribute(c + "/IO.SYS", "0x5") && setDosAttribute(c + "/MSDOS.SYS", "0x2");
    world.prompts.type("Acme Writer 2.0");
    world.prompts.type("C");

    CreateBeforeFile(world.ctx());

    // Directories longest first in the exchange sort's order; then each one's files in listing order, hidden,
    // system, read-only files and the link included, the record files left out.
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")),
              record({{"Acme Writer 2.0",
                       "C",
                       "\\WINDOWS\\SYSTEM\\",
                       "\\APPS\\.cache\\",
                       "\\WINDOWS\\",
                       "\\APPS\\",
                       "\\",
                       "\\WINDOWS\\SYSTEM\\after.dat",
                       "\\WINDOWS\\SYSTEM\\USER.EXE",
                       "\\APPS\\.cache\\x.bin",
                       "\\WINDOWS\\link-to-system",
                       "\\WINDOWS\\SYSTEM.INI",
                       "\\WINDOWS\\WIN.INI",
                       "\\APPS\\readme.txt",
                       "\\.bashrc",
                       "\\AFTER7.TXT",
                       "\\AUTOEXEC.BAT",
                       "\\config.sys",
                       "\\IO.SYS",
                       "\\MSDOS.SYS",
                       "\\MYAFTER.DAT"},
                      {"*AUTOEXEC*", "@ECHO OFF", "PATH C:\\DOS", "*END AUTOEXEC*", "*CONFIG*", "FILES=30",
                       "BUFFERS=20", "*END CONFIG*", "*WIN*", "[windows]", "load=", "*END WIN*", "*SYSTEM*", "[boot]",
                       "shell=progman.exe", "*END SYSTEM*"}}));
    EXPECT_TRUE(attributes) << "user.DOSATTRIB could not be set here; the hidden and system files were plain";

    const auto& prompts = world.prompts.prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].kind, Kind::Input);
    EXPECT_EQ(prompts[0].text, kNamePrompt);
    EXPECT_EQ(prompts[0].title, "Program Name");
    EXPECT_EQ(prompts[0].defaultText, "");
    EXPECT_EQ(prompts[1].kind, Kind::Input);
    EXPECT_EQ(prompts[1].text, kDrivePrompt);
    EXPECT_EQ(prompts[1].title, "Drive Letter");
    EXPECT_EQ(prompts[1].defaultText, "C");

    expectBeforePairsSwitched(world);
    expectCleanedUp(world);
    EXPECT_EQ(world.state.ProgramName, "Acme Writer 2.0");
    EXPECT_EQ(world.events.calls, 1);
    // The scan only reads: the old BEFORE.DAT on the drive is as it was.
    EXPECT_EQ(readFile(c + "/BEFORE.DAT"), "not the record");
}

TEST(CreateBeforeFile, AHiddenOrSystemConfigurationFileIsNotCopied)
{
    World world;
    const std::string c = world.drive('C');
    writeFile(c + "/AUTOEXEC.BAT", "SET A=1\r\n");
    writeFile(c + "/WINDOWS/WIN.INI", "[windows]\r\n");
    writeFile(c + "/WINDOWS/SYSTEM.INI", "[boot]\r\n");
    if (!setDosAttribute(c + "/AUTOEXEC.BAT", "0x2") || !setDosAttribute(c + "/WINDOWS/SYSTEM.INI", "0x4")) {
        GTEST_SKIP() << "user.DOSATTRIB cannot be set on this file system";
    }
    world.prompts.type("P");
    world.prompts.type("C");

    CreateBeforeFile(world.ctx());

    // Both stay in the file lines; only their sections are empty (CONFIG.SYS is missing altogether).
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")),
              record({{"P", "C", "\\WINDOWS\\", "\\", "\\WINDOWS\\SYSTEM.INI", "\\WINDOWS\\WIN.INI", "\\AUTOEXEC.BAT"},
                      {"*AUTOEXEC*", "*END AUTOEXEC*", "*CONFIG*", "*END CONFIG*", "*WIN*", "[windows]", "*END WIN*",
                       "*SYSTEM*", "*END SYSTEM*"}}));
}

TEST(CreateBeforeFile, LeavesOutItsOwnFileWhenTheDataFolderLiesOnTheDrive)
{
    World world;
    makeDirs(world.drive('C') + "/DATA");
    writeFile(world.drive('C') + "/DATA/AFTER1.DAT", "Old\r\n");
    writeFile(world.drive('C') + "/DATA/ZELK.TXT", "manual\r\n");
    world.state.DataFolder = world.drive('C') + "/DATA/";
    world.prompts.type("P");
    world.prompts.type("C");

    CreateBeforeFile(world.ctx());

    EXPECT_EQ(readFile(world.data("BEFORE.DAT")),
              record({{"P", "C", "\\WINDOWS\\", "\\DATA\\", "\\", "\\DATA\\ZELK.TXT"}, kNoSystemFiles}));
}

// ---- The questions ---------------------------------------------------------------------------------------------

TEST(CreateBeforeFile, WritesTheDriveBlocksInTheOrderTyped)
{
    World world({'C', 'D'});
    writeFile(world.drive('D') + "/DATA/x", "");
    world.prompts.type("P");
    world.prompts.type("dc");

    CreateBeforeFile(world.ctx());

    EXPECT_EQ(readFile(world.data("BEFORE.DAT")),
              record({{"P", "D", "\\DATA\\", "\\", "\\DATA\\x", "C", "\\WINDOWS\\", "\\"}, kNoSystemFiles}));
    EXPECT_TRUE(world.prompts.messages().empty());
    expectBeforePairsSwitched(world);
}

TEST(CreateBeforeFile, ALetterTypedTwiceGivesTwoIdenticalBlocks)
{
    World world;
    writeFile(world.drive('C') + "/A.TXT", "");
    world.prompts.type("P");
    world.prompts.type("CC");

    CreateBeforeFile(world.ctx());

    const Strings block{"C", "\\WINDOWS\\", "\\", "\\A.TXT"};
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), record({{"P"}, block, block, kNoSystemFiles}));
}

TEST(CreateBeforeFile, AnEmptyDriveGivesItsLetterAndTheRootAlone)
{
    World world({'C', 'E'});
    world.prompts.type("P");
    world.prompts.type("E");

    CreateBeforeFile(world.ctx());

    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), record({{"P", "E", "\\"}, kNoSystemFiles}));
}

TEST(CreateBeforeFile, RefusesCharactersThatAreNotDriveLettersAndAsksAgainWithTheDefault)
{
    struct Case {
        std::string answer;
        std::string message;
    };
    const std::vector<Case> cases{
        {"C:", ": is not a valid drive designation."},
        {"C D", "  is not a valid drive designation."},
        {"c,d", ", is not a valid drive designation."},
        {"1", "1 is not a valid drive designation."},
        {"\xC3\xA9", "\xC3\xA9 is not a valid drive designation."},  // é, named whole
        {"CQ", "You do not have a drive Q"},
    };
    for (const Case& k : cases) {
        World world({'C', 'D'});
        world.prompts.type("P");
        world.prompts.type(k.answer);
        world.prompts.type("c");

        CreateBeforeFile(world.ctx());

        const auto& prompts = world.prompts.prompts();
        ASSERT_EQ(prompts.size(), 4u) << k.answer;
        EXPECT_EQ(prompts[2].kind, Kind::Message);
        EXPECT_EQ(prompts[2].text, k.message);
        EXPECT_EQ(prompts[2].buttons, Buttons::Ok);
        EXPECT_EQ(prompts[2].icon, Icon::Exclamation);
        EXPECT_EQ(prompts[2].title, "Error");
        EXPECT_EQ(prompts[3].kind, Kind::Input);
        EXPECT_EQ(prompts[3].text, kDrivePrompt);
        EXPECT_EQ(prompts[3].defaultText, "C");
        // The name is kept, and only the second answer's drive is recorded.
        EXPECT_EQ(readFile(world.data("BEFORE.DAT")), record({{"P", "C", "\\WINDOWS\\", "\\"}, kNoSystemFiles}))
            << k.answer;
    }
}

TEST(CreateBeforeFile, NoNameOrNoDriveStopsWithoutAFile)
{
    {
        World world;
        world.prompts.type("");
        CreateBeforeFile(world.ctx());
        EXPECT_EQ(world.prompts.prompts().size(), 1u);
        expectNothingRecorded(world);
        EXPECT_TRUE(world.main.visible);
        EXPECT_TRUE(world.panel.written.empty());
    }
    {
        World world;
        world.prompts.type("P");
        world.prompts.type("CQ");
        world.prompts.type("");
        CreateBeforeFile(world.ctx());
        EXPECT_EQ(world.prompts.prompts().size(), 4u);
        expectNothingRecorded(world);
        EXPECT_TRUE(world.main.visible);
        EXPECT_TRUE(world.panel.written.empty());
    }
}

TEST(CreateBeforeFile, APendingBeforeFileIsReportedAndLeftAlone)
{
    World world;
    const std::string pending = crlf({"Old Program", "C", "\\"});
    writeFile(world.data("BEFORE.DAT"), pending);

    CreateBeforeFile(world.ctx());

    const auto& prompts = world.prompts.prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].kind, Kind::Beep);
    EXPECT_EQ(prompts[1].text,
              "A BEFORE file for Old Program already exists. You cannot create another BEFORE file until you have "
              "created an AFTER file for the program described in the existing BEFORE file.");
    EXPECT_EQ(prompts[1].buttons, Buttons::Ok);
    EXPECT_EQ(prompts[1].icon, Icon::Exclamation);
    EXPECT_EQ(prompts[1].title, "Error");
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), pending);
    EXPECT_TRUE(world.main.pairs.empty());
    EXPECT_TRUE(world.main.visible);
}

// An unreadable or empty pending file has no first line to name it by: it is named as Delete BEFORE file names it.
TEST(CreateBeforeFile, APendingBeforeFileWithoutAFirstLineIsNamedCorrupted)
{
    const char* const kCorruptedPending =
        "A BEFORE file for *CORRUPTED BEFORE FILE* already exists. You cannot create another BEFORE file until you "
        "have created an AFTER file for the program described in the existing BEFORE file.";
    for (const bool unreadable : {false, true}) {
        World world;
        writeFile(world.data("BEFORE.DAT"), unreadable ? "Locked\r\n" : "");
        if (unreadable) {
            ::chmod(world.data("BEFORE.DAT").c_str(), 0);
            if (::access(world.data("BEFORE.DAT").c_str(), R_OK) == 0) {
                ::chmod(world.data("BEFORE.DAT").c_str(), 0644);
                continue;  // root reads it anyway; the empty file covers the case
            }
        }
        CreateBeforeFile(world.ctx());
        EXPECT_EQ(world.prompts.messageTexts(), std::vector<std::string>{kCorruptedPending});
        ::chmod(world.data("BEFORE.DAT").c_str(), 0644);
        EXPECT_EQ(readFile(world.data("BEFORE.DAT")), unreadable ? "Locked\r\n" : "");
    }
}

// A pasted line feed (or any character below 32) would split line 1 of BEFORE.DAT, and Create AFTER would find
// the record damaged after the installation: the name is refused and asked for again.
TEST(CreateBeforeFile, ANameWithAControlCharacterIsRefusedAndAskedAgain)
{
    const char* const kRefused =
        "The program name may not contain line breaks, tabs or other control characters. "
        "Type the name again on one line.";
    for (const std::string& bad :
         std::vector<std::string>{"Paint\nShop", "Paint\rShop", "Tab\tbed", std::string("Nul\0x", 5), "\x1f"}) {
        World world;
        world.prompts.type(bad);
        world.prompts.type("Paint Shop");
        world.prompts.type("C");
        CreateBeforeFile(world.ctx());
        const auto& prompts = world.prompts.prompts();
        ASSERT_GE(prompts.size(), 3u);
        EXPECT_EQ(prompts[1].text, kRefused);
        EXPECT_EQ(prompts[1].title, "Error");
        EXPECT_EQ(prompts[1].icon, Icon::Exclamation);
        EXPECT_EQ(prompts[2].title, "Program Name");  // asked again
        EXPECT_EQ(readFile(world.data("BEFORE.DAT")).substr(0, 12), "Paint Shop\r\n");
    }
    // A refused name followed by no name stops without a file.
    World world;
    world.prompts.type("Two\nLines");
    world.prompts.type("");
    CreateBeforeFile(world.ctx());
    EXPECT_EQ(world.prompts.messageTexts(), std::vector<std::string>{kRefused});
    expectNothingRecorded(world);
}

// ---- Drives that are not ready -----------------------------------------------------------------------------

// Makes D: unreadable from the moment C:'s scan starts (after the answers were checked), for `times` tests of it.
void takeDriveDOffline(HookedFileSystem& fs, int times)
{
    auto remaining = std::make_shared<int>(-1);
    fs.onRead = [remaining, times](std::string_view dir) {
        if (dir == "C:\\" && *remaining < 0) {
            *remaining = times;
        }
    };
    fs.failList = [remaining](std::string_view pattern) -> std::optional<Error> {
        if (pattern == "D:\\*.*" && *remaining > 0) {
            --*remaining;
            return Error{std::string(pattern), EIO, "Input/output error"};
        }
        return std::nullopt;
    };
}

const std::string kNotReady = "Drive D is not ready to read. Fix and click on Ok, or select Cancel to abort operation.";

TEST(CreateBeforeFile, ADriveThatIsNotReadyIsAskedForUntilItIs)
{
    World world({'C', 'D'});
    takeDriveDOffline(HookedFileSystem::install(world), 2);
    world.prompts.type("P");
    world.prompts.type("CD");
    world.prompts.answer(Answer::Ok);
    world.prompts.answer(Answer::Ok);

    CreateBeforeFile(world.ctx());

    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.text, kNotReady);
        EXPECT_EQ(m.buttons, Buttons::OkCancel);
        EXPECT_EQ(m.icon, Icon::Exclamation);
        EXPECT_EQ(m.title, "Error");
    }
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), record({{"P", "C", "\\WINDOWS\\", "\\", "D", "\\"}, kNoSystemFiles}));
    expectBeforePairsSwitched(world);
}

TEST(CreateBeforeFile, CancelAtTheSecondDriveDeletesTheFile)
{
    World world({'C', 'D'});
    takeDriveDOffline(HookedFileSystem::install(world), 1);
    world.prompts.type("P");
    world.prompts.type("CD");
    world.prompts.answer(Answer::Cancel);

    CreateBeforeFile(world.ctx());

    EXPECT_EQ(world.prompts.messageTexts(), Strings{kNotReady});
    expectNothingRecorded(world);
    expectCleanedUp(world);
    EXPECT_EQ(world.events.calls, 0);
}

TEST(CreateBeforeFile, AnUnfinishedFileThatCannotBeDeletedIsReported)
{
    World world({'C', 'D'});
    HookedFileSystem& fs = HookedFileSystem::install(world);
    takeDriveDOffline(fs, 1);
    fs.failRemove = [](std::string_view path) -> std::optional<Error> {
        return Error{std::string(path), EACCES, "Permission denied"};
    };
    world.prompts.type("P");
    world.prompts.type("CD");
    world.prompts.answer(Answer::Cancel);

    CreateBeforeFile(world.ctx());

    EXPECT_EQ(world.prompts.messageTexts(),
              (Strings{kNotReady, "Unable to delete the unfinished BEFORE file " + world.data("BEFORE.DAT") +
                                      ": Permission denied. Delete it before you create another BEFORE file."}));
    EXPECT_EQ(world.prompts.messages().back().title, "Error");
    expectCleanedUp(world);
}

// ---- Failures ----------------------------------------------------------------------------------------------------

TEST(CreateBeforeFile, AnUnreadableDirectoryAbortsWithTheFileDeletedFirst)
{
    World world;
    makeDirs(world.drive('C') + "/TEMP/deep");
    HookedFileSystem& fs = HookedFileSystem::install(world);
    fs.failRead = [](std::string_view dir) -> std::optional<Error> {
        if (dir == "C:\\TEMP\\") {
            return Error{std::string(dir), EACCES, "Permission denied"};
        }
        return std::nullopt;
    };
    WatchingPrompts prompts;
    bool fileAtMessage = true;
    prompts.onMessage = [&](std::string_view) { fileAtMessage = pathExists(world.data("BEFORE.DAT")); };
    prompts.type("P");
    prompts.type("C");

    CreateBeforeFile(Context{world.state, *world.fs, prompts, world.panel, world.main, world.events});

    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "An error has occurred reading directory C:\\TEMP\\. Permission denied. It is too dangerous to continue "
              "making the BEFORE file. Check to see if anything is unusual about this directory.");
    EXPECT_EQ(messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_FALSE(fileAtMessage);
    expectNothingRecorded(world);
    expectCleanedUp(world);
}

TEST(CreateBeforeFile, ADirectoryThatVanishesDuringTheScanIsRecordedAsAnEmptyOne)
{
    World world;
    makeDirs(world.drive('C') + "/WINDOWS/SYSTEM/DEEPER");
    makeDirs(world.drive('C') + "/ZZZ");
    HookedFileSystem& fs = HookedFileSystem::install(world);
    // Removed after its parent listed it, before it is read itself (\ZZZ\ is read between the two).
    fs.onRead = [&](std::string_view dir) {
        if (dir == "C:\\ZZZ\\") {
            std::filesystem::remove_all(world.drive('C') + "/WINDOWS/SYSTEM");
        }
    };
    world.prompts.type("P");
    world.prompts.type("C");

    CreateBeforeFile(world.ctx());

    EXPECT_EQ(world.prompts.messageTexts(), Strings{});
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")),
              record({{"P", "C", "\\WINDOWS\\SYSTEM\\", "\\WINDOWS\\", "\\ZZZ\\", "\\"}, kNoSystemFiles}));
}

TEST(CreateBeforeFile, ADataFolderThatCannotBeWrittenIsReportedWithTheReason)
{
    World world;
    world.state.DataFolder = world.tmp / "missing/";
    world.prompts.type("P");
    world.prompts.type("C");

    CreateBeforeFile(world.ctx());

    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "Unable to write the BEFORE file " + world.tmp / "missing/BEFORE.DAT" + ": No such file or directory.");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_FALSE(pathExists(world.tmp / "missing"));
    EXPECT_TRUE(world.main.pairs.empty());
    expectCleanedUp(world);
}

TEST(CreateBeforeFile, AConfigurationFileThatCannotBeListedIsAFailureNotAnEmptySection)
{
    World world;
    writeFile(world.drive('C') + "/WINDOWS/WIN.INI", "[windows]\r\nload=\r\n");
    HookedFileSystem& fs = HookedFileSystem::install(world);
    fs.failList = [](std::string_view pattern) -> std::optional<Error> {
        if (pattern == "C:\\WINDOWS\\WIN.INI") {
            return Error{std::string(pattern), EACCES, "Permission denied"};
        }
        return std::nullopt;
    };
    world.prompts.type("P");
    world.prompts.type("C");

    CreateBeforeFile(world.ctx());

    EXPECT_EQ(world.prompts.messageTexts(),
              Strings{"Unable to copy C:\\WINDOWS\\WIN.INI into the BEFORE file: Permission denied."});
    expectNothingRecorded(world);
    expectCleanedUp(world);

    // A Windows directory that is not there at all still gives empty sections.
    World bare;
    ASSERT_EQ(rmdir((bare.drive('C') + "/WINDOWS").c_str()), 0);
    bare.prompts.type("P");
    bare.prompts.type("C");
    CreateBeforeFile(bare.ctx());
    EXPECT_EQ(readFile(bare.data("BEFORE.DAT")), record({{"P", "C", "\\"}, kNoSystemFiles}));
    expectBeforePairsSwitched(bare);
}

// Writes through to the real file but reports a full disk when the file is finished.
class DiskFullAtFinish : public LineWriter {
public:
    explicit DiskFullAtFinish(std::unique_ptr<LineWriter> inner) : m_inner(std::move(inner)) {}
    void writeLine(std::string_view line) override { m_inner->writeLine(line); }
    Status finish() override
    {
        (void)m_inner->finish();
        return Error{"BEFORE.DAT", ENOSPC, "No space left on device"};
    }

private:
    std::unique_ptr<LineWriter> m_inner;
};

TEST(CreateBeforeFile, AFileThatCannotBeFinishedIsDeletedAndReported)
{
    World world;
    HookedFileSystem& fs = HookedFileSystem::install(world);
    fs.wrapWriter = [](std::unique_ptr<LineWriter> inner) -> std::unique_ptr<LineWriter> {
        return std::make_unique<DiskFullAtFinish>(std::move(inner));
    };
    world.prompts.type("P");
    world.prompts.type("C");

    CreateBeforeFile(world.ctx());

    EXPECT_EQ(world.prompts.messageTexts(),
              Strings{"Unable to write the BEFORE file " + world.data("BEFORE.DAT") + ": No space left on device."});
    expectNothingRecorded(world);
    expectCleanedUp(world);
}

// ---- Names the platform leaves out ---------------------------------------------------------------------------

TEST(CreateBeforeFile, NamesPassedOverAreCountedOverAllDrivesAndSaidOnceAtTheEnd)
{
    World world;
    writeFile(world.drive('C') + "/odd\\name", "");
    makeDirs(world.drive('C') +
             "/bad\x01"
             "dir");
    writeFile(world.drive('C') + "/ok.txt", "");
    WatchingPrompts prompts;
    bool pairsSwitchedAtMessage = false;
    prompts.onMessage = [&](std::string_view) { pairsSwitchedAtMessage = world.main.pairEnabled(Pair::CreateAfter); };
    prompts.type("P");
    prompts.type("CC");

    CreateBeforeFile(Context{world.state, *world.fs, prompts, world.panel, world.main, world.events});

    const Strings block{"C", "\\WINDOWS\\", "\\", "\\ok.txt"};
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), record({{"P"}, block, block, kNoSystemFiles}));
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "4 file or directory names were passed over because a Windows path cannot express "
              "them (they hold a backslash or a control character).");
    EXPECT_EQ(messages[0].icon, Icon::Information);
    EXPECT_EQ(messages[0].title, "Morvane");
    EXPECT_TRUE(pairsSwitchedAtMessage);
    expectCleanedUp(world);
}

// ---- The panel -------------------------------------------------------------------------------------------------

TEST(CreateBeforeFile, ShowsItsProgressOnThePanelForEachDrive)
{
    World world({'C', 'D'});
    for (int i = 4; i <= 7; ++i) {
        world.panel.alignment[static_cast<std::size_t>(i)] = Alignment::Left;
    }
    HookedFileSystem& fs = HookedFileSystem::install(world);
    struct Seen {
        bool panelVisible, okVisible, mainVisible;
        std::array<std::string, Panel::kLines + 1> lines;
        Alignment line4;
    };
    std::vector<Seen> seen;
    fs.onRead = [&](std::string_view dir) {
        if (dir.size() == 3) {  // a drive's root: the start of its scan
            seen.push_back({world.panel.visible, world.panel.okVisible, world.main.visible, world.panel.lines,
                            world.panel.alignment[4]});
        }
    };
    world.prompts.type("Acme");
    world.prompts.type("CD");

    CreateBeforeFile(world.ctx());

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].panelVisible);
    EXPECT_FALSE(seen[0].okVisible);
    EXPECT_FALSE(seen[0].mainVisible);
    EXPECT_EQ(seen[0].line4, Alignment::Centre);
    EXPECT_EQ(seen[0].lines[1], "Creating BEFORE file for");
    EXPECT_EQ(seen[0].lines[2], "Acme");
    EXPECT_EQ(seen[0].lines[4], "Reading subdirectory names.");
    EXPECT_EQ(seen[0].lines[5], "");
    // The second drive finds the first one's lines still there.
    EXPECT_EQ(seen[1].lines[7], "Saving file names to disk.");

    const Strings drive{"1: Creating BEFORE file for",
                        "2: Acme",
                        "4: Reading subdirectory names.",
                        "5: Sorting subdirectory names",
                        "6: Saving subdirectory names to BEFORE file.",
                        "7: Saving file names to disk."};
    Strings both = drive;
    both.insert(both.end(), drive.begin(), drive.end());
    EXPECT_EQ(world.panel.written, both);
    for (int i = 4; i <= 7; ++i) {
        EXPECT_EQ(world.panel.alignment[static_cast<std::size_t>(i)], Alignment::Centre) << i;
    }
    EXPECT_EQ(world.panel.repaints, 8);
    EXPECT_EQ(world.panel.waits, 0);
    expectCleanedUp(world);
}

}  // namespace
}  // namespace morvane::test
