// Records and system files under a crash at any moment and on a full disk: a command stopped with SIGKILL
// leaves nothing that passes for a good record and no half-written system file; a disk that runs out of space
// is reported with the system's reason and leaves the same guarantees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <sstream>

#include "changes/create_after_file.h"
#include "core/helpers.h"
#include "records/after_file_reader.h"
#include "records/normalize.h"
#include "records/record_format.h"
#include "removal/delete_program.h"
#include "removal/restore_system_file.h"
#include "report/show_report.h"
#include "snapshot/create_before_file.h"
#include "tests/hardening/hardening_support.h"
#include "tests/snapshot/hooked_file_system.h"
#include "tests/support/doubles.h"

namespace morvane::test {
namespace {

using Lines = std::vector<std::string>;
using State = std::map<std::string, std::string>;

// Up to five paths whose state differs, with both states; empty when none does.
std::string Differences(const State& expected, const State& actual)
{
    std::ostringstream out;
    int shown = 0;
    auto note = [&](const std::string& path, const std::string& was, const std::string& is) {
        if (shown++ < 5) {
            out << path << ": " << was.substr(0, 60) << " -> " << is.substr(0, 60) << "\n";
        }
    };
    for (const auto& [path, value] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end()) {
            note(path, value, "<gone>");
        } else if (it->second != value) {
            note(path, value, it->second);
        }
    }
    for (const auto& [path, value] : actual) {
        if (!expected.contains(path)) {
            note(path, "<absent>", value);
        }
    }
    return out.str();
}

std::string Padded(const char* stem, int n)
{
    return stem + std::to_string(1000 + n);
}

// A drive with `folders` program folders of `files` empty files each, all with long names, so that a record of
// it takes several buffers.
void BuildTree(World& world, int folders, int files)
{
    for (int d = 0; d < folders; ++d) {
        const std::string folder = world.drive('C') + "/PROGRAMS/GROUP" + std::to_string(d / 10) + "/" +
                                   Padded("APPLICATION_FOLDER_WITH_A_LONG_NAME_", d);
        makeDirs(folder);
        for (int f = 0; f < files; ++f) {
            writeFile(folder + "/" + Padded("component_library_with_a_long_name_", f) + ".dll", "");
        }
    }
}

// New files in every old program folder and a new folder, as an installation leaves them.
void Install(World& world, int folders, int files)
{
    makeDirs(world.drive('C') + "/NEWAPP/BIN");
    writeFile(world.drive('C') + "/NEWAPP/BIN/NEWAPP.EXE", "MZ");
    for (int d = 0; d < folders; ++d) {
        const std::string folder = world.drive('C') + "/PROGRAMS/GROUP" + std::to_string(d / 10) + "/" +
                                   Padded("APPLICATION_FOLDER_WITH_A_LONG_NAME_", d);
        for (int f = 0; f < files; ++f) {
            writeFile(folder + "/" + Padded("installed_module_with_an_even_longer_name_", f) + ".ocx", "");
        }
    }
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]", "load=", "[NewApp]", "dir=C:\\NEWAPP"}));
}

// The four configuration files: before and right after an installation, and now. WIN.INI is large, so that
// its restoration writes it in several pieces.
struct ConfigCase {
    Lines old, installed, now;
};

std::array<ConfigCase, 4> ConfigCases()
{
    Lines bigOld, bigInstalled;
    for (int i = 0; i < 1300; ++i) {
        bigOld.push_back("setting" + std::to_string(i) + "=a value long enough to fill a few buffers " +
                         std::to_string(i));
    }
    bigInstalled = bigOld;
    bigInstalled.push_back("[NewApp]");
    bigInstalled.push_back("dir=C:\\NEWAPP");
    return {{
        // AUTOEXEC.BAT: changed since, merged; the PATH line is placed by the key rule.
        {{"@ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP"},
         {"@ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP"},
         {"@ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP",
          "SET BLASTER=A220"}},
        // CONFIG.SYS: changed since, merged; the removed DEVICE line goes to CONFIG.MIS.
        {{"DEVICE=HIMEM.SYS", "DEVICE=EMM386.EXE", "FILES=30"},
         {"DEVICE=HIMEM.SYS", "FILES=40"},
         {"DEVICE=HIMEM.SYS", "FILES=40", "BUFFERS=20"}},
        // WIN.INI: not changed since, replaced.
        {bigOld, bigInstalled, bigInstalled},
        // SYSTEM.INI: changed since, replaced.
        {{"[boot]", "shell=progman.exe"}, {"[boot]", "shell=newapp.exe"}, {"[boot]", "shell=newapp.exe", "mine=1"}},
    }};
}

void WriteConfigs(World& world, const std::array<ConfigCase, 4>& cases)
{
    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        writeFile(world.host(ConfigFilePath({world.state.BootDrive, world.state.WinDir}, kConfigFiles[k])),
                  crlf(cases[k].now));
    }
}

// The files as the restoration below leaves them: AUTOEXEC.BAT and CONFIG.SYS merged, WIN.INI and SYSTEM.INI
// replaced by their pre-installation lines.
std::array<std::string, 4> RestoredContents(const std::array<ConfigCase, 4>& cases)
{
    std::array<std::string, 4> out;
    for (std::size_t k = 0; k < 4; ++k) {
        RestoreLines lines;
        lines.readSection(ConfigSection{true, cases[k].old, cases[k].installed});
        lines.readCurrent(cases[k].now);
        out[k] = crlf(k < 2 ? lines.merge() : lines.OriginalLines);
    }
    return out;
}

