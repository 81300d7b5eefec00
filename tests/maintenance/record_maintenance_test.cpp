#include "maintenance/record_maintenance.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <set>

#include "core/helpers.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::pathExists;
using test::readFile;
using test::World;
using test::writeFile;
using Prompt = test::ScriptedPrompts::Prompt;

// The selection window: records the prompt and the names offered, answers from a queue of positions.
class ScriptedAfterFileList : public AfterFileList {
public:
    void setPrompt(std::string_view prompt) override { prompts.emplace_back(prompt); }
    int ShowAfterFileList(const std::vector<std::string>& AfterNames) override
    {
        shown.clear();
        for (std::size_t i = 1; i < AfterNames.size() && !AfterNames[i].empty(); ++i) {
            shown.push_back(AfterNames[i]);
        }
        if (onShow) {
            onShow();
        }
        if (choices.empty()) {
            ADD_FAILURE() << "selection window shown without a scripted choice";
            return -1;
        }
        const int choice = choices.front();
        choices.pop_front();
        return choice;
    }

    std::deque<int> choices;
    std::vector<std::string> prompts;
    std::vector<std::string> shown;
    std::function<void()> onShow;
};

// The real layer, with failures injected on request and a record of every deletion asked for.
class InjectingFileSystem : public FileSystem {
public:
    using FileSystem::FileSystem;

    Status removeFile(std::string_view path, Lookup lookup) override
    {
        removed.emplace_back(path);
        for (const std::string& failing : failRemove) {
            if (path.ends_with(failing)) {
                return errorFromErrno(std::string(path), EACCES);
            }
        }
        return FileSystem::removeFile(path, lookup);
    }
    Result<Listing> list(std::string_view pattern, unsigned attributes) const override
    {
        for (const std::string& folder : failList) {
            if (pattern.starts_with(folder)) {
                return errorFromErrno(std::string(pattern), EACCES);
            }
        }
        return FileSystem::list(pattern, attributes);
    }
    Result<std::unique_ptr<LineReader>> openForReading(std::string_view path) const override
    {
        if (failOpen) {
            return errorFromErrno(std::string(path), EIO);
        }
        return FileSystem::openForReading(path);
    }

    std::vector<std::string> removed;
    std::set<std::string> failRemove;  // file names whose deletion fails
    std::set<std::string> failList;    // folders that cannot be read: a listing of anything in them fails
    bool failOpen = false;
};

InjectingFileSystem& inject(World& world)
{
    auto fs = std::make_unique<InjectingFileSystem>(world.fs->drives());
    InjectingFileSystem& ref = *fs;
    world.fs = std::move(fs);
    return ref;
}

std::string afterRecord(const std::string& program)
{
    return crlf({program, "C", "\\NEWAPP\\", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~",
                 "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*", "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"});
}

void expectQuestion(const Prompt& prompt, const std::string& text)
{
    EXPECT_EQ(prompt.kind, Prompt::Kind::Message);
    EXPECT_EQ(prompt.text, text);
    EXPECT_EQ(prompt.buttons, Buttons::YesNo);
    EXPECT_EQ(prompt.icon, Icon::Question);
    EXPECT_EQ(prompt.title, "Morvane");
}

void expectError(const Prompt& prompt, const std::string& text, Icon icon = Icon::Exclamation)
{
    EXPECT_EQ(prompt.kind, Prompt::Kind::Message);
    EXPECT_EQ(prompt.text, text);
    EXPECT_EQ(prompt.buttons, Buttons::Ok);
    EXPECT_EQ(prompt.icon, icon);
    EXPECT_EQ(prompt.title, "Error");
}

void expectAfterPairs(const test::FakeMainWindow& main, bool enabled)
{
    for (Pair pair : {Pair::DeleteProgram, Pair::DeleteAfter, Pair::DisplayReport}) {
        ASSERT_TRUE(main.pairs.contains(pair));
        EXPECT_EQ(main.pairs.at(pair), enabled);
    }
}

// ---- Delete AFTER file ----

