// Benchmark of Delete program on a large synthetic drive.
//
// Generates (or re-uses) a deterministic tree as drive C:, records BEFORE.DAT, installs a deterministic program
// (300 new directories holding 6,000 files, 500 new files in old directories) and records its AFTER file through
// the engine, once. Each run then takes the installation away twice, re-making it before each:
//
//     Delete program through the engine, in a fresh child process: "Delete ...? Are you sure?" answered Yes,
//     "Confirm deletion of files in pre-existing directories?" answered No (no question per file);
//     rm -rf DIRECTORIES... followed by rm -f FILES... on the same entries (two processes, their times added).
//
// Target: Delete program takes at most twice the time of rm. After every Delete program the installed entries
// must be gone and the folders around them unchanged; after the first one the whole tree (paths, types, modes,
// sizes) must be as it was before the installation, apart from the hidden files in old directories, which Delete
// program leaves alone by design (rm is not given them either). The program fails when either is not so.
//
//   morvane_bench_remove [--directories N] [--files N] [--runs N] [--work FOLDER] [--remove-tree]
//
// The tree is kept in FOLDER (default $TMPDIR or /tmp, then morvane-bench-after: the same tree as the AFTER
// benchmark) for the next run; the installation is removed again at the end.

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <set>
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
#include "removal/delete_program.h"
#include "snapshot/create_before_file.h"

namespace morvane::bench {
namespace {

constexpr const char* kProgramName = "Benchmark program";
constexpr double kTargetRatio = 2.0;

// The user of a benchmark run: names the program and drive C: when a snapshot asks, says Yes to the deletion
// and No to the questions per file. Every other message is counted: a clean run shows none.
class BenchPrompts : public Prompts {
public:
    Answer messageBox(Notice notice, std::string_view text, Buttons, Icon, std::string_view) override
    {
        if (notice == Notice::ConfirmDeletion) {
            ++confirmations;
            return Answer::Yes;
        }
        if (notice == Notice::ConfirmEachFile) {
            ++fileQuestions;
            return Answer::No;
        }
        ++others;
        std::cerr << "message: " << text << '\n';
        return Answer::No;
    }
    // Create BEFORE file asks for the program's name, then for the drives to record.
    std::string inputBox(Notice notice, std::string_view, std::string_view, std::string_view) override
    {
        return notice == Notice::ProgramNameInput ? kProgramName : "C";
    }
    void beep() override {}

