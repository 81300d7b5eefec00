#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "snapshot/directory_tree.h"
#include "tests/snapshot/hooked_file_system.h"
#include "tests/support/doubles.h"

namespace morvane::test {
namespace {

using Strings = std::vector<std::string>;

// The entries 1..DirCount of the list.
Strings entries(const State& state)
{
    return Strings(state.DirList.begin() + 1, state.DirList.begin() + 1 + state.DirCount);
}

Strings names(const DirectoryFiles& files, long entry)
{
    Strings out;
    for (std::string_view name : files.of(entry)) {
        out.emplace_back(name);
    }
    return out;
}

// A fresh list as BEFORE creation makes it: slots 0 to 100, none in use.
void freshList(State& state)
{
    state.DirList.assign(101, std::string());
    state.DirCount = 0;
}

// ---- ReadDirectoryTree ----------------------------------------------------------------------------------

TEST(ReadDirectoryTree, ListsBreadthFirstWithoutTheDriveAndSortsLongestFirst)
{
    World world({'C', 'D'});
    makeDirs(world.host("D:\\A\\X"));
    makeDirs(world.host("D:\\B"));
    freshList(world.state);

    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "D:\\").ok());
    EXPECT_EQ(entries(world.state), (Strings{"\\", "\\A\\", "\\B\\", "\\A\\X\\"}));
    EXPECT_EQ(world.state.DirList[0], "");

    SortDirListByLength(world.state);
    EXPECT_EQ(entries(world.state), (Strings{"\\A\\X\\", "\\A\\", "\\B\\", "\\"}));
}

TEST(ReadDirectoryTree, KeepsEachDirectorysChildrenTogetherInThePlatformsOrder)
{
    World world({'C', 'D'});
    for (const char* dir :
         {"D:\\b", "D:\\A", "D:\\_z", "D:\\a1", "D:\\.hid", "D:\\ab", "D:\\AB", "D:\\b\\2", "D:\\b\\1", "D:\\A\\q"}) {
        makeDirs(world.host(dir));
    }
    // A link to a directory is a file to the scan: never listed as a directory, never descended into.
    ASSERT_EQ(symlink(world.host("D:\\A").c_str(), world.host("D:\\link").c_str()), 0);
    freshList(world.state);

    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "D:\\").ok());
    // Sorted by upper-case form (".", letters, "_"), equal forms in byte order ("AB" before "ab"); the groups
    // of the second level follow their parents' order: A's child before b's.
    EXPECT_EQ(entries(world.state), (Strings{"\\", "\\.hid\\", "\\A\\", "\\a1\\", "\\AB\\", "\\ab\\", "\\b\\", "\\_z\\",
                                             "\\A\\q\\", "\\b\\1\\", "\\b\\2\\"}));
}

TEST(ReadDirectoryTree, AnEmptyDriveAddsTheRootAlone)
{
    World world({'C', 'D'});
    freshList(world.state);
    world.state.DirCount = 3;
    world.state.DirList[1] = "\\X\\";
    world.state.DirList[2] = "\\Y\\";
    world.state.DirList[3] = "\\Z\\";

    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "D:\\").ok());
    EXPECT_EQ(world.state.DirCount, 4);
    EXPECT_EQ(world.state.DirList[4], "\\");
    EXPECT_EQ(world.state.DirList.size(), 101u);
}

TEST(ReadDirectoryTree, StripsTheDriveFromEntriesThatWereThereBefore)
{
    World world({'C', 'D'});
    makeDirs(world.host("D:\\NEW"));
    freshList(world.state);
    world.state.DirCount = 2;
    world.state.DirList[1] = "E:\\OLD\\";
    world.state.DirList[2] = "\\KEPT\\";

    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "D:\\").ok());
    EXPECT_EQ(entries(world.state), (Strings{"\\OLD\\", "\\KEPT\\", "\\", "\\NEW\\"}));
}

TEST(ReadDirectoryTree, GrowsTheListFiftySlotsBeyondTheCount)
{
    World world({'C', 'D', 'E'});
    for (int i = 0; i < 99; ++i) {
        makeDirs(world.drive('D') + "/d" + std::to_string(100 + i));
        makeDirs(world.drive('E') + "/e" + std::to_string(100 + i));
    }
    makeDirs(world.drive('E') + "/e199");

    // 100 entries fit the 101 slots of a fresh list.
    freshList(world.state);
    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "D:\\").ok());
    EXPECT_EQ(world.state.DirCount, 100);
    EXPECT_EQ(world.state.DirList.size(), 101u);

    // The 101st makes the highest slot 101 + 50.
    freshList(world.state);
    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "E:\\").ok());
    EXPECT_EQ(world.state.DirCount, 101);
    EXPECT_EQ(world.state.DirList.size(), 152u);
    EXPECT_EQ(world.state.DirList[101], "\\e199\\");
}

TEST(ReadDirectoryTree, HasNoLimitAtThirtyTwoThousandDirectories)
{
    World world({'C', 'D'});
    // A tree in memory: the root holds p0..p32 and each of them 1000 directories, 33,034 in all, beyond what a
    // 16-bit scan position reaches.
    HookedFileSystem& fs = HookedFileSystem::install(world);
    fs.fakeRead = [](std::string_view dir) {
        DirectoryContents contents;
        if (dir == "D:\\") {
            for (int i = 0; i < 33; ++i) {
                contents.subdirectories.push_back("p" + std::to_string(i));
            }
        } else if (std::count(dir.begin(), dir.end(), '\\') == 2) {
            for (int k = 0; k < 1000; ++k) {
                contents.subdirectories.push_back(std::to_string(k));
            }
        }
        return contents;
    };
    freshList(world.state);
    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "D:\\").ok());
    EXPECT_EQ(fs.reads, 33034);
    EXPECT_EQ(world.state.DirCount, 33034);
    EXPECT_EQ(world.state.DirList[34], "\\p32\\");
    EXPECT_EQ(world.state.DirList[33034], "\\p32\\999\\");
}

TEST(ReadDirectoryTree, AnUnreadableDirectoryEndsTheScanWithItsPath)
{
    World world({'C', 'D'});
    makeDirs(world.host("D:\\A\\B\\C"));
    makeDirs(world.host("D:\\Z"));
    HookedFileSystem& fs = HookedFileSystem::install(world);
    fs.failRead = [](std::string_view dir) -> std::optional<Error> {
        if (dir == "D:\\A\\B\\") {
            return Error{std::string(dir), 13, "Permission denied"};
        }
        return std::nullopt;
    };
    freshList(world.state);

    const Status status = ReadDirectoryTree(world.ctx(), "D:\\");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().path, "D:\\A\\B\\");
    EXPECT_EQ(status.error().reason, "Permission denied");
    // Nothing below the failing directory was read, and what was listed is drive-less as after any scan.
    EXPECT_EQ(entries(world.state), (Strings{"\\", "\\A\\", "\\Z\\", "\\A\\B\\"}));
}

TEST(ReadDirectoryTree, KeepsEachDirectorysFilesAndCountsNamesThePlatformLeftOut)
{
    World world({'C', 'D'});
    makeDirs(world.host("D:\\SUB"));
    writeFile(world.host("D:\\b.txt"), "");
    writeFile(world.host("D:\\A.TXT"), "");
    writeFile(world.host("D:\\.hidden"), "");
    writeFile(world.host("D:\\SUB\\inner"), "");
    ASSERT_EQ(symlink("/nowhere", world.host("D:\\dangling").c_str()), 0);
    // Names a Windows path cannot express: a backslash in a file name, a control character in a directory's.
    writeFile(world.drive('D') + "/back\\slash", "");
    makeDirs(world.drive('D') + "/tab\there");
    freshList(world.state);

    ScanCounts counts;
    counts.skipped = 5;  // counts add up over calls
    DirectoryFiles files;
    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "D:\\", &counts, &files).ok());
    EXPECT_EQ(entries(world.state), (Strings{"\\", "\\SUB\\"}));
    EXPECT_EQ(counts.skipped, 7u);
    EXPECT_EQ(names(files, 1), (Strings{".hidden", "A.TXT", "b.txt", "dangling"}));
    EXPECT_EQ(names(files, 2), (Strings{"inner"}));
    EXPECT_TRUE(names(files, 3).empty());
}

