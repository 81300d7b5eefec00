#include "removal/restore_system_file.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <random>

#include "records/normalize.h"
#include "tests/platform/platform_support.h"
#include "tests/snapshot/hooked_file_system.h"

namespace morvane {
namespace {

using test::crlf;
using Lines = std::vector<std::string>;
using Files = std::map<std::string, std::string>;  // path below C:\ -> bytes, "<dir>" or "<link>"

// Table rows print as their names.
template <typename Row>
requires requires(const Row& row)
{
    row.name;
}
void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

struct MergeCase {
    const char* name;
    Lines before, installed, now;  // the section's two parts and the file on disk
    Lines written, unplaced;       // the merged file and the .MIS lines
};

// clang-format off
const MergeCase kMergeCases[] = {
    {"PathExample", {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP"},
     {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP"},
     {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP", "SET BLASTER=A220"},
     {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP", "SET BLASTER=A220"}, {}},
    {"RemExample", {"ECHO OFF", "SET TEMP=C:\\TEMP"}, {"ECHO OFF", "REM SET TEMP=C:\\TEMP", "SET TEMP=C:\\APPTMP"},
     {"ECHO OFF", "REM SET TEMP=C:\\TEMP", "SET TEMP=C:\\APPTMP", "PROMPT $P$G"},
     {"ECHO OFF", "SET TEMP=C:\\TEMP", "PROMPT $P$G"}, {}},
    {"SurvivingDeviceLineStays", {"DEVICE=HIMEM.SYS", "DEVICE=EMM386.EXE"}, {"DEVICE=HIMEM.SYS"},
     {"DEVICE=HIMEM.SYS", "BUFFERS=20"}, {"DEVICE=HIMEM.SYS", "BUFFERS=20"}, {"DEVICE=EMM386.EXE"}},
    {"Spacing", {"FILES=30"}, {"FILES=30", "DEVICE=APP.SYS"}, {"  FILES = 30  ", "DEVICE = APP.SYS", " B =  2"},
     {"FILES=30", "B=2"}, {}},
    {"BlankLines", {"", "[boot]", "", "shell=progman.exe"}, {"[boot]", "shell=app.exe"},
     {"", "[boot]", "", "shell=app.exe", "", "user=1"}, {"", "[boot]", "", "shell=progman.exe", "", "user=1"}, {}},
    {"DeletedByUser", {"A=1", "ECHO ON", "B=2"}, {"A=5", "ECHO ON"}, {}, {}, {"A=1", "B=2"}},
    {"ALineTakesOnlyTheFirstMissingLineOfItsKey", {"DEVICE=A.SYS", "DEVICE=B.SYS"}, {"DEVICE=C.SYS"},
     {"DEVICE=C.SYS", "X=1"}, {"DEVICE=A.SYS", "X=1"}, {"DEVICE=B.SYS"}},
    {"TwoReplacedLinesOfOneKeyComeBackInTheirOrder", {"DEVICE=C:\\DOS\\HIMEM.SYS", "DEVICE=C:\\DOS\\EMM386.EXE"},
     {"DEVICE=C:\\APP\\A.SYS", "DEVICE=C:\\APP\\B.SYS"}, {"DEVICE=C:\\APP\\A.SYS", "DEVICE=C:\\APP\\B.SYS", "FILES=40"},
     {"DEVICE=C:\\DOS\\HIMEM.SYS", "DEVICE=C:\\DOS\\EMM386.EXE", "FILES=40"}, {}},
};
// clang-format on

class MergeTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeTest, WritesAndReports)
{
    RestoreLines lines;
    lines.readSection(ConfigSection{true, GetParam().before, GetParam().installed});
    lines.readCurrent(GetParam().now);
    EXPECT_EQ(lines.merge(), GetParam().written);
    EXPECT_EQ(lines.unplacedLines(), GetParam().unplaced);
}
INSTANTIATE_TEST_SUITE_P(Table, MergeTest, ::testing::ValuesIn(kMergeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The merge loops as the restoration describes them, positions from 1: lists with free room searched over
// their whole capacity, the key rule only for lines that were not there before, and a line that takes at most
// one missing line, the first that fits.
std::pair<Lines, Lines> LiteralMerge(const Lines& before, const Lines& installed, const Lines& now)
{
    struct List {
        Lines slot;
        std::size_t count = 0;
        void add(const std::string& s)
        {
            if (++count + 1 > slot.size() - 1) {
                slot.resize(slot.size() + 10);
            }
            slot[count] = NormalizeLine(s);
        }
        std::size_t find(const std::string& l) const
        {
            for (std::size_t j = 1; j < slot.size(); ++j) {
                if (LinesMatch(slot[j], l)) {
                    return j;
                }
            }
            return 0;
        }
    };
    auto upper = [](std::string s) {
        for (char& ch : s) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        return s;
    };
    auto key = [](const std::string& s) { return s.substr(0, s.find('=')); };  // no spaces next to "="
    const std::size_t c = 3 + now.size();
    List original{Lines(c + 201)}, inst{Lines(c + 201)}, current{Lines(c + 1)};
    for (const auto& l : before) {
        original.add(l);
    }
    for (const auto& l : installed) {
        inst.add(l);
    }
    for (const auto& l : now) {
        current.add(l);
    }
    List missing{Lines(original.count + 1)};
    for (std::size_t i = 1; i <= original.count; ++i) {
        if (inst.find(original.slot[i]) == 0) {
            missing.add(original.slot[i]);
        }
    }
    Lines written, unplaced;
    for (std::size_t i = 1; i <= current.count; ++i) {
        std::string L = current.slot[i];
        const std::size_t inOriginal = original.find(L), inInstalled = inst.find(L);
        bool keep = inOriginal > 0 || inInstalled == 0;
        bool taken = false;
        for (std::size_t k = 1; k <= missing.count && !taken; ++k) {
            const std::string M = missing.slot[k];
            const bool bothEq = M.find('=') != std::string::npos && L.find('=') != std::string::npos;
            const std::size_t rest = L.size() > 4 ? L.find_first_not_of(' ', 4) : std::string::npos;
            taken =
                (inOriginal == 0 && bothEq && inInstalled > 0 &&
                 (key(M) == key(L) || (upper(M.substr(0, 4)) == "PATH" && L.find(M) != std::string::npos))) ||
                (upper(L.substr(0, 4)) == "REM " && upper(rest == std::string::npos ? "" : L.substr(rest)) == upper(M));
            if (taken) {
                L = M, keep = true, missing.slot[k].clear();
            }
        }
        if (keep) {
            written.push_back(L);
        }
    }
    for (std::size_t k = 1; k <= missing.count; ++k) {
        if (!missing.slot[k].empty()) {
            unplaced.push_back(missing.slot[k]);
        }
    }
    return {written, unplaced};
}

TEST(MergeAgainstLiteralLoops, AgreesOnRandomInputs)
{
    // clang-format off
    const Lines alphabet = {"", "ECHO OFF", "PATH=C:\\DOS", "PATH = C:\\DOS;C:\\APP", "SET PATH=C:\\DOS;C:\\APP",
                            "path=c:\\dos", "SET TEMP=C:\\TEMP", "SET TEMP = C:\\APP", "REM SET TEMP=C:\\TEMP",
                            "rem  set temp=c:\\temp", "REM PATH=C:\\DOS", "REM", "DEVICE=A.SYS", "DEVICE=B.SYS",
                            " FILES = 30 ", "FILES=40", "[boot]", "A=B=C"};
    // clang-format on
    std::mt19937 random(20261208);
    auto any = [&] { return alphabet[random() % alphabet.size()]; };
    auto pick = [&](std::size_t most) {
        Lines out(random() % (most + 1));
        for (auto& l : out) {
            l = any();
        }
        return out;
    };
    for (int run = 0; run < 4000; ++run) {
        const Lines before = pick(6);
        Lines installed = run % 2 == 0 ? before : pick(6);
        for (int n = static_cast<int>(random() % 3); n > 0; --n) {
            installed.insert(installed.begin() + static_cast<long>(random() % (installed.size() + 1)), any());
        }
        Lines now = run % 3 == 0 ? pick(7) : installed;
        if (!now.empty() && random() % 2 == 0) {
            now[random() % now.size()] = any();
        }

        RestoreLines lines;
        lines.readSection(ConfigSection{true, before, installed});
        lines.readCurrent(now);
        const auto [written, unplaced] = LiteralMerge(before, installed, now);
        ASSERT_EQ(lines.merge(), written) << ::testing::PrintToString(std::vector{before, installed, now});
        ASSERT_EQ(lines.unplacedLines(), unplaced) << ::testing::PrintToString(std::vector{before, installed, now});
    }
}

// ---------------------------------------------------------------------------------------------------------
// On disk, through the doubles

class ScriptedForm4 : public RestoreOptions {
public:
    int ShowRestoreOptions(const std::string& path, const std::string& program, bool linesMissing) override
    {
        shown.push_back(path + " / " + program + (linesMissing ? " / lines missing" : ""));
        return choice;
    }
    int choice = 0;
    Lines shown;
};

// Every entry below a host folder, links not followed.
void FolderState(const std::string& host, const std::string& prefix, Files& out)
{
    DIR* dir = ::opendir(host.c_str());
    while (dirent* e = dir ? ::readdir(dir) : nullptr) {
        const std::string name = e->d_name, path = host + "/" + name;
        if (name == "." || name == "..") {
            continue;
        }
        out[prefix + name] = e->d_type == DT_LNK ? "<link>" : e->d_type == DT_DIR ? "<dir>" : test::readFile(path);
        if (e->d_type == DT_DIR) {
            FolderState(path, prefix + name + "/", out);
        }
    }
    if (dir) {
        ::closedir(dir);
    }
}

const SystemFile kConfig{"C:\\CONFIG.SYS", "CONFIG", "C:\\CONFIG.QRV", "C:\\CONFIG.MIS"};
const SystemFile kWinIni{"C:\\WINDOWS\\WIN.INI", "WIN", "C:\\WINDOWS\\WIN.QRV", "C:\\WINDOWS\\WIN.MIS"};
const ConfigSection kDevice{
    true, {"DEVICE=HIMEM.SYS", "DEVICE=EMM386.EXE", "FILES=30"}, {"DEVICE=HIMEM.SYS", "FILES=30", "LASTDRIVE=Z"}};
const std::string kNow = "DEVICE=HIMEM.SYS\r\nFILES = 30\r\nLASTDRIVE=Z\r\nBUFFERS=20\r\n";
const std::string kNowQrv = crlf({"DEVICE=HIMEM.SYS", "FILES=30", "LASTDRIVE=Z", "BUFFERS=20"});
const std::string kOld = crlf({"DEVICE=HIMEM.SYS", "DEVICE=EMM386.EXE", "FILES=30"});
const ConfigSection kUnchangedSince{true, {"FILES=30"}, {"FILES=40", "X=1"}};
const std::string kQuestion =
    "Considering restoring original C:\\CONFIG.SYS file. \nC:\\CONFIG.SYS was changed during "
    "installation of Word Wizard, but has not been changed since. C:\\CONFIG.SYS can be "
    "easily restored by replacing original file. \nProceed?";
const std::string kAttention =
    "Attention! Some line(s) from the original file could not be found in the existing file and could not be "
    "safely replaced. They have been placed in the file C:\\CONFIG.MIS for safe keeping.\nYou may wish to "
    "manually add them to C:\\CONFIG.SYS.\nYou can use C:\\CONFIG.QRV as a guide by looking for lines in "
    "C:\\CONFIG.QRV that are similar to the missing lines.";
const std::string kNoSpace = ": No space left on device. ";

struct DiskCase {
    const char* name;
    ConfigSection section;
    Files before;                                   // besides the folder WINDOWS
    std::optional<Answer> answer;                   // to the yes/no question
    int choice;                                     // in Form4; 0: not shown
    bool warned;                                    // lines are missing: the beep and the warning variant of Form4
    Files after;                                    // besides WINDOWS, unless given
    Lines messages;                                 // message texts in order
    std::function<bool(std::string)> prepare = {};  // gets C:'s host root; false: not possible here
    const char* failing = nullptr;                  // the atomic write that fails
    const SystemFile* file = &kConfig;
    mode_t mode = 0;  // of the system file afterwards, when it matters
};
// clang-format off
const DiskCase kDiskCases[] = {
    {"NoChange", {false, {}, {}}, {{"CONFIG.SYS", kNow}}, {}, 0, false, {{"CONFIG.SYS", kNow}}, {}},
    {"UnchangedSinceYes", kUnchangedSince, {{"CONFIG.SYS", "FILES = 40\r\nX=1\r\n"}}, Answer::Yes, 0, false,
     {{"CONFIG.SYS", "FILES=30\r\n"}, {"CONFIG.QRV", "FILES=40\r\nX=1\r\n"}}, {kQuestion}},
    {"UnchangedSinceNo", kUnchangedSince, {{"CONFIG.SYS", "FILES=40\r\nX=1"}}, Answer::No, 0, false,
     {{"CONFIG.SYS", "FILES=40\r\nX=1"}}, {kQuestion}},
    {"DoNotRestore", kDevice, {{"CONFIG.SYS", kNow}}, {}, 1, true, {{"CONFIG.SYS", kNow}}, {}},
    {"Replace", kDevice, {{"CONFIG.SYS", kNow}}, {}, 2, true, {{"CONFIG.SYS", kOld}, {"CONFIG.QRV", kNowQrv}}, {}},
    {"Merge", kDevice, {{"CONFIG.SYS", kNow}}, {}, 3, true, {{"CONFIG.SYS", crlf({"DEVICE=HIMEM.SYS", "FILES=30",
     "BUFFERS=20"})}, {"CONFIG.QRV", kNowQrv}, {"CONFIG.MIS", "DEVICE=EMM386.EXE\r\n"}}, {kAttention}},
    {"MergeWithNothingMissing", {true, {"A=1"}, {"A=1", "B=2"}}, {{"CONFIG.SYS", "A=1\r\nB=2\r\nC = 3\r\n"}}, {}, 3,
     false, {{"CONFIG.SYS", "A=1\r\nC=3\r\n"}, {"CONFIG.QRV", "A=1\r\nB=2\r\nC=3\r\n"}}, {}},
    {"DeletedByUserReplaced", {true, {"A=1", "B"}, {"A=2", "B"}}, {}, {}, 2, true,
     {{"CONFIG.SYS", "A=1\r\nB\r\n"}, {"CONFIG.QRV", ""}}, {}},
    {"DeletedByUserMerged", {true, {"A=1", "B"}, {"A=2", "B"}}, {}, {}, 3, true,
     {{"CONFIG.SYS", ""}, {"CONFIG.QRV", ""}, {"CONFIG.MIS", "A=1\r\n"}}, {kAttention}},
    {"SafetyCopyFails", kDevice, {{"CONFIG.SYS", kNow}}, {}, 3, true, {{"CONFIG.SYS", kNow}},
     {"The safety copy C:\\CONFIG.QRV could not be written" + kNoSpace + "C:\\CONFIG.SYS has been left unchanged."},
     {}, "C:\\CONFIG.QRV"},
    {"MissingLineFileFails", kDevice, {{"CONFIG.SYS", kNow}}, {}, 3, true, {{"CONFIG.SYS", kNow}, {"CONFIG.QRV",
     kNowQrv}}, {"The file C:\\CONFIG.MIS could not be written" + kNoSpace + "C:\\CONFIG.SYS has been left "
     "unchanged."}, {}, "C:\\CONFIG.MIS"},
    {"SystemFileFails", kDevice, {{"CONFIG.SYS", kNow}}, {}, 3, true, {{"CONFIG.SYS", kNow}, {"CONFIG.QRV", kNowQrv},
     {"CONFIG.MIS", "DEVICE=EMM386.EXE\r\n"}}, {"The file C:\\CONFIG.SYS could not be written" + kNoSpace + "It has "
     "been left unchanged."}, {}, "C:\\CONFIG.SYS"},
    {"ReadOnly", kDevice, {{"CONFIG.SYS", kNow}}, {}, 2, true, {{"CONFIG.SYS", kNow}},
     {"The file C:\\CONFIG.SYS could not be written: it is read-only. It has been left unchanged."},
     [](std::string c) { return ::chmod((c + "/CONFIG.SYS").c_str(), 0444) == 0; }},
    {"PermissionsKept", kDevice, {{"CONFIG.SYS", kNow}}, {}, 2, true, {{"CONFIG.SYS", kOld}, {"CONFIG.QRV", kNowQrv}},
     {}, [](std::string c) { return ::chmod((c + "/CONFIG.SYS").c_str(), 0640) == 0; }, nullptr, &kConfig, 0640},
    {"HiddenFile", {true, {"FILES=30"}, {}}, {{"CONFIG.SYS", kNow}}, {}, 0, false, {{"CONFIG.SYS", kNow}},
     {"The file C:\\CONFIG.SYS is a hidden or system file, so it has not been read and has been left unchanged. "
      "Restore it by hand if it needs it."},
     [](std::string c) { return test::setDosAttribute(c + "/CONFIG.SYS", "0x2"); }},
    {"LowerCaseWinIni", {true, {"load="}, {"load=app.exe"}}, {{"WINDOWS/win.ini", "load=app.exe\r\n"}}, Answer::Yes,
     0, false, {{"WINDOWS/win.ini", "load=\r\n"}, {"WINDOWS/WIN.QRV", "load=app.exe\r\n"}},
     {"Considering restoring original C:\\WINDOWS\\WIN.INI file. \nC:\\WINDOWS\\WIN.INI was changed during "
      "installation of Word Wizard, but has not been changed since. C:\\WINDOWS\\WIN.INI can be easily restored by "
      "replacing original file. \nProceed?"}, {}, nullptr, &kWinIni},
    {"ThroughALink", {true, {"load="}, {"load=app.exe"}}, {{"REAL/WIN.INI", "load=app.exe\r\n"}}, {}, 0, false,
     {{"WINDOWS", "<link>"}, {"REAL", "<dir>"}, {"REAL/WIN.INI", "load=app.exe\r\n"}},
     {"The file C:\\WINDOWS\\WIN.INI cannot be reached: the path passes through a symbolic link. It has been left "
      "unchanged."}, [](std::string c) {
         return ::rmdir((c + "/WINDOWS").c_str()) == 0 && ::symlink("REAL", (c + "/WINDOWS").c_str()) == 0;
     }, nullptr, &kWinIni},
};
// clang-format on

class RestoreOnDiskTest : public ::testing::TestWithParam<DiskCase> {};

TEST_P(RestoreOnDiskTest, LeavesTheDiskAndTellsTheUser)
{
    const DiskCase& d = GetParam();
    test::World world;
    world.state.ProgramName = "Word Wizard";
    auto& fs = test::HookedFileSystem::install(world);
    const std::string c = world.drive('C');
    for (const auto& [path, bytes] : d.before) {
        test::writeFile(c + "/" + path, bytes);
    }
    if (d.prepare && !d.prepare(c)) {
        GTEST_SKIP() << "the file system refuses the preparation";
    }
    fs.failWriteAtomic = [&](std::string_view path) -> std::optional<Error> {
        return d.failing && path == d.failing ? std::optional(errorFromErrno(d.failing, ENOSPC)) : std::nullopt;
    };
    if (d.answer) {
        world.prompts.answer(*d.answer);
    }
    ScriptedForm4 form4;
    form4.choice = d.choice;
    world.panel.setLine(5, "progress");
    world.panel.setAlignment(5, Alignment::Left);

    RestoreSystemFile(world.ctx(), form4, d.section, *d.file);

    Files state, expected = d.after;
    FolderState(c, "", state);
    expected.emplace("WINDOWS", "<dir>");
    EXPECT_EQ(state, expected);
    if (d.mode != 0) {
        EXPECT_EQ(test::modeOf(c + "/CONFIG.SYS"), d.mode);
    }
    EXPECT_EQ(world.prompts.messageTexts(), d.messages);
    for (const auto& m : world.prompts.messages()) {
        const bool question = m.buttons == Buttons::YesNo, attention = m.text.starts_with("Attention!");
        EXPECT_EQ(m.title, question ? "Morvane" : attention ? "Attention" : "Error");
        EXPECT_EQ(m.icon, question ? Icon::Question : attention ? Icon::Information : Icon::Exclamation);
    }
    const bool blanked = !d.messages.empty() && d.messages.back() == kAttention;
    EXPECT_EQ(world.panel.line(5), blanked ? "" : "progress");
    EXPECT_EQ(world.panel.alignment[5], blanked ? Alignment::Centre : Alignment::Left);
    EXPECT_EQ(form4.shown,
              d.choice ? Lines{d.file->path + " / Word Wizard" + (d.warned ? " / lines missing" : "")} : Lines{});
    EXPECT_EQ(world.prompts.beeps(), d.warned ? 1 : 0);
    if (d.choice != 0 || d.answer) {
        // Changed since the installation: Form4 decides; unchanged: the yes or no question does.
        const auto messages = world.prompts.messages();
        const bool asked =
            std::any_of(messages.begin(), messages.end(), [](const auto& m) { return m.buttons == Buttons::YesNo; });
        EXPECT_EQ(asked, d.choice == 0);
    }
}
INSTANTIATE_TEST_SUITE_P(Table, RestoreOnDiskTest, ::testing::ValuesIn(kDiskCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane
