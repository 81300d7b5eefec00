// Times Create BEFORE file through the engine, without windows, on a synthetic drive, against
// `find ROOT -printf '%p\n' >/dev/null` on the same tree, and measures its peak memory.
//
//   morvane_bench_before [--dirs N] [--files N] [--seed S] [--runs R] [--tree DIR | --work DIR] [--keep]
//                        [--data DIR] [--literal-sort]
//   morvane_bench_before --root-fs [--runs R] [--data DIR]
//
// --root-fs times Create BEFORE file of the machine's own root file system, / as drive C:, against
// `find / -xdev -printf '%p\n' >/dev/null` in the same run, alternating. The root file system is live and
// partly readable by root alone: run it as root, and expect the two to list slightly different numbers of
// names (find also prints mount points and names a Windows path cannot express).
//
// Defaults: 100,000 directories and 900,000 files, seed 1, 5 runs. The tree is generated in DIR (default
// $TMPDIR/morvane-bench/tree-<dirs>-<files>-<seed>) unless DIR already holds the same tree from an earlier run
// with --keep, and removed at the end without --keep. Each measured run is a fresh process, so its peak memory
// is its own. ./build.sh bench passes the same options to every benchmark: --directories is taken for --dirs,
// and options this one does not know are ignored with a warning.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <numeric>
#include <string>
#include <vector>

#include "bench/common/measure.h"
#include "bench/common/options.h"
#include "bench/common/tree_generator.h"
#include "core/helpers.h"
#include "bench/common/quiet_ui.h"
#include "snapshot/create_before_file.h"
#include "snapshot/directory_tree.h"