Lines NormalizedLines(const Lines& lines)
{
    Lines out;
    for (const auto& line : lines) {
        out.push_back(NormalizeLine(line));
    }
    return out;
}

class QueuedForm4 : public RestoreOptions {
public:
    explicit QueuedForm4(std::deque<int> choices) : m_choices(std::move(choices)) {}
    int ShowRestoreOptions(const std::string&, const std::string&, bool) override
    {
        const int choice = m_choices.empty() ? 1 : m_choices.front();
        if (!m_choices.empty()) {
            m_choices.pop_front();
        }
        return choice;
    }

private:
    std::deque<int> m_choices;
};

// Restores the four files: merge AUTOEXEC.BAT and CONFIG.SYS, Yes to replacing the unchanged WIN.INI,
// replace SYSTEM.INI.
void RestoreAll(World& world, const std::array<ConfigCase, 4>& cases)
{
    world.prompts.answer(Answer::Yes);
    QueuedForm4 form4({3, 3, 2});
    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        const ConfigSection section{true, cases[k].old, cases[k].installed};
        RestoreSystemFile(world.ctx(), form4, section,
                          SystemFileOf({world.state.BootDrive, world.state.WinDir}, kConfigFiles[k]));
    }
}

// The host paths of a configuration file and of its safety copy and missing-line file.
struct ConfigPaths {
    std::string file, qrv, mis;
};

ConfigPaths PathsOf(World& world, const ConfigFile& config)
{
    const SystemFile file = SystemFileOf({world.state.BootDrive, world.state.WinDir}, config);
    return {world.host(file.path), world.host(file.safetyCopy), world.host(file.missingFile)};
}

// Whether a path of a folder state is a temporary file of an atomic write (".morvane-<hex>.tmp").
bool IsTemporary(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    return name.starts_with(".morvane-") && name.ends_with(".tmp");
}