TEST(DeleteAfterFile, DeletesTheChosenRecordOfSeveralAndKeepsTheAfterPairsEnabled)
{
    World world;
    writeFile(world.data("AFTER1.DAT"), afterRecord("Alpha Writer"));
    writeFile(world.data("AFTER2.DAT"), afterRecord("Beta Paint"));
    ScriptedAfterFileList list;
    list.choices.push_back(1);
    world.prompts.answer(Answer::Yes);

    DeleteAfterFile(world.ctx(), list);

    EXPECT_EQ(list.prompts, std::vector<std::string>{"Select program to delete AFTER file for"});
    EXPECT_EQ(list.shown, (std::vector<std::string>{"Alpha Writer", "Beta Paint"}));
    ASSERT_EQ(world.prompts.messages().size(), 1u);
    expectQuestion(world.prompts.messages()[0], "Delete AFTER file for Beta Paint? Are you sure?");
    EXPECT_FALSE(pathExists(world.data("AFTER2.DAT")));
    EXPECT_EQ(readFile(world.data("AFTER1.DAT")), afterRecord("Alpha Writer"));  // the other record untouched
    expectAfterPairs(world.main, true);
    EXPECT_FALSE(world.main.pairs.contains(Pair::CreateBefore));
    EXPECT_TRUE(world.main.visible);
    EXPECT_EQ(world.main.hides, 1);
}

TEST(DeleteAfterFile, DeletingTheLastRecordDisablesDeleteProgramDeleteAfterAndReport)
{
    World world;
    test::makeDirs(world.host("C:\\NEWAPP"));
    writeFile(world.host("C:\\NEWAPP\\APP.EXE"), "program");
    writeFile(world.data("AFTER1.DAT"), afterRecord("Alpha Writer"));
    ScriptedAfterFileList list;
    list.choices.push_back(0);
    world.prompts.answer(Answer::Yes);

    DeleteAfterFile(world.ctx(), list);

    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
    expectAfterPairs(world.main, false);
    // Forgetting the record leaves the installed program alone.
    EXPECT_EQ(readFile(world.host("C:\\NEWAPP\\APP.EXE")), "program");
    EXPECT_TRUE(world.main.visible);
}

TEST(DeleteAfterFile, NoOrCancelDeletesNothingAndLeavesThePairs)
{
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "Cancel in the selection" : "No to the question");
        World world;
        writeFile(world.data("AFTER1.DAT"), afterRecord("Alpha Writer"));
        ScriptedAfterFileList list;
        list.choices.push_back(cancel ? -1 : 0);
        if (!cancel) {
            world.prompts.answer(Answer::No);
        }

        DeleteAfterFile(world.ctx(), list);

        EXPECT_EQ(world.prompts.messages().size(), cancel ? 0u : 1u);
        EXPECT_EQ(readFile(world.data("AFTER1.DAT")), afterRecord("Alpha Writer"));
        EXPECT_TRUE(world.main.pairs.empty());
        EXPECT_TRUE(world.main.visible);
    }
}

TEST(DeleteAfterFile, WithoutRecordsOnlyTheSelectionSpeaks)
{
    World world;
    ScriptedAfterFileList list;

    DeleteAfterFile(world.ctx(), list);

    EXPECT_TRUE(list.shown.empty());
    ASSERT_EQ(world.prompts.messages().size(), 1u);
    expectError(world.prompts.messages()[0], "No AFTER files found.");
    EXPECT_TRUE(world.main.pairs.empty());
    EXPECT_TRUE(world.main.visible);
}

TEST(DeleteAfterFile, AnEntryWhoseNumberLeadsToAnotherRecordDeletesNeither)
{
    // AFTER07.DAT gives the number 7, and AFTER7.DAT is another program's record.
    World world;
    writeFile(world.data("AFTER07.DAT"), afterRecord("Gamma Sheet"));
    writeFile(world.data("AFTER7.DAT"), afterRecord("Delta Mail"));
    ScriptedAfterFileList list;
    list.choices.push_back(0);

    DeleteAfterFile(world.ctx(), list);

    ASSERT_EQ(list.shown, (std::vector<std::string>{"Gamma Sheet", "Delta Mail"}));
    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_NE(world.prompts.messages()[0].text.find("AFTER07.DAT"), std::string::npos);
    EXPECT_EQ(world.prompts.messages()[0].buttons, Buttons::Ok);  // no question was asked
    EXPECT_EQ(readFile(world.data("AFTER07.DAT")), afterRecord("Gamma Sheet"));
    EXPECT_EQ(readFile(world.data("AFTER7.DAT")), afterRecord("Delta Mail"));
    EXPECT_TRUE(world.main.visible);
}

