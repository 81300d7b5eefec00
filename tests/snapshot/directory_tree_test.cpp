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

// The entries 1..DirCount of a list.
Strings entries(const DirList& list)
{
    return Strings(list.slots().begin() + 1, list.slots().end());
}

// A list holding `entries` from entry 1 on.
DirList listOf(Strings entries)
{
    entries.insert(entries.begin(), std::string());
    return DirList(std::move(entries));
}

Strings names(const DirectoryFiles& files, long entry)
{
    Strings out;
    for (std::string_view name : files.of(entry)) {
        out.emplace_back(name);
    }
    return out;
}

// ---- ReadDirectoryTree ----------------------------------------------------------------------------------

TEST(ReadDirectoryTree, ListsBreadthFirstWithoutTheDriveAndSortsLongestFirst)
{
    World world({'C', 'D'});
    makeDirs(world.host("D:\\A\\X"));
    makeDirs(world.host("D:\\B"));

    Result<DirList> list = ReadDirectoryTree(world.ctx(), "D:\\");
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(entries(*list), (Strings{"\\", "\\A\\", "\\B\\", "\\A\\X\\"}));
    EXPECT_EQ(list->DirCount(), 4);
    EXPECT_EQ((*list)[0], "");

    // Entry k + 1 of the sorted list was entry order[k] + 1 of the scan's.
    EXPECT_EQ(SortDirListByLength(*list), (std::vector<std::size_t>{3, 1, 2, 0}));
    EXPECT_EQ(entries(*list), (Strings{"\\A\\X\\", "\\A\\", "\\B\\", "\\"}));
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

    const Result<DirList> list = ReadDirectoryTree(world.ctx(), "D:\\");
    ASSERT_TRUE(list.ok());
    // Sorted by upper-case form (".", letters, "_"), equal forms in byte order ("AB" before "ab"); the groups
    // of the second level follow their parents' order: A's child before b's.
    EXPECT_EQ(entries(*list), (Strings{"\\", "\\.hid\\", "\\A\\", "\\a1\\", "\\AB\\", "\\ab\\", "\\b\\", "\\_z\\",
                                       "\\A\\q\\", "\\b\\1\\", "\\b\\2\\"}));
}

TEST(ReadDirectoryTree, AnEmptyDriveListsTheRootAlone)
{
    World world({'C', 'D'});

    const Result<DirList> list = ReadDirectoryTree(world.ctx(), "D:\\");
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(list->DirCount(), 1);
    EXPECT_EQ((*list)[1], "\\");
}

TEST(ReadDirectoryTree, ReadsEachDirectoryWithItsDriveAndListsItWithout)
{
    World world({'C', 'D'});
    makeDirs(world.host("D:\\NEW"));
    HookedFileSystem& fs = HookedFileSystem::install(world);
    Strings read;
    fs.onRead = [&read](std::string_view dir) { read.emplace_back(dir); };

    const Result<DirList> list = ReadDirectoryTree(world.ctx(), "D:\\");
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(read, (Strings{"D:\\", "D:\\NEW\\"}));
    EXPECT_EQ(entries(*list), (Strings{"\\", "\\NEW\\"}));
}

TEST(ReadDirectoryTree, ListsEveryDirectoryPastTheFirstHundred)
{
    World world({'C', 'D', 'E'});
    for (int i = 0; i < 99; ++i) {
        makeDirs(world.drive('D') + "/d" + std::to_string(100 + i));
        makeDirs(world.drive('E') + "/e" + std::to_string(100 + i));
    }
    makeDirs(world.drive('E') + "/e199");

    const Result<DirList> hundred = ReadDirectoryTree(world.ctx(), "D:\\");
    ASSERT_TRUE(hundred.ok());
    EXPECT_EQ(hundred->DirCount(), 100);

    const Result<DirList> more = ReadDirectoryTree(world.ctx(), "E:\\");
    ASSERT_TRUE(more.ok());
    EXPECT_EQ(more->DirCount(), 101);
    EXPECT_EQ((*more)[101], "\\e199\\");
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
    const Result<DirList> list = ReadDirectoryTree(world.ctx(), "D:\\");
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(fs.reads, 33034);
    EXPECT_EQ(list->DirCount(), 33034);
    EXPECT_EQ((*list)[34], "\\p32\\");
    EXPECT_EQ((*list)[33034], "\\p32\\999\\");
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
    Strings read;
    fs.onRead = [&read](std::string_view dir) { read.emplace_back(dir); };

    const Result<DirList> list = ReadDirectoryTree(world.ctx(), "D:\\");
    ASSERT_FALSE(list.ok());
    EXPECT_EQ(list.error().path, "D:\\A\\B\\");
    EXPECT_EQ(list.error().reason, "Permission denied");
    // Nothing below the failing directory was read.
    EXPECT_EQ(read, (Strings{"D:\\", "D:\\A\\", "D:\\Z\\", "D:\\A\\B\\"}));
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

    ScanCounts counts;
    counts.skipped = 5;  // counts add up over calls
    DirectoryFiles files;
    const Result<DirList> list = ReadDirectoryTree(world.ctx(), "D:\\", &counts, &files);
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(entries(*list), (Strings{"\\", "\\SUB\\"}));
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
    DirList list = listOf({"\\", "\\A\\", "\\B\\", "\\C\\"});
    EXPECT_EQ(SortDirListByLength(list), (std::vector<std::size_t>{3, 1, 2, 0}));
    // Pass 1 exchanges the root with the last entry; later passes find no strictly longer entry.
    EXPECT_EQ(entries(list), (Strings{"\\C\\", "\\A\\", "\\B\\", "\\"}));

    list = listOf({"\\B\\", "\\A\\", "\\C\\", "\\"});
    SortDirListByLength(list);
    EXPECT_EQ(entries(list), (Strings{"\\B\\", "\\A\\", "\\C\\", "\\"}));

    list = listOf({"\\ONLY\\"});
    EXPECT_EQ(SortDirListByLength(list), std::vector<std::size_t>{0});
    EXPECT_EQ(entries(list), Strings{"\\ONLY\\"});
    EXPECT_EQ(list.DirCount(), 1);
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
