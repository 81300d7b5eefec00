// The engine's parts that serve the terminal as well as the windows: the commands' results, a stop requested
// during a record's creation, the dry run of Delete program, records passed between morvane-cli and the windowed program's
// engine, and names that are not UTF-8 carried through morvane-cli's JSON and back.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "changes/create_after_file.h"
#include "maintenance/record_maintenance.h"
#include "removal/delete_program.h"
#include "snapshot/create_before_file.h"
#include "tests/removal/scripted_after_file_list.h"
#include "tests/support/doubles.h"

namespace morvane::test {
namespace {

using Strings = std::vector<std::string>;

// Window events that carry the user's request to stop once `stop` is set.
class StoppingEvents : public CountingEvents {
public:
    bool stopRequested() override { return stop; }
    bool stop = false;
};

class StoppableWorld : public World {
public:
    Context stoppable() { return Context{state, *fs, prompts, panel, main, stopping}; }
    StoppingEvents stopping;
};

class Form4Answers : public RestoreOptions {
public:
    int ShowRestoreOptions(const std::string& path, const std::string&, bool) override
    {
        shown.push_back(path);
        return choice;
    }
    int choice = 1;
    Strings shown;
};

class RecordingPlan : public DeletionPlan {
public:
    void removeFile(const std::string& path) override { steps.push_back("delete " + path); }
    void removeDirectory(const std::string& path) override { steps.push_back("rmdir " + path); }
    void keepFile(const std::string& path) override { steps.push_back("keep " + path); }
    void writeFile(const std::string& path, const Strings& lines) override
    {
        std::string step = "write " + path;
        for (const std::string& line : lines) {
            step += "|" + line;
        }
        steps.push_back(step);
    }
    Strings steps;
};

// BEFORE.DAT for "App", then an installation: a new directory with a file, a file in the old WINDOWS folder,
// two in the root, and AUTOEXEC.BAT edited by the installation and by the user since.
void recordInstallation(World& world)
{
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"ECHO OFF", "PATH=C:\\DOS"}));
    world.prompts.type("App");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());
    ASSERT_TRUE(world.fs->exists(world.data("BEFORE.DAT")));
    mkdir(world.host("C:\\APP").c_str(), 0755);
    writeFile(world.host("C:\\APP\\APP.EXE"), "x");
    writeFile(world.host("C:\\WINDOWS\\APP.DLL"), "y");
    writeFile(world.host("C:\\APP.LOG"), "z");
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"ECHO OFF", "PATH=C:\\DOS;C:\\APP"}));
    CreateAfterFile(world.ctx());
    ASSERT_TRUE(world.fs->exists(world.data("AFTER1.DAT")));
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"ECHO OFF", "PATH=C:\\DOS;C:\\APP", "SET MINE=1"}));
}

