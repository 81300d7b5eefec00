// Benchmark of the reader and writer of Wine's registry files.
//
// Generates (or re-uses) a deterministic system.reg of about 50 MB as Wine writes one: keys in Wine's order with
// their times, class ids with their servers, file types, vendors' keys in both views (Software\Wow6432Node), links
// with their SymbolicLinkValue, classes, and values of every kind (strings with escapes, str(2), str(7), dword,
// hex, hex(b), hex(0), long binary data over several lines). Then, each run in a fresh process that also gives its
// own peak memory, times on that file and on the 2 MB system.reg of a fresh prefix (tests/wine/data):
//
//     plain read     the file's bytes read into memory and nothing else: what any reading costs
//     read           the file read into a registry (ReadRegistryFile), every line checked
//     write          the registry written back unchanged (WriteRegistryFile), renamed into place
//     changed write  the registry written with one key in 100 touched (a value set), written anew
//
// and, for the records of a prefix whose system.reg is that file (user.reg and userdef.reg a fresh prefix's), each in
// a fresh process of its own:
//
//     BEFORE record  ReadPrefixState and BEFORE.WINE written: what Create BEFORE file adds for a prefix
//     AFTER record   BEFORE.WINE read, ReadPrefixState again (system.reg with one key in 100 touched),
//                    FindPrefixChanges and AFTER<n>.WINE written: what Create AFTER file adds
//
// The written file must be the read one byte for byte, else the benchmark fails. Targets: the 2 MB file read and
// written in under 0.1 s (each), the 50 MB file in under 1 s (each) with a peak memory within 3 times its size (the
// records too: each under 0.1 s and 1 s, the AFTER record's peak memory within 3 times the file's size)
// (for the small file the program's own few megabytes are most of its memory: no target there).
//
//   morvane_bench_registry [--megabytes N] [--runs N] [--work FOLDER] (and the other benchmarks' options)
//
// The generated file is kept in FOLDER (default $TMPDIR or /tmp, then morvane-bench-registry) for the next run.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/common/measure.h"
#include "bench/common/options.h"
#include "platform/file_system.h"
#include "wine/companion.h"
#include "wine/prefix_state.h"
#include "wine/registry_names.h"
#include "wine/registry_reader.h"
#include "wine/registry_text.h"
#include "wine/registry_writer.h"

namespace morvane::bench {
namespace {

using wine::RegistryValue;

constexpr double kSmallTargetSeconds = 0.1;
constexpr double kLargeTargetSeconds = 1.0;
constexpr double kMemoryFactor = 3.0;

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes a Wine-like system.reg of about `bytes` bytes: the keys in Wine's order, each written as Wine writes one.
class RegistryGenerator {
public:
    explicit RegistryGenerator(std::size_t bytes) : m_target(bytes)
    {
        m_out.reserve(bytes + bytes / 8);
        m_out += "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
    }

    std::string run()
    {
        // Below Software, in Wine's order: Classes, the vendors, Wow6432Node (the 32-bit view).
        fileTypes(m_target * 4 / 100);
        classIds(m_target * 30 / 100);
        interfaces(m_target * 35 / 100);
        std::size_t vendor = 0;
        while (m_out.size() < m_target * 85 / 100) {
            vendorKeys(u"Software\\Vendor" + Number(vendor++, 6));
        }
        // The 32-bit view holds links to the 64-bit classes, then its own vendors.
        link(u"Software\\Wow6432Node\\Classes", u"\\Registry\\Machine\\Software\\Classes\\Wow6432Node");
        vendor = 0;
        while (m_out.size() < m_target) {
            vendorKeys(u"Software\\Wow6432Node\\Vendor" + Number(vendor++, 6));
        }
        return std::move(m_out);
    }

private:
    static std::u16string Number(std::size_t n, int width)
    {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%0*zu", width, n);
        return wine::Utf16FromUtf8(buffer);
    }

    static std::u16string Guid(std::uint64_t n)
    {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "{%08llX-%04X-%04X-%04X-%012llX}", static_cast<unsigned long long>(n),
                      static_cast<unsigned>((n * 7919) & 0xffff), static_cast<unsigned>((n * 104729) & 0xffff),
                      static_cast<unsigned>((n * 31) & 0xffff),
                      static_cast<unsigned long long>((n * 2654435761ULL) & 0xffffffffffffULL));
        return wine::Utf16FromUtf8(buffer);
    }

    // "[path] seconds", "#time=", the options and the values (sorted here), as Wine writes a key.
    void key(const std::u16string& path, std::vector<RegistryValue> values, const char* extra = nullptr)
    {
        m_time += 1 + m_random() % 50000;
        const std::uint64_t seconds = (m_time - 116444736000000000ULL) / 10000000;
        m_out += "\n[";
        std::size_t start = 0;
        for (;;) {
            const std::size_t stop = path.find(u'\\', start);
            wine::text::AppendEscaped(m_out, std::u16string_view(path).substr(start, stop - start), '[', ']');
            if (stop == std::u16string::npos) {
                break;
            }
            m_out += "\\\\";
            start = stop + 1;
        }
        char line[80];
        std::snprintf(line, sizeof line, "] %llu\n#time=%llx\n", static_cast<unsigned long long>(seconds),
                      static_cast<unsigned long long>(m_time));
        m_out += line;
        if (extra) {
            m_out += extra;
        }
        std::sort(values.begin(), values.end(), [](const RegistryValue& a, const RegistryValue& b) {
            return wine::CompareNames(a.name, b.name) < 0;
        });
        for (const RegistryValue& value : values) {
            wine::text::AppendValue(m_out, value);
        }
    }

