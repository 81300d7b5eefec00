#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "changes/create_after_file.h"
#include "snapshot/create_before_file.h"
#include "tests/snapshot/hooked_file_system.h"
#include "tests/support/doubles.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

struct Records {
    Lines before, after, messages;  // the record files without the lines of the folders that came and went
    bool vanishedNewFolderRecorded = false;
};

// One BEFORE file, installation and AFTER file of a tree that stays put; with `moving`, folders come, go and
// turn into a file or a link while each scan runs, and a thread creates and removes nested folders meanwhile.
Records RecordCycle(bool moving)
{
    World world;
    HookedFileSystem& hooked = HookedFileSystem::install(world);
    // Paths of distinct lengths: the order of the directory lines does not depend on what else the drive holds.
    std::set<std::size_t> lengths{1, 9};  // "\" and "\WINDOWS\"
    Lines dirs;
    for (int k = 0; k < 24; ++k) {
        std::string path = (k < 6 ? std::string("\\") : dirs[static_cast<std::size_t>(k - 6) / 3]) + char('A' + k);
        while (lengths.contains(path.size() + 1)) {
            path += 'x';
        }
        lengths.insert(path.size() + 1);
        dirs.push_back(path + "\\");
        writeFile(world.host("C:" + dirs.back() + "ONE.TXT"), "");
        writeFile(world.host("C:" + dirs.back() + "two.txt"), "");
    }
    const auto at = [&](int dir, const std::string& rest) { return world.host("C:" + dirs[dir]) + rest; };
    const auto arrange = [&](bool newFolder) {
        fs::remove_all(at(1, "MOVEFILE"));
        fs::remove_all(at(2, "MOVELINK"));
        writeFile(at(1, "MOVEFILE/sub/IN.TXT"), "");
        writeFile(at(2, "MOVELINK/IN.TXT"), "");
        writeFile(at(3, "MOVEDEEP/a/b/IN.TXT"), "");
        if (newFolder) {
            writeFile(at(4, "MOVEGONE/sub/IN.TXT"), "");
        }
    };
    std::atomic<int> rounds = 0;
    const auto churn = [&] {
        return std::jthread([&, under = at(6, "MOVET")](std::stop_token stop) {
            for (int i = 0; i < 1000000 && !stop.stop_requested(); ++i, ++rounds) {
                std::error_code ignored;
                fs::create_directories(under + std::to_string(i % 4) + "/n/n/n", ignored);
                fs::remove_all(under + std::to_string(i % 4), ignored);
            }
        });
    };
    hooked.onRead = [&](std::string_view read) {
        const std::string dir = std::string(read).substr(2);
        if (!moving) {
            return;
        }
        if (dir == "\\") {
            writeFile(at(5, "MOVENEW/x/y/IN.TXT"), "");  // where the scan has yet to come
        } else if (dir == dirs[1] + "MOVEFILE\\") {
            fs::remove_all(at(1, "MOVEFILE"));
            writeFile(at(1, "MOVEFILE"), "now a file");
        } else if (dir == dirs[2] + "MOVELINK\\") {
            fs::remove_all(at(2, "MOVELINK"));
            EXPECT_EQ(symlink("..", at(2, "MOVELINK").c_str()), 0);
        } else if (dir == dirs[3] + "MOVEDEEP\\a\\") {
            fs::remove_all(at(3, "MOVEDEEP"));  // its parent goes with it
        } else if (dir == dirs[4] + "MOVEGONE\\") {
            fs::remove_all(at(4, "MOVEGONE"));
        } else if (dir == dirs[6]) {  // let the thread go round while the scan runs
            const int target = rounds + 20;
            for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                 rounds < target && std::chrono::steady_clock::now() < end;) {
                std::this_thread::yield();
            }
        }
    };
    const auto without = [&](const std::string& record) {
        Lines kept;
        const auto lines = world.fs->readLines(world.data(record));
        for (const std::string& line : lines ? *lines : Lines{}) {
            if (line.find("\\MOVE") == std::string::npos) {
                kept.push_back(line);
            }
        }
        return kept;
    };

    Records records;
    world.prompts.type("Tool");
    world.prompts.type("C");
    if (moving) {
        arrange(false);
    }
    {
        std::jthread thread = moving ? churn() : std::jthread();
        CreateBeforeFile(world.ctx());
    }
    records.before = without("BEFORE.DAT");

    writeFile(world.host("C:\\APPLICATION\\BIN\\TOOL"), "");  // the installation
    writeFile(at(7, "NEW.TXT"), "");
    fs::remove(at(8, "ONE.TXT"));
    if (moving) {
        arrange(true);
    }
    {
        std::jthread thread = moving ? churn() : std::jthread();
        CreateAfterFile(world.ctx());
    }
    records.after = without("AFTER1.DAT");
    records.vanishedNewFolderRecorded = readFile(world.data("AFTER1.DAT")).find("MOVEGONE") != std::string::npos;
    records.messages = world.prompts.messageTexts();
    return records;
}

TEST(LiveTree, ScansCompleteWhileFoldersComeAndGoAndRecordTheTreeThatStayed)
{
    const Records still = RecordCycle(false);
    const Records live = RecordCycle(true);
    EXPECT_EQ(live.messages, Lines{});
    ASSERT_EQ(still.before.size(), 2 + 26 + 48 + 8u);
    EXPECT_EQ(live.before, still.before);
    EXPECT_EQ(live.after, still.after);
    // Gone when the walk came to it: not on the drive, so Delete program must not take it for the program's.
    EXPECT_FALSE(live.vanishedNewFolderRecorded);
}

}  // namespace
}  // namespace morvane::test
