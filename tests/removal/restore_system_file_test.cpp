#include "removal/restore_system_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <map>
#include <random>

#include "changes/normalize.h"
#include "tests/platform/platform_support.h"
#include "tests/snapshot/hooked_file_system.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::pathExists;
using test::readFile;
using test::writeFile;
using Lines = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------------------
// The merge on its own

struct MergeCase {
    const char* name;
    Lines before;     // the section's lines before the installation
    Lines installed;  // right after it
    Lines now;        // the file on disk
    Lines written;
    Lines unplaced;  // what the .MIS file receives
};

const MergeCase kMergeCases[] = {
    {"PathLineTakesBackItsOldValueAndTheAddedLineGoes",
     {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP"},
     {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP"},
     {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP", "SET BLASTER=A220"},
     {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP", "SET BLASTER=A220"},
     {}},
    {"RemmedLineComesBackAndItsReplacementGoes",
     {"ECHO OFF", "SET TEMP=C:\\TEMP"},
     {"ECHO OFF", "REM SET TEMP=C:\\TEMP", "SET TEMP=C:\\APPTMP"},
     {"ECHO OFF", "REM SET TEMP=C:\\TEMP", "SET TEMP=C:\\APPTMP", "PROMPT $P$G"},
     {"ECHO OFF", "SET TEMP=C:\\TEMP", "PROMPT $P$G"},
     {}},
    {"RemRuleIgnoresLetterCaseAndExtraSpaces",
     {"SET TEMP=C:\\TEMP"},
     {"rem   SET TEMP=C:\\TEMP"},
     {"rem   SET TEMP=C:\\TEMP", "CLS"},
     {"SET TEMP=C:\\TEMP", "CLS"},
     {}},
    {"PathSubstringFormReplacesALineWithAnotherKey",
     {"PATH=C:\\DOS"},
     {"SET PATH=C:\\DOS;C:\\APP"},
     {"SET PATH=C:\\DOS;C:\\APP", "CLS"},
     {"PATH=C:\\DOS", "CLS"},
     {}},
    {"SurvivingDeviceLineStaysAndTheRemovedOneIsReported",
     {"DEVICE=C:\\DOS\\HIMEM.SYS", "DEVICE=C:\\DOS\\EMM386.EXE", "FILES=30"},
     {"DEVICE=C:\\DOS\\HIMEM.SYS", "FILES=30"},
     {"DEVICE=C:\\DOS\\HIMEM.SYS", "FILES=30", "BUFFERS=20"},
     {"DEVICE=C:\\DOS\\HIMEM.SYS", "FILES=30", "BUFFERS=20"},
     {"DEVICE=C:\\DOS\\EMM386.EXE"}},
    {"SpacingIsNormalisedInEveryWrittenLine",
     {"FILES=30"},
     {"FILES=30", "DEVICE=C:\\APP\\APP.SYS"},
     {"  FILES = 30  ", "DEVICE = C:\\APP\\APP.SYS", " BUFFERS =  20"},
     {"FILES=30", "BUFFERS=20"},
     {}},
    {"BlankLinesAreKeptAndNeverMissing",
     {"", "[boot]", "", "shell=progman.exe"},
     {"[boot]", "shell=app.exe"},
     {"", "[boot]", "", "shell=app.exe", "", "user=1"},
     {"", "[boot]", "", "shell=progman.exe", "", "user=1"},
     {}},
    {"FileDeletedByTheUserIsMergedEmptyWithEveryMissingLineReported",
     {"A=1", "ECHO ON", "B=2"},
     {"A=5", "ECHO ON"},
     {},
     {},
     {"A=1", "B=2"}},
    {"SecondMissingLineWithTheSameKeyGivesTheFirstBackNotLost",
     {"DEVICE=A.SYS", "DEVICE=B.SYS"},
     {"DEVICE=C.SYS"},
     {"DEVICE=C.SYS", "X=1"},
     {"DEVICE=B.SYS", "X=1"},
     {"DEVICE=A.SYS"}},
    {"LineTheUserEditedSinceIsKept", {"A=1"}, {"A=1", "B=2"}, {"A=1", "B=3"}, {"A=1", "B=3"}, {}},
};

void PrintTo(const MergeCase& c, std::ostream* os)
{
    *os << c.name;
}

class MergeTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeTest, WritesAndReports)
{
    const MergeCase& c = GetParam();
    RestoreLines lines;
    lines.readSection(ConfigSection{true, c.before, c.installed});
    lines.readCurrent(c.now);
    EXPECT_EQ(lines.merge(), c.written);
    EXPECT_EQ(lines.unplacedLines(), c.unplaced);
}

INSTANTIATE_TEST_SUITE_P(Table, MergeTest, ::testing::ValuesIn(kMergeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChangedSinceInstallation, ComparesLinePerLineAfterNormalising)
{
    struct Case {
        Lines installed;
        Lines now;
        bool changed;
    } cases[] = {
        {{"A=1", "ECHO"}, {" A = 1 ", "ECHO  "}, false},
        {{}, {}, false},
        {{"A=1", "ECHO"}, {"ECHO", "A=1"}, true},
        {{"A=1"}, {"A=1", ""}, true},
        {{"A=1"}, {"a=1"}, true},
        {{"A=1"}, {}, true},
    };
    for (const Case& c : cases) {
        RestoreLines lines;
        lines.readSection(ConfigSection{true, {}, c.installed});
        lines.readCurrent(c.now);
        EXPECT_EQ(lines.changedSinceInstallation(), c.changed) << ::testing::PrintToString(c.now);
    }
}

// ---------------------------------------------------------------------------------------------------------
// The merge against the loops as the restoration describes them: lists with room beyond their lines that
// are searched in full, the key rule only for lines that were not there before, and a line that takes a
// second missing line giving the first one back.

class VbList {
public:
    explicit VbList(std::size_t last) : m_slots(last + 1) {}
    void append(const std::string& text)
    {
        const std::size_t p = m_count + 1;
        if (p + 1 > last()) {
            m_slots.resize(m_slots.size() + 10);
        }
        m_slots[p] = text;
        m_count = p;
    }
    std::size_t last() const { return m_slots.size() - 1; }
    std::size_t count() const { return m_count; }
    std::string& operator[](std::size_t i) { return m_slots.at(i); }

private:
    std::vector<std::string> m_slots;
    std::size_t m_count = 0;
};

std::string UCase(std::string s)
{
    for (char& ch : s) {
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    return s;
}

std::string KeyBeforeEquals(const std::string& s)
{
    std::string key = s.substr(0, s.find('='));
    while (!key.empty() && key.back() == ' ') {
        key.pop_back();
    }
    return key;
}

std::size_t SearchAll(VbList& list, const std::string& line)
{
    for (std::size_t j = 1; j <= list.last(); ++j) {
        if (LinesMatch(list[j], line)) {
            return j;
        }
    }
    return 0;
}

std::pair<Lines, Lines> LiteralMerge(const Lines& before, const Lines& installed, const Lines& now)
{
    const std::size_t c = 3 + now.size();
    VbList original(c + 200);
    VbList inst(c + 200);
    VbList current(c);
    for (const auto& l : before) {
        original.append(NormalizeLine(l));
    }
    for (const auto& l : installed) {
        inst.append(NormalizeLine(l));
    }
    for (const auto& l : now) {
        current.append(NormalizeLine(l));
    }
    VbList missing(original.count());
    for (std::size_t i = 1; i <= original.count(); ++i) {
        if (SearchAll(inst, original[i]) == 0) {
            missing.append(original[i]);
        }
    }
    VbList saved = missing;
    Lines written;
    for (std::size_t i = 1; i <= current.count(); ++i) {
        std::string L = current[i];
        const std::size_t inOriginal = SearchAll(original, L);
        const std::size_t inInstalled = SearchAll(inst, L);
        bool keep = inOriginal > 0 || inInstalled == 0;
        std::size_t held = 0;
        for (std::size_t k = 1; k <= missing.count(); ++k) {
            const std::string M = missing[k];
            auto take = [&] {
                if (held != 0) {
                    missing[held] = saved[held];
                }
                L = M;
                keep = true;
                missing[k].clear();
                held = k;
            };
            if (inOriginal == 0 && M.find('=') != std::string::npos && L.find('=') != std::string::npos &&
                inInstalled > 0 &&
                (KeyBeforeEquals(M) == KeyBeforeEquals(L) ||
                 (UCase(M.substr(0, 4)) == "PATH" && L.find(M) != std::string::npos))) {
                take();
            }
            if (UCase(L.substr(0, 4)) == "REM " && L.size() >= 4) {
                std::string rest = L.substr(4);
                rest.erase(
                    0, rest.find_first_not_of(' ') == std::string::npos ? rest.size() : rest.find_first_not_of(' '));
                if (UCase(rest) == UCase(M)) {
                    take();
                }
            }
        }
        if (keep) {
            written.push_back(L);
        }
    }
    Lines unplaced;
    for (std::size_t k = 1; k <= missing.count(); ++k) {
        if (!missing[k].empty()) {
            unplaced.push_back(missing[k]);
        }
    }
    return {written, unplaced};
}

TEST(MergeAgainstLiteralLoops, AgreesOnRandomInputs)
{
    const std::vector<std::string> alphabet = {
        "",
        "ECHO OFF",
        "PATH=C:\\DOS",
        "PATH = C:\\DOS;C:\\APP",
        "SET PATH=C:\\DOS;C:\\APP",
        "path=c:\\dos",
        "SET TEMP=C:\\TEMP",
        "SET TEMP = C:\\APP",
        "REM SET TEMP=C:\\TEMP",
        "rem  set temp=c:\\temp",
        "REM PATH=C:\\DOS",
        "REM",
        "DEVICE=A.SYS",
        "DEVICE=B.SYS",
        " FILES = 30 ",
        "FILES=40",
        "[boot]",
        "A=B=C",
    };
    std::mt19937 random(20261208);
    auto pick = [&](std::size_t maxLines) {
        Lines out(random() % (maxLines + 1));
        for (auto& l : out) {
            l = alphabet[random() % alphabet.size()];
        }
        return out;
    };
    for (int run = 0; run < 4000; ++run) {
        const Lines before = pick(6);
        Lines installed = (run % 2 == 0) ? before : pick(6);
        for (int edits = static_cast<int>(random() % 3); edits > 0; --edits) {
            installed.insert(installed.begin() + static_cast<long>(random() % (installed.size() + 1)),
                             alphabet[random() % alphabet.size()]);
        }
        Lines now = (run % 3 == 0) ? pick(7) : installed;
        if (!now.empty() && random() % 2 == 0) {
            now[random() % now.size()] = alphabet[random() % alphabet.size()];
        }
        RestoreLines lines;
        lines.readSection(ConfigSection{true, before, installed});
        lines.readCurrent(now);
        const Lines written = lines.merge();
        const auto [expectedWritten, expectedUnplaced] = LiteralMerge(before, installed, now);
        ASSERT_EQ(written, expectedWritten)
            << "before " << ::testing::PrintToString(before) << " installed " << ::testing::PrintToString(installed)
            << " now " << ::testing::PrintToString(now);
        ASSERT_EQ(lines.unplacedLines(), expectedUnplaced) << ::testing::PrintToString(before);
    }
}

// ---------------------------------------------------------------------------------------------------------
// RestoreSystemFile on disk

class ScriptedRestoreOptions : public RestoreOptions {
public:
    struct Shown {
        std::string path;
        std::string programName;
        bool linesMissing;
        bool operator==(const Shown&) const = default;
    };
    int ShowRestoreOptions(const std::string& path, const std::string& programName, bool linesMissing) override
    {
        shown.push_back({path, programName, linesMissing});
        if (choices.empty()) {
            ADD_FAILURE() << "Form4 shown without a scripted choice";
            return 1;
        }
        const int choice = choices.front();
        choices.pop_front();
        return choice;
    }
    std::deque<int> choices;
    std::vector<Shown> shown;
};

// Every entry of a host folder with its bytes (files) or "<dir>".
std::map<std::string, std::string> FolderState(const std::string& folder)
{
    std::map<std::string, std::string> out;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            struct stat st {};
            ::lstat((folder + "/" + name).c_str(), &st);
            out[name] = S_ISDIR(st.st_mode) ? std::string("<dir>") : readFile(folder + "/" + name);
        }
        ::closedir(dir);
    }
    return out;
}

const SystemFile kAutoexec{"C:\\AUTOEXEC.BAT", "AUTOEXEC", "C:\\AUTOEXEC.QRV", "C:\\AUTOEXEC.MIS"};
const SystemFile kConfig{"C:\\CONFIG.SYS", "CONFIG", "C:\\CONFIG.QRV", "C:\\CONFIG.MIS"};
const SystemFile kWinIni{"C:\\WINDOWS\\WIN.INI", "WIN", "C:\\WINDOWS\\WIN.QRV", "C:\\WINDOWS\\WIN.MIS"};

const char* const kAutoexecQuestion =
    "Considering restoring original C:\\AUTOEXEC.BAT file. \nC:\\AUTOEXEC.BAT was changed during installation of "
    "Word Wizard, but has not been changed since. C:\\AUTOEXEC.BAT can be easily restored by replacing original "
    "file. \nProceed?";

const char* const kConfigAttention =
    "Attention! Some line(s) from the original file could not be found in the existing file and could not be "
    "safely replaced. They have been placed in the file C:\\CONFIG.MIS for safe keeping.\nYou may wish to "
    "manually add them to C:\\CONFIG.SYS.\nYou can use C:\\CONFIG.QRV as a guide by looking for lines in "
    "C:\\CONFIG.QRV that are similar to the missing lines.";

class RestoreSystemFileTest : public ::testing::Test {
protected:
    RestoreSystemFileTest()
    {
        world.state.ProgramName = "Word Wizard";
        hooked = &test::HookedFileSystem::install(world);
    }
    std::string c(std::string_view relative) const { return world.drive('C') + "/" + std::string(relative); }
    void restore(const ConfigSection& section, const SystemFile& file, std::initializer_list<int> choices = {})
    {
        form4.choices = choices;
        RestoreSystemFile(world.ctx(), form4, section, file);
        EXPECT_TRUE(form4.choices.empty());
        EXPECT_TRUE(world.prompts.allAnswered());
    }

    test::World world;
    test::HookedFileSystem* hooked = nullptr;
    ScriptedRestoreOptions form4;
};

const ConfigSection kUnchangedSince{true, {"ECHO OFF", "PATH=C:\\DOS"}, {"ECHO OFF", "PATH=C:\\DOS;C:\\APP"}};

TEST_F(RestoreSystemFileTest, NoChangeSectionAsksNothingAndWritesNothing)
{
    writeFile(c("AUTOEXEC.BAT"), "ECHO OFF\r\n");
    const auto before = FolderState(world.drive('C'));
    restore(ConfigSection{false, {}, {}}, kAutoexec);
    EXPECT_TRUE(world.prompts.prompts().empty());
    EXPECT_TRUE(form4.shown.empty());
    EXPECT_TRUE(hooked->atomicWrites.empty());
    EXPECT_EQ(FolderState(world.drive('C')), before);
}

TEST_F(RestoreSystemFileTest, UnchangedSinceInstallationAskedYesKeepsASafetyCopyThenPutsTheOldLinesBack)
{
    writeFile(c("AUTOEXEC.BAT"), "ECHO OFF  \r\nPATH = C:\\DOS;C:\\APP\r\n");
    world.prompts.answer(Answer::Yes);
    restore(kUnchangedSince, kAutoexec);

    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kAutoexecQuestion);
    EXPECT_EQ(messages[0].title, "Morvane");
    EXPECT_EQ(messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(messages[0].icon, Icon::Question);
    EXPECT_EQ(world.prompts.beeps(), 0);
    EXPECT_TRUE(form4.shown.empty());
    EXPECT_EQ(world.state.SectionChanged, kFalse);
    EXPECT_EQ(readFile(c("AUTOEXEC.QRV")), "ECHO OFF\r\nPATH=C:\\DOS;C:\\APP\r\n");
    EXPECT_EQ(readFile(c("AUTOEXEC.BAT")), "ECHO OFF\r\nPATH=C:\\DOS\r\n");
    EXPECT_FALSE(pathExists(c("AUTOEXEC.MIS")));
    EXPECT_EQ(hooked->atomicWrites, (Lines{"C:\\AUTOEXEC.QRV", "C:\\AUTOEXEC.BAT"}));
}

TEST_F(RestoreSystemFileTest, UnchangedSinceInstallationAskedNoWritesNothing)
{
    writeFile(c("AUTOEXEC.BAT"), "ECHO OFF\r\nPATH=C:\\DOS;C:\\APP\r\n");
    const auto before = FolderState(world.drive('C'));
    world.prompts.answer(Answer::No);
    restore(kUnchangedSince, kAutoexec);
    EXPECT_EQ(world.prompts.messageTexts(), (Lines{kAutoexecQuestion}));
    EXPECT_EQ(FolderState(world.drive('C')), before);
}

const ConfigSection kDeviceSection{true,
                                   {"DEVICE=C:\\DOS\\HIMEM.SYS", "DEVICE=C:\\DOS\\EMM386.EXE", "FILES=30"},
                                   {"DEVICE=C:\\DOS\\HIMEM.SYS", "FILES=30", "LASTDRIVE=Z"}};
const char* const kConfigNow = "DEVICE=C:\\DOS\\HIMEM.SYS\r\nFILES = 30\r\nLASTDRIVE=Z\r\nBUFFERS=20\r\n";

TEST_F(RestoreSystemFileTest, DoNotRestoreWritesNothingNotEvenTheSafetyCopy)
{
    writeFile(c("CONFIG.SYS"), kConfigNow);
    const auto before = FolderState(world.drive('C'));
    restore(kDeviceSection, kConfig, {1});
    EXPECT_EQ(form4.shown, (std::vector<ScriptedRestoreOptions::Shown>{{"C:\\CONFIG.SYS", "Word Wizard", true}}));
    EXPECT_EQ(world.prompts.beeps(), 1);
    EXPECT_EQ(world.state.SectionChanged, kTrue);
    EXPECT_EQ(FolderState(world.drive('C')), before);
    EXPECT_TRUE(hooked->atomicWrites.empty());
}

TEST_F(RestoreSystemFileTest, ReplaceKeepsASafetyCopyAndWritesTheOldLines)
{
    writeFile(c("CONFIG.SYS"), kConfigNow);
    restore(kDeviceSection, kConfig, {2});
    EXPECT_EQ(readFile(c("CONFIG.QRV")), crlf({"DEVICE=C:\\DOS\\HIMEM.SYS", "FILES=30", "LASTDRIVE=Z", "BUFFERS=20"}));
    EXPECT_EQ(readFile(c("CONFIG.SYS")), crlf({"DEVICE=C:\\DOS\\HIMEM.SYS", "DEVICE=C:\\DOS\\EMM386.EXE", "FILES=30"}));
    EXPECT_FALSE(pathExists(c("CONFIG.MIS")));
    EXPECT_TRUE(world.prompts.messages().empty());
}

TEST_F(RestoreSystemFileTest, MergeKeepsTheSurvivorAndReportsTheRemovedLine)
{
    writeFile(c("CONFIG.SYS"), kConfigNow);
    for (int i = 1; i <= Panel::kLines; ++i) {
        world.panel.setLine(i, "progress");
        world.panel.setAlignment(i, Alignment::Left);
    }
    restore(kDeviceSection, kConfig, {3});

    EXPECT_EQ(readFile(c("CONFIG.SYS")), crlf({"DEVICE=C:\\DOS\\HIMEM.SYS", "FILES=30", "BUFFERS=20"}));
    EXPECT_EQ(readFile(c("CONFIG.MIS")), crlf({"DEVICE=C:\\DOS\\EMM386.EXE"}));
    EXPECT_EQ(readFile(c("CONFIG.QRV")), crlf({"DEVICE=C:\\DOS\\HIMEM.SYS", "FILES=30", "LASTDRIVE=Z", "BUFFERS=20"}));
    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kConfigAttention);
    EXPECT_EQ(messages[0].title, "Attention");
    EXPECT_EQ(messages[0].icon, Icon::Information);
    EXPECT_EQ(messages[0].buttons, Buttons::Ok);
    for (int i = 1; i <= Panel::kLines; ++i) {
        EXPECT_EQ(world.panel.line(i), "") << i;
        EXPECT_EQ(world.panel.alignment[i], Alignment::Centre) << i;
    }
}

TEST_F(RestoreSystemFileTest, MergeOfThePathExampleNeedsNoMissingLineFile)
{
    writeFile(c("AUTOEXEC.BAT"), crlf({"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP",
                                       "SET APPDIR=C:\\APP", "SET BLASTER=A220"}));
    restore(ConfigSection{true,
                          {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP"},
                          {"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS;C:\\APP", "SET TEMP=C:\\TEMP", "SET APPDIR=C:\\APP"}},
            kAutoexec, {3});
    EXPECT_EQ(form4.shown.at(0).linesMissing, true);
    EXPECT_EQ(world.prompts.beeps(), 1);
    EXPECT_EQ(readFile(c("AUTOEXEC.BAT")),
              crlf({"ECHO OFF", "PATH=C:\\DOS;C:\\WINDOWS", "SET TEMP=C:\\TEMP", "SET BLASTER=A220"}));
    EXPECT_FALSE(pathExists(c("AUTOEXEC.MIS")));
    EXPECT_TRUE(world.prompts.messages().empty());
}

const ConfigSection kDeletedByUser{true, {"A=1", "ECHO ON"}, {"A=2", "ECHO ON"}};

TEST_F(RestoreSystemFileTest, FileDeletedByTheUserIsRecreatedByReplace)
{
    restore(kDeletedByUser, kAutoexec, {2});
    EXPECT_EQ(readFile(c("AUTOEXEC.BAT")), crlf({"A=1", "ECHO ON"}));
    EXPECT_TRUE(pathExists(c("AUTOEXEC.QRV")));
    EXPECT_EQ(readFile(c("AUTOEXEC.QRV")), "");
    EXPECT_FALSE(pathExists(c("AUTOEXEC.MIS")));
}

TEST_F(RestoreSystemFileTest, FileDeletedByTheUserIsMergedEmptyWithItsMissingLinesKept)
{
    restore(kDeletedByUser, kAutoexec, {3});
    EXPECT_TRUE(pathExists(c("AUTOEXEC.BAT")));
    EXPECT_EQ(readFile(c("AUTOEXEC.BAT")), "");
    EXPECT_EQ(readFile(c("AUTOEXEC.MIS")), crlf({"A=1"}));
    EXPECT_EQ(world.prompts.messages().at(0).title, "Attention");
}

// One write fails: what the user is told, and which files changed.
struct WriteFailureCase {
    const char* name;
    const char* failing;
    const char* message;
    bool safetyCopyWritten;
};

const WriteFailureCase kWriteFailures[] = {
    {"SafetyCopy", "C:\\CONFIG.QRV",
     "The safety copy C:\\CONFIG.QRV could not be written: No space left on device. C:\\CONFIG.SYS has been left "
     "unchanged.",
     false},
    {"MissingLineFile", "C:\\CONFIG.MIS",
     "The file C:\\CONFIG.MIS could not be written: No space left on device. C:\\CONFIG.SYS has been left "
     "unchanged.",
     true},
    {"SystemFile", "C:\\CONFIG.SYS",
     "The file C:\\CONFIG.SYS could not be written: No space left on device. It has been left unchanged.", true},
};

void PrintTo(const WriteFailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class WriteFailureTest : public RestoreSystemFileTest, public ::testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailureTest, LeavesTheSystemFileByteForByteAndSaysWhy)
{
    const WriteFailureCase& f = GetParam();
    writeFile(c("CONFIG.SYS"), kConfigNow);
    hooked->failWriteAtomic = [&](std::string_view path) -> std::optional<Error> {
        if (path == f.failing) {
            return errorFromErrno(std::string(path), ENOSPC);
        }
        return std::nullopt;
    };
    restore(kDeviceSection, kConfig, {3});
    EXPECT_EQ(readFile(c("CONFIG.SYS")), kConfigNow);
    EXPECT_EQ(pathExists(c("CONFIG.QRV")), f.safetyCopyWritten);
    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);  // no "Attention" after a failure
    EXPECT_EQ(messages[0].text, f.message);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(hooked->atomicWrites.back(), f.failing);  // nothing written after the failure
}

INSTANTIATE_TEST_SUITE_P(Table, WriteFailureTest, ::testing::ValuesIn(kWriteFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RestoreSystemFileTest, SafetyCopyBlockedByAFolderLeavesTheSystemFileAlone)
{
    writeFile(c("CONFIG.SYS"), kConfigNow);
    test::makeDirs(c("CONFIG.QRV"));
    restore(kDeviceSection, kConfig, {2});
    EXPECT_EQ(readFile(c("CONFIG.SYS")), kConfigNow);
    EXPECT_EQ(world.prompts.messageTexts(),
              (Lines{"The safety copy C:\\CONFIG.QRV could not be written: Is a directory. C:\\CONFIG.SYS has been "
                     "left unchanged."}));
}

TEST_F(RestoreSystemFileTest, ReplacedFileKeepsItsPermissionBits)
{
    writeFile(c("CONFIG.SYS"), kConfigNow);
    ASSERT_EQ(::chmod(c("CONFIG.SYS").c_str(), 0640), 0);
    restore(kDeviceSection, kConfig, {3});
    EXPECT_EQ(test::modeOf(c("CONFIG.SYS")), 0640u);
    EXPECT_EQ(readFile(c("CONFIG.SYS")), crlf({"DEVICE=C:\\DOS\\HIMEM.SYS", "FILES=30", "BUFFERS=20"}));
}

TEST_F(RestoreSystemFileTest, ReadOnlyFileIsReportedAndNotReplaced)
{
    writeFile(c("CONFIG.SYS"), kConfigNow);
    ASSERT_EQ(::chmod(c("CONFIG.SYS").c_str(), 0444), 0);
    restore(kDeviceSection, kConfig, {2});
    EXPECT_EQ(readFile(c("CONFIG.SYS")), kConfigNow);
    EXPECT_FALSE(pathExists(c("CONFIG.QRV")));
    EXPECT_EQ(world.prompts.messageTexts(),
              (Lines{"The file C:\\CONFIG.SYS could not be written: it is read-only. It has been left unchanged."}));
}

TEST_F(RestoreSystemFileTest, LowerCaseWinIniIsRewrittenUnderItsOwnName)
{
    writeFile(c("WINDOWS/win.ini"), "[windows]\r\nload=app.exe\r\n");
    world.prompts.answer(Answer::Yes);
    restore(ConfigSection{true, {"[windows]", "load="}, {"[windows]", "load=app.exe"}}, kWinIni);
    EXPECT_EQ(FolderState(c("WINDOWS")), (std::map<std::string, std::string>{
                                             {"win.ini", "[windows]\r\nload=\r\n"},
                                             {"WIN.QRV", "[windows]\r\nload=app.exe\r\n"},
                                         }));
}

TEST_F(RestoreSystemFileTest, HiddenOrSystemFileIsReportedAndLeftAlone)
{
    writeFile(c("AUTOEXEC.BAT"), "ECHO OFF\r\nPATH=C:\\DOS;C:\\APP\r\n");
    if (!test::setDosAttribute(c("AUTOEXEC.BAT"), "0x2")) {
        GTEST_SKIP() << "user.DOSATTRIB cannot be set on this file system";
    }
    const auto before = FolderState(world.drive('C'));
    // The AFTER file saw it as absent too, so "right after" has no lines.
    restore(ConfigSection{true, {"ECHO OFF", "PATH=C:\\DOS"}, {}}, kAutoexec);
    EXPECT_EQ(world.prompts.messageTexts(),
              (Lines{"The file C:\\AUTOEXEC.BAT is a hidden or system file, so it has not been read and has been "
                     "left unchanged. Restore it by hand if it needs it."}));
    EXPECT_TRUE(form4.shown.empty());
    EXPECT_EQ(FolderState(world.drive('C')), before);
}

TEST_F(RestoreSystemFileTest, PathThroughALinkIsReportedAndNothingIsWritten)
{
    test::makeDirs(world.tmp / "elsewhere");
    writeFile(world.tmp / "elsewhere/WIN.INI", "[windows]\r\nload=app.exe\r\n");
    ASSERT_EQ(::rmdir(c("WINDOWS").c_str()), 0);
    ASSERT_EQ(::symlink((world.tmp / "elsewhere").c_str(), c("WINDOWS").c_str()), 0);
    restore(ConfigSection{true, {"[windows]", "load="}, {"[windows]", "load=app.exe"}}, kWinIni);
    EXPECT_EQ(world.prompts.messageTexts(),
              (Lines{"The file C:\\WINDOWS\\WIN.INI cannot be reached: the path passes through a symbolic link. It "
                     "has been left unchanged."}));
    EXPECT_EQ(FolderState(world.tmp / "elsewhere"),
              (std::map<std::string, std::string>{{"WIN.INI", "[windows]\r\nload=app.exe\r\n"}}));
    EXPECT_TRUE(hooked->atomicWrites.empty());
}

}  // namespace
}  // namespace morvane