bool SaysNoSpace(const ScriptedPrompts& prompts)
{
    for (const std::string& text : prompts.messageTexts()) {
        if (text.find(std::strerror(ENOSPC)) != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool AnyAfterFile(World& world)
{
    auto listing = world.fs->list(world.data("AFTER*.DAT"), kNormal | kHidden | kSystem);
    return !listing || !listing->names.empty();
}

// A BEFORE.DAT that is not the complete one is refused by the next command that reads it: Create AFTER file
// says it is damaged and makes no AFTER file. Returns what went wrong, empty when nothing did.
std::string CheckCutBeforeIsRefused(World& world)
{
    world.prompts = ScriptedPrompts();
    CreateAfterFile(world.ctx());
    const Lines messages = world.prompts.messageTexts();
    const std::string damaged = "The BEFORE file " + world.data("BEFORE.DAT") + " is damaged: ";
    std::string wrong;
    if (messages.empty() || !messages[0].starts_with(damaged)) {
        wrong += "not reported as damaged: " + (messages.empty() ? std::string("no message") : messages[0]) + "\n";
    }
    if (AnyAfterFile(world)) {
        wrong += "an AFTER file was made from it\n";
    }
    return wrong;
}

// ---------------------------------------------------------------------------------------------------------
// SIGKILL at any moment

#ifdef MORVANE_SANITIZED
// Under the sanitizers each traced run costs ten times as much; a quarter of the points still takes every phase
// through the instrumented code, and the plain build tries them all.
constexpr long kStops = 30;
#else
constexpr long kStops = 120;
#endif
// How many stops must kill the run before its end (a run may end a little earlier than the first one did).
constexpr long kKilledAtLeast = kStops * 5 / 6;

TEST(CrashAtAnyMoment, ABeforeFileCutShortIsNeverTakenForAGoodOne)
{
    World world;
    world.fs->setScanThreads(1);  // only the calling thread is traced: no reading threads beside it
    BuildTree(world, 120, 12);
    WriteConfigs(world, ConfigCases());
    const State clean = folderState(world.tmp.path());
    auto create = [&] {
        world.prompts.type("Crash Test");
        world.prompts.type("C");
        CreateBeforeFile(world.ctx());
    };
    const long calls = RunKilledAt(create, -1);
    if (calls < 0) {
        GTEST_SKIP() << "tracing a child process is not allowed here";
    }
    const std::string complete = readFile(world.data("BEFORE.DAT"));
    ASSERT_GT(complete.size(), 2u * 65536u) << "the record should take several buffers";
    ASSERT_GE(calls, kStops);

    int cut = 0;
    long killed = 0;
    for (const long stop : SpreadStops(calls, kStops)) {
        ::unlink(world.data("BEFORE.DAT").c_str());
        // Under the sanitizers a run may make a few system calls more or fewer than the first one.
        const long reached = RunKilledAt(create, stop);
        ASSERT_GE(reached, 0);
        killed += reached == stop ? 1 : 0;
        State state = folderState(world.tmp.path());
        const bool present = state.erase("/data/BEFORE.DAT") > 0;
        ASSERT_EQ(Differences(clean, state), "") << "stopped at system call " << stop << " of " << calls;
        if (present && readFile(world.data("BEFORE.DAT")) != complete) {
            ++cut;
            ASSERT_EQ(CheckCutBeforeIsRefused(world), "") << "stopped at system call " << stop;
        }
    }
    EXPECT_GE(killed, kKilledAtLeast);
    EXPECT_GT(cut, kStops / 2) << "most stops should leave a cut-short file behind";
}

TEST(CrashAtAnyMoment, AnAfterFileCutShortIsNeverTakenForAGoodOneAndBeforeGoesOnlyOnceItIsComplete)
{
    World world;
    world.fs->setScanThreads(1);  // only the calling thread is traced: no reading threads beside it
    BuildTree(world, 60, 4);
    WriteConfigs(world, ConfigCases());
    world.prompts.type("Crash Test");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());
    const std::string before = readFile(world.data("BEFORE.DAT"));
    ASSERT_FALSE(before.empty());
    Install(world, 60, 25);
    State installed = folderState(world.tmp.path());
    installed.erase("/data/BEFORE.DAT");

    auto create = [&] { CreateAfterFile(world.ctx()); };
    const long calls = RunKilledAt(create, -1);
    if (calls < 0) {
        GTEST_SKIP() << "tracing a child process is not allowed here";
    }
    const std::string complete = readFile(world.data("AFTER1.DAT"));
    ASSERT_GT(complete.size(), 65536u);
    ASSERT_TRUE(ReadAfterRecord(*world.fs, world.data("AFTER1.DAT")));
    ASSERT_FALSE(pathExists(world.data("BEFORE.DAT")));
    ASSERT_GE(calls, kStops);

    int cut = 0;
    long killed = 0;
    for (const long stop : SpreadStops(calls, kStops)) {
        writeFile(world.data("BEFORE.DAT"), before);
        ::unlink(world.data("AFTER1.DAT").c_str());
        // Under the sanitizers a run may make a few system calls more or fewer than the first one.
        const long reached = RunKilledAt(create, stop);
        ASSERT_GE(reached, 0);
        killed += reached == stop ? 1 : 0;
        State state = folderState(world.tmp.path());
        const bool hasBefore = state.erase("/data/BEFORE.DAT") > 0;
        const bool hasAfter = state.erase("/data/AFTER1.DAT") > 0;
        ASSERT_EQ(Differences(installed, state), "") << "stopped at system call " << stop << " of " << calls;
        const std::string after = hasAfter ? readFile(world.data("AFTER1.DAT")) : std::string();
        if (hasBefore) {
            ASSERT_EQ(readFile(world.data("BEFORE.DAT")), before) << "stopped at system call " << stop;
        } else {
            ASSERT_EQ(after, complete) << "BEFORE.DAT was gone before its AFTER file was complete, stop " << stop;
        }
        if (hasAfter && after != complete) {
            ++cut;
            // The check that runs before a deletion (and the report's reader) refuses it.
            ASSERT_FALSE(ReadAfterRecord(*world.fs, world.data("AFTER1.DAT"))) << "stopped at system call " << stop;
        }
    }
    EXPECT_GE(killed, kKilledAtLeast);
    EXPECT_GT(cut, 0);
}

TEST(CrashAtAnyMoment, ASystemFileIsAlwaysItsOldOrNewContentAndAChangedOneHasItsCompleteSafetyCopy)
{
    World world;
    world.fs->setScanThreads(1);  // only the calling thread is traced: no reading threads beside it
    const auto cases = ConfigCases();
    WriteConfigs(world, cases);
    const State clean = folderState(world.tmp.path());
    auto restore = [&] { RestoreAll(world, cases); };
    const long calls = RunKilledAt(restore, -1);
    if (calls < 0) {
        GTEST_SKIP() << "tracing a child process is not allowed here";
    }
    ASSERT_GE(calls, kStops);
    std::array<ConfigPaths, 4> paths;
    std::array<std::string, 4> restored, qrv, mis;
    for (std::size_t k = 0; k < 4; ++k) {
        paths[k] = PathsOf(world, kConfigFiles[k]);
        restored[k] = readFile(paths[k].file);
        qrv[k] = readFile(paths[k].qrv);
        mis[k] = readFile(paths[k].mis);
        ASSERT_NE(restored[k], crlf(cases[k].now)) << kConfigFiles[k].fileName;
        ASSERT_FALSE(qrv[k].empty()) << kConfigFiles[k].fileName;
    }
    ASSERT_FALSE(mis[1].empty()) << "CONFIG.MIS keeps the line the merge could not place";
    const std::string root = world.tmp.path();
    auto relative = [&](const std::string& host) { return host.substr(root.size()); };
    long killed = 0;

    for (const long stop : SpreadStops(calls, kStops)) {
        State state = folderState(world.tmp.path());
        for (const auto& [path, value] : state) {
            if (IsTemporary(path)) {
                ::unlink((root + path).c_str());
            }
        }
        for (std::size_t k = 0; k < 4; ++k) {
            writeFile(paths[k].file, crlf(cases[k].now));
            ::unlink(paths[k].qrv.c_str());
            ::unlink(paths[k].mis.c_str());
        }
        // Under the sanitizers a run may make a few system calls more or fewer than the first one.
        const long reached = RunKilledAt(restore, stop);
        ASSERT_GE(reached, 0);
        killed += reached == stop ? 1 : 0;

        state = folderState(world.tmp.path());
        State expected = clean;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::string name(kConfigFiles[k].fileName);
            const std::string now = readFile(paths[k].file);
            ASSERT_TRUE(now == crlf(cases[k].now) || now == restored[k]) << name << " half-written, stop " << stop;
            if (now == restored[k]) {
                ASSERT_EQ(readFile(paths[k].qrv), qrv[k]) << name << " changed without its safety copy, stop " << stop;
            }
            if (pathExists(paths[k].qrv)) {
                ASSERT_EQ(readFile(paths[k].qrv), qrv[k]) << name << ": safety copy cut short, stop " << stop;
            }
            if (pathExists(paths[k].mis)) {
                ASSERT_EQ(readFile(paths[k].mis), mis[k]) << name << ": missing lines cut short, stop " << stop;
            }
            for (const std::string& p : {paths[k].file, paths[k].qrv, paths[k].mis}) {
                state.erase(relative(p));
                expected.erase(relative(p));
            }
        }
        // A write stopped before its rename leaves its hidden temporary file; nothing else may differ.
        std::erase_if(state, [](const auto& entry) { return IsTemporary(entry.first); });
        ASSERT_EQ(Differences(expected, state), "") << "stopped at system call " << stop;
    }
    EXPECT_GE(killed, kKilledAtLeast);
}

// ---------------------------------------------------------------------------------------------------------
// A full disk

// What a command left wrong on a full disk; empty when nothing.
using DiskCheck = std::function<std::string(World&)>;

struct FullDiskCase {
    const char* name;
    long freeBytes;                       // left free before the command runs
    std::function<void(World&)> prepare;  // the world on the small disk, before it is filled
    std::function<void(World&)> command;  // what runs out of space
    // What must hold afterwards, given BEFORE.DAT's bytes before the command.
    std::function<std::string(World&, const std::string&)> check;
};

std::string BeforeRunsOut(World& world, const std::string&)
{
    std::string wrong;
    if (!SaysNoSpace(world.prompts)) {
        wrong += "no message with the system's reason\n";
    }
    if (world.main.pairs.contains(Pair::CreateAfter)) {
        wrong += "Create AFTER file was switched on\n";
    }
    if (pathExists(world.data("BEFORE.DAT"))) {
        wrong += CheckCutBeforeIsRefused(world);
    }
    return wrong;
}

TEST(FullDisk, EachCommandReportsTheReasonAndLeavesNoRecordThatPassesAndEverySystemFileIntact)
{
    const auto configs = ConfigCases();
    auto base = [&](World& world) {
        makeDirs(world.host("C:\\WINDOWS"));
        makeDirs(world.tmp / "data");
        BuildTree(world, 60, 8);
        WriteConfigs(world, configs);
    };
    auto withBefore = [&](World& world) {
        base(world);
        world.prompts.type("Full Disk");
        world.prompts.type("C");
        CreateBeforeFile(world.ctx());
        Install(world, 60, 20);
        world.prompts = ScriptedPrompts();
    };
    auto createBefore = [](World& world) {
        world.prompts.type("Full Disk");
        world.prompts.type("C");
        CreateBeforeFile(world.ctx());
    };
    auto createAfter = [](World& world) { CreateAfterFile(world.ctx()); };
    auto afterRunsOut = [](World& world, const std::string& before) {
        std::string wrong;
        if (!SaysNoSpace(world.prompts)) {
            wrong += "no message with the system's reason\n";
        }
        if (readFile(world.data("BEFORE.DAT")) != before) {
            wrong += "BEFORE.DAT is gone or changed\n";
        }
        if (pathExists(world.data("AFTER1.DAT")) && ReadAfterRecord(*world.fs, world.data("AFTER1.DAT"))) {
            wrong += "a cut-short AFTER1.DAT reads as a good record\n";
        }
        return wrong;
    };
    auto restore = [&](World& world) { RestoreAll(world, configs); };
    const auto restored = RestoredContents(configs);
    auto restoreRunsOut = [&](World& world, const std::string&) {
        std::string wrong;
        if (!SaysNoSpace(world.prompts)) {
            wrong += "no message with the system's reason\n";
        }
        for (std::size_t k = 0; k < 4; ++k) {
            const ConfigPaths p = PathsOf(world, kConfigFiles[k]);
            const std::string now = readFile(p.file);
            if (now != crlf(configs[k].now) && now != restored[k]) {
                wrong += std::string(kConfigFiles[k].fileName) + " is neither its old nor its new content\n";
            }
            if (now != crlf(configs[k].now) && readFile(p.qrv) != crlf(NormalizedLines(configs[k].now))) {
                wrong += std::string(kConfigFiles[k].fileName) + " changed without its complete safety copy\n";
            }
        }
        return wrong;
    };
    const FullDiskCase cases[] = {
        {"BEFORE, no room at all", 0, base, createBefore, BeforeRunsOut},
        {"BEFORE, room for a part of it", 32768, base, createBefore, BeforeRunsOut},
        {"AFTER, no room at all", 0, withBefore, createAfter, afterRunsOut},
        {"AFTER, room for its first piece", 70000, withBefore, createAfter, afterRunsOut},
        {"restoration, no room at all", 0, base, restore, restoreRunsOut},
        {"restoration, room for the small files only", 8192, base, restore, restoreRunsOut},
        {"restoration, room for one copy of WIN.INI", 100000, base, restore, restoreRunsOut},
    };
    for (const FullDiskCase& c : cases) {
        World world;
        const int code = WithSmallDisk(world.tmp.path(), 2048, [&] {
            // A new file system object: the old one may hold the drive's root open below the mount.
            world.fs = std::make_unique<FileSystem>(world.fs->drives());
            c.prepare(world);
            const std::string before = readFile(world.data("BEFORE.DAT"));
            FillDisk(world.tmp.path(), "filler", c.freeBytes);
            c.command(world);
            const std::string wrong = c.check(world, before);
            if (!wrong.empty()) {
                std::fprintf(stderr, "%s:\n%s", c.name, wrong.c_str());
                for (const std::string& text : world.prompts.messageTexts()) {
                    std::fprintf(stderr, "  message: %s\n", text.c_str());
                }
            }
            return wrong.empty() ? 0 : 1;
        });
        if (code == 77) {
            GTEST_SKIP() << "no permission to mount a file system in a private namespace";
        }
        EXPECT_EQ(code, 0) << c.name;
    }
}

}  // namespace
}  // namespace morvane::test