TEST(ReadDirectoryTree, LetsWindowEventsRunDuringLongScansButNotOncePerDirectory)
{
    World world({'C', 'D'});
    for (int i = 0; i < 120; ++i) {
        makeDirs(world.drive('D') + "/d" + std::to_string(i));
    }
    HookedFileSystem& fs = HookedFileSystem::install(world);
    // A slow disk: 2 ms a directory, about a quarter of a second for the drive.
    fs.onRead = [](std::string_view) { std::this_thread::sleep_for(std::chrono::milliseconds(2)); };
    freshList(world.state);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadDirectoryTree(world.ctx(), "D:\\").ok());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(fs.reads, 121);
    EXPECT_GE(world.events.calls, 1);
    EXPECT_LE(world.events.calls, 1 + static_cast<int>(seconds * 25));
    EXPECT_LT(world.events.calls, 121 / 8 + 1);
}

// ---- The exchange sort --------------------------------------------------------------------------------------

// The exchange sort exactly as BEFORE.DAT defines its order: two loops, an exchange whenever a later entry
// is strictly longer than the current one.
void literalExchangeSort(Strings& list, std::size_t first, std::size_t last)
{
    for (std::size_t i = first; i < last; ++i) {
        for (std::size_t j = last; j > i; --j) {
            if (list[j].size() > list[i].size()) {
                list[i].swap(list[j]);
            }
        }
    }
}

// Distinct entries whose lengths come from a small range, so that ties are everywhere; each entry names its
// original position, so an order that differs only among equal lengths still shows.
Strings randomEntries(std::mt19937& rng, std::size_t n, unsigned distinctLengths)
{
    Strings list(n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::string id = std::to_string(k) + ":";
        const std::size_t length = id.size() + 8 + rng() % distinctLengths;
        list[k] = id + std::string(length - id.size(), 'x');
    }
    return list;
}

TEST(ExchangeSortByLength, GivesTheTwoLoopsOrderTiesIncludedOnRandomLists)
{
    std::mt19937 rng(20240607);
    int lists = 0;
    for (std::size_t n = 0; n <= 40; ++n) {
        for (unsigned distinct : {1u, 2u, 3u, 5u, 40u}) {
            for (int round = 0; round < 12; ++round) {
                Strings list = randomEntries(rng, n, distinct);
                Strings expected = list;
                if (n >= 2) {
                    literalExchangeSort(expected, 0, n - 1);
                }
                if (n >= 1) {
                    ExchangeSortByLength(list, 0, n - 1);
                }
                ASSERT_EQ(list, expected) << "n " << n << " distinct lengths " << distinct;
                ++lists;
            }
        }
    }
    for (std::size_t n : {257u, 1000u, 3001u}) {
        for (unsigned distinct : {2u, 7u, 60u}) {
            Strings list = randomEntries(rng, n, distinct);
            Strings expected = list;
            literalExchangeSort(expected, 0, n - 1);
            ExchangeSortByLength(list, 0, n - 1);
            ASSERT_EQ(list, expected) << "n " << n << " distinct lengths " << distinct;
            ++lists;
        }
    }
    EXPECT_EQ(lists, 41 * 5 * 12 + 9);
}

TEST(ExchangeSortByLength, GivesTheTwoLoopsOrderOnOrderedAndBreadthFirstShapes)
{
    // Lists already ascending (as a breadth-first scan mostly is), descending, and ascending in steps.
    std::vector<Strings> shapes;
    Strings ascending, descending, steps;
    for (int k = 0; k < 300; ++k) {
        ascending.push_back(std::to_string(k) + std::string(static_cast<std::size_t>(k / 3), 'a'));
        descending.push_back(std::to_string(k) + std::string(static_cast<std::size_t>(300 - k) / 4, 'd'));
        steps.push_back(std::to_string(k) + std::string(static_cast<std::size_t>(k % 17 + k / 50), 's'));
    }
    for (const Strings& shape : {ascending, descending, steps}) {
        Strings list = shape;
        Strings expected = shape;
        literalExchangeSort(expected, 0, shape.size() - 1);
        ExchangeSortByLength(list, 0, shape.size() - 1);
        EXPECT_EQ(list, expected);
    }
}

TEST(ExchangeSortByLength, SortsOnlyTheGivenRange)
{
    Strings list{"a", "b", "ccc", "dd", "eeee", "ff", "g"};
    ExchangeSortByLength(list, 1, 5);
    EXPECT_EQ(list, (Strings{"a", "eeee", "ccc", "dd", "ff", "b", "g"}));
}

