#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
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

// Directories of the tree that stays put. Their paths all differ in length, so the order of the directory lines
// does not depend on what else the drive holds meanwhile.
Lines StaticDirectories()
{
    std::set<std::size_t> lengths{1, std::string("\\WINDOWS\\").size()};
    Lines dirs;
    for (int k = 0; k < 24; ++k) {
        const std::string parent = k < 6 ? "\\" : dirs[static_cast<std::size_t>(k - 6) / 3];
        std::string name(1, static_cast<char>('A' + k));
        while (lengths.contains(parent.size() + name.size() + 1)) {
            name += 'x';
        }
        lengths.insert(parent.size() + name.size() + 1);
        dirs.push_back(parent + name + "\\");
    }
    return dirs;
}

Lines ReadLines(const std::string& path)
{
    Lines lines;
    std::string text = readFile(path);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// Leaves out the lines of the folders that came and went.
Lines WithoutMoving(const Lines& lines)
{
    Lines out;
    for (const std::string& line : lines) {
        if (line.find("\\MOVE") == std::string::npos) {
            out.push_back(line);
        }
    }
    return out;
}

struct Records {
    Lines before;
    Lines after;
    Lines messages;
};

// Creates and removes nested folders under one directory until told to stop (and at most a bounded number of
// times), as a build or a package manager does while the scan runs.
class Churn {
public:
    explicit Churn(std::string under) : m_under(std::move(under))
    {
        m_thread = std::thread([this] {
            for (int i = 0; i < 200000 && !m_stop.load(); ++i) {
                const std::string top = m_under + "/MOVET" + std::to_string(i % 4);
                std::error_code ignored;
                fs::create_directories(top + "/n/n/n", ignored);
                writeFile(top + "/n/file", "");
                fs::remove_all(top, ignored);
                ++m_rounds;
            }
        });
    }
    ~Churn()
    {
        m_stop = true;
        m_thread.join();
    }
    // Waits until the thread has gone round a few more times, so that it surely runs while the scan does.
    void waitForRounds(int more) const
    {
        const int target = m_rounds.load() + more;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (m_rounds.load() < target && std::chrono::steady_clock::now() < limit) {
            std::this_thread::yield();
        }
    }

private:
    std::string m_under;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_rounds{0};
    std::thread m_thread;
};

// One BEFORE/installation/AFTER cycle on the static tree; with `moving`, folders appear, vanish and turn into a
// file or a link while each scan runs.
Records RecordCycle(bool moving)
{
    World world;
    const Lines dirs = StaticDirectories();
    for (const std::string& dir : dirs) {
        writeFile(world.host("C:" + dir + "ONE.TXT"), "");
        writeFile(world.host("C:" + dir + "two.txt"), "");
    }
    HookedFileSystem& hooked = HookedFileSystem::install(world);
    const auto at = [&](const std::string& dir, const std::string& rest) { return world.host("C:" + dir) + rest; };
    std::unique_ptr<Churn> churn;
    // Folders that are in place when a command starts and change when the scan comes to read them.
    const auto arrange = [&](bool beforeAfter) {
        fs::remove_all(at(dirs[1], "MOVEFILE"));
        writeFile(at(dirs[1], "MOVEFILE/sub/IN.TXT"), "");
        fs::remove_all(at(dirs[2], "MOVELINK"));
        writeFile(at(dirs[2], "MOVELINK/IN.TXT"), "");
        writeFile(at(dirs[3], "MOVEDEEP/a/b/IN.TXT"), "");
        if (beforeAfter) {
            writeFile(at(dirs[4], "MOVEGONE/sub/IN.TXT"), "");  // new since the BEFORE file
        }
    };
    hooked.onRead = [&](std::string_view dir) {
        if (!moving) {
            return;
        }
        const std::string d(dir);
        if (d == "C:\\") {
            writeFile(at(dirs[5], "MOVENEW/x/y/IN.TXT"), "");  // not read yet: the scan will come to it
        } else if (d == "C:" + dirs[1] + "MOVEFILE\\") {
            fs::remove_all(at(dirs[1], "MOVEFILE"));
            writeFile(at(dirs[1], "MOVEFILE"), "now a file");
        } else if (d == "C:" + dirs[2] + "MOVELINK\\") {
            fs::remove_all(at(dirs[2], "MOVELINK"));
            EXPECT_EQ(symlink("..", at(dirs[2], "MOVELINK").c_str()), 0);
        } else if (d == "C:" + dirs[3] + "MOVEDEEP\\a\\") {
            fs::remove_all(at(dirs[3], "MOVEDEEP"));  // its parent goes with it
        } else if (d == "C:" + dirs[4] + "MOVEGONE\\") {
            fs::remove_all(at(dirs[4], "MOVEGONE"));
        } else if (d == "C:" + dirs[6]) {
            churn->waitForRounds(20);
        }
    };

    if (moving) {
        arrange(false);
        churn = std::make_unique<Churn>(at(dirs[6], ""));
    }
    world.prompts.type("Tool");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());
    churn.reset();
    Records records;
    records.before = ReadLines(world.data("BEFORE.DAT"));

    // The installation.
    writeFile(world.host("C:\\APPLICATION\\BIN\\TOOL"), "");
    writeFile(world.host("C:\\APPLICATION\\README"), "");
    writeFile(world.host("C:" + dirs[7] + "NEW.TXT"), "");
    fs::remove(world.host("C:" + dirs[8] + "ONE.TXT"));

    if (moving) {
        arrange(true);
        churn = std::make_unique<Churn>(at(dirs[6], ""));
    }
    CreateAfterFile(world.ctx());
    churn.reset();
    records.after = ReadLines(world.data("AFTER1.DAT"));
    records.messages = world.prompts.messageTexts();
    return records;
}

TEST(LiveTree, ScansCompleteWhileFoldersComeAndGoAndRecordTheTreeThatStayed)
{
    const Records still = RecordCycle(false);
    const Records live = RecordCycle(true);
    const Lines dirs = StaticDirectories();

    EXPECT_EQ(live.messages, Lines{});
    ASSERT_FALSE(still.before.empty());
    EXPECT_EQ(WithoutMoving(live.before), still.before);
    EXPECT_EQ(WithoutMoving(live.after), still.after);

    // A folder replaced by a file while the BEFORE scan ran stands in the snapshot as an empty directory; one that
    // was there only for the scan's listing of the drive as it is now is not in the AFTER file, nor anything that
    // vanished or became a file or a link (Delete program would otherwise remove what later stands there).
    const std::string replaced = dirs[1] + "MOVEFILE\\";
    Lines underReplaced;
    for (const std::string& line : live.before) {
        if (line.starts_with(replaced)) {
            underReplaced.push_back(line);
        }
    }
    EXPECT_EQ(underReplaced, Lines{replaced});
    for (const std::string& line : live.after) {
        for (const char* name : {"MOVEFILE", "MOVELINK", "MOVEDEEP", "MOVEGONE"}) {
            EXPECT_EQ(line.find(name), std::string::npos) << line;
        }
    }
    // The folder created during the scan where the scan had yet to come is recorded with what it held.
    EXPECT_NE(std::find(live.before.begin(), live.before.end(), dirs[5] + "MOVENEW\\x\\y\\IN.TXT"), live.before.end());
}

}  // namespace
}  // namespace morvane::test