namespace morvane::test {
namespace {

// ---------------------------------------------------------------------------------------------------------
// Hostile names and trees: a whole cycle, BEFORE file, installation, AFTER file, deletion

class NoRestoreOptions : public RestoreOptions {
public:
    int ShowRestoreOptions(const std::string&, const std::string&, bool) override
    {
        ADD_FAILURE() << "no configuration file changed";
        return 1;
    }
};

class NamedList : public AfterFileList {
public:
    void setPrompt(std::string_view) override {}
    int ShowAfterFileList(const std::vector<std::string>&) override { return 0; }
};

// The report window: shows the directories, then the files, then closes; keeps the lists it was given.
class ListingReport : public ReportWindow {
public:
    void setCaption(std::string_view) override {}
    void show() override {}
    void repaint() override {}
    void close() override {}
    void setDirectoryCount(long count) override { directories = count; }
    void setFileCount(long count) override { files = count; }
    void setResult(int, std::string_view, ResultColour) override {}
    void setDetailsVisible(int, bool) override {}
    void setPrefixRowsVisible(bool) override {}
    void setDesktopEntryCount(long) override {}
    void setPrintEnabled(bool) override {}
    void setListTitle(std::string_view) override {}
    void setList(const Lines& entries) override { lists.push_back(entries); }
    short waitForChoice() override
    {
        const short choices[] = {kReportDirectories, kReportFiles, kReportOk};
        return choices[std::min<std::size_t>(waits++, 2)];
    }
    long directories = -1, files = -1;
    std::size_t waits = 0;
    std::vector<Lines> lists;
};

const std::string kLong(255, 'L');  // the longest name a Linux file system takes

TEST(HostileNames, EachEntryIsRecordedAndRemovedExactlyOrLeftOutAndCountedAndNothingElseIsTouched)
{
    World world;
    const std::string c = world.drive('C');
    // What is there before the installation, and must be there after the deletion.
    for (const std::string& name :
         {std::string("trailing space "), std::string("line\nfeed"), std::string("carriage\rreturn"),
          std::string("back\\slash"), std::string("bad utf8 \xff\xfe"), kLong}) {
        writeFile(c + "/OLD/" + name, "user data");
    }
    writeFile(c + "/OLD/dir with trailing space /kept.txt", "user data");
    makeDirs(c + "/OLD/VANISH");
    makeDirs(c + "/OLD/LINKED");
    writeFile(world.tmp / "outside/victim.txt", "not on the drive");

    // A directory removed, and one replaced by a link to a folder off the drive, while the snapshot reads C:.
    HookedFileSystem& fs = HookedFileSystem::install(world);
    fs.onRead = [&](std::string_view directory) {
        if (directory.starts_with("C:\\OLD\\VANISH")) {
            ::rmdir((c + "/OLD/VANISH").c_str());
        } else if (directory.starts_with("C:\\OLD\\LINKED")) {
            ::rmdir((c + "/OLD/LINKED").c_str());
            ::symlink((world.tmp / "outside").c_str(), (c + "/OLD/LINKED").c_str());
        }
    };
    world.prompts.type("Hostile");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());
    fs.onRead = nullptr;
    ASSERT_TRUE(pathExists(world.data("BEFORE.DAT")));
    const std::string passedOverBefore = world.prompts.messageTexts().at(0);
    EXPECT_EQ(passedOverBefore,
              "3 file or directory names were passed over because a Windows path cannot express them (they hold a "
              "backslash or a control character).");
    const State userState = folderState(world.tmp.path());