TEST(DeleteAfterFile, ARecordThatCannotBeReadAnyMoreIsOfferedAsCorrupted)
{
    World world;
    InjectingFileSystem& fs = inject(world);
    writeFile(world.data("AFTER1.DAT"), afterRecord("Alpha Writer"));
    ScriptedAfterFileList list;
    list.choices.push_back(0);
    list.onShow = [&fs] { fs.failOpen = true; };  // readable for the selection, unreadable afterwards
    world.prompts.answer(Answer::Yes);

    DeleteAfterFile(world.ctx(), list);

    ASSERT_EQ(world.prompts.messages().size(), 1u);
    expectQuestion(world.prompts.messages()[0], "Delete AFTER file for *CORRUPTED AFTER FILE*? Are you sure?");
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
    expectAfterPairs(world.main, false);
}

TEST(DeleteAfterFile, AFailedDeletionIsReportedAndThePairsFollowTheDisk)
{
    World world;
    InjectingFileSystem& fs = inject(world);
    fs.failRemove.insert("AFTER1.DAT");
    writeFile(world.data("AFTER1.DAT"), afterRecord("Alpha Writer"));
    ScriptedAfterFileList list;
    list.choices.push_back(0);
    world.prompts.answer(Answer::Yes);

    DeleteAfterFile(world.ctx(), list);

    ASSERT_EQ(world.prompts.messages().size(), 2u);
    expectError(world.prompts.messages()[1],
                "Unable to delete " + world.data("AFTER1.DAT") + ": " + std::strerror(EACCES) + ".");
    EXPECT_TRUE(pathExists(world.data("AFTER1.DAT")));
    expectAfterPairs(world.main, true);  // the record is still there
    EXPECT_TRUE(world.main.visible);
}

// ---- Delete BEFORE file ----

void expectBeforePairs(const test::FakeMainWindow& main, bool beforeExists)
{
    ASSERT_EQ(main.pairs.size(), 3u);
    EXPECT_EQ(main.pairs.at(Pair::CreateBefore), !beforeExists);
    EXPECT_EQ(main.pairs.at(Pair::CreateAfter), beforeExists);
    EXPECT_EQ(main.pairs.at(Pair::DeleteBefore), beforeExists);
}

TEST(DeleteBeforeFile, AsksWithTheProgramNameAndDeletesOnYes)
{
    World world;
    writeFile(world.data("BEFORE.DAT"), crlf({"Word Processor", "C", "\\"}));
    world.prompts.answer(Answer::Yes);

    DeleteBeforeFile(world.ctx());

    ASSERT_EQ(world.prompts.messages().size(), 1u);
    expectQuestion(world.prompts.messages()[0], "Delete BEFORE file for Word Processor? Are you sure?");
    EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));
    expectBeforePairs(world.main, false);
    EXPECT_EQ(world.main.hides, 0);  // the main window stays visible throughout
}

TEST(DeleteBeforeFile, NoKeepsTheFileAndThePairs)
{
    World world;
    writeFile(world.data("BEFORE.DAT"), crlf({"Word Processor", "C", "\\"}));
    world.prompts.answer(Answer::No);

    DeleteBeforeFile(world.ctx());

    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), crlf({"Word Processor", "C", "\\"}));
    EXPECT_TRUE(world.main.pairs.empty());
}

TEST(DeleteBeforeFile, WithoutOneSaysSoAndSetsThePairsForAnAbsentFile)
{
    World world;
    writeFile(world.data("AFTER1.DAT"), afterRecord("Alpha Writer"));

    DeleteBeforeFile(world.ctx());

    ASSERT_EQ(world.prompts.messages().size(), 1u);
    expectError(world.prompts.messages()[0], "No BEFORE file found.", Icon::None);
    expectBeforePairs(world.main, false);
    EXPECT_TRUE(pathExists(world.data("AFTER1.DAT")));
}