TEST(ExchangeSortPermutation, SaysWhereEachEntryEnds)
{
    // Lengths 1, 3, 3: the first pass exchanges entries 0 and 2 and then finds entry 1 not strictly longer.
    EXPECT_EQ(ExchangeSortPermutation({1, 3, 3}), (std::vector<std::size_t>{2, 1, 0}));
    EXPECT_EQ(ExchangeSortPermutation({}), std::vector<std::size_t>{});
    EXPECT_EQ(ExchangeSortPermutation({4}), std::vector<std::size_t>{0});
    EXPECT_EQ(ExchangeSortPermutation({2, 2}), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(ExchangeSortPermutation({2, 5}), (std::vector<std::size_t>{1, 0}));
}

// The two loops on the lengths alone: where each entry ends.
std::vector<std::size_t> literalPermutation(std::vector<std::uint32_t> lengths)
{
    std::vector<std::size_t> order(lengths.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
        for (std::size_t j = lengths.size() - 1; j > i; --j) {
            if (lengths[j] > lengths[i]) {
                std::swap(lengths[i], lengths[j]);
                std::swap(order[i], order[j]);
            }
        }
    }
    return order;
}

TEST(ExchangeSortPermutation, GivesTheTwoLoopsOrderOnLongListsAndVeryLongPaths)
{
    // Lists long enough that exchanges reach across many runs of 64 and 4096 positions, mostly ascending as a
    // breadth-first list is; lengths just below 32768, and beyond it, which a very deep tree's paths reach.
    struct Case {
        std::size_t n;
        std::uint32_t base;
        unsigned spread;
    };
    std::mt19937 rng(20261208);
    for (const Case& c : {Case{9000, 1, 40}, Case{5000, 32740, 16}, Case{4097, 70000, 3}}) {
        std::vector<std::uint32_t> lengths(c.n);
        for (std::size_t k = 0; k < c.n; ++k) {
            lengths[k] = c.base + static_cast<std::uint32_t>(k * 12 / c.n) + rng() % c.spread;
        }
        EXPECT_EQ(ExchangeSortPermutation(lengths), literalPermutation(lengths)) << "n " << c.n << " from " << c.base;
    }
}

TEST(SortDirListByLength, EqualLengthsMoveOnlyWhenAStrictlyLongerEntryIsFound)
{
    State state;
    state.DirList = {"", "\\", "\\A\\", "\\B\\", "\\C\\"};
    state.DirCount = 4;
    SortDirListByLength(state);
    // Pass 1 exchanges the root with the last entry; later passes find no strictly longer entry.
    EXPECT_EQ(state.DirList, (Strings{"", "\\C\\", "\\A\\", "\\B\\", "\\"}));

    state.DirList = {"", "\\B\\", "\\A\\", "\\C\\", "\\"};
    SortDirListByLength(state);
    EXPECT_EQ(state.DirList, (Strings{"", "\\B\\", "\\A\\", "\\C\\", "\\"}));

    state.DirList = {"", "\\ONLY\\", "spare"};
    state.DirCount = 1;
    SortDirListByLength(state);
    EXPECT_EQ(state.DirList, (Strings{"", "\\ONLY\\", "spare"}));
}

// ---- ReportSkippedNames ---------------------------------------------------------------------------------------

TEST(ReportSkippedNames, SaysHowManyNamesWerePassedOverAndNothingWhenNone)
{
    ScriptedPrompts prompts;
    ReportSkippedNames(prompts, 0);
    EXPECT_TRUE(prompts.prompts().empty());

    ReportSkippedNames(prompts, 3);
    ASSERT_EQ(prompts.messages().size(), 1u);
    const ScriptedPrompts::Prompt shown = prompts.messages()[0];
    EXPECT_EQ(shown.text,
              "3 file or directory names were passed over because a Windows path cannot express them "
              "(they hold a backslash or a control character).");
    EXPECT_EQ(shown.buttons, Buttons::Ok);
    EXPECT_EQ(shown.icon, Icon::Information);
    EXPECT_EQ(shown.title, "Morvane");
}

}  // namespace
}  // namespace morvane::test