    // The installation, with names of every kind, in a new directory and in old ones.
    for (const std::string& name : {std::string("new trailing "), std::string("new\nline"),
                                    std::string("new bad \xe9\xff"), std::string(254, 'N') + "X"}) {
        writeFile(c + "/OLD/" + name, "installed");
    }
    writeFile(c + "/NEW APP /BIN /tool ", "installed");
    writeFile(c + "/NEW APP /\xff\xfe.dll", "installed");
    writeFile(c + "/NEW APP /hidden\rname", "installed");  // cannot be listed, so it cannot be deleted
    world.prompts = ScriptedPrompts();
    CreateAfterFile(world.ctx());
    ASSERT_FALSE(pathExists(world.data("BEFORE.DAT")));
    const std::string after = readFile(world.data("AFTER1.DAT"));
    for (const std::string& line : {std::string("\\NEW APP \\BIN \\"), std::string("\\NEW APP \\"),
                                    std::string("\\OLD\\new trailing "), std::string("\\OLD\\new bad \xe9\xff"),
                                    "\\OLD\\" + std::string(254, 'N') + "X", std::string("\\OLD\\LINKED")}) {
        EXPECT_NE(after.find("\r\n" + line + "\r\n"), std::string::npos) << line;
    }
    EXPECT_EQ(after.find("new\nline"), std::string::npos);
    ASSERT_TRUE(ReadAfterRecord(*world.fs, world.data("AFTER1.DAT")));

