#include "removal/select_after_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

#include "tests/removal/scripted_after_file_list.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::pathExists;
using test::readFile;
using test::ScriptedAfterFileList;
using test::World;
using test::writeFile;
using Kind = test::ScriptedPrompts::Prompt::Kind;

const char* const kCorrupted2 =
    "The AFTER file AFTER2.DAT appears to be corrupted. It is useless and is interferring with ZELK operations. "
    "It will now be deleted.";

// A layer that cannot delete or open the files named.
class FailingFileSystem : public FileSystem {
public:
    using FileSystem::FileSystem;
    Status removeFile(std::string_view path) override
    {
        if (path.ends_with(failRemove)) {
            return errorFromErrno(std::string(path), EACCES);
        }
        return FileSystem::removeFile(path);
    }
    Result<std::unique_ptr<LineReader>> openForReading(std::string_view path) const override
    {
        if (!failOpen.empty() && path.ends_with(failOpen)) {
            return errorFromErrno(std::string(path), EACCES);
        }
        return FileSystem::openForReading(path);
    }
    std::string failRemove = "\x01";
    std::string failOpen;
};

class SelectAfterFileTest : public ::testing::Test {
protected:
    void record(const std::string& name, std::string_view bytes) { writeFile(world.data(name), bytes); }
    void select() { SelectAfterFile(world.ctx(), list, selection); }

    World world;
    ScriptedAfterFileList list;
    AfterSelection selection;
};

TEST_F(SelectAfterFileTest, OneRecordIsOfferedAndItsFileIsTheChosenPath)
{
    record("AFTER1.DAT", crlf({"Word Wizard", "C", "*AUTOEXEC*"}));
    list.choices = {0};
    select();

    ASSERT_EQ(list.shown.size(), 1u);
    EXPECT_EQ(list.shown[0], std::vector<std::string>{"Word Wizard"});
    EXPECT_EQ(selection.AfterCount, 1);
    EXPECT_EQ(selection.ChosenEntry, 0);
    EXPECT_FALSE(selection.nothingChosen());
    EXPECT_EQ(selection.AfterNames, (std::vector<std::string>{world.data("AFTER*.DAT"), "Word Wizard", ""}));
    EXPECT_EQ(selection.AfterNumbers.at(1), 1);
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), world.data("AFTER1.DAT"));
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST_F(SelectAfterFileTest, CancelIsNothingChosen)
{
    record("AFTER1.DAT", crlf({"Word Wizard"}));
    list.choices = {-1};
    select();
    EXPECT_EQ(selection.ChosenEntry, -1);
    EXPECT_TRUE(selection.nothingChosen());
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), std::nullopt);
    EXPECT_TRUE(world.prompts.prompts().empty());
    EXPECT_TRUE(pathExists(world.data("AFTER1.DAT")));
}

TEST_F(SelectAfterFileTest, NoRecordsBeepsAndSaysSoWithoutShowingTheList)
{
    record("BEFORE.DAT", crlf({"Pending"}));
    select();
    const auto& prompts = world.prompts.prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].kind, Kind::Beep);
    EXPECT_EQ(prompts[1].text, "No AFTER files found.");
    EXPECT_EQ(prompts[1].title, "Error");
    EXPECT_EQ(prompts[1].icon, Icon::Exclamation);
    EXPECT_EQ(prompts[1].buttons, Buttons::Ok);
    EXPECT_TRUE(list.shown.empty());
    EXPECT_EQ(selection.AfterCount, 0);
    EXPECT_EQ(selection.ChosenEntry, 0);
    EXPECT_TRUE(selection.nothingChosen());
}

TEST_F(SelectAfterFileTest, EmptyRecordAmongThreeIsReportedDeletedAndTheOthersOffered)
{
    record("AFTER1.DAT", crlf({"Alpha"}));
    record("AFTER2.DAT", "");
    record("AFTER3.DAT", crlf({"Gamma"}));
    list.choices = {1};
    select();

    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kCorrupted2);
    EXPECT_EQ(messages[0].title, "ATTENTION");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_FALSE(pathExists(world.data("AFTER2.DAT")));
    EXPECT_EQ(readFile(world.data("AFTER1.DAT")), crlf({"Alpha"}));

    ASSERT_EQ(list.shown.size(), 1u);
    EXPECT_EQ(list.shown[0], (std::vector<std::string>{"Alpha", "Gamma"}));
    EXPECT_EQ(selection.AfterCount, 2);
    EXPECT_EQ(selection.AfterNumbers.at(2), 3);
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), world.data("AFTER3.DAT"));
}

TEST_F(SelectAfterFileTest, SingleCorruptedRecordEndsWithNoAfterFilesFound)
{
    record("AFTER2.DAT", "");
    select();
    const auto& prompts = world.prompts.prompts();
    ASSERT_EQ(prompts.size(), 3u);
    EXPECT_EQ(prompts[0].text, kCorrupted2);
    EXPECT_EQ(prompts[1].kind, Kind::Beep);
    EXPECT_EQ(prompts[2].text, "No AFTER files found.");
    EXPECT_FALSE(pathExists(world.data("AFTER2.DAT")));
    EXPECT_TRUE(list.shown.empty());
    EXPECT_TRUE(selection.nothingChosen());
}