TEST(CommandResults, EachCommandTakesItsInputsAndSaysHowItEndedAndWhatItRecorded)
{
    World world({'C', 'D'});
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"ECHO OFF"}));
    writeFile(world.drive('D') + "/OLD/KEEP.TXT", "old");

    // Inputs that cannot be used end the command with the windows' message and no record.
    const struct {
        BeforeRequest request;
        Outcome outcome;
        const char* message;
    } refused[] = {
        {{"App", "C1"}, Outcome::Failed, "1 is not a valid drive designation."},
        {{"App", "CQ"}, Outcome::Failed, "You do not have a drive Q"},
        {{"Two\nLines", "C"}, Outcome::Failed,
         "The program name may not contain line breaks, tabs or other control characters. Type the name again on "
         "one line."},
        {{"", "C"}, Outcome::Cancelled, nullptr},
    };
    for (const auto& c : refused) {
        world.prompts = ScriptedPrompts();
        EXPECT_EQ(c.outcome, CreateBeforeFile(world.ctx(), c.request).outcome) << c.request.programName;
        EXPECT_EQ(c.message ? Strings{c.message} : Strings{}, world.prompts.messageTexts());
        EXPECT_FALSE(world.fs->exists(world.data("BEFORE.DAT")));
    }

    // The counts are those of the record's lines: a root directory line per drive, and every file line.
    const BeforeResult before = CreateBeforeFile(world.ctx(), {"App", "cd"});
    ASSERT_TRUE(before.done());
    EXPECT_EQ(world.data("BEFORE.DAT"), before.record);
    EXPECT_EQ("CD", before.drives);
    EXPECT_EQ(4, before.directories);  // \ and \WINDOWS\ on C:, \ and \OLD\ on D:
    EXPECT_EQ(2, before.files);        // AUTOEXEC.BAT and KEEP.TXT
    EXPECT_EQ(Outcome::Failed, CreateBeforeFile(world.ctx(), {"Again", "C"}).outcome) << "one is waiting";

    writeFile(world.host("C:\\APP\\APP.EXE"), "x");
    writeFile(world.drive('D') + "/OLD/NEW.TXT", "y");
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"ECHO OFF", "SET APP=1"}));
    const AfterResult after = CreateAfterFile(world.ctx());
    ASSERT_TRUE(after.done());
    EXPECT_EQ(world.data("AFTER1.DAT"), after.record);
    EXPECT_EQ("App", after.programName);
    EXPECT_EQ("CD", after.drives);
    EXPECT_EQ(1, after.directories);
    EXPECT_EQ(1, after.files);
    EXPECT_EQ((std::array<bool, 4>{true, false, false, false}), after.changed);
    EXPECT_EQ(ErrorKind::NotFound, CreateAfterFile(world.ctx()).error) << "no BEFORE file any more";

    // Delete program by number: the answers come from the prompts under their notices.
    Form4Answers form4;
    world.prompts = ScriptedPrompts();
    world.prompts.answer(Answer::No);  // Delete App? Are you sure?
    const DeletionResult declined = DeleteProgram(world.ctx(), 1, form4);
    EXPECT_EQ(Outcome::Cancelled, declined.outcome);
    EXPECT_TRUE(declined.recordKept);
    world.prompts.answer(Answer::Yes);  // Delete App? Are you sure?
    world.prompts.answer(Answer::No);   // no question per file
    world.prompts.answer(Answer::Yes);  // AUTOEXEC.BAT, unchanged since: put back
    const DeletionResult deleted = DeleteProgram(world.ctx(), 1, form4);
    EXPECT_EQ(Outcome::Done, deleted.outcome);
    EXPECT_EQ("App", deleted.programName);
    EXPECT_FALSE(deleted.recordKept);
    EXPECT_FALSE(world.fs->exists(world.data("AFTER1.DAT")));
    EXPECT_EQ(crlf({"ECHO OFF"}), readFile(world.host("C:\\AUTOEXEC.BAT")));
    EXPECT_EQ(Outcome::Failed, DeleteProgram(world.ctx(), 1, form4).outcome) << "no such record";

    // Forgetting: the safety copy the restoration left, then nothing left to forget.
    world.prompts.answer(Answer::Yes);
    EXPECT_EQ(Outcome::Done, DeleteSafetyFiles(world.ctx()).outcome);
    EXPECT_EQ(ErrorKind::NotFound, DeleteSafetyFiles(world.ctx()).error);
    EXPECT_EQ(ErrorKind::NotFound, DeleteBeforeFile(world.ctx()).error);
}

TEST(StopRequest, EndsEitherRecordsCreationAsCancelDoesWithoutAMessage)
{
    for (const bool after : {false, true}) {
        SCOPED_TRACE(after ? "Create AFTER file" : "Create BEFORE file");
        StoppableWorld world;
        writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]"}));
        std::string before;
        if (after) {
            world.prompts.type("App");
            world.prompts.type("C");
            CreateBeforeFile(world.stoppable());
            writeFile(world.host("C:\\NEW.TXT"), "new");
            before = readFile(world.data("BEFORE.DAT"));
            world.main.pairs.clear();
        } else {
            world.prompts.type("App");
            world.prompts.type("C");
        }
        const std::size_t promptsBefore = world.prompts.prompts().size();
        world.stopping.stop = true;
        if (after) {
            EXPECT_EQ(Outcome::Cancelled, CreateAfterFile(world.stoppable()).outcome);
        } else {
            CreateBeforeFile(world.stoppable());
        }

        EXPECT_FALSE(world.fs->exists(world.data("AFTER1.DAT")));
        EXPECT_EQ(after, world.fs->exists(world.data("BEFORE.DAT")));
        if (after) {
            EXPECT_EQ(before, readFile(world.data("BEFORE.DAT")));
        }
        EXPECT_EQ(promptsBefore + (after ? 0 : 2), world.prompts.prompts().size()) << "no message after the stop";
        EXPECT_EQ(0, world.panel.waits) << "no installation report";
        EXPECT_FALSE(world.main.pairEnabled(Pair::CreateAfter));
        EXPECT_FALSE(world.panel.visible);
        EXPECT_TRUE(world.main.visible);
    }
}