TEST(DeleteBeforeFile, AnEmptyOrUnreadableFileIsOfferedAsCorrupted)
{
    for (const bool unreadable : {false, true}) {
        SCOPED_TRACE(unreadable ? "unreadable" : "empty");
        World world;
        InjectingFileSystem& fs = inject(world);
        fs.failOpen = unreadable;
        writeFile(world.data("BEFORE.DAT"), unreadable ? crlf({"Word Processor"}) : "");
        world.prompts.answer(Answer::Yes);

        DeleteBeforeFile(world.ctx());

        ASSERT_EQ(world.prompts.messages().size(), 1u);
        expectQuestion(world.prompts.messages()[0], "Delete BEFORE file for *CORRUPTED BEFORE FILE*? Are you sure?");
        EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));
        expectBeforePairs(world.main, false);
    }
}

TEST(DeleteBeforeFile, AFailedDeletionIsReportedAndThePairsSayTheFileIsStillThere)
{
    World world;
    InjectingFileSystem& fs = inject(world);
    fs.failRemove.insert("BEFORE.DAT");
    writeFile(world.data("BEFORE.DAT"), crlf({"Word Processor"}));
    world.prompts.answer(Answer::Yes);

    DeleteBeforeFile(world.ctx());

    ASSERT_EQ(world.prompts.messages().size(), 2u);
    expectError(world.prompts.messages()[1],
                "Unable to delete " + world.data("BEFORE.DAT") + ": " + std::strerror(EACCES) + ".");
    EXPECT_TRUE(pathExists(world.data("BEFORE.DAT")));
    expectBeforePairs(world.main, true);
}

TEST(DeleteBeforeFile, ADataFolderThatCannotBeReadIsReportedNotTakenForOneWithoutABeforeFile)
{
    World world;
    InjectingFileSystem& fs = inject(world);
    writeFile(world.data("BEFORE.DAT"), crlf({"Word Processor"}));
    fs.failList.insert(world.state.DataFolder);

    DeleteBeforeFile(world.ctx());

    ASSERT_EQ(world.prompts.messages().size(), 1u);
    expectError(world.prompts.messages()[0], "Unable to read the folder " + world.state.DataFolder +
                                                 " for the BEFORE file: " + std::strerror(EACCES) + ".");
    EXPECT_TRUE(world.main.pairs.empty());  // not switched to "no BEFORE file"
    EXPECT_TRUE(fs.removed.empty());
    EXPECT_TRUE(pathExists(world.data("BEFORE.DAT")));
}

// ---- Delete safety backup files ----

const std::string kSafetyQuestion =
    "You are about to delete safety files used to reconstruct AUTOEXEC.BAT, CONFIG.SYS, WIN.INI, and SYSTEM.INI "
    "files after Morvane has modified them while deleting a program from your disk. You should do this only after "
    "you have verified that your computer, including Windows, is working properly after using Morvane. \n"
    "Proceed with file deletion?";

void expectBeepThenQuestion(const test::ScriptedPrompts& prompts)
{
    ASSERT_EQ(prompts.prompts().size(), 2u);
    EXPECT_EQ(prompts.prompts()[0].kind, Prompt::Kind::Beep);
    expectQuestion(prompts.prompts()[1], kSafetyQuestion);
}