    // The report lists every recorded entry as recorded.
    NamedList list;
    ListingReport report;
    RecordingPrinter printer;
    ShowReport(world.ctx(), list, report, printer);
    EXPECT_EQ(report.directories, 2);
    EXPECT_EQ(report.files, 4);
    ASSERT_EQ(report.lists.size(), 2u);
    EXPECT_EQ(report.lists[0], (Lines{"C:\\NEW APP \\BIN \\", "C:\\NEW APP \\"}));
    EXPECT_EQ(std::count(report.lists[1].begin(), report.lists[1].end(), "C:\\OLD\\new bad \xe9\xff"), 1);

    world.prompts = ScriptedPrompts();
    world.prompts.answer(Answer::Yes);  // Delete Hostile? Are you sure?
    world.prompts.answer(Answer::No);   // no question per file
    NoRestoreOptions form4;
    DeleteProgram(world.ctx(), list, form4);

    // Left: the user's entries, the outside folder, and what no listing can name (with the directory holding
    // it). Gone: the link that replaced a directory after the snapshot, which was recorded as a new entry.
    State expected = userState;
    expected.erase("/c/OLD/LINKED");
    expected.erase("/data/BEFORE.DAT");
    State state = folderState(world.tmp.path());
    EXPECT_EQ(state.erase("/c/OLD/new\nline"), 1u);
    EXPECT_EQ(state.erase("/c/NEW APP /hidden\rname"), 1u);
    EXPECT_EQ(state.erase("/c/NEW APP "), 1u);
    EXPECT_EQ(Differences(expected, state), "");
    EXPECT_EQ(readFile(world.tmp / "outside/victim.txt"), "not on the drive");
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
}

}  // namespace
}  // namespace morvane::test