    void link(const std::u16string& path, const std::u16string& target)
    {
        std::string bytes;
        for (const char16_t u : target) {
            bytes.push_back(static_cast<char>(u & 0xff));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        key(path, {RegistryValue::bytes(u"SymbolicLinkValue", bytes, wine::kRegLink)}, "#link\n");
    }

    std::string randomBytes(std::size_t n)
    {
        std::string bytes(n, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(m_random() & 0xff);
        }
        return bytes;
    }

    void fileTypes(std::size_t until)
    {
        for (std::size_t i = 0; m_out.size() < until; ++i) {
            const std::u16string ext = u".ext" + Number(i, 5);
            key(u"Software\\Classes\\" + ext,
                {RegistryValue::text(u"", u"extfile" + Number(i, 5)),
                 RegistryValue::text(u"Content Type", u"application/x-ext" + Number(i, 5)),
                 RegistryValue::text(u"PerceivedType", u"document")});
            if (i % 3 == 0) {
                key(u"Software\\Classes\\" + ext + u"\\OpenWithProgids",
                    {RegistryValue::bytes(u"extfile" + Number(i, 5), "", wine::kRegNone)});
            }
        }
    }

    void classIds(std::size_t until)
    {
        for (std::uint64_t i = 0; m_out.size() < until; ++i) {
            const std::u16string clsid = u"Software\\Classes\\CLSID\\" + Guid(0x10000000 + i * 977);
            key(clsid, {RegistryValue::text(u"", u"Component \xe9l\xe9ment " + Number(i, 1))});
            key(clsid + u"\\InprocServer32",
                {RegistryValue::text(u"", u"C:\\windows\\system32\\comp" + Number(i % 500, 3) + u".dll"),
                 RegistryValue::text(u"ThreadingModel", i % 2 ? u"Both" : u"Apartment")});
            if (i % 4 == 0) {
                key(clsid + u"\\ProgID", {RegistryValue::text(u"", u"Comp.Object." + Number(i, 1))});
            }
        }
    }

    void interfaces(std::size_t until)
    {
        for (std::uint64_t i = 0; m_out.size() < until; ++i) {
            const std::u16string iid = u"Software\\Classes\\Interface\\" + Guid(0x20000000 + i * 1223);
            key(iid, {RegistryValue::text(u"", u"IInterface" + Number(i, 1))});
            key(iid + u"\\ProxyStubClsid32", {RegistryValue::text(u"", Guid(0x30000000 + i % 97))});
            if (i % 5 == 0) {
                key(iid + u"\\TypeLib",
                    {RegistryValue::text(u"", Guid(0x40000000 + i % 89)), RegistryValue::text(u"Version", u"1.0")});
            }
        }
    }

    // A vendor's keys: every kind of value, a class, a link, settings below, an uninstall entry.
    void vendorKeys(const std::u16string& base)
    {
        const std::size_t n = m_random() % 1000;
        std::string qword = randomBytes(8);
        key(base, {RegistryValue::text(u"InstallDir", u"C:\\Program Files\\Vendor " + Number(n, 1)),
                   RegistryValue::text(u"Path", u"%ProgramFiles%\\Vendor\\bin", wine::kRegExpandSz),
                   RegistryValue::multiText(u"Languages", {u"en-US", u"de-DE", u"fr-FR", u"\x65e5\x672c\x8a9e"}),
                   RegistryValue::dword(u"Version", static_cast<std::uint32_t>(n)),
                   RegistryValue::bytes(u"Serial", qword, wine::kRegQword),
                   RegistryValue::bytes(u"License", randomBytes(64 + m_random() % 400)),
                   RegistryValue::bytes(u"Flags", "", wine::kRegNone),
                   RegistryValue::text(u"Description", u"A \"quoted\" name\twith tab, caf\xe9 \x20ac and \\ too")});
        key(base + u"\\Classes", {RegistryValue::dword(u"Count", 3)}, "#class=\"VendorClass\"\n");
        link(base + u"\\Current", u"\\Registry\\Machine\\Software\\Vendor\\Versions\\" + Number(n, 1));
        for (int s = 0; s < 6; ++s) {
            key(base + u"\\Settings\\Section" + Number(static_cast<std::size_t>(s), 2),
                {RegistryValue::text(u"Color", u"#ff00" + Number(static_cast<std::size_t>(s), 2)),
                 RegistryValue::dword(u"Height", 480 + s), RegistryValue::dword(u"Width", 640 + s),
                 RegistryValue::bytes(u"Window", randomBytes(40)),
                 RegistryValue::text(u"Recent", u"C:\\users\\wine\\Documents\\file" + Number(n, 4) + u".txt")});
        }
        key(base + u"\\Uninstall",
            {RegistryValue::text(u"DisplayName", u"Vendor Application " + Number(n, 1)),
             RegistryValue::text(u"UninstallString", u"\"C:\\Program Files\\Vendor\\uninst.exe\" /S"),
             RegistryValue::dword(u"NoModify", 1), RegistryValue::dword(u"EstimatedSize", 20480)});
    }

    std::size_t m_target;
    std::string m_out;
    std::mt19937_64 m_random{20240501};
    std::uint64_t m_time = 0x1dd87c7c0000000ULL;
};

// The child: times on one file, its figures on standard output.
int TimeInChild(const std::string& file, const std::string& written, const std::string& changed)
{
    std::printf("start %ld\n", OwnPeakKiB());
    FileSystem files{DriveMap()};
    auto start = std::chrono::steady_clock::now();
    {
        auto bytes = files.readFile(file);
        if (!bytes) {
            std::cerr << bytes.error().describe() << '\n';
            return 1;
        }
        std::printf("plain %.6f\n", Seconds(start));
    }
    start = std::chrono::steady_clock::now();
    auto registry = wine::ReadRegistryFile(files, file);
    const double readSeconds = Seconds(start);
    if (!registry) {
        std::cerr << registry.error().describe() << '\n';
        return 1;
    }
    std::printf("read %.6f\n", readSeconds);
    start = std::chrono::steady_clock::now();
    if (Status s = wine::WriteRegistryFile(files, written, *registry); !s) {
        std::cerr << s.error().describe() << '\n';
        return 1;
    }
    std::printf("write %.6f\n", Seconds(start));

    // One key in 100 touched, outside the timing: its vendor's version set anew.
    std::vector<std::u16string> pending{u""};
    std::size_t keys = 0;
    std::size_t touched = 0;
    registry->setChangeTime(wine::FileTimeFromUnix(1800000000));
    while (!pending.empty()) {
        const std::u16string path = pending.back();
        pending.pop_back();
        const auto names = registry->subkeys(path);
        for (const std::u16string& name : *names) {
            pending.push_back(path.empty() ? name : path + u"\\" + name);
        }
        if (!path.empty() && ++keys % 100 == 0) {
            (void)registry->setValue(path, RegistryValue::dword(u"MorvaneBench", 1));
            ++touched;
        }
    }
    start = std::chrono::steady_clock::now();
    if (Status s = wine::WriteRegistryFile(files, changed, *registry); !s) {
        std::cerr << s.error().describe() << '\n';
        return 1;
    }
    std::printf("changed %.6f\n", Seconds(start));
    std::printf("keys %zu\ntouched %zu\npeak %ld\n", keys, touched, OwnPeakKiB());
    return 0;
}

// The child for the records: a prefix's state kept in BEFORE.WINE, then its changes found and kept in AFTER1.WINE.
int TimeRecordsInChild(const std::string& before, const std::string& after, const std::string& work)
{
    std::printf("start %ld\n", OwnPeakKiB());
    // No desktop files: the menu builder's locations point into the work folder.
    ::setenv("HOME", (work + "/home").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (work + "/home/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (work + "/home/config").c_str(), 1);
    FileSystem files{DriveMap()};
    const std::string beforeFile = work + "/BEFORE.WINE";
    const std::string afterFile = work + "/AFTER1.WINE";
    auto start = std::chrono::steady_clock::now();
    {
        auto state = wine::ReadPrefixState(files, before);
        if (!state) {
            std::cerr << state.error().describe() << '\n';
            return 1;
        }
        if (Status s = wine::WriteBeforeCompanion(files, beforeFile, *state); !s) {
            std::cerr << s.error().describe() << '\n';
            return 1;
        }
    }
    std::printf("before %.6f\n", Seconds(start));
    start = std::chrono::steady_clock::now();
    std::size_t changes = 0;
    {
        auto old = wine::ReadBeforeCompanion(files, beforeFile);
        if (!old) {
            std::cerr << old.error().describe() << '\n';
            return 1;
        }
        auto now = wine::ReadPrefixState(files, after);
        if (!now) {
            std::cerr << now.error().describe() << '\n';
            return 1;
        }
        auto found = wine::FindPrefixChanges(*old, *now);
        if (!found) {
            std::cerr << found.error().describe() << '\n';
            return 1;
        }
        changes = found->registry.size();
        if (Status s = wine::WriteAfterCompanion(files, afterFile, *found); !s) {
            std::cerr << s.error().describe() << '\n';
            return 1;
        }
    }
    std::printf("after %.6f\n", Seconds(start));
    std::printf("changes %zu\npeak %ld\n", changes, OwnPeakKiB());
    unlink(beforeFile.c_str());
    unlink(afterFile.c_str());
    return 0;
}

struct Figures {
    std::vector<double> plain, read, write, changed;
    std::vector<double> beforeRecord, afterRecord;
    long peakKiB = 0;
    long recordsPeakKiB = 0;
    std::size_t changes = 0;
    long startKiB = 0;  // the child's own memory before it reads anything
    std::size_t keys = 0;
    std::size_t touched = 0;
};

Figures TimeFile(const std::string& file, const std::string& work, int runs)
{
    Figures f;
    const std::string written = work + "/written.reg";
    const std::string changed = work + "/changed.reg";
    const std::string figures = work + "/figures.txt";
    for (int r = 0; r < runs; ++r) {
        const ChildRun run = RunChild({SelfExecutable(), "--child", file, written, changed}, figures);
        if (run.exitCode != 0) {
            throw std::runtime_error("the timed reading and writing of " + file + " failed");
        }
        std::ifstream in(figures);
        std::string what;
        double value = 0;
        while (in >> what >> value) {
            if (what == "plain") {
                f.plain.push_back(value);
            } else if (what == "read") {
                f.read.push_back(value);
            } else if (what == "write") {
                f.write.push_back(value);
            } else if (what == "changed") {
                f.changed.push_back(value);
            } else if (what == "peak") {
                f.peakKiB = std::max(f.peakKiB, static_cast<long>(value));
            } else if (what == "start") {
                f.startKiB = std::max(f.startKiB, static_cast<long>(value));
            } else if (what == "keys") {
                f.keys = static_cast<std::size_t>(value);
            } else if (what == "touched") {
                f.touched = static_cast<std::size_t>(value);
            }
        }
        if (ReadBytes(written) != ReadBytes(file)) {
            throw std::runtime_error(file + " written back unchanged is not the same bytes");
        }
    }

    // Two prefixes: the file as it is, and as changed, each with a fresh prefix's user.reg and userdef.reg.
    const std::string data = std::string(MORVANE_SOURCE_DIR) + "/tests/wine/data/";
    const std::string prefixes[2] = {work + "/prefix-before", work + "/prefix-after"};
    for (int i = 0; i < 2; ++i) {
        MakeDir(prefixes[i]);
        for (const char* name : {"user.reg", "userdef.reg"}) {
            std::ofstream(prefixes[i] + "/" + name, std::ios::binary) << ReadBytes(data + name);
        }
        std::ofstream(prefixes[i] + "/system.reg", std::ios::binary) << ReadBytes(i == 0 ? file : changed);
    }
    for (int r = 0; r < runs; ++r) {
        const ChildRun run = RunChild({SelfExecutable(), "--records", prefixes[0], prefixes[1], work}, figures);
        if (run.exitCode != 0) {
            throw std::runtime_error("the timed records of a prefix with " + file + " failed");
        }
        std::ifstream in(figures);
        std::string what;
        double value = 0;
        while (in >> what >> value) {
            if (what == "before") {
                f.beforeRecord.push_back(value);
            } else if (what == "after") {
                f.afterRecord.push_back(value);
            } else if (what == "peak") {
                f.recordsPeakKiB = std::max(f.recordsPeakKiB, static_cast<long>(value));
            } else if (what == "changes") {
                f.changes = static_cast<std::size_t>(value);
            }
        }
    }
    for (const std::string& prefix : prefixes) {
        for (const char* name : {"/system.reg", "/user.reg", "/userdef.reg"}) {
            unlink((prefix + name).c_str());
        }
        rmdir(prefix.c_str());
    }
    unlink(written.c_str());
    unlink(changed.c_str());
    unlink(figures.c_str());
    return f;
}

// Prints the figures; false when a target is missed. The memory target holds for a large file only: for a small one
// the program's own memory is most of it.
bool Report(const std::string& label, const std::string& file, const Figures& f, int runs, double targetSeconds,
            bool memoryTarget)
{
    struct stat st {};
    ::stat(file.c_str(), &st);
    const double plain = Median(f.plain);
    const double read = Median(f.read);
    const double write = Median(f.write);
    const double changed = Median(f.changed);
    const double peakMiB = static_cast<double>(f.peakKiB) / 1024.0;
    const double startMiB = static_cast<double>(f.startKiB) / 1024.0;
    const double fileMiB = static_cast<double>(st.st_size) / (1024.0 * 1024.0);
    const bool timesMet = read < targetSeconds && write < targetSeconds && changed < targetSeconds;
    const bool memoryMet = !memoryTarget || peakMiB <= kMemoryFactor * fileMiB;
    std::printf("%s: %s, %.1f MB, %zu keys\n", label.c_str(), file.c_str(), static_cast<double>(st.st_size) / 1e6,
                f.keys);
    std::printf("  plain read of its bytes        median of %d: %8.4f s  (%s)\n", runs, plain,
                RunsText(f.plain).c_str());
    std::printf("  read into a registry           median of %d: %8.4f s  (%s)  %.1f times the plain read\n", runs, read,
                RunsText(f.read).c_str(), read / plain);
    std::printf("  written back unchanged         median of %d: %8.4f s  (%s)\n", runs, write,
                RunsText(f.write).c_str());
    std::printf("  written, %5zu keys touched     median of %d: %8.4f s  (%s)\n", f.touched, runs, changed,
                RunsText(f.changed).c_str());
    std::printf("  target: each under %.1f s: %s\n", targetSeconds, timesMet ? "met" : "MISSED");
    std::printf("  peak memory %.1f MiB (%.1f MiB of it the program before reading), %.2f times the file", peakMiB,
                startMiB, peakMiB / fileMiB);
    if (memoryTarget) {
        std::printf(" (target <= %.0f): %s\n", kMemoryFactor, memoryMet ? "met" : "MISSED");
    } else {
        std::printf("\n");
    }
    std::printf("  written back unchanged: the same bytes\n");

    const double before = Median(f.beforeRecord);
    const double after = Median(f.afterRecord);
    const double recordsPeakMiB = static_cast<double>(f.recordsPeakKiB) / 1024.0;
    const bool recordsMet = before < targetSeconds && after < targetSeconds;
    const bool recordsMemoryMet = !memoryTarget || recordsPeakMiB <= kMemoryFactor * fileMiB;
    std::printf("  BEFORE record: state read, BEFORE.WINE written      median of %d: %8.4f s  (%s)\n", runs, before,
                RunsText(f.beforeRecord).c_str());
    std::printf(
        "  AFTER record: BEFORE.WINE and state read, %5zu changes found, AFTER1.WINE written\n"
        "                                                 median of %d: %8.4f s  (%s)\n",
        f.changes, runs, after, RunsText(f.afterRecord).c_str());
    std::printf("  target: each under %.1f s: %s\n", targetSeconds, recordsMet ? "met" : "MISSED");
    std::printf("  records' peak memory %.1f MiB, %.2f times the file", recordsPeakMiB, recordsPeakMiB / fileMiB);
    if (memoryTarget) {
        std::printf(" (target <= %.0f): %s\n", kMemoryFactor, recordsMemoryMet ? "met" : "MISSED");
    } else {
        std::printf("\n");
    }
    return timesMet && memoryMet && recordsMet && recordsMemoryMet;
}

int Run(int argc, char** argv)
{
    BenchOptions defaults;
    defaults.runs = 3;
    defaults.work = "morvane-bench-registry";
    const BenchOptions options = ParseBenchOptions(argc, argv, defaults);
    if (options.rootFs) {
        std::printf("morvane_bench_registry: --root-fs is the BEFORE benchmark's; nothing to time here\n");
        return 0;
    }
    const std::size_t megabytes = std::max<std::size_t>(1, options.megabytes);
    const int runs = options.runs;
    const std::string& work = options.work;
    MakeDir(work);
    const std::string large = work + "/system-" + std::to_string(megabytes) + "mb.reg";
    if (!Exists(large)) {
        const auto start = std::chrono::steady_clock::now();
        const std::string text = RegistryGenerator(megabytes * 1000 * 1000).run();
        std::ofstream out(large + ".tmp", std::ios::binary);
        out << text;
        out.close();
        if (!out || std::rename((large + ".tmp").c_str(), large.c_str()) != 0) {
            throw std::runtime_error("cannot write " + large);
        }
        std::printf("Generated %s (%.1f MB) in %.1f s\n", large.c_str(), static_cast<double>(text.size()) / 1e6,
                    Seconds(start));
    } else {
        std::printf("Re-used %s\n", large.c_str());
    }

    bool met = true;
    const std::string small = std::string(MORVANE_SOURCE_DIR) + "/tests/wine/data/system.reg";
    if (Exists(small)) {
        met = Report("A fresh prefix's system.reg", small, TimeFile(small, work, runs), runs, kSmallTargetSeconds,
                     false) &&
              met;
    }
    met = Report("Generated system.reg", large, TimeFile(large, work, runs), runs, kLargeTargetSeconds, true) && met;
    return met ? 0 : 1;
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv)
{
    try {
        if (argc == 5 && std::string(argv[1]) == "--child") {
            return morvane::bench::TimeInChild(argv[2], argv[3], argv[4]);
        }
        if (argc == 5 && std::string(argv[1]) == "--records") {
            return morvane::bench::TimeRecordsInChild(argv[2], argv[3], argv[4]);
        }
        return morvane::bench::Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "morvane_bench_registry: " << e.what() << '\n';
        return 2;
    }
}