TEST(DeleteSafetyFiles, DeletesTheEightNamesInOrderAndNothingElse)
{
    World world;
    InjectingFileSystem& fs = inject(world);
    for (const char* name : {"C:\\AUTOEXEC.QRV", "C:\\AUTOEXEC.MIS", "C:\\CONFIG.QRV", "C:\\CONFIG.MIS",
                             "C:\\WINDOWS\\WIN.QRV", "C:\\WINDOWS\\WIN.MIS", "C:\\WINDOWS\\SYSTEM.QRV"}) {
        writeFile(world.host(name), crlf({"X=1"}));
    }
    writeFile(world.host("C:\\WINDOWS\\system.mis"), crlf({"X=1"}));  // found whatever its letter case
    writeFile(world.host("C:\\OLD.MIS"), "keep");
    writeFile(world.host("C:\\WINDOWS\\OLD.QRV"), "keep");
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"ECHO OFF"}));
    world.prompts.answer(Answer::Yes);

    DeleteSafetyFiles(world.ctx());

    expectBeepThenQuestion(world.prompts);
    EXPECT_EQ(fs.removed, (std::vector<std::string>{"C:\\AUTOEXEC.QRV", "C:\\AUTOEXEC.MIS", "C:\\CONFIG.QRV",
                                                    "C:\\CONFIG.MIS", "C:\\WINDOWS\\WIN.QRV", "C:\\WINDOWS\\WIN.MIS",
                                                    "C:\\WINDOWS\\SYSTEM.QRV", "C:\\WINDOWS\\SYSTEM.MIS"}));
    for (const char* name :
         {"C:\\AUTOEXEC.QRV", "C:\\CONFIG.MIS", "C:\\WINDOWS\\SYSTEM.QRV", "C:\\WINDOWS\\system.mis"}) {
        EXPECT_FALSE(pathExists(world.host(name))) << name;
    }
    EXPECT_EQ(readFile(world.host("C:\\OLD.MIS")), "keep");
    EXPECT_EQ(readFile(world.host("C:\\WINDOWS\\OLD.QRV")), "keep");
    EXPECT_EQ(readFile(world.host("C:\\AUTOEXEC.BAT")), crlf({"ECHO OFF"}));
    EXPECT_EQ(world.main.pairs, (std::map<Pair, bool>{{Pair::DeleteSafety, false}}));
    EXPECT_TRUE(world.main.visible);
    EXPECT_EQ(world.main.hides, 1);
}

TEST(DeleteSafetyFiles, OnlyAMissingLineFileIsAskedForDeletedAndThePairEndsDisabled)
{
    World world;
    writeFile(world.host("C:\\AUTOEXEC.MIS"), crlf({"SET TEMP=C:\\TEMP"}));
    world.prompts.answer(Answer::Yes);

    DeleteSafetyFiles(world.ctx());

    expectBeepThenQuestion(world.prompts);
    EXPECT_FALSE(pathExists(world.host("C:\\AUTOEXEC.MIS")));
    EXPECT_EQ(world.main.pairs, (std::map<Pair, bool>{{Pair::DeleteSafety, false}}));
}

TEST(DeleteSafetyFiles, AStrangerInTheWindowsDirectoryIsAskedAboutButNotDeleted)
{
    World world;
    InjectingFileSystem& fs = inject(world);
    writeFile(world.host("C:\\WINDOWS\\OLD.QRV"), "keep");
    world.prompts.answer(Answer::Yes);

    DeleteSafetyFiles(world.ctx());

    expectBeepThenQuestion(world.prompts);
    EXPECT_TRUE(fs.removed.empty());
    EXPECT_EQ(readFile(world.host("C:\\WINDOWS\\OLD.QRV")), "keep");
    EXPECT_EQ(world.main.pairs, (std::map<Pair, bool>{{Pair::DeleteSafety, false}}));
}

TEST(DeleteSafetyFiles, NothingFoundBeepsFirstThenSaysSo)
{
    World world;

    DeleteSafetyFiles(world.ctx());

    ASSERT_EQ(world.prompts.prompts().size(), 2u);
    EXPECT_EQ(world.prompts.prompts()[0].kind, Prompt::Kind::Beep);
    expectError(world.prompts.prompts()[1], "No safety backup files found.");
    EXPECT_EQ(world.main.pairs, (std::map<Pair, bool>{{Pair::DeleteSafety, false}}));
    EXPECT_TRUE(world.main.visible);
}