namespace morvane::test {
namespace {

// A chain of `levels` folders of one name below `parent`, made one mkdirat at a time: the whole path is too long
// for any single call. Returns descriptors of `parent` and of every folder of the chain, the deepest last.
std::vector<int> MakeChain(const std::string& parent, const std::string& name, int levels)
{
    std::vector<int> fds{::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    for (int level = 0; level < levels && fds.back() >= 0; ++level) {
        ::mkdirat(fds.back(), name.c_str(), 0755);
        fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return fds;
}

// Removes what MakeChain made, deepest first, with what is left in its deepest folder.
void RemoveChain(std::vector<int>& fds, const std::string& name, const std::vector<const char*>& files)
{
    for (const char* file : files) {
        ::unlinkat(fds.back(), file, 0);
    }
    for (std::size_t k = fds.size() - 1; k > 0; --k) {
        ::close(fds[k]);
        ::unlinkat(fds[k - 1], name.c_str(), AT_REMOVEDIR);
    }
    ::close(fds[0]);
}

void WriteAt(int folder, const char* name)
{
    const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    ASSERT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
}

bool ExistsAt(int folder, const char* name)
{
    struct stat st {};
    return ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

TEST(HostileNames, ATreeDeeperThanAnyPathCanSpellIsRecordedAndItsInstallationRemoved)
{
    World world;
    const std::string name = "level_directory_0123456789";
    const int levels = 300;
    makeDirs(world.drive('C') + "/DEEP");
    std::vector<int> chain = MakeChain(world.drive('C') + "/DEEP", name, levels);
    const int bottom = chain.back();
    ASSERT_GE(bottom, 0);
    WriteAt(bottom, "old.txt");

    world.prompts.type("Deep");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());
    std::string deepest = "\\DEEP\\";
    for (int level = 0; level < levels; ++level) {
        deepest += name + "\\";
    }
    ASSERT_GT(deepest.size(), 4096u);
    EXPECT_TRUE(world.prompts.messageTexts().empty());
    EXPECT_NE(readFile(world.data("BEFORE.DAT")).find("\r\n" + deepest + "old.txt\r\n"), std::string::npos);

    // The installation: a new folder and a file added to the deepest old folder.
    ASSERT_EQ(::mkdirat(bottom, "NEW", 0755), 0);
    const int added = ::openat(bottom, "NEW", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    WriteAt(added, ".hidden.bin");
    ::close(added);
    WriteAt(bottom, "added.txt");
    CreateAfterFile(world.ctx());
    const std::string after = readFile(world.data("AFTER1.DAT"));
    EXPECT_NE(after.find("\r\nC\r\n" + deepest + "NEW\\\r\n" + deepest + "added.txt\r\n*AUTOEXEC*\r\n"),
              std::string::npos);

    world.prompts = ScriptedPrompts();
    world.prompts.answer(Answer::Yes);  // Delete Deep? Are you sure?
    world.prompts.answer(Answer::No);   // no question per file
    NamedList list;
    NoRestoreOptions form4;
    DeleteProgram(world.ctx(), list, form4);
    EXPECT_EQ(world.prompts.messageTexts(),
              (Lines{"Delete Deep? Are you sure?", "Confirm deletion of files in pre-existing directories?"}));
    EXPECT_FALSE(ExistsAt(bottom, "NEW"));
    EXPECT_FALSE(ExistsAt(bottom, "added.txt"));
    EXPECT_TRUE(ExistsAt(bottom, "old.txt"));
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
    RemoveChain(chain, name, {"old.txt", "NEW/.hidden.bin", "added.txt"});
    ::rmdir((world.drive('C') + "/DEEP").c_str());
    EXPECT_FALSE(pathExists(world.drive('C') + "/DEEP")) << "the test's tree could not be removed";
}

}  // namespace
}  // namespace morvane::test

namespace morvane::test {
namespace {

// ---------------------------------------------------------------------------------------------------------
// Delete program stopped with SIGKILL at any moment, then run again

// Answers every question the same way, whatever has been asked before: Yes to the deletion and to putting back
// an unchanged configuration file, No to confirming each file in an older directory (so they all go).
class SteadyAnswers : public Prompts {
public:
    Answer messageBox(Notice notice, std::string_view, Buttons buttons, Icon, std::string_view) override
    {
        if (buttons == Buttons::Ok) {
            return Answer::Ok;
        }
        return notice == Notice::ConfirmEachFile ? Answer::No : Answer::Yes;
    }
    std::string inputBox(Notice, std::string_view, std::string_view, std::string_view) override { return {}; }
    void beep() override {}
};

// The restoration window's choice for each file: merge AUTOEXEC.BAT and CONFIG.SYS, replace SYSTEM.INI.
class SteadyForm4 : public RestoreOptions {
public:
    int ShowRestoreOptions(const std::string& path, const std::string&, bool) override
    {
        return path.ends_with("SYSTEM.INI") ? 2 : 3;
    }
};

class FirstEntry : public AfterFileList {
public:
    void setPrompt(std::string_view) override {}
    int ShowAfterFileList(const std::vector<std::string>&) override { return 0; }
};

// Replaces the contents of `to` (kept itself: the file system object holds it open) by those of `from`.
void RestoreFolder(const std::string& from, const std::string& to)
{
    namespace fs = std::filesystem;
    for (const auto& entry : fs::directory_iterator(to)) {
        fs::remove_all(entry.path());
    }
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

// Points TMPDIR at a folder in memory while it lives, where there is one: a test that copies a tree and syncs
// files several hundred times runs there in a fraction of the time.
class TemporariesInMemory {
public:
    TemporariesInMemory()
    {
        if (const char* was = std::getenv("TMPDIR")) {
            m_was = was;
        }
        struct stat st {};
        if (::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/dev/shm", W_OK) == 0) {
            ::setenv("TMPDIR", "/dev/shm", 1);
        }
    }
    ~TemporariesInMemory()
    {
        if (m_was) {
            ::setenv("TMPDIR", m_was->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

private:
    std::optional<std::string> m_was;
};

TEST(CrashAtAnyMoment, AKilledDeleteProgramIsFinishedByASecondRunAndLosesNoConfigurationLine)
{
    TemporariesInMemory inMemory;
    World world;
    world.fs->setScanThreads(1);
    const auto cases = ConfigCases();
    BuildTree(world, 20, 2);
    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        writeFile(world.host(ConfigFilePath({world.state.BootDrive, world.state.WinDir}, kConfigFiles[k])),
                  crlf(cases[k].old));
    }
    world.prompts.type("Killed");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());
    // The installation: new folders with files, files added to older folders, the configuration files changed;
    // then the user's later edits.
    for (int d = 0; d < 6; ++d) {
        for (int f = 0; f < 3; ++f) {
            writeFile(world.drive('C') + "/NEWAPP/PART" + std::to_string(d) + "/file" + std::to_string(f) + ".dat",
                      "installed");
        }
    }
    Install(world, 20, 1);
    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        writeFile(world.host(ConfigFilePath({world.state.BootDrive, world.state.WinDir}, kConfigFiles[k])),
                  crlf(cases[k].installed));
    }
    CreateAfterFile(world.ctx());
    ASSERT_TRUE(pathExists(world.data("AFTER1.DAT")));
    WriteConfigs(world, cases);

    const std::string root = world.tmp.path();
    const TempDir saved;
    for (const char* folder : {"/c", "/data"}) {
        makeDirs(saved.path() + folder);
        RestoreFolder(root + folder, saved.path() + folder);
    }
    const State start = folderState(root);
    SteadyAnswers answers;
    SteadyForm4 form4;
    FirstEntry list;
    const Context ctx{world.state, *world.fs, answers, world.panel, world.main, world.events};
    auto remove = [&] { DeleteProgram(ctx, list, form4); };
    auto reset = [&] {
        for (const char* folder : {"/c", "/data"}) {
            RestoreFolder(saved.path() + folder, root + folder);
        }
    };

    const long calls = RunKilledAt(remove, -1);
    if (calls < 0) {
        GTEST_SKIP() << "tracing a child process is not allowed here";
    }
    const State finished = folderState(root);
    ASSERT_FALSE(finished.contains("/data/AFTER1.DAT"));
    ASSERT_TRUE(finished.contains("/c/CONFIG.MIS")) << "the merge leaves a line it cannot place";

    // The same deletion with nothing to restore tells where the restorations begin; they get stops of their own.
    reset();
    std::string record = readFile(world.data("AFTER1.DAT"));
    record.erase(record.find("*AUTOEXEC*"));
    record += crlf({"*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~", "*END CONFIG*", "*WIN*",
                    "~NO CHANGE~", "*END WIN*", "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"});
    writeFile(world.data("AFTER1.DAT"), record);
    const long deletionCalls = RunKilledAt(remove, -1);
    ASSERT_GT(deletionCalls, 100);
    ASSERT_GT(calls, deletionCalls + 100);
    std::vector<long> stops = SpreadStops(deletionCalls, kStops / 2 - 5);
    for (const long stop : SpreadStops(calls - deletionCalls + 40, kStops / 2 - 5)) {
        stops.push_back(deletionCalls - 40 + stop);
    }

    long killed = 0, failures = 0;
    for (const long stop : stops) {
        reset();
        const long reached = RunKilledAt(remove, stop);
        ASSERT_GE(reached, 0);
        killed += reached == stop ? 1 : 0;
        // Each entry is as it was or as the whole deletion leaves it, a configuration file is changed only with
        // its complete safety copy, and the record goes last.
        State state = folderState(root);
        std::erase_if(state, [](const auto& entry) { return IsTemporary(entry.first); });
        std::string wrong;
        for (const auto& [path, value] : state) {
            const auto a = start.find(path), b = finished.find(path);
            if ((a == start.end() || a->second != value) && (b == finished.end() || b->second != value)) {
                wrong += path + " is neither as it was nor as the deletion leaves it\n";
            }
        }
        for (const auto& [path, value] : start) {
            if (!state.contains(path) && finished.contains(path)) {
                wrong += path + " is gone, though the deletion keeps it\n";
            }
        }
        for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
            const ConfigPaths p = PathsOf(world, kConfigFiles[k]);
            const std::string file = p.file.substr(root.size()), qrv = p.qrv.substr(root.size());
            if (state.at(file) != start.at(file) && (!state.contains(qrv) || state.at(qrv) != finished.at(qrv))) {
                wrong += file + " changed without its complete safety copy\n";
            }
        }
        if (!state.contains("/data/AFTER1.DAT") && Differences(finished, state) != "") {
            wrong += "the record went before the deletion was complete\n";
        }
        // The second run, with the same answers, leaves exactly what one run leaves.
        DeleteProgram(ctx, list, form4);
        wrong += Differences(finished, folderState(root));
        failures += wrong.empty() ? 0 : 1;
        EXPECT_EQ(wrong, "") << "stopped at system call " << stop << " of " << calls;
    }
    std::printf(
        "Delete program killed at %zu points (%ld stops reached) of %ld system calls, the restorations from "
        "%ld; %ld failures\n",
        stops.size(), killed, calls, deletionCalls, failures);
    EXPECT_GE(killed, static_cast<long>(stops.size()) - 10);
}

TEST(CrashAtAnyMoment, TheDriveCheckLeavesNothingInTheDrivesRoot)
{
    World world;
    const State clean = folderState(world.tmp.path());
    auto check = [&] { (void)DriveWritable(*world.fs, 'C'); };
    const long calls = RunKilledAt(check, -1);
    if (calls < 0) {
        GTEST_SKIP() << "tracing a child process is not allowed here";
    }
    for (long stop = 0; stop < calls; ++stop) {
        ASSERT_GE(RunKilledAt(check, stop), 0);
        ASSERT_EQ(Differences(clean, folderState(world.tmp.path())), "") << "stopped at system call " << stop;
    }
}

TEST(MountedLater, AFileInAnOlderDirectoryOnAFileSystemMountedSinceIsLeftAlone)
{
    World world;
    makeDirs(world.host("C:\\WINDOWS\\SYSTEM"));
    writeFile(world.host("C:\\WINDOWS\\ADDED.DLL"), "installed");
    writeFile(world.data("AFTER1.DAT"),
              crlf({"Setup", "C", "\\WINDOWS\\ADDED.DLL", "\\WINDOWS\\SYSTEM\\NEW.DLL", "*AUTOEXEC*", "~NO CHANGE~",
                    "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~", "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*",
                    "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}));
    const int code = WithSmallDisk(world.host("C:\\WINDOWS\\SYSTEM"), 1024, [&] {
        // A file system mounted on an older folder after the installation, holding a file of the recorded name.
        world.fs = std::make_unique<FileSystem>(world.fs->drives());
        writeFile(world.host("C:\\WINDOWS\\SYSTEM\\NEW.DLL"), "on the other file system");
        world.prompts.answer(Answer::Yes);
        world.prompts.answer(Answer::No);
        FirstEntry list;
        NoRestoreOptions form4;
        DeleteProgram(world.ctx(), list, form4);
        const bool right =
            readFile(world.host("C:\\WINDOWS\\SYSTEM\\NEW.DLL")) == "on the other file system" &&
            !pathExists(world.host("C:\\WINDOWS\\ADDED.DLL")) && !pathExists(world.data("AFTER1.DAT")) &&
            world.prompts.messageTexts() ==
                Lines{"Delete Setup? Are you sure?", "Confirm deletion of files in pre-existing directories?"};
        return right ? 0 : 1;
    });
    if (code == 77) {
        GTEST_SKIP() << "no permission to mount a file system in a private namespace";
    }
    EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace morvane::test