TEST_F(SelectAfterFileTest, UnreadableRecordCountsAsCorrupted)
{
    DriveMap map;
    map.set('C', world.drive('C'));
    auto fs = std::make_unique<FailingFileSystem>(std::move(map));
    fs->failOpen = "AFTER2.DAT";
    world.fs = std::move(fs);
    record("AFTER1.DAT", crlf({"Alpha"}));
    record("AFTER2.DAT", crlf({"Beta"}));
    list.choices = {0};
    select();
    EXPECT_EQ(world.prompts.messageTexts(), std::vector<std::string>{kCorrupted2});
    EXPECT_FALSE(pathExists(world.data("AFTER2.DAT")));
    EXPECT_EQ(list.shown.at(0), std::vector<std::string>{"Alpha"});
}

TEST_F(SelectAfterFileTest, CorruptedRecordThatCannotBeDeletedIsReportedOnceAndLeftOut)
{
    DriveMap map;
    map.set('C', world.drive('C'));
    auto fs = std::make_unique<FailingFileSystem>(std::move(map));
    fs->failRemove = "AFTER2.DAT";
    world.fs = std::move(fs);
    record("AFTER1.DAT", crlf({"Alpha"}));
    record("AFTER2.DAT", "");
    list.choices = {0};
    select();

    EXPECT_EQ(world.prompts.messageTexts(),
              (std::vector<std::string>{kCorrupted2, "The AFTER file " + world.data("AFTER2.DAT") +
                                                         " could not be deleted: Permission denied."}));
    EXPECT_TRUE(pathExists(world.data("AFTER2.DAT")));
    ASSERT_EQ(list.shown.size(), 1u);
    EXPECT_EQ(list.shown[0], std::vector<std::string>{"Alpha"});
    EXPECT_EQ(selection.AfterCount, 1);
}

TEST_F(SelectAfterFileTest, EmptyFirstLineEndsTheListOffered)
{
    record("AFTER1.DAT", crlf({"Alpha"}));
    record("AFTER2.DAT", crlf({"", "C"}));
    record("AFTER3.DAT", crlf({"Gamma"}));
    list.choices = {0};
    select();
    EXPECT_TRUE(world.prompts.prompts().empty());
    EXPECT_EQ(selection.AfterCount, 3);
    EXPECT_EQ(list.shown.at(0), std::vector<std::string>{"Alpha"});
    EXPECT_TRUE(pathExists(world.data("AFTER2.DAT")));
}

TEST_F(SelectAfterFileTest, OrderIsTheListingsAndTwinNamesStayApart)
{
    // The listing sorts by upper-case name: AFTER10 comes before AFTER9.
    record("AFTER9.DAT", crlf({"Same Name"}));
    record("AFTER10.DAT", crlf({"Same Name"}));
    list.choices = {1, 0};
    select();
    EXPECT_EQ(list.shown.at(0), (std::vector<std::string>{"Same Name", "Same Name"}));
    EXPECT_EQ(selection.AfterNumbers.at(1), 10);
    EXPECT_EQ(selection.AfterNumbers.at(2), 9);
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), world.data("AFTER9.DAT"));

    select();
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), world.data("AFTER10.DAT"));
}

TEST_F(SelectAfterFileTest, NamesWithoutTheirNumberAreListedButNotOpened)
{
    record("AFTER.DAT", crlf({"Plain"}));
    record("AFTER07.DAT", crlf({"Padded"}));
    record("AFTER7.DAT", crlf({"Seven"}));
    record("AFTERX.DAT", crlf({"Lettered"}));
    list.choices = {0, 1, 3};

    select();  // AFTER.DAT, AFTER07.DAT, AFTER7.DAT, AFTERX.DAT
    EXPECT_EQ(list.shown.at(0), (std::vector<std::string>{"Plain", "Padded", "Seven", "Lettered"}));
    EXPECT_EQ(selection.AfterNumbers, (std::vector<long>{0, 0, 7, 7, 0, 0}));
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), std::nullopt);
    select();
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), std::nullopt);  // never AFTER7.DAT
    select();
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), std::nullopt);

    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text,
              "The record AFTER.DAT cannot be opened: its name does not carry the number of an AFTER file.");
    EXPECT_EQ(messages[1].text,
              "The record AFTER07.DAT cannot be opened: its name does not carry the number of an AFTER file.");
    EXPECT_EQ(messages[2].text,
              "The record AFTERX.DAT cannot be opened: its name does not carry the number of an AFTER file.");
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
}

TEST_F(SelectAfterFileTest, RecordGoneAfterTheSelectionCannotBeOpened)
{
    record("AFTER4.DAT", crlf({"Alpha"}));
    list.choices = {0};
    select();
    std::remove(world.data("AFTER4.DAT").c_str());
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), std::nullopt);
    EXPECT_EQ(world.prompts.messageTexts(),
              std::vector<std::string>{"Unable to read the AFTER file " + world.data("AFTER4.DAT") +
                                       ": No such file or directory."});
}

TEST_F(SelectAfterFileTest, LowerCaseRecordNameOpensTheFileListed)
{
    record("after5.dat", crlf({"Lower"}));
    list.choices = {0};
    select();
    EXPECT_EQ(selection.AfterNumbers.at(1), 5);
    EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), world.data("after5.dat"));
}

}  // namespace
}  // namespace morvane
