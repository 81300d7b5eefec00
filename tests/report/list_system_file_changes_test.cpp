#include "report/list_system_file_changes.h"

#include <gtest/gtest.h>

#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::World;
using test::writeFile;
using Lines = std::vector<std::string>;

const std::string kAdded(kAddedHeader);
const std::string kRemoved(kRemovedHeader);

TEST(ListSystemFileChangesHeaders, AreThirtySixHyphensEachSide)
{
    const std::string hyphens(36, '-');
    EXPECT_EQ(kAdded, hyphens + " The following lines were added " + hyphens);
    EXPECT_EQ(kRemoved, hyphens + "The following lines were removed" + hyphens);
    EXPECT_EQ(kAdded.size(), 104u);
    EXPECT_EQ(kRemoved.size(), 104u);
}

TEST(ListLineChanges, ComparesWholeNormalisedLinesInUpperCaseForPresenceOnly)
{
    struct Case {
        const char* what;
        Lines oldLines;
        Lines newLines;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"one changed", {"A", "B"}, {"A", "C"}, {kAdded, "C", kRemoved, "B"}},
        {"only additions", {"A"}, {"A", "X", "Y"}, {kAdded, "X", "Y"}},
        {"only removals", {"A", "B"}, {"A"}, {kRemoved, "B"}},
        {"case and spaces around =", {"files = 30"}, {"FILES=30"}, {""}},
        {"moved and duplicated", {"A", "B"}, {"B", "A", "A"}, {""}},
        {"lines of spaces are empty lines", {"   ", "X"}, {"", "X"}, {""}},
        {"an empty line added", {"X"}, {"X", "    "}, {kAdded, ""}},
        {"trimmed, normalised, own case kept",
         {"rem"},
         {"  Path = C:\\DOS  "},
         {kAdded, "Path=C:\\DOS", kRemoved, "rem"}},
        {"a tab before = is kept", {"a=1"}, {"a\t=1"}, {kAdded, "a\t=1", kRemoved, "a=1"}},
        {"both empty", {}, {}, {""}},
        {"file created", {}, {"@ECHO OFF"}, {kAdded, "@ECHO OFF"}},
        {"file removed", {"@ECHO OFF"}, {}, {kRemoved, "@ECHO OFF"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ListLineChanges(c.oldLines, c.newLines), c.expected) << c.what;
    }
}

TEST(ListLineChanges, HasNoLimitOnTheNumberOfLines)
{
    Lines oldLines;
    Lines newLines;
    for (int i = 0; i < 40000; ++i) {
        oldLines.push_back("KEY" + std::to_string(i) + "=OLD");
        newLines.push_back("key" + std::to_string(i) + " = old");
    }
    newLines.push_back("LAST=1");
    EXPECT_EQ(ListLineChanges(oldLines, newLines), (Lines{kAdded, "LAST=1"}));
}

class ListSystemFileChangesTest : public ::testing::Test {
protected:
    // Opens an AFTER file holding `lines` and reads up to the line after the first section header.
    std::unique_ptr<AfterFileReader> openAt(std::initializer_list<std::string_view> lines)
    {
        writeFile(world.data("AFTER1.DAT"), crlf(lines));
        auto reader = AfterFileReader::open(*world.fs, world.data("AFTER1.DAT"));
        EXPECT_TRUE(reader.ok());
        auto after = std::move(*reader);
        EXPECT_TRUE(after->readLine("test").ok());  // the header "*TAG*"
        return after;
    }

    World world;
};

TEST_F(ListSystemFileChangesTest, NoChangeLeavesTheCallersListAndStopsAfterTheEndLine)
{
    auto after = openAt({"*WIN*", "~NO CHANGE~", "*END WIN*", "*SYSTEM*"});
    bool changed = true;
    Lines lines = {"as passed"};
    ASSERT_TRUE(ListSystemFileChanges(*after, "WIN", changed, lines).ok());
    EXPECT_FALSE(changed);
    EXPECT_EQ(lines, Lines{"as passed"});
    EXPECT_EQ(*after->readLine("SYSTEM"), "*SYSTEM*");
}

TEST_F(ListSystemFileChangesTest, NoChangeMarkerIsSeenAfterOldLinesToo)
{
    auto after = openAt({"*WIN*", "stray", " ~NO CHANGE~ ", "*END WIN*", "*SYSTEM*"});
    bool changed = true;
    Lines lines = {""};
    ASSERT_TRUE(ListSystemFileChanges(*after, "WIN", changed, lines).ok());
    EXPECT_FALSE(changed);
    EXPECT_EQ(*after->readLine("SYSTEM"), "*SYSTEM*");
}

TEST_F(ListSystemFileChangesTest, ChangedSectionReplacesTheList)
{
    auto after = openAt({"*CONFIG*", "FILES=30", "DEVICE=HIMEM.SYS", " *NEW CONFIG* ", "files = 30",
                         "DEVICE=EMM386.EXE", "*END CONFIG*", "*WIN*"});
    bool changed = false;
    Lines lines = {""};
    ASSERT_TRUE(ListSystemFileChanges(*after, "CONFIG", changed, lines).ok());
    EXPECT_TRUE(changed);
    EXPECT_EQ(lines, (Lines{kAdded, "DEVICE=EMM386.EXE", kRemoved, "DEVICE=HIMEM.SYS"}));
    EXPECT_EQ(*after->readLine("WIN"), "*WIN*");
}

TEST_F(ListSystemFileChangesTest, ChangeOnlyInLetterCaseIsChangedWithOneEmptyLine)
{
    auto after = openAt({"*AUTOEXEC*", "path c:\\dos", "*NEW AUTOEXEC*", "PATH C:\\DOS", "*END AUTOEXEC*"});
    bool changed = false;
    Lines lines = {""};
    ASSERT_TRUE(ListSystemFileChanges(*after, "AUTOEXEC", changed, lines).ok());
    EXPECT_TRUE(changed);
    EXPECT_EQ(lines, Lines{""});
}

TEST_F(ListSystemFileChangesTest, SectionWithoutItsEndIsAnErrorAndLeavesTheList)
{
    auto after = openAt({"*SYSTEM*", "[boot]", "*NEW SYSTEM*", "[boot]", "shell=x.exe"});
    bool changed = false;
    Lines lines = {"as passed"};
    const Status status = ListSystemFileChanges(*after, "SYSTEM", changed, lines);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().reason,
              "The AFTER file " + world.data("AFTER1.DAT") + " ends inside its SYSTEM section.");
    EXPECT_EQ(lines, Lines{"as passed"});
}

}  // namespace
}  // namespace morvane
