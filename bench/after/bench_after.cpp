// Benchmark of Create AFTER file on a large synthetic drive.
//
// Generates (or re-uses) a deterministic tree as drive C:, records BEFORE.DAT through the engine, installs a
// deterministic program (300 new directories holding 6,000 files, 500 new files in old directories), then
// times AFTER creation through the engine, each run in a fresh child process that also gives its peak memory.
// In the same run it times what a user would script instead:
//
//     before:  find ROOT -printf '%p\n' | LC_ALL=C sort > before.txt
//     after:   find ROOT -printf '%p\n' | LC_ALL=C sort > after.txt; LC_ALL=C comm -13 before.txt after.txt
//
// Targets: AFTER creation takes at most the time of that pipeline (both halves), and its peak memory stays
// under 512 MiB. The AFTER file must list exactly the installed directories and the files installed in old
// directories; the program fails when it does not.
//
//   morvane_bench_after [--directories N] [--files N] [--runs N] [--work FOLDER] [--remove-tree]
//
// The tree is kept in FOLDER (default $TMPDIR or /tmp, then morvane-bench-after) for the next run; the
// installation is removed again at the end.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/common/options.h"
#include "bench/common/installation.h"
#include "bench/common/measure.h"
#include "bench/common/quiet_ui.h"
#include "bench/common/tree_generator.h"
#include "changes/create_after_file.h"
#include "core/context.h"
#include "snapshot/create_before_file.h"

namespace morvane::bench {
namespace {

constexpr double kMemoryLimitMiB = 512;

// The user interface of a benchmark run: answers the two questions of Create BEFORE file and counts every
// message box, which a clean run never shows.
class BenchPrompts : public Prompts {
public:
    Answer messageBox(Notice, std::string_view text, Buttons, Icon, std::string_view) override
    {
        ++messages;
        std::cerr << "message: " << text << '\n';
        return Answer::Ok;
    }
    std::string inputBox(Notice, std::string_view, std::string_view, std::string_view) override
    {
        if (inputs.empty()) {
            return {};
        }
        std::string answer = inputs.front();
        inputs.pop_front();
        return answer;
    }
    void beep() override {}

    std::deque<std::string> inputs;
    int messages = 0;
};

using Machine = QuietMachine<BenchPrompts>;

void CreateEmptyFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    }
    close(fd);
}

