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
using Kind = test::ScriptedPrompts::Prompt::Kind;
using Names = std::vector<std::string>;

const char* const kCorrupted2 =
    "The AFTER file AFTER2.DAT appears to be corrupted. It is useless and is interferring "
    "with ZELK operations. It will now be deleted.";

std::string NotANumber(const std::string& name)
{
    return "The record " + name + " cannot be opened: its name does not carry the number of an AFTER file.";
}

// A layer that cannot delete AFTER2.DAT.
class UndeletingFileSystem : public FileSystem {
public:
    using FileSystem::FileSystem;
    Status removeFile(std::string_view path, Lookup lookup) override
    {
        return path.ends_with("AFTER2.DAT") ? errorFromErrno(std::string(path), EACCES)
                                            : FileSystem::removeFile(path, lookup);
    }
};

class SelectAfterFileTest : public ::testing::Test {
protected:
    void record(const std::string& name, std::string_view bytes) { test::writeFile(world.data(name), bytes); }
    void select(std::initializer_list<int> choices)
    {
        list.choices = choices;
        SelectAfterFile(world.ctx(), list, selection);
    }
    std::optional<std::string> chosenPath() { return ChosenAfterFilePath(world.ctx(), selection); }

    test::World world;
    test::ScriptedAfterFileList list;
    AfterSelection selection;
};

TEST_F(SelectAfterFileTest, OneRecordIsOfferedThenTakenOrCancelled)
{
    record("AFTER1.DAT", crlf({"Word Wizard", "C"}));
    select({0});
    EXPECT_EQ(list.shown, (std::vector<Names>{{"Word Wizard"}}));
    EXPECT_EQ(selection.AfterNames, (Names{world.data("AFTER*.DAT"), "Word Wizard", ""}));
    EXPECT_EQ(selection.AfterCount, 1);
    EXPECT_EQ(selection.ChosenEntry, 0);
    EXPECT_EQ(chosenPath(), world.data("AFTER1.DAT"));

    select({-1});
    EXPECT_TRUE(selection.nothingChosen());
    EXPECT_EQ(chosenPath(), std::nullopt);
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST_F(SelectAfterFileTest, NoRecordsBeepsAndSaysSoWithoutAList)
{
    record("BEFORE.DAT", crlf({"Pending"}));
    select({});
    const auto& prompts = world.prompts.prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].kind, Kind::Beep);
    EXPECT_EQ(prompts[1].text, "No AFTER files found.");
    EXPECT_EQ(prompts[1].title, "Error");
    EXPECT_EQ(prompts[1].icon, Icon::Exclamation);
    EXPECT_TRUE(list.shown.empty());
    EXPECT_EQ(selection.ChosenEntry, selection.AfterCount);

    // A data folder that cannot be read is not taken for one without records.
    std::remove(world.data("BEFORE.DAT").c_str());
    std::remove(world.state.DataFolder.c_str());
    select({});
    EXPECT_EQ(world.prompts.messageTexts().back(),
              "Unable to read the folder " + world.state.DataFolder + " for AFTER files: No such file or directory.");
    EXPECT_EQ(world.prompts.beeps(), 1);
    EXPECT_TRUE(selection.nothingChosen());
}

TEST_F(SelectAfterFileTest, EmptySecondOfThreeIsReportedDeletedAndTheOthersOffered)
{
    record("AFTER1.DAT", crlf({"Alpha"}));
    record("AFTER2.DAT", "");
    record("AFTER3.DAT", crlf({"Gamma"}));
    select({1});
    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kCorrupted2);
    EXPECT_EQ(messages[0].title, "ATTENTION");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_FALSE(pathExists(world.data("AFTER2.DAT")));
    EXPECT_TRUE(pathExists(world.data("AFTER1.DAT")));
    EXPECT_EQ(list.shown, (std::vector<Names>{{"Alpha", "Gamma"}}));
    EXPECT_EQ(chosenPath(), world.data("AFTER3.DAT"));
}

TEST_F(SelectAfterFileTest, SingleCorruptedRecordEndsWithNoAfterFilesFound)
{
    record("AFTER2.DAT", "");
    select({});
    const auto& prompts = world.prompts.prompts();
    ASSERT_EQ(prompts.size(), 3u);
    EXPECT_EQ(prompts[0].text, kCorrupted2);
    EXPECT_EQ(prompts[1].kind, Kind::Beep);
    EXPECT_EQ(prompts[2].text, "No AFTER files found.");
    EXPECT_FALSE(pathExists(world.data("AFTER2.DAT")));
    EXPECT_TRUE(list.shown.empty());
}

TEST_F(SelectAfterFileTest, CorruptedRecordThatCannotBeDeletedIsReportedOnceAndLeftOut)
{
    DriveMap map;
    map.set('C', world.drive('C'));
    world.fs = std::make_unique<UndeletingFileSystem>(std::move(map));
    record("AFTER1.DAT", crlf({"Alpha"}));
    record("AFTER2.DAT", "");
    select({0});
    EXPECT_EQ(world.prompts.messageTexts(), (Names{kCorrupted2, "The AFTER file " + world.data("AFTER2.DAT") +
                                                                    " could not be deleted: Permission denied."}));
    EXPECT_EQ(list.shown, (std::vector<Names>{{"Alpha"}}));
    EXPECT_EQ(selection.AfterCount, 1);
}

