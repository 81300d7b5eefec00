// With the real Wine: the wineserver's lock as RunningServer and ServerLock see it, and the null run (a Wine program
// that changes nothing) that must give no changes at all. Every Wine here runs in temporary folders (prefix, home,
// data, config, TMPDIR), and its wineserver is ended before the test ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/temp_dir.h"
#include "wine/prefix_state.h"
#include "wine/wineserver.h"

extern char** environ;

namespace morvane::wine {
namespace {

using test::TempDir;

// Points Wine and this process at temporary folders, and ends the prefix's wineserver when it goes.
class WineWorld {
public:
    WineWorld()
    {
        set("WINEPREFIX", m_dir / "prefix");
        set("HOME", m_dir / "home");
        set("TMPDIR", m_dir / "tmp");
        set("XDG_DATA_HOME", m_dir / "data");
        set("XDG_CONFIG_HOME", m_dir / "config");
        set("XDG_RUNTIME_DIR", m_dir / "runtime");
        set("WINEDEBUG", "-all");
        // No Mono or Gecko to install, no display to use: the same prefix on every machine.
        set("WINEDLLOVERRIDES", "mscoree,mshtml=");
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        for (const char* folder : {"prefix", "home", "tmp", "data", "config", "runtime"}) {
            test::makeDirs(m_dir / folder);
        }
    }
    ~WineWorld()
    {
        run("wineserver -k");
        run("wineserver -w");
    }

    std::string prefix() const { return m_dir / "prefix"; }
    std::string path(const char* relative) const { return m_dir / relative; }

    // Runs a shell command with the world's environment; its exit status.
    static int run(const std::string& command)
    {
        const int status = std::system((command + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    static void set(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

    TempDir m_dir;
};

std::string ProcessName(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// Waits up to `seconds` for RunningServer to say what `want` says (a server or none).
Result<std::optional<pid_t>> WaitForServer(const std::string& prefix, bool want, int seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        auto server = RunningServer(prefix);
        if (!server || server->has_value() == want || std::chrono::steady_clock::now() > until) {
            return server;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

TEST(WineserverTest, TheLockFollowsTheServer)
{
    WineWorld world;
    auto none = RunningServer(world.prefix());
    ASSERT_TRUE(none.ok()) << none.error().describe();
    EXPECT_FALSE(none->has_value());

    ASSERT_EQ(WineWorld::run("wineserver -p &"), 0);
    auto running = WaitForServer(world.prefix(), true, 20);
    ASSERT_TRUE(running.ok()) << running.error().describe();
    ASSERT_TRUE(running->has_value());
    EXPECT_EQ(ProcessName(**running).rfind("wineserver", 0), 0u) << ProcessName(**running);

    // While it runs, the lock cannot be taken, and the reason names the server's process.
    auto refused = ServerLock::take(world.prefix());
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, ErrorKind::Other);
    EXPECT_NE(refused.error().reason.find(std::to_string(**running)), std::string::npos) << refused.error().reason;

    EXPECT_EQ(WineWorld::run("wineserver -k"), 0);
    WineWorld::run("wineserver -w");
    auto ended = RunningServer(world.prefix());
    ASSERT_TRUE(ended.ok()) << ended.error().describe();
    EXPECT_FALSE(ended->has_value());

    // Held by Morvane, the lock keeps a wineserver from starting: it ends at once, and nothing runs for the
    // prefix; RunningServer in the same process names no server.
    auto lock = ServerLock::take(world.prefix());
    ASSERT_TRUE(lock.ok()) << lock.error().describe();
    auto ours = RunningServer(world.prefix());
    ASSERT_TRUE(ours.ok());
    EXPECT_FALSE(ours->has_value());
    EXPECT_EQ(WineWorld::run("timeout 20 wineserver -p"), 2);
    // Taking it twice from one process would fail: the lock is one per prefix, even within Morvane.
    auto twice = ServerLock::take(world.prefix());
    EXPECT_FALSE(twice.ok());
    lock->reset();

    // Let go, a server starts again.
    ASSERT_EQ(WineWorld::run("wineserver -p &"), 0);
    auto again = WaitForServer(world.prefix(), true, 20);
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again->has_value());
}

// What a prefix holds after a Wine program, read once its server has written the files.
PrefixSnapshot StateAfter(const WineWorld& world, const std::string& command)
{
    EXPECT_EQ(WineWorld::run(command), 0) << command;
    WineWorld::run("wineserver -w");
    FileSystem fs{DriveMap()};
    auto state = ReadPrefixState(fs, world.prefix());
    EXPECT_TRUE(state.ok()) << state.error().describe();
    return state.ok() ? std::move(*state) : PrefixSnapshot{};
}

TEST(NullRunTest, AWineProgramThatChangesNothingGivesNoChanges)
{
    WineWorld world;
    const PrefixSnapshot made = StateAfter(world, "wineboot -i");
    ASSERT_TRUE(made.hives[0].has_value());
    ASSERT_TRUE(made.hives[1].has_value());

    // Twice: the first session after wineboot changes more than the later ones.
    PrefixSnapshot before = made;
    for (int run = 1; run <= 2; ++run) {
        const PrefixSnapshot after = StateAfter(world, "wine cmd /c exit");
        auto changes = FindPrefixChanges(before, after);
        ASSERT_TRUE(changes.ok()) << changes.error().describe();
        EXPECT_TRUE(changes->registry.empty()) << "run " << run << ": " << changes->registry.size() << " changes";
        EXPECT_TRUE(changes->desktop.empty()) << "run " << run;
        EXPECT_TRUE(changes->desktopFolders.empty()) << "run " << run;
        EXPECT_EQ(changes->arch[0], "win64");
        before = after;
    }

    // A program that does change the registry: exactly its key and value.
    const PrefixSnapshot changed =
        StateAfter(world, "wine reg add 'HKCU\\Software\\Morvane Test' /v Name /t REG_DWORD /d 7 /f");
    auto changes = FindPrefixChanges(before, changed);
    ASSERT_TRUE(changes.ok()) << changes.error().describe();
    const std::vector<RegistryChange> expected = {
        {RegistryChange::Kind::KeyAdded, Hive::User, u"Software\\Morvane Test", u"", std::nullopt, std::nullopt},
        {RegistryChange::Kind::ValueAdded, Hive::User, u"Software\\Morvane Test", u"Name", std::nullopt,
         RecordedData{kRegDword, std::string("\7\0\0\0", 4)}},
    };
    EXPECT_EQ(changes->registry, expected);
}

}  // namespace
}  // namespace morvane::wine
