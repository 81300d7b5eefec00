#include "report/list_system_file_changes.h"

#include <gtest/gtest.h>

#include "tests/support/doubles.h"

namespace morvane {
namespace {

using Lines = std::vector<std::string>;

const std::string kAdded(kAddedHeader);
const std::string kRemoved(kRemovedHeader);

TEST(ListLineChanges, HeadersAndWholeNormalisedLinesComparedInUpperCaseForPresenceOnly)
{
    const std::string hyphens(36, '-');
    EXPECT_EQ(kAdded, hyphens + " The following lines were added " + hyphens);
    EXPECT_EQ(kRemoved, hyphens + "The following lines were removed" + hyphens);

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
        {"trimmed, normalised, own case", {"rem"}, {"  Path = C:\\DOS  "}, {kAdded, "Path=C:\\DOS", kRemoved, "rem"}},
        {"a tab before = stays", {"a=1"}, {"a\t=1"}, {kAdded, "a\t=1", kRemoved, "a=1"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ListLineChanges(c.oldLines, c.newLines), c.expected) << c.what;
    }
}

TEST(AddedAndRemovedLines, TheTwoListsTheBannersStandAbove)
{
    struct Case {
        const char* what;
        Lines oldLines;
        Lines newLines;
        Lines added;
        Lines removed;
    };
    // A line that reads like a banner is a line like any other.
    const std::vector<Case> cases = {
        {"one changed", {"A", "B"}, {"A", "C"}, {"C"}, {"B"}},
        {"nothing changed", {"files = 30"}, {"FILES=30"}, {}, {}},
        {"a banner's text as a line", {"A"}, {"A", kRemoved, " X "}, {kRemoved, "X"}, {}},
        {"an empty line removed", {"", "A"}, {"A"}, {}, {""}},
    };
    for (const Case& c : cases) {
        const LineChanges changes = AddedAndRemovedLines(c.oldLines, c.newLines);
        EXPECT_EQ(c.added, changes.added) << c.what;
        EXPECT_EQ(c.removed, changes.removed) << c.what;
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

TEST(ListSystemFileChanges, NoChangeLeavesTheCallersListAndStopsAfterTheEndLine)
{
    test::World world;
    test::writeFile(world.data("AFTER1.DAT"), test::crlf({"~NO CHANGE~", "*END WIN*", "*SYSTEM*"}));
    auto after = AfterFileReader::open(*world.fs, world.data("AFTER1.DAT")).value();
    bool changed = true;
    Lines lines = {"as passed"};
    ASSERT_TRUE(ListSystemFileChanges(*after, "WIN", changed, lines).ok());
    EXPECT_FALSE(changed);
    EXPECT_EQ(lines, Lines{"as passed"});
    EXPECT_EQ(*after->readLine("SYSTEM"), "*SYSTEM*");
}

}  // namespace
}  // namespace morvane