// A layer that cannot open AFTER2.DAT, or whose reading of it fails, for the reason given.
class UnreadableFileSystem : public FileSystem {
public:
    UnreadableFileSystem(DriveMap map, int code, bool atOpen)
        : FileSystem(std::move(map)), m_code(code), m_atOpen(atOpen)
    {}
    Result<std::unique_ptr<LineReader>> openForReading(std::string_view path) const override
    {
        if (!path.ends_with("AFTER2.DAT")) {
            return FileSystem::openForReading(path);
        }
        if (m_atOpen) {
            return errorFromErrno(std::string(path), m_code);
        }
        struct FailingReader : LineReader {
            int code;
            bool readLine(std::string&) override { return false; }
            Status status() const override { return errorFromErrno("AFTER2.DAT", code); }
        };
        auto reader = std::make_unique<FailingReader>();
        reader->code = m_code;
        return std::unique_ptr<LineReader>(std::move(reader));
    }

private:
    int m_code;
    bool m_atOpen;
};

// A record that cannot be opened or read may be a good one: it is reported by name and reason and kept, never
// taken for a corrupted one and deleted.
TEST(SelectAfterFileUnreadable, AFileThatCannotBeOpenedOrReadIsReportedAndKept)
{
    struct Case {
        int code;
        bool atOpen;
        const char* reason;
    };
    for (const Case c : {Case{EACCES, true, "Permission denied"}, Case{EIO, false, "Input/output error"},
                         Case{EIO, true, "Input/output error"}}) {
        test::World world;
        DriveMap map;
        map.set('C', world.drive('C'));
        world.fs = std::make_unique<UnreadableFileSystem>(std::move(map), c.code, c.atOpen);
        test::writeFile(world.data("AFTER1.DAT"), crlf({"Alpha", "C"}));
        test::writeFile(world.data("AFTER2.DAT"), crlf({"Beta", "C"}));
        test::ScriptedAfterFileList list;
        list.choices = {0};
        AfterSelection selection;
        SelectAfterFile(world.ctx(), list, selection);
        EXPECT_EQ(world.prompts.messageTexts(),
                  Names{"The AFTER file AFTER2.DAT cannot be read: " + std::string(c.reason) +
                        ". It has been kept, and it is left out of this list."});
        EXPECT_EQ(world.prompts.messages()[0].title, "Error");
        EXPECT_EQ(test::readFile(world.data("AFTER2.DAT")), crlf({"Beta", "C"}));
        EXPECT_EQ(list.shown, (std::vector<Names>{{"Alpha"}}));
        EXPECT_EQ(ChosenAfterFilePath(world.ctx(), selection), world.data("AFTER1.DAT"));
    }
}

TEST_F(SelectAfterFileTest, ListingOrderTwinsAndAnEmptyFirstLineEndingTheList)
{
    // The listing sorts by upper-case name, so AFTER10.DAT comes before AFTER9.DAT.
    record("AFTER9.DAT", crlf({"Twin"}));
    record("AFTER10.DAT", crlf({"Twin"}));
    select({1});
    EXPECT_EQ(list.shown.back(), (Names{"Twin", "Twin"}));
    EXPECT_EQ(chosenPath(), world.data("AFTER9.DAT"));

    record("AFTER11.DAT", crlf({"", "C"}));  // between AFTER10 and AFTER9
    select({0});
    EXPECT_EQ(list.shown.back(), Names{"Twin"});
    EXPECT_EQ(selection.AfterCount, 3);
    EXPECT_TRUE(pathExists(world.data("AFTER11.DAT")));
    EXPECT_EQ(chosenPath(), world.data("AFTER10.DAT"));
}

TEST_F(SelectAfterFileTest, NamesThatDoNotCarryTheirNumberAreOfferedButNeverOpenAnotherRecord)
{
    record("AFTER.DAT", crlf({"Plain"}));
    record("AFTER07.DAT", crlf({"Padded"}));
    record("AFTER7.DAT", crlf({"Seven"}));
    record("after8.dat", crlf({"Lower"}));
    select({0});
    EXPECT_EQ(list.shown.back(), (Names{"Plain", "Padded", "Seven", "Lower"}));
    EXPECT_EQ(selection.AfterNumbers, (std::vector<long>{0, 0, 7, 7, 8, 0}));
    EXPECT_EQ(chosenPath(), std::nullopt);
    selection.ChosenEntry = 1;
    EXPECT_EQ(chosenPath(), std::nullopt);  // not AFTER7.DAT
    selection.ChosenEntry = 3;
    EXPECT_EQ(chosenPath(), world.data("after8.dat"));
    std::remove(world.data("after8.dat").c_str());
    EXPECT_EQ(chosenPath(), std::nullopt);

    const auto messages = world.prompts.messages();
    EXPECT_EQ(world.prompts.messageTexts(),
              (Names{NotANumber("AFTER.DAT"), NotANumber("AFTER07.DAT"),
                     "Unable to read the AFTER file " + world.data("after8.dat") + ": No such file or directory."}));
    EXPECT_EQ(messages.at(0).title, "Error");
    EXPECT_EQ(messages.at(0).icon, Icon::Exclamation);
}

}  // namespace
}  // namespace morvane