TEST(DeleteSafetyFiles, AFolderThatCannotBeReadIsReportedAndAMissingOneIsNot)
{
    {
        SCOPED_TRACE("the Windows directory cannot be read");
        World world;
        InjectingFileSystem& fs = inject(world);
        writeFile(world.host("C:\\WINDOWS\\WIN.QRV"), crlf({"[windows]"}));
        fs.failList.insert("C:\\WINDOWS\\");

        DeleteSafetyFiles(world.ctx());

        ASSERT_EQ(world.prompts.prompts().size(), 2u);
        EXPECT_EQ(world.prompts.prompts()[0].kind, Prompt::Kind::Beep);
        expectError(world.prompts.prompts()[1], std::string("Unable to read the folder C:\\WINDOWS\\ for safety backup "
                                                            "files: ") +
                                                    std::strerror(EACCES) + ".");
        EXPECT_TRUE(fs.removed.empty());
        EXPECT_TRUE(pathExists(world.host("C:\\WINDOWS\\WIN.QRV")));
        EXPECT_TRUE(world.main.visible);
    }
    {
        SCOPED_TRACE("there is no Windows directory");
        World world;
        std::filesystem::remove_all(world.host("C:\\WINDOWS"));

        DeleteSafetyFiles(world.ctx());

        ASSERT_EQ(world.prompts.prompts().size(), 2u);
        expectError(world.prompts.prompts()[1], "No safety backup files found.");
    }
}

TEST(DeleteSafetyFiles, NoKeepsEverythingAndThePairFollowsTheSafetyCopies)
{
    World world;
    writeFile(world.host("C:\\WINDOWS\\WIN.QRV"), crlf({"[windows]"}));
    world.prompts.answer(Answer::No);

    DeleteSafetyFiles(world.ctx());

    expectBeepThenQuestion(world.prompts);
    EXPECT_EQ(readFile(world.host("C:\\WINDOWS\\WIN.QRV")), crlf({"[windows]"}));
    EXPECT_EQ(world.main.pairs, (std::map<Pair, bool>{{Pair::DeleteSafety, true}}));
    EXPECT_TRUE(world.main.visible);
}

// In a Wine prefix the safety copies of its registry files count too: they are found, asked about and deleted, and
// the registry files themselves stay.
TEST(DeleteSafetyFiles, TheRegistryCopiesOfAWinePrefixGoWithTheOthers)
{
    World world;
    const std::string prefix = world.tmp.path() + "/prefix";
    std::filesystem::create_directories(prefix);
    writeFile(prefix + "/system.reg", "WINE REGISTRY Version 2\n");
    writeFile(prefix + "/user.QRV", "WINE REGISTRY Version 2\n");
    DriveMap drives;
    drives.set('C', world.drive('C'));
    drives.setPrefix(prefix);
    world.fs = std::make_unique<FileSystem>(std::move(drives));
    UpdateSafetyPair(world.ctx());
    EXPECT_TRUE(world.main.pairs.at(Pair::DeleteSafety));
    world.prompts.answer(Answer::Yes);

    DeleteSafetyFiles(world.ctx());

    expectBeepThenQuestion(world.prompts);
    EXPECT_FALSE(pathExists(prefix + "/user.QRV"));
    EXPECT_EQ(readFile(prefix + "/system.reg"), "WINE REGISTRY Version 2\n");
    EXPECT_EQ(world.main.pairs, (std::map<Pair, bool>{{Pair::DeleteSafety, false}}));
}

TEST(DeleteSafetyFiles, AFailedDeletionIsReportedAndTheOthersStillGo)
{
    World world;
    InjectingFileSystem& fs = inject(world);
    fs.failRemove.insert("CONFIG.QRV");
    writeFile(world.host("C:\\CONFIG.QRV"), crlf({"FILES=30"}));
    writeFile(world.host("C:\\WINDOWS\\WIN.QRV"), crlf({"[windows]"}));
    world.prompts.answer(Answer::Yes);

    DeleteSafetyFiles(world.ctx());

    ASSERT_EQ(world.prompts.messages().size(), 2u);
    expectError(world.prompts.messages()[1],
                std::string("Unable to delete C:\\CONFIG.QRV: ") + std::strerror(EACCES) + ".");
    EXPECT_TRUE(pathExists(world.host("C:\\CONFIG.QRV")));
    EXPECT_FALSE(pathExists(world.host("C:\\WINDOWS\\WIN.QRV")));
    EXPECT_EQ(world.main.pairs, (std::map<Pair, bool>{{Pair::DeleteSafety, true}}));  // CONFIG.QRV is left
    EXPECT_TRUE(world.main.visible);
}

}  // namespace
}  // namespace morvane