TEST(DryRun, TellsWhatTheRealRunThenDoesAndChangesNothing)
{
    World world;
    recordInstallation(world);
    writeFile(world.data("AFTER2.DAT"), "");  // no first line: a corrupted record
    const auto installed = folderState(world.tmp.path());

    ScriptedAfterFileList list;
    list.choices = {0};
    Form4Answers form4;
    form4.choice = 3;
    RecordingPlan plan;
    // Per file: Yes to asking, then keep the log and delete the library.
    world.prompts.answer(Answer::Yes);
    world.prompts.answer(Answer::Yes);
    world.prompts.answer(Answer::No);
    DeleteProgram(world.ctx(), list, form4, &plan);

    const std::string data = world.state.DataFolder;
    EXPECT_EQ((Strings{"delete C:\\APP\\APP.EXE", "rmdir C:\\APP", "delete C:\\WINDOWS\\APP.DLL", "keep C:\\APP.LOG",
                       "write C:\\AUTOEXEC.QRV|ECHO OFF|PATH=C:\\DOS;C:\\APP|SET MINE=1",
                       "write C:\\AUTOEXEC.BAT|ECHO OFF|PATH=C:\\DOS|SET MINE=1", "delete " + data + "AFTER1.DAT"}),
              plan.steps);
    EXPECT_EQ(installed, folderState(world.tmp.path())) << "a dry run changes nothing";
    EXPECT_EQ((Strings{"The AFTER file AFTER2.DAT appears to be corrupted. It is left out and kept as it is.",
                       "Confirm deletion of files in pre-existing directories?", "Delete C:\\WINDOWS\\APP.DLL?",
                       "Delete C:\\APP.LOG?"}),
              world.prompts.messageTexts())
        << "the same questions, but no confirmation of a deletion that does not happen";
    EXPECT_EQ((std::vector<Strings>{{"App"}}), list.shown);

    // The real run with the same answers does what the plan said.
    list.choices = {0};
    for (const Answer answer : {Answer::Yes, Answer::Yes, Answer::Yes, Answer::No}) {
        world.prompts.answer(answer);
    }
    DeleteProgram(world.ctx(), list, form4);
    EXPECT_FALSE(std::filesystem::exists(world.host("C:\\APP")));
    EXPECT_FALSE(world.fs->exists("C:\\WINDOWS\\APP.DLL"));
    EXPECT_TRUE(world.fs->exists("C:\\APP.LOG"));
    EXPECT_EQ(crlf({"ECHO OFF", "PATH=C:\\DOS;C:\\APP", "SET MINE=1"}), readFile(world.host("C:\\AUTOEXEC.QRV")));
    EXPECT_EQ(crlf({"ECHO OFF", "PATH=C:\\DOS", "SET MINE=1"}), readFile(world.host("C:\\AUTOEXEC.BAT")));
    EXPECT_FALSE(world.fs->exists(data + "AFTER1.DAT"));
}

// The shell's exit status of a command line.
int shell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What a command line prints on standard output, and its exit status.
std::string output(const std::string& command, int& status)
{
    std::string out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, got);
    }
    const int ended = pclose(pipe);
    status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1;
    return out;
}

// morvane-cli on a prefix whose drive C: is the world's, with the world's data folder.
std::string cliOn(World& world)
{
    const std::string prefix = world.tmp / "prefix";
    mkdir(prefix.c_str(), 0755);
    mkdir((prefix + "/dosdevices").c_str(), 0755);
    EXPECT_EQ(0, symlink(world.drive('C').c_str(), (prefix + "/dosdevices/c:").c_str()));
    return std::string(MORVANE_CLI) + " --prefix '" + prefix + "' --data-dir '" + world.state.DataFolder + "' ";
}

// Whether the text is UTF-8 without surrogates, overlong forms or code points above U+10FFFF, decoded here
// code point by code point.
bool validUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 0;
        if (length == 0 || at + length > text.size()) {
            return false;
        }
        unsigned code = length == 1 ? lead : lead & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[at + k]);
            if ((next & 0xc0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3f);
        }
        const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            return false;
        }
        at += length;
    }
    return true;
}

void appendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xe0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// Every string value of `key` in a JSON document, its escapes decoded: \udc80 to \udcff give back the byte
// 0x80 to 0xff, the other escapes their characters.
Strings valuesOf(const std::string& json, const std::string& key)
{
    Strings values;
    const std::string start = "\"" + key + "\": \"";
    for (std::size_t at = json.find(start); at != std::string::npos; at = json.find(start, at)) {
        at += start.size();
        std::string value;
        while (at < json.size() && json[at] != '"') {
            if (json[at] != '\\') {
                value += json[at++];
                continue;
            }
            const char kind = json[at + 1];
            if (kind != 'u') {
                value += kind == 'n' ? '\n' : kind == 't' ? '\t' : kind;
                at += 2;
                continue;
            }
            const unsigned code = static_cast<unsigned>(std::stoul(json.substr(at + 2, 4), nullptr, 16));
            if (code >= 0xdc80 && code <= 0xdcff) {
                value += static_cast<char>(code - 0xdc00);
            } else {
                appendUtf8(value, code);
            }
            at += 6;
        }
        values.push_back(value);
    }
    return values;
}