void CopyFile(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    if (!in || !out) {
        throw std::runtime_error("cannot copy " + from + " to " + to);
    }
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// "A/B/" or "A/B/name" relative to the tree's root, as a record line: "\A\B\", "\A\B\name".
std::string RecordPath(const std::string& relative)
{
    std::string out = "\\" + relative;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string Quoted(const std::string& path)
{
    std::string out = "'";
    for (char c : path) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Compares the AFTER file's drive section with the installation: every new directory and every file
// installed in an old directory, nothing else, directories first and longest first.
bool CheckAfterFile(const std::string& path, const Installation& made)
{
    const std::vector<std::string> lines = ReadLines(path);
    if (lines.size() < 2 || lines[1] != "C") {
        std::cerr << "AFTER file " << path << " has no drive section\n";
        return false;
    }
    std::vector<std::string> directories;
    std::vector<std::string> files;
    std::size_t i = 2;
    for (; i < lines.size() && lines[i] != "*AUTOEXEC*"; ++i) {
        const std::string& line = lines[i];
        if (!line.empty() && line.back() == '\\') {
            if (!files.empty()) {
                std::cerr << "directory line after a file line: " << line << '\n';
                return false;
            }
            if (!directories.empty() && directories.back().size() < line.size()) {
                std::cerr << "directory lines not longest first at " << line << '\n';
                return false;
            }
            directories.push_back(line);
        } else {
            files.push_back(line);
        }
    }
    if (i == lines.size() || lines.back() != "*END SYSTEM*") {
        std::cerr << "AFTER file " << path << " is incomplete\n";
        return false;
    }
    std::multiset<std::string> expectedDirectories;
    for (const std::string& d : made.directories) {
        expectedDirectories.insert(RecordPath(d));
    }
    std::multiset<std::string> expectedFiles;
    for (const std::string& f : made.filesInOld) {
        expectedFiles.insert(RecordPath(f));
    }
    const bool ok = std::multiset<std::string>(directories.begin(), directories.end()) == expectedDirectories &&
                    std::multiset<std::string>(files.begin(), files.end()) == expectedFiles;
    if (!ok) {
        std::cerr << "AFTER file lists " << directories.size() << " directories and " << files.size()
                  << " files; installed were " << expectedDirectories.size() << " and " << expectedFiles.size()
                  << " (or the names differ)\n";
    }
    return ok;
}

// The child: one AFTER creation, from the BEFORE.DAT in the data folder.
int RunAfterChild(const std::string& root, const std::string& dataFolder)
{
    Machine machine(root, dataFolder);
    CreateAfterFile(machine.ctx());
    const bool made = Exists(dataFolder + "AFTER1.DAT") && !Exists(dataFolder + "BEFORE.DAT");
    return made && machine.prompts.messages == 0 ? 0 : 1;
}

int Run(const BenchOptions& o)
{
    MakeDir(o.work);
    const std::string root = o.work + "/tree-" + std::to_string(o.spec.directories) + "-" + std::to_string(o.spec.files);
    const std::string installedMarker = root + ".installed";
    const std::string dataFolder = o.work + "/data/";
    const std::string savedBefore = o.work + "/BEFORE.saved";

    const TreeSpec spec = o.spec;
    const TreeLayout layout = PlanTree(spec);
    // A run that ended before taking its installation away leaves the marker: such a tree is made anew.
    if (Exists(installedMarker) || !TreeMatches(root, spec)) {
        RemoveTree(root);
        unlink(installedMarker.c_str());
        const auto start = std::chrono::steady_clock::now();
        const TreeSummary made = WriteTree(root, layout);
        std::printf("Tree generated in %.1f s: %zu directories, %zu files, %d levels deep\n", Seconds(start),
                    made.directories, made.files, made.deepest);
    } else {
        std::printf("Tree re-used: %zu directories, %zu files\n", o.spec.directories, o.spec.files);
    }

    MakeDir(dataFolder);
    unlink((dataFolder + "BEFORE.DAT").c_str());
    unlink((dataFolder + "AFTER1.DAT").c_str());
    {
        Machine machine(root, dataFolder);
        machine.prompts.inputs = {"Benchmark program", "C"};
        const auto start = std::chrono::steady_clock::now();
        CreateBeforeFile(machine.ctx());
        if (!Exists(dataFolder + "BEFORE.DAT") || machine.prompts.messages != 0) {
            std::cerr << "Create BEFORE file did not succeed\n";
            return 1;
        }
        std::printf("BEFORE.DAT recorded through the engine in %.2f s\n", Seconds(start));
        CopyFile(dataFolder + "BEFORE.DAT", savedBefore);
    }

    const std::string before = o.work + "/before.txt";
    const std::string after = o.work + "/after.txt";
    const std::string fresh = o.work + "/new.txt";
    const std::vector<std::string> pipelineBefore = {
        "sh", "-c", "find " + Quoted(root) + " -printf '%p\\n' | LC_ALL=C sort > " + Quoted(before)};
    const std::vector<std::string> pipelineAfter = {"sh", "-c",
                                                    "find " + Quoted(root) + " -printf '%p\\n' | LC_ALL=C sort > " +
                                                        Quoted(after) + " && LC_ALL=C comm -13 " + Quoted(before) +
                                                        " " + Quoted(after) + " > " + Quoted(fresh)};

    (void)RunChild(pipelineBefore);  // warms the cache for everyone
    std::vector<double> beforeTimes;
    for (int r = 0; r < o.runs; ++r) {
        const ChildRun run = RunChild(pipelineBefore);
        if (run.exitCode != 0) {
            std::cerr << "the find | sort pipeline failed\n";
            return 1;
        }
        beforeTimes.push_back(run.seconds);
    }

    CreateEmptyFile(installedMarker);
    const Installation made = Install(root, layout);
    std::printf("Installed: %zu new directories holding %zu files, %zu new files in old directories\n",
                made.directories.size(), made.filesInNew.size(), made.filesInOld.size());

    std::vector<double> afterTimes;
    std::vector<double> pipelineTimes;
    long peakKiB = 0;
    bool checked = true;
    for (int r = 0; r < o.runs; ++r) {
        const ChildRun pipeline = RunChild(pipelineAfter);
        if (pipeline.exitCode != 0) {
            std::cerr << "the find | sort | comm pipeline failed\n";
            checked = false;
            break;
        }
        pipelineTimes.push_back(pipeline.seconds);

        // AFTER creation deletes BEFORE.DAT: each run starts from a fresh copy, made outside the timing.
        CopyFile(savedBefore, dataFolder + "BEFORE.DAT");
        unlink((dataFolder + "AFTER1.DAT").c_str());
        const ChildRun creation = RunChild({SelfExecutable(), "--child-after", root, dataFolder});
        if (creation.exitCode != 0) {
            std::cerr << "AFTER creation failed in run " << r + 1 << '\n';
            checked = false;
            break;
        }
        afterTimes.push_back(creation.seconds);
        peakKiB = std::max(peakKiB, creation.peakKiB);
        checked = checked && CheckAfterFile(dataFolder + "AFTER1.DAT", made);
    }
    const std::size_t naiveLines = ReadLines(fresh).size();

    Uninstall(root, made);
    unlink(installedMarker.c_str());
    unlink(before.c_str());
    unlink(after.c_str());
    unlink(fresh.c_str());
    if (o.removeTree) {
        RemoveTree(root);
    }
    if (!checked) {
        return 1;
    }

    const double tBefore = Median(beforeTimes);
    const double tPipeline = Median(pipelineTimes);
    const double tAfter = Median(afterTimes);
    const double peakMiB = static_cast<double>(peakKiB) / 1024.0;
    std::printf("find | sort before the installation      median of %d: %7.2f s\n", o.runs, tBefore);
    std::printf("find | sort and comm -13 after it         median of %d: %7.2f s  (%zu paths found new)\n", o.runs,
                tPipeline, naiveLines);
    std::printf("the whole pipeline                                     %7.2f s\n", tBefore + tPipeline);
    std::printf("AFTER creation through the engine         median of %d: %7.2f s\n", o.runs, tAfter);
    std::printf("  against the whole pipeline: %.2f (target <= 1.00) %s\n", tAfter / (tBefore + tPipeline),
                tAfter <= tBefore + tPipeline ? "met" : "MISSED");
    std::printf("  against its after half alone: %.2f\n", tAfter / tPipeline);
    std::printf("Peak memory of AFTER creation: %.1f MiB (target < %.0f MiB) %s\n", peakMiB, kMemoryLimitMiB,
                peakMiB < kMemoryLimitMiB ? "met" : "MISSED");
    std::printf("AFTER file lists exactly the %zu installed directories and %zu files in old directories: yes\n",
                made.directories.size(), made.filesInOld.size());
    return 0;
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv)
{
    try {
        if (argc == 4 && std::string(argv[1]) == "--child-after") {
            return morvane::bench::RunAfterChild(argv[2], argv[3]);
        }
        morvane::bench::BenchOptions defaults;
        defaults.runs = 3;
        defaults.work = "morvane-bench-after";
        const auto options = morvane::bench::ParseBenchOptions(argc, argv, defaults);
        if (options.rootFs) {
            std::cout << "morvane_bench_after: --root-fs is the BEFORE benchmark's; nothing to time here\n";
            return 0;
        }
        return morvane::bench::Run(options);
    } catch (const std::exception& e) {
        std::cerr << "morvane_bench_after: " << e.what() << '\n';
        return 2;
    }
}