    int confirmations = 0;
    int fileQuestions = 0;
    int others = 0;
};

// The selection window: there is one AFTER file, and it is the one chosen.
class FirstAfterFile : public AfterFileList {
public:
    void setPrompt(std::string_view) override {}
    int ShowAfterFileList(const std::vector<std::string>&) override
    {
        ++shown;
        return 0;
    }
    int shown = 0;
};

// The restoration window; the four configuration sections say "~NO CHANGE~", so it never appears.
class NoRestoration : public RestoreOptions {
public:
    int ShowRestoreOptions(const std::string& path, const std::string&, bool) override
    {
        ++shown;
        std::cerr << "restoration asked for " << path << '\n';
        return 1;
    }
    int shown = 0;
};

using Machine = QuietMachine<BenchPrompts>;

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// ---- What the tree holds ----------------------------------------------------------------------------------

// One entry of a tree as a hash of its path relative to the root ("" for the root, "/A/B" below it), its type,
// its permission bits and, for all but directories (whose size does not shrink back when entries go), its size.
std::uint64_t EntryHash(const char* relative, const struct stat& st)
{
    const long long size = S_ISDIR(st.st_mode) ? 0 : static_cast<long long>(st.st_size);
    return std::hash<std::string>{}(std::string(relative) + '\0' + std::to_string(st.st_mode) + '\0' +
                                    std::to_string(size));
}

// Every entry below a folder, hashed and sorted: two equal listings mean the same tree (the chance of a
// collision among a million 64-bit hashes is negligible).
std::vector<std::uint64_t> TreeListing(const std::string& root)
{
    static std::vector<std::uint64_t>* out = nullptr;
    static std::size_t prefix = 0;
    std::vector<std::uint64_t> hashes;
    out = &hashes;
    prefix = root.size();
    const int failed = nftw(
        root.c_str(),
        [](const char* path, const struct stat* st, int, FTW*) {
            out->push_back(EntryHash(path + prefix, *st));
            return 0;
        },
        64, FTW_PHYS);
    if (failed != 0) {
        throw std::runtime_error("cannot list " + root + ": " + std::strerror(errno));
    }
    std::sort(hashes.begin(), hashes.end());
    return hashes;
}

// The names in one folder with their types, sorted: what a user looking into it would see.
std::vector<std::string> FolderListing(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            names.push_back(std::string(e->d_name) + (e->d_type == DT_DIR ? "/" : ""));
        }
        closedir(d);
    } else {
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ParentOf(const std::string& relative)
{
    const std::string trimmed = relative.back() == '/' ? relative.substr(0, relative.size() - 1) : relative;
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? std::string() : trimmed.substr(0, slash + 1);
}

std::string NameOf(const std::string& relative)
{
    const std::string trimmed = relative.back() == '/' ? relative.substr(0, relative.size() - 1) : relative;
    return trimmed.substr(ParentOf(relative).size()) + (relative.back() == '/' ? "/" : "");
}

// What a Delete program of the installation must leave. Files whose name begins with a dot are hidden, and
// Delete program leaves hidden files in old folders alone by design (inside new directories it deletes them);
// rm is given the same files to delete, so that both do the same work.
struct Expectation {
    std::vector<std::string> gone;  // relative paths
    std::vector<std::string> kept;  // hidden files the installation put into old folders
    std::vector<std::string> visibleFilesInOld;
    // Each old folder the installation put something into, with the names (directories ending in '/') it must
    // hold afterwards.
    std::map<std::string, std::vector<std::string>> oldFolders;
};

// Made right after the installation, from what the disk then holds.
Expectation Expect(const std::string& root, const Installation& made)
{
    Expectation e;
    e.gone = made.directories;
    e.gone.insert(e.gone.end(), made.filesInNew.begin(), made.filesInNew.end());
    for (const std::string& file : made.filesInOld) {
        (NameOf(file)[0] == '.' ? e.kept : e.visibleFilesInOld).push_back(file);
    }
    e.gone.insert(e.gone.end(), e.visibleFilesInOld.begin(), e.visibleFilesInOld.end());

    const std::set<std::string> fresh(made.directories.begin(), made.directories.end());
    std::map<std::string, std::set<std::string>> goneByFolder;
    for (const std::string& entry : e.gone) {
        if (!fresh.count(ParentOf(entry))) {
            goneByFolder[ParentOf(entry)].insert(NameOf(entry));
        }
    }
    for (const auto& [folder, goneNames] : goneByFolder) {
        std::vector<std::string> names = FolderListing(root + "/" + folder);
        std::erase_if(names, [&](const std::string& name) { return goneNames.count(name) > 0; });
        e.oldFolders.emplace(folder, std::move(names));
    }
    return e;
}

// The removed entries are gone, the hidden files in old folders are still there, and every old folder holds
// exactly what it should.
bool OnlyTheInstallationGone(const std::string& root, const Expectation& e)
{
    for (const std::string& entry : e.gone) {
        if (Exists(root + "/" + entry)) {
            std::cerr << "still there: " << entry << '\n';
            return false;
        }
    }
    for (const std::string& entry : e.kept) {
        if (!Exists(root + "/" + entry)) {
            std::cerr << "a hidden file in an old folder was deleted: " << entry << '\n';
            return false;
        }
    }
    for (const auto& [folder, names] : e.oldFolders) {
        if (!IsDirectory(root + "/" + folder) || FolderListing(root + "/" + folder) != names) {
            std::cerr << "the old folder " << (folder.empty() ? std::string("(the root)") : folder)
                      << " does not hold what it held before the installation\n";
            return false;
        }
    }
    return true;
}

// The whole tree as it must be after Delete program: as before the installation, plus the hidden files it left.
std::vector<std::uint64_t> ExpectedListing(const std::string& root, std::vector<std::uint64_t> pristine,
                                           const Expectation& e)
{
    for (const std::string& entry : e.kept) {
        struct stat st {};
        if (lstat((root + "/" + entry).c_str(), &st) != 0) {
            throw std::runtime_error("cannot read " + root + "/" + entry + ": " + std::strerror(errno));
        }
        pristine.push_back(EntryHash(("/" + entry).c_str(), st));
    }
    std::sort(pristine.begin(), pristine.end());
    return pristine;
}

// The drive section of the AFTER file: the number of directory lines and file lines.
std::pair<std::size_t, std::size_t> AfterFileCounts(const std::string& path)
{
    const std::vector<std::string> lines = ReadLines(path);
    std::size_t directories = 0;
    std::size_t files = 0;
    for (std::size_t i = 2; i < lines.size() && lines[i] != "*AUTOEXEC*"; ++i) {
        ++(lines[i].back() == '\\' ? directories : files);
    }
    return {directories, files};
}

// ---- The measured children --------------------------------------------------------------------------------

// Create BEFORE file or Create AFTER file, each in a child so that the benchmark itself stays small: a child's
// ru_maxrss includes what it inherited from its parent at fork.
int RunSnapshotChild(const std::string& which, const std::string& root, const std::string& dataFolder)
{
    Machine machine(root, dataFolder);
    if (which == "before") {
        CreateBeforeFile(machine.ctx());
        return Exists(dataFolder + "BEFORE.DAT") && machine.prompts.others == 0 ? 0 : 1;
    }
    CreateAfterFile(machine.ctx());
    return Exists(dataFolder + "AFTER1.DAT") && machine.prompts.others == 0 ? 0 : 1;
}

// One Delete program of the AFTER file in the data folder. Prints its own peak memory in KiB.
int RunRemoveChild(const std::string& root, const std::string& dataFolder)
{
    Machine machine(root, dataFolder);
    FirstAfterFile list;
    NoRestoration form4;
    DeleteProgram(machine.ctx(), list, form4);
    std::printf("%ld\n", OwnPeakKiB());
    const BenchPrompts& p = machine.prompts;
    const bool clean = list.shown == 1 && form4.shown == 0 && p.confirmations == 1 && p.fileQuestions == 1 &&
                       p.others == 0 && !Exists(dataFolder + "AFTER1.DAT");
    return clean ? 0 : 1;
}

// ---- The benchmark ----------------------------------------------------------------------------------------

int Run(const BenchOptions& o)
{
    MakeDir(o.work);
    const std::string root = o.work + "/tree-" + std::to_string(o.spec.directories) + "-" + std::to_string(o.spec.files);
    const std::string installedMarker = root + ".installed";
    const std::string dataFolder = o.work + "/data-remove/";
    const std::string savedAfter = o.work + "/AFTER1.saved";
    const std::string self = SelfExecutable();

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
    std::fflush(stdout);
    const std::vector<std::uint64_t> pristine = TreeListing(root);

    MakeDir(dataFolder);
    for (const char* name : {"BEFORE.DAT", "AFTER1.DAT"}) {
        unlink((dataFolder + name).c_str());
    }
    if (RunChild({self, "--child-snapshot", "before", root, dataFolder}).exitCode != 0) {
        std::cerr << "Create BEFORE file did not succeed\n";
        return 1;
    }
    std::ofstream(installedMarker).flush();
    const Installation made = Install(root, layout);
    const Expectation expected = Expect(root, made);
    const std::vector<std::uint64_t> expectedTree = ExpectedListing(root, pristine, expected);
    bool checked = RunChild({self, "--child-snapshot", "after", root, dataFolder}).exitCode == 0;
    if (!checked) {
        std::cerr << "Create AFTER file did not succeed\n";
    } else {
        CopyFile(dataFolder + "AFTER1.DAT", savedAfter);
        const auto [afterDirectories, afterFiles] = AfterFileCounts(savedAfter);
        std::printf("Installed: %zu new directories holding %zu files, %zu new files in old directories\n",
                    made.directories.size(), made.filesInNew.size(), made.filesInOld.size());
        std::printf(
            "  %zu of the files in old directories are hidden: Delete program leaves them alone, so rm is "
            "not given them either\n",
            expected.kept.size());
        std::printf("AFTER file recorded through the engine: %zu directory lines, %zu file lines\n", afterDirectories,
                    afterFiles);
        std::fflush(stdout);
        checked = afterDirectories == made.directories.size() && afterFiles == made.filesInOld.size();
        if (!checked) {
            std::cerr << "the AFTER file does not list the installation\n";
        }
    }

    std::vector<std::string> rmDirectories = {"rm", "-rf", "--"};
    for (const std::string& d : made.directories) {
        rmDirectories.push_back(root + "/" + d);
    }
    std::vector<std::string> rmFiles = {"rm", "-f", "--"};
    for (const std::string& f : expected.visibleFilesInOld) {
        rmFiles.push_back(root + "/" + f);
    }

    const std::string peakFile = o.work + "/remove-peak.txt";
    std::vector<double> engineTimes;
    std::vector<double> rmTimes;
    long peakKiB = 0;
    for (int r = 0; r < o.runs && checked; ++r) {
        // The installation and its AFTER file are made again outside the timing, and written out: neither command
        // pays for the disk writes of the set-up (the records, the re-made entries) or of the other command.
        Reinstall(root, made);
        CopyFile(savedAfter, dataFolder + "AFTER1.DAT");
        sync();
        const ChildRun deletion = RunChild({self, "--child-remove", root, dataFolder}, peakFile);
        if (deletion.exitCode != 0) {
            std::cerr << "Delete program did not run cleanly in run " << r + 1 << '\n';
            checked = false;
            break;
        }
        engineTimes.push_back(deletion.seconds);
        const std::vector<std::string> peak = ReadLines(peakFile);
        peakKiB = std::max(peakKiB, peak.empty() ? 0 : std::atol(peak[0].c_str()));
        checked = OnlyTheInstallationGone(root, expected);
        if (checked && r == 0 && TreeListing(root) != expectedTree) {
            std::cerr << "after Delete program the tree differs from the tree before the installation\n";
            checked = false;
        }

        Reinstall(root, made);
        sync();
        const ChildRun rmDirs = RunChild(rmDirectories);
        const ChildRun rmRest = RunChild(rmFiles);
        if (rmDirs.exitCode != 0 || rmRest.exitCode != 0) {
            std::cerr << "rm failed in run " << r + 1 << '\n';
            checked = false;
            break;
        }
        rmTimes.push_back(rmDirs.seconds + rmRest.seconds);
        std::printf("run %d: Delete program %.3f s, rm %.3f s\n", r + 1, engineTimes.back(), rmTimes.back());
        std::fflush(stdout);
        checked = checked && OnlyTheInstallationGone(root, expected);
    }

    Uninstall(root, made);
    unlink(installedMarker.c_str());
    unlink(peakFile.c_str());
    unlink(savedAfter.c_str());
    for (const char* name : {"BEFORE.DAT", "AFTER1.DAT"}) {
        unlink((dataFolder + name).c_str());
    }
    rmdir(dataFolder.c_str());
    if (o.removeTree) {
        RemoveTree(root);
    }
    if (!checked) {
        return 1;
    }

    const double tEngine = Median(engineTimes);
    const double tRm = Median(rmTimes);
    const double ratio = tRm > 0 ? tEngine / tRm : 0;
    std::printf("rm -rf of the directories, rm -f of the files   median of %d: %7.3f s\n", o.runs, tRm);
    std::printf("Delete program through the engine               median of %d: %7.3f s\n", o.runs, tEngine);
    std::printf("  against rm: %.2f (target <= %.2f) %s\n", ratio, kTargetRatio,
                ratio <= kTargetRatio ? "met" : "MISSED");
    std::printf("Peak memory of Delete program: %.1f MiB\n", static_cast<double>(peakKiB) / 1024.0);
    std::printf(
        "Every run removed exactly the installed entries; the first left the tree as before the "
        "installation: yes\n");
    return 0;
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv)
{
    try {
        if (argc == 5 && std::string(argv[1]) == "--child-snapshot") {
            return morvane::bench::RunSnapshotChild(argv[2], argv[3], argv[4]);
        }
        if (argc == 4 && std::string(argv[1]) == "--child-remove") {
            return morvane::bench::RunRemoveChild(argv[2], argv[3]);
        }
        morvane::bench::BenchOptions defaults;
        defaults.runs = 5;
        defaults.work = "morvane-bench-after";
        const auto options = morvane::bench::ParseBenchOptions(argc, argv, defaults);
        if (options.rootFs) {
            std::cout << "morvane_bench_remove: --root-fs is the BEFORE benchmark's; nothing to time here\n";
            return 0;
        }
        return morvane::bench::Run(options);
    } catch (const std::exception& e) {
        std::cerr << "morvane_bench_remove: " << e.what() << '\n';
        return 2;
    }
}