TEST(JsonReport, NamesThatAreNotUtf8ComeBackByteForByte)
{
    World world;
    const std::string cli = cliOn(world);
    // Latin-1, a cut sequence, an encoded surrogate, an overlong '/', a stray continuation byte, beside valid
    // UTF-8 of two, three and four bytes, quotes and a control character in a configuration line.
    const std::string program = "Caf\xe9 \"Deluxe\"";
    const Strings names = {
        "caf\xe9.dll",           "cut\xe2\x82.dll",  "sur\xed\xa0\x80.dll",  "over\xc0\xaf.dll", "stray\x80.dll",
        "\xc3\xa9t\xc3\xa9.dll", "\xe2\x82\xac.dll", "\xf0\x9f\x98\x80.dll", "say \"hi\".dll",   "\xff\xfe"};
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]"}));
    ASSERT_EQ(0, shell(cli + "before '" + program + "' </dev/null 2>/dev/null"));
    for (const std::string& name : names) {
        writeFile(world.drive('C') + "/WINDOWS/" + name, "x");
    }
    mkdir((world.drive('C') + "/dir\xa0").c_str(), 0755);
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]", "load=\xe9\x01"}));
    ASSERT_EQ(0, shell(cli + "after </dev/null >/dev/null 2>&1"));

    int status = -1;
    const std::string json = output(cli + "report 1 --json", status);
    ASSERT_EQ(0, status);
    EXPECT_TRUE(validUtf8(json)) << json;
    EXPECT_EQ(std::string::npos, json.find('\x01')) << "control characters are escaped";
    EXPECT_EQ((Strings{program}), valuesOf(json, "program"));

    // Each file's path on disk is the file, under the name as the directory lists it.
    const Strings diskPaths = valuesOf(json, "disk_path");
    ASSERT_EQ(names.size() + 1, diskPaths.size()) << json;
    EXPECT_EQ(world.drive('C') + "/dir\xa0", diskPaths[0]);
    Strings listed;
    for (const auto& entry : std::filesystem::directory_iterator(world.drive('C') + "/WINDOWS")) {
        if (entry.path().filename() != "WIN.INI") {
            listed.push_back(entry.path().filename().string());
        }
    }
    Strings reported;
    for (std::size_t k = 1; k < diskPaths.size(); ++k) {
        const std::filesystem::path path(diskPaths[k]);
        EXPECT_EQ(world.drive('C') + "/WINDOWS", path.parent_path().string());
        EXPECT_TRUE(std::filesystem::is_regular_file(path)) << diskPaths[k];
        reported.push_back(path.filename().string());
    }
    std::sort(listed.begin(), listed.end());
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(listed, reported);
    // The Windows paths name the same bytes, and the configuration line its own.
    const Strings paths = valuesOf(json, "path");
    ASSERT_EQ(diskPaths.size(), paths.size());
    for (std::size_t k = 1; k < paths.size(); ++k) {
        EXPECT_EQ("C:\\WINDOWS\\" + std::filesystem::path(diskPaths[k]).filename().string(), paths[k]);
    }
    EXPECT_NE(std::string::npos, json.find("\"added\": [\"load=\\udce9\\u0001\"]")) << json;
}

TEST(TwoFaces, BeforeFromTheTerminalAfterFromTheWindowsEngineRemoveFromTheTerminal)
{
    World world;
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]", "load="}));
    const std::string cli = cliOn(world);
    const auto pristine = folderState(world.drive('C'));

    ASSERT_EQ(0, shell(cli + "before 'Shared App' </dev/null"));
    mkdir(world.host("C:\\SHARED").c_str(), 0755);
    writeFile(world.host("C:\\SHARED\\S.EXE"), "s");
    writeFile(world.host("C:\\WINDOWS\\S.DLL"), "d");
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]", "load=s.exe"}));
    CreateAfterFile(world.ctx());
    ASSERT_EQ(1, world.panel.waits) << "the windows' engine made the AFTER file from the terminal's BEFORE file";
    EXPECT_EQ("Number of files installed in old subdirectories: 1", world.panel.linesAtWait.at(0).at(4));

    EXPECT_EQ(0, shell(cli + "remove 1 --yes --restore replace </dev/null 2>/dev/null"));
    std::remove(world.host("C:\\WINDOWS\\WIN.QRV").c_str());
    EXPECT_EQ(pristine, folderState(world.drive('C')));
    EXPECT_FALSE(world.fs->exists(world.data("AFTER1.DAT")));
}

}  // namespace
}  // namespace morvane::test
