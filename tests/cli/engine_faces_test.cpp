// The engine's parts that serve the terminal as well as the windows: a stop requested during a record's
// creation, the dry run of Delete program, and records passed between morvane-cli and the windowed program's
// engine.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "changes/create_after_file.h"
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
        after ? CreateAfterFile(world.stoppable()) : CreateBeforeFile(world.stoppable());

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

TEST(TwoFaces, BeforeFromTheTerminalAfterFromTheWindowsEngineRemoveFromTheTerminal)
{
    World world;
    const std::string prefix = world.tmp / "prefix";
    mkdir(prefix.c_str(), 0755);
    mkdir((prefix + "/dosdevices").c_str(), 0755);
    ASSERT_EQ(0, symlink(world.drive('C').c_str(), (prefix + "/dosdevices/c:").c_str()));
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]", "load="}));
    const std::string cli =
        std::string(MORVANE_CLI) + " --prefix '" + prefix + "' --data-dir '" + world.state.DataFolder + "' ";
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