namespace morvane::bench {
namespace {

// ---- Doubles: the command runs as it does in the program, with nothing to show ----------------------------

class AnsweringPrompts : public Prompts {
public:
    Answer messageBox(Notice, std::string_view text, Buttons buttons, Icon, std::string_view) override
    {
        std::cerr << "message: " << text << "\n";
        return buttons == Buttons::YesNo ? Answer::No : (buttons == Buttons::OkCancel ? Answer::Cancel : Answer::Ok);
    }
    std::string inputBox(Notice notice, std::string_view, std::string_view, std::string_view) override
    {
        return notice == Notice::ProgramNameInput ? "Benchmark Program" : "C";
    }
    void beep() override {}
};

// The measured child: one Create BEFORE file of drive C: = root, into dataFolder. Exit status 0 on success.
int runBeforeChild(const std::string& root, const std::string& dataFolder)
{
    DriveMap drives;
    drives.set('C', root);
    FileSystem fs(std::move(drives));
    State state;
    InitDataFolder(state, fs, dataFolder);
    AnsweringPrompts prompts;
    QuietPanel panel;
    QuietMainWindow main;
    QuietEvents events;
    (void)fs.removeFile(state.DataFolder + "BEFORE.DAT");
    CreateBeforeFile(Context{state, fs, prompts, panel, main, events});
    return main.pairEnabled(Pair::CreateAfter) ? 0 : 1;
}

// ---- Options ---------------------------------------------------------------------------------------------------

using Options = BenchOptions;

Options parse(int argc, char** argv)
{
    BenchOptions defaults;
    defaults.runs = 5;
    defaults.work = "morvane-bench";
    Options o = ParseBenchOptions(argc, argv, defaults);
    if (o.tree.empty()) {
        o.tree = o.work + "/tree-" + std::to_string(o.spec.directories) + "-" + std::to_string(o.spec.files) + "-" +
                 std::to_string(o.spec.seed);
    }
    while (o.tree.size() > 1 && o.tree.back() == '/') {
        o.tree.pop_back();
    }
    return o;
}

void makeParents(const std::string& path)
{
    for (std::size_t pos = 1; pos < path.size(); ++pos) {
        if (path[pos] == '/') {
            mkdir(path.substr(0, pos).c_str(), 0755);
        }
    }
}

// ---- The sort on its own ------------------------------------------------------------------------------------------

// The lengths of "\A\B\" paths of a planned tree in breadth-first order, as a scan lists them.
std::vector<std::uint32_t> breadthFirstLengths(const TreeLayout& layout)
{
    const std::size_t n = layout.directories.size();
    std::vector<std::vector<std::size_t>> children(n);
    for (std::size_t i = 1; i < n; ++i) {
        children[layout.directories[i].parent].push_back(i);
    }
    std::vector<std::uint32_t> length(n, 1);
    std::vector<std::uint32_t> out;
    out.reserve(n);
    std::deque<std::size_t> queue{0};
    while (!queue.empty()) {
        const std::size_t d = queue.front();
        queue.pop_front();
        out.push_back(length[d]);
        for (std::size_t c : children[d]) {
            length[c] = length[d] + static_cast<std::uint32_t>(layout.directories[c].name.size()) + 1;
            queue.push_back(c);
        }
    }
    return out;
}

double timeSort(const std::vector<std::uint32_t>& lengths)
{
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::size_t> order = ExchangeSortPermutation(lengths);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (order.size() != lengths.size()) {
        std::abort();
    }
    return s;
}

double timeLiteralSort(std::vector<std::uint32_t> lengths)
{
    const auto start = std::chrono::steady_clock::now();
    const std::size_t n = lengths.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        for (std::size_t j = n - 1; j > i; --j) {
            if (lengths[j] > lengths[i]) {
                std::swap(lengths[i], lengths[j]);
            }
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Create BEFORE file of / as C: against find / -xdev, each run a fresh process, warm cache, alternating.
int benchmarkRootFileSystem(const Options& o)
{
    struct stat st {};
    const std::string dataParent = !o.data.empty() ? o.data : (stat("/dev/shm", &st) == 0 ? "/dev/shm" : "/tmp");
    const std::string data = TemporaryFolder(dataParent);
    const std::string self = SelfExecutable();
    const std::vector<std::string> find{"find", "/", "-xdev", "-printf", "%p\\n"};
    const std::vector<std::string> before{self, "--child-before", "/", data};
    std::printf("Root file system / as drive C:, run as user %d, data folder %s\n", static_cast<int>(geteuid()),
                data.c_str());

    // Warm cache, and the sizes of both listings.
    const std::string findList = data + "find.txt";
    if (RunChild(find, findList).exitCode != 0) {
        std::printf("  note: find reported errors (folders it may not read)\n");
    }
    const std::size_t findLines = CountLines(findList);
    std::remove(findList.c_str());
    if (RunChild(before).exitCode != 0) {
        std::fprintf(stderr, "BEFORE creation of / failed (see the message above; run as root)\n");
        RunChild({"rm", "-rf", data});
        return 1;
    }
    std::printf("  find / -xdev: %zu names; BEFORE.DAT: %zu lines\n", findLines, CountLines(data + "BEFORE.DAT"));
    std::fflush(stdout);

    std::vector<double> findRuns, beforeRuns;
    long peakKiB = 0;
    for (int r = 0; r < o.runs; ++r) {
        const ChildRun f = RunChild(find);
        const ChildRun b = RunChild(before);
        if (b.exitCode != 0) {
            std::fprintf(stderr, "a run of BEFORE creation failed (%d)\n", b.exitCode);
            RunChild({"rm", "-rf", data});
            return 1;
        }
        findRuns.push_back(f.seconds);
        beforeRuns.push_back(b.seconds);
        peakKiB = std::max(peakKiB, b.peakKiB);
    }
    const double findMedian = Median(findRuns);
    const double beforeMedian = Median(beforeRuns);
    std::printf("Runs: %d each, warm cache, alternating\n", o.runs);
    std::printf("  find / -xdev -printf '%%p\\n' >/dev/null   median %.3f s   (%s)\n", findMedian,
                RunsText(findRuns).c_str());
    std::printf("  Create BEFORE file of / (engine)       median %.3f s   (%s)\n", beforeMedian,
                RunsText(beforeRuns).c_str());
    std::printf("  ratio BEFORE / find: %.2f\n", beforeMedian / findMedian);
    std::printf("  peak memory of BEFORE creation: %.1f MiB\n", static_cast<double>(peakKiB) / 1024);
    RunChild({"rm", "-rf", data});
    return 0;
}

int benchmark(const Options& o)
{
    if (o.rootFs) {
        return benchmarkRootFileSystem(o);
    }
    const TreeLayout layout = PlanTree(o.spec);
    std::printf("Tree %s: %zu directories, %zu files, seed %llu\n", o.tree.c_str(), layout.directories.size(),
                o.spec.files, static_cast<unsigned long long>(o.spec.seed));
    if (TreeMatches(o.tree, o.spec)) {
        std::printf("  re-used from an earlier run\n");
    } else {
        RemoveTree(o.tree);
        makeParents(o.tree);
        const auto start = std::chrono::steady_clock::now();
        const TreeSummary summary = WriteTree(o.tree, layout);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("  generated in %.1f s: %zu names begin with a dot, deepest directory %d levels down\n", s,
                    summary.dotNames, summary.deepest);
    }
    std::fflush(stdout);

    // The BEFORE file goes to memory-backed storage when there is some, so that the figure is the scan's and
    // not the disk's flush; --data chooses another folder.
    struct stat st {};
    const std::string dataParent = !o.data.empty() ? o.data : (stat("/dev/shm", &st) == 0 ? "/dev/shm" : "/tmp");
    const std::string data = TemporaryFolder(dataParent);
    const std::string self = SelfExecutable();
    const std::vector<std::string> find{"find", o.tree, "-printf", "%p\\n"};
    const std::vector<std::string> before{self, "--child-before", o.tree, data};

    // Warm cache: one untimed run of each.
    RunChild(find);
    if (RunChild(before).exitCode != 0) {
        std::fprintf(stderr, "BEFORE creation failed\n");
        return 1;
    }
    {
        std::ifstream file(data + "BEFORE.DAT", std::ios::binary);
        std::size_t lines = 0, bytes = 0;
        std::string line;
        while (std::getline(file, line)) {
            ++lines;
            bytes += line.size() + 1;
        }
        const std::size_t expected = 1 + 1 + layout.directories.size() + o.spec.files + 8;
        std::printf("BEFORE.DAT: %zu lines (expected %zu), %.1f MiB, in %s\n", lines, expected,
                    static_cast<double>(bytes) / (1 << 20), data.c_str());
        if (lines != expected) {
            std::fprintf(stderr, "BEFORE.DAT does not hold every directory and file of the tree\n");
            return 1;
        }
    }

    std::vector<double> findRuns, beforeRuns;
    long peakKiB = 0;
    for (int r = 0; r < o.runs; ++r) {
        const ChildRun f = RunChild(find);
        const ChildRun b = RunChild(before);
        if (f.exitCode != 0 || b.exitCode != 0) {
            std::fprintf(stderr, "a run failed (find %d, BEFORE %d)\n", f.exitCode, b.exitCode);
            return 1;
        }
        findRuns.push_back(f.seconds);
        beforeRuns.push_back(b.seconds);
        peakKiB = std::max(peakKiB, b.peakKiB);
    }
    const double findMedian = Median(findRuns);
    const double beforeMedian = Median(beforeRuns);
    const double ratio = beforeMedian / findMedian;
    const double peakMiB = static_cast<double>(peakKiB) / 1024;
    std::printf("Runs: %d each, warm cache, alternating\n", o.runs);
    std::printf("  find ROOT -printf '%%p\\n' >/dev/null   median %.3f s   (%s)\n", findMedian,
                RunsText(findRuns).c_str());
    std::printf("  Create BEFORE file (engine)          median %.3f s   (%s)\n", beforeMedian,
                RunsText(beforeRuns).c_str());
    std::printf("  ratio BEFORE / find: %.2f   target <= 1.5   %s\n", ratio, ratio <= 1.5 ? "met" : "MISSED");
    std::printf("  peak memory of BEFORE creation: %.1f MiB   target < 256 MiB   %s\n", peakMiB,
                peakMiB < 256 ? "met" : "MISSED");

    // The sort alone, on the tree's own breadth-first lengths and on a planned tree ten times its size.
    const std::vector<std::uint32_t> lengths = breadthFirstLengths(layout);
    std::printf("Exchange sort by length on its own: %zu directories %.3f s", lengths.size(), timeSort(lengths));
    TreeSpec big = o.spec;
    big.directories *= 10;
    big.files = 0;
    const std::vector<std::uint32_t> bigLengths = breadthFirstLengths(PlanTree(big));
    std::printf(", %zu directories %.3f s\n", bigLengths.size(), timeSort(bigLengths));
    if (o.literalSort) {
        std::printf("  the literal two loops: %zu directories %.3f s\n", lengths.size(), timeLiteralSort(lengths));
    }

    RunChild({"rm", "-rf", data});
    if (!o.keep) {
        RemoveTree(o.tree);
    } else {
        std::printf("Tree kept in %s (re-use it with --tree %s --keep)\n", o.tree.c_str(), o.tree.c_str());
    }
    return ratio <= 1.5 && peakMiB < 256 ? 0 : 1;
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv)
{
    using namespace morvane::bench;
    if (argc == 4 && std::strcmp(argv[1], "--child-before") == 0) {
        return runBeforeChild(argv[2], argv[3]);
    }
    try {
        return benchmark(parse(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morvane_bench_before: %s\n", e.what());
        return 1;
    }
}
