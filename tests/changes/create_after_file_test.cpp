#include "changes/create_after_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::pathExists;
using test::readFile;
using test::World;
using test::writeFile;

// The four configuration copies of a BEFORE file, each file's lines between its markers.
std::vector<std::string> Copies(const std::vector<std::string>& autoexec = {},
                                const std::vector<std::string>& config = {}, const std::vector<std::string>& win = {},
                                const std::vector<std::string>& system = {})
{
    std::vector<std::string> out;
    const struct {
        const char* name;
        const std::vector<std::string>& lines;
    } sections[] = {{"AUTOEXEC", autoexec}, {"CONFIG", config}, {"WIN", win}, {"SYSTEM", system}};
    for (const auto& s : sections) {
        out.push_back(std::string("*") + s.name + "*");
        out.insert(out.end(), s.lines.begin(), s.lines.end());
        out.push_back(std::string("*END ") + s.name + "*");
    }
    return out;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kNoChange = {"*AUTOEXEC*",  "~NO CHANGE~",  "*END AUTOEXEC*", "*CONFIG*",
                                            "~NO CHANGE~", "*END CONFIG*", "*WIN*",          "~NO CHANGE~",
                                            "*END WIN*",   "*SYSTEM*",     "~NO CHANGE~",    "*END SYSTEM*"};

// A file system that fails chosen calls, as a full disk, a busy file or an unreadable folder would.
class FaultyFs : public FileSystem {
public:
    using FileSystem::FileSystem;

    Result<Listing> list(std::string_view pattern, unsigned attributes) const override
    {
        if (failList && failList(pattern)) {
            return errorFromErrno(std::string(pattern), EIO);
        }
        return FileSystem::list(pattern, attributes);
    }
    Result<DirectoryContents> readDirectory(std::string_view directory) const override
    {
        if (directory == unreadableDirectory) {
            return errorFromErrno(std::string(directory), EACCES);
        }
        return FileSystem::readDirectory(directory);
    }
    Result<std::unique_ptr<LineWriter>> createForWriting(std::string_view path, CreateMode mode) override
    {
        if (createErrno != 0) {
            return errorFromErrno(std::string(path), createErrno);
        }
        auto writer = FileSystem::createForWriting(path, mode);
        if (!writer || finishErrno == 0) {
            return writer;
        }
        return std::unique_ptr<LineWriter>(
            std::make_unique<FailingFinish>(std::move(*writer), std::string(path), finishErrno));
    }
    Status removeFile(std::string_view path, Lookup lookup) override
    {
        if (path == unremovable) {
            return errorFromErrno(std::string(path), EBUSY);
        }
        return FileSystem::removeFile(path, lookup);
    }

    std::function<bool(std::string_view)> failList;
    std::string unreadableDirectory;
    std::string unremovable;
    int createErrno = 0;
    int finishErrno = 0;

private:
    // Writes through, then reports the error on finish, as a disk that filled up would.
    class FailingFinish : public LineWriter {
    public:
        FailingFinish(std::unique_ptr<LineWriter> inner, std::string path, int code)
            : m_inner(std::move(inner)), m_path(std::move(path)), m_code(code)
        {}
        void writeLine(std::string_view line) override { m_inner->writeLine(line); }
        Status finish() override
        {
            (void)m_inner->finish();
            return errorFromErrno(m_path, m_code);
        }

    private:
        std::unique_ptr<LineWriter> m_inner;
        std::string m_path;
        int m_code;
    };
};

class CreateAfterFileTest : public ::testing::Test {
protected:
    explicit CreateAfterFileTest(std::vector<char> drives = {'C'}) : world(std::move(drives))
    {
        auto faulty = std::make_unique<FaultyFs>(world.fs->drives());
        fs = faulty.get();
        world.fs = std::move(faulty);
    }

    void writeBefore(const std::vector<std::string>& lines) { writeFile(world.data("BEFORE.DAT"), crlf(lines)); }
    void put(std::string_view winPath, std::string_view bytes = "x") { writeFile(world.host(winPath), bytes); }
    void run() { CreateAfterFile(world.ctx()); }

    // The message boxes and beeps, in order.
    const std::vector<test::ScriptedPrompts::Prompt>& prompts() const { return world.prompts.prompts(); }

    // What must hold after any run that made no record.
    void expectNoRecord(const std::string& beforeBytes)
    {
        EXPECT_EQ(readFile(world.data("BEFORE.DAT")), beforeBytes);
        EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
        EXPECT_TRUE(world.main.visible);
        EXPECT_FALSE(world.panel.visible);
        EXPECT_EQ(world.panel.waits, 0);
        EXPECT_FALSE(world.main.pairs.contains(Pair::CreateBefore));
        EXPECT_FALSE(world.main.pairEnabled(Pair::DeleteProgram));
    }

    World world;
    FaultyFs* fs = nullptr;
};

TEST_F(CreateAfterFileTest, WithoutBeforeFileBeepsAndSaysSo)
{
    run();
    ASSERT_EQ(prompts().size(), 2u);
    EXPECT_EQ(prompts()[0].kind, test::ScriptedPrompts::Prompt::Kind::Beep);
    EXPECT_EQ(prompts()[1].text, "No BEFORE file found.\rCannot create an AFTER file without a BEFORE file.");
    EXPECT_EQ(prompts()[1].buttons, Buttons::Ok);
    EXPECT_EQ(prompts()[1].icon, Icon::Exclamation);
    EXPECT_EQ(prompts()[1].title, "Error");
    EXPECT_FALSE(pathExists(world.data("AFTER1.DAT")));
    EXPECT_TRUE(world.main.visible);
    EXPECT_EQ(world.main.hides, 1);
    EXPECT_TRUE(world.panel.written.empty());
    EXPECT_TRUE(world.main.pairs.empty());
}

TEST_F(CreateAfterFileTest, NothingChangedTakesTheLowestFreeNumber)
{
    put("C:\\WINDOWS\\WIN.INI", crlf({"[windows]", "run="}));
    writeBefore(
        Join({"Editor", "C", "\\WINDOWS\\", "\\", "\\WINDOWS\\WIN.INI"}, Copies({}, {}, {"[windows]", "run ="}, {})));
    writeFile(world.data("AFTER1.DAT"), "one");
    writeFile(world.data("AFTER3.DAT"), "three");

    run();

    const std::string after = world.data("AFTER2.DAT");
    EXPECT_EQ(readFile(after), crlf(Join({"Editor", "C"}, kNoChange)));
    EXPECT_EQ(readFile(world.data("AFTER1.DAT")), "one");
    EXPECT_EQ(readFile(world.data("AFTER3.DAT")), "three");
    EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));
    EXPECT_EQ(world.state.ProgramName, "Editor");

    // Every phase's line, then the report, shown with the Ok button.
    const std::vector<std::string> expected = {"1: Creating file " + after + " for",
                                               "2: Editor",
                                               "4: Loading in old subdirectory names.",
                                               "5: Loading in current subdirectory names.",
                                               "6: Identifying and saving new subdirectory names.",
                                               "7: Loading old file names.",
                                               "8: Identifying and saving new file names in directory:",
                                               "9: \\WINDOWS\\",
                                               "9: \\",
                                               "1: Installation Report",
                                               "3: Number of subdirectories created during installation: 0",
                                               "4: Number of files installed in old subdirectories: 0"};
    EXPECT_EQ(world.panel.written, expected);
    ASSERT_EQ(world.panel.waits, 1);
    EXPECT_EQ(world.panel.linesAtWait[0][5], "");  // no "was modified." line
    EXPECT_EQ(world.panel.linesAtWait[0][9], "");

    // Closing: panel hidden and blank, Ok shown again, main window back, pairs switched.
    EXPECT_FALSE(world.panel.visible);
    EXPECT_TRUE(world.panel.okVisible);
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(world.panel.line(i), "") << i;
    }
    EXPECT_TRUE(world.main.visible);
    EXPECT_EQ(world.main.hides, 1);
    EXPECT_TRUE(world.main.pairEnabled(Pair::CreateBefore));
    EXPECT_FALSE(world.main.pairEnabled(Pair::CreateAfter));
    EXPECT_FALSE(world.main.pairEnabled(Pair::DeleteBefore));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteProgram));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteAfter));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DisplayReport));
    EXPECT_TRUE(prompts().empty());
}

TEST_F(CreateAfterFileTest, NewDirectoriesLongestFirstThenNewFilesInDirectoryLineOrder)
{
    put("C:\\WINDOWS\\SYSTEM\\OLD.DLL");
    put("C:\\WINDOWS\\WIN.INI", crlf({"[windows]"}));
    put("C:\\WINDOWS\\SYSTEM.INI", crlf({"[boot]"}));
    put("C:\\CONFIG.SYS", crlf({"files=30"}));
    writeBefore(Join({"Paint Shop", "C", "\\WINDOWS\\SYSTEM\\", "\\WINDOWS\\", "\\", "\\WINDOWS\\SYSTEM\\OLD.DLL",
                      "\\WINDOWS\\SYSTEM.INI", "\\WINDOWS\\WIN.INI", "\\CONFIG.SYS"},
                     Copies({}, {"files = 30"}, {"[windows]"}, {"[boot]"})));

    // The installation: \APP\ and \APP\BIN\ with files in both, \ZZ\, a file in \WINDOWS\ and two in the root;
    // WIN.INI and SYSTEM.INI changed.
    put("C:\\APP\\APP.EXE");
    put("C:\\APP\\BIN\\TOOL.EXE");
    put("C:\\ZZ\\Z.DAT");
    put("C:\\WINDOWS\\NEW.DLL");
    put("C:\\SETUP.LOG");
    put("C:\\INSTALL.TXT");
    put("C:\\WINDOWS\\WIN.INI", crlf({"[windows]", "load=app.exe"}));
    put("C:\\WINDOWS\\SYSTEM.INI", crlf({"[boot]", "drivers = app.drv"}));

    run();

    EXPECT_EQ(readFile(world.data("AFTER1.DAT")), crlf({"Paint Shop",      "C",
                                                         "\\APP\\BIN\\",    "\\APP\\",
                                                         "\\ZZ\\",          "\\WINDOWS\\NEW.DLL",
                                                         "\\INSTALL.TXT",   "\\SETUP.LOG",
                                                         "*AUTOEXEC*",      "~NO CHANGE~",
                                                         "*END AUTOEXEC*",  "*CONFIG*",
                                                         "~NO CHANGE~",     "*END CONFIG*",
                                                         "*WIN*",           "[windows]",
                                                         "*NEW WIN*",       "[windows]",
                                                         "load=app.exe",    "*END WIN*",
                                                         "*SYSTEM*",        "[boot]",
                                                         "*NEW SYSTEM*",    "[boot]",
                                                         "drivers=app.drv", "*END SYSTEM*"}));
    ASSERT_EQ(world.panel.waits, 1);
    const auto& report = world.panel.linesAtWait[0];
    EXPECT_EQ(report[1], "Installation Report");
    EXPECT_EQ(report[2], "");
    EXPECT_EQ(report[3], "Number of subdirectories created during installation: 3");
    EXPECT_EQ(report[4], "Number of files installed in old subdirectories: 3");
    EXPECT_EQ(report[5], "WIN.INI was modified.");
    EXPECT_EQ(report[6], "SYSTEM.INI was modified.");
    EXPECT_EQ(report[7], "");
    // The installation is recorded, never touched.
    EXPECT_TRUE(pathExists(world.host("C:\\APP\\BIN\\TOOL.EXE")));
    EXPECT_TRUE(pathExists(world.host("C:\\SETUP.LOG")));
}

TEST_F(CreateAfterFileTest, RecordFilesLetterCaseAndNamesEndingInSpaces)
{
    put("C:\\WINDOWS\\AFTER.DAT");
    put("C:\\TOOLS\\A.EXE");
    put("C:\\notes");
    put("C:\\memo  ");
    put("C:\\Readme.txt");
    writeBefore(Join(
        {"Editor", "C", "\\WINDOWS\\", "\\TOOLS\\", "\\", "\\TOOLS\\A.EXE", "\\Readme.txt", "\\memo  ", "\\notes   "},
        Copies()));

    // The installation renames Readme.txt and TOOLS in letter case only, adds record-like files and a tool.
    ASSERT_EQ(rename(world.host("C:\\Readme.txt").c_str(), world.host("C:\\README.TXT").c_str()), 0);
    ASSERT_EQ(rename(world.host("C:\\TOOLS").c_str(), world.host("C:\\Tools").c_str()), 0);
    put("C:\\Tools\\B.EXE");
    put("C:\\BEFORE.DAT");
    put("C:\\AFTER9.DAT");
    put("C:\\after9.dat");
    put("C:\\WINDOWS\\AFTER12.DAT");

    run();

    // \Tools\ is a new directory; \TOOLS\ still lists it (the platform finds it in another letter case), so its
    // new file appears under the recorded spelling. "notes" matches "\notes   " without its trailing spaces,
    // "memo  " matches its line as it stands.
    EXPECT_EQ(readFile(world.data("AFTER1.DAT")),
              crlf(Join({"Editor", "C", "\\Tools\\", "\\TOOLS\\B.EXE", "\\after9.dat", "\\README.TXT"}, kNoChange)));
    ASSERT_EQ(world.panel.waits, 1);
    EXPECT_EQ(world.panel.linesAtWait[0][3], "Number of subdirectories created during installation: 1");
    EXPECT_EQ(world.panel.linesAtWait[0][4], "Number of files installed in old subdirectories: 3");
}

TEST_F(CreateAfterFileTest, NamesAWindowsPathCannotExpressAreCountedOnce)
{
    writeBefore(Join({"Editor", "C", "\\WINDOWS\\", "\\"}, Copies()));
    put("C:\\WINDOWS\\bad\x01name");
    put("C:\\NEW\\also\x02"
        "bad");
    put("C:\\GOOD.TXT");

    run();

    EXPECT_EQ(readFile(world.data("AFTER1.DAT")), crlf(Join({"Editor", "C", "\\NEW\\", "\\GOOD.TXT"}, kNoChange)));
    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, Icon::Information);
    EXPECT_EQ(messages[0].text.substr(0, 2), "2 ");
}

class TwoDrives : public CreateAfterFileTest {
protected:
    TwoDrives() : CreateAfterFileTest({'C', 'D'}) {}
};

TEST_F(TwoDrives, SectionsFollowTheBlocksOfTheBeforeFile)
{
    writeBefore(Join({"Game", "D", "\\", "C", "\\WINDOWS\\", "\\"}, Copies()));
    put("D:\\GAME\\GAME.EXE");
    put("D:\\SAVE.DAT");
    put("C:\\WINDOWS\\GAME.INI");

    run();

    EXPECT_EQ(readFile(world.data("AFTER1.DAT")),
              crlf(Join({"Game", "D", "\\GAME\\", "\\SAVE.DAT", "C", "\\WINDOWS\\GAME.INI"}, kNoChange)));
}

TEST_F(TwoDrives, CancelAtTheSecondDriveKeepsTheBeforeFile)
{
    writeBefore(Join({"Game", "C", "\\WINDOWS\\", "\\", "D", "\\"}, Copies()));
    const std::string before = readFile(world.data("BEFORE.DAT"));
    put("C:\\NEW.TXT");
    ASSERT_EQ(rmdir(world.drive('D').c_str()), 0);
    world.prompts.answer(Answer::Cancel);

    run();

    ASSERT_EQ(world.prompts.messages().size(), 1u);
    const auto asked = world.prompts.messages().at(0);
    EXPECT_EQ(asked.text, "Drive D is not ready to read. Fix and click on Ok, or select Cancel to abort operation.");
    EXPECT_EQ(asked.buttons, Buttons::OkCancel);
    EXPECT_EQ(asked.icon, Icon::Exclamation);
    EXPECT_EQ(asked.title, "Error");
    expectNoRecord(before);
    EXPECT_FALSE(world.main.pairs.contains(Pair::CreateAfter));  // Create AFTER stays as it was
    EXPECT_TRUE(world.main.pairs.contains(Pair::DeleteAfter));   // the AFTER pairs are re-evaluated
    EXPECT_GE(world.events.calls, 1);
}

TEST_F(TwoDrives, OkAtTheNotReadyQuestionTestsTheDriveAgain)
{
    writeBefore(Join({"Game", "D", "\\"}, Copies()));
    put("D:\\NEW.TXT");
    int failures = 1;
    fs->failList = [&failures](std::string_view pattern) { return pattern == "D:\\*.*" && failures-- > 0; };
    world.prompts.answer(Answer::Ok);

    run();

    EXPECT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(readFile(world.data("AFTER1.DAT")), crlf(Join({"Game", "D", "\\NEW.TXT"}, kNoChange)));
    EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));
}

TEST_F(CreateAfterFileTest, UnreadableOldDirectoryIsReportedAndPassedOver)
{
    writeBefore(Join({"Editor", "C", "\\WINDOWS\\", "\\OLD\\", "\\", "\\OLD\\A.TXT"}, Copies()));
    put("C:\\WINDOWS\\NEW.INI");
    put("C:\\NEW.TXT");
    fs->failList = [](std::string_view pattern) { return pattern == "C:\\OLD\\*.*"; };

    run();  // \OLD\ was removed by the installation and holds no new files; it is the error that is reported

    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(
        messages[0].text,
        "Unable to read directory C:\\OLD\\. Input/output error.\nClick on Ok to continue creation of AFTER file.");
    EXPECT_EQ(messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(messages[0].icon, Icon::None);
    EXPECT_EQ(messages[0].title, "Morvane");
    EXPECT_EQ(readFile(world.data("AFTER1.DAT")),
              crlf(Join({"Editor", "C", "\\WINDOWS\\NEW.INI", "\\NEW.TXT"}, kNoChange)));
    EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));

    // Without the error, the directory that is gone is simply empty.
    writeBefore(Join({"Editor", "C", "\\WINDOWS\\", "\\OLD\\", "\\", "\\OLD\\A.TXT"}, Copies()));
    fs->failList = nullptr;
    run();
    EXPECT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(readFile(world.data("AFTER2.DAT")), readFile(world.data("AFTER1.DAT")));
}

TEST_F(CreateAfterFileTest, DamagedBeforeFileStopsWithoutRecord)
{
    const struct {
        std::string bytes;
        std::string wrong;
    } cases[] = {
        {"", "it is empty"},
        {crlf(Join({"Editor", "C", "\\WINDOWS\\"}, Copies())),
         "the directory lines of drive C end without the line \"\\\""},
        {crlf({"Editor", "C", "\\WINDOWS\\", "\\", "\\WINDOWS\\WIN.INI"}),
         "the file lines of drive C end without a next drive letter or the line \"*AUTOEXEC*\""},
        {crlf({"Editor", "C", "\\", "*AUTOEXEC*", "*END AUTOEXEC*", "*CONFIG*", "files=30"}),
         "the copy of CONFIG.SYS ends without the line \"*END CONFIG*\""},
        {crlf({"Editor", "C", "\\", "*AUTOEXEC*", "*END AUTOEXEC*"}), "it ends before the copy of CONFIG.SYS"},
    };
    for (const auto& c : cases) {
        World& w = world;
        w.prompts = test::ScriptedPrompts();
        w.panel = test::RecordingPanel();
        w.main = test::FakeMainWindow();
        writeFile(w.data("BEFORE.DAT"), c.bytes);

        run();

        const auto messages = w.prompts.messages();
        ASSERT_EQ(messages.size(), 1u) << c.wrong;
        EXPECT_EQ(messages[0].text, "The BEFORE file " + w.data("BEFORE.DAT") + " is damaged: " + c.wrong +
                                        ". No AFTER file was created; the BEFORE file is kept.");
        EXPECT_EQ(messages[0].icon, Icon::Exclamation);
        EXPECT_EQ(messages[0].title, "Error");
        expectNoRecord(c.bytes);
    }
}

TEST_F(CreateAfterFileTest, WriteFailuresLeaveNoAfterFileAndKeepTheBeforeFile)
{
    writeBefore(Join({"Editor", "C", "\\"}, Copies()));
    const std::string before = readFile(world.data("BEFORE.DAT"));
    put("C:\\NEW.TXT");
    const std::string after = world.data("AFTER1.DAT");

    fs->createErrno = EACCES;
    run();
    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(world.prompts.messages()[0].text,
              "Unable to create the AFTER file " + after + ": Permission denied. The BEFORE file is kept.");
    expectNoRecord(before);

    world.prompts = test::ScriptedPrompts();
    fs->createErrno = 0;
    fs->finishErrno = ENOSPC;
    run();
    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(world.prompts.messages()[0].text,
              "Unable to write the AFTER file " + after +
                  ": No space left on device. No AFTER file was created; the BEFORE file is kept.");
    EXPECT_EQ(world.prompts.messages()[0].title, "Error");
    expectNoRecord(before);
}

TEST_F(CreateAfterFileTest, UnreadableDirectoryTreeStopsWithoutRecord)
{
    writeBefore(Join({"Editor", "C", "\\WINDOWS\\", "\\"}, Copies()));
    const std::string before = readFile(world.data("BEFORE.DAT"));
    put("C:\\LOCKED\\SECRET.TXT");
    fs->unreadableDirectory = "C:\\LOCKED\\";

    run();

    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(world.prompts.messages()[0].text,
              "Unable to read C:\\LOCKED\\: Permission denied. No AFTER file was "
              "created; the BEFORE file is kept.");
    expectNoRecord(before);
}

TEST_F(CreateAfterFileTest, ConfigurationFolderThatCannotBeReadIsAnErrorNotAMissingFile)
{
    // Recorded as gone, WIN.INI's lines would all be put back by a later restoration into a file that is there.
    put("C:\\WINDOWS\\WIN.INI", crlf({"[windows]"}));
    writeBefore(Join({"Editor", "C", "\\WINDOWS\\", "\\", "\\WINDOWS\\WIN.INI"}, Copies({}, {}, {"[windows]"}, {})));
    const std::string before = readFile(world.data("BEFORE.DAT"));
    fs->failList = [](std::string_view pattern) { return pattern == "C:\\WINDOWS\\WIN.INI"; };

    run();

    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(world.prompts.messages()[0].text,
              "Unable to read C:\\WINDOWS\\WIN.INI: Input/output error. No AFTER "
              "file was created; the BEFORE file is kept.");
    EXPECT_EQ(world.prompts.messages()[0].title, "Error");
    expectNoRecord(before);

    // A folder that is not there holds no file: without \WINDOWS\, WIN.INI is simply missing.
    world.prompts = test::ScriptedPrompts();
    fs->failList = nullptr;
    ASSERT_EQ(unlink(world.host("C:\\WINDOWS\\WIN.INI").c_str()), 0);
    ASSERT_EQ(rmdir(world.host("C:\\WINDOWS").c_str()), 0);
    writeBefore(Join({"Editor", "C", "\\"}, Copies({}, {}, {"[windows]"}, {})));
    run();
    EXPECT_TRUE(world.prompts.messages().empty());
    EXPECT_EQ(
        readFile(world.data("AFTER1.DAT")),
        crlf({"Editor", "C", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~", "*END CONFIG*",
               "*WIN*", "[windows]", "*NEW WIN*", "*END WIN*", "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}));
}

TEST_F(CreateAfterFileTest, BeforeFileThatCannotBeDeletedLeavesTheCompleteRecord)
{
    writeBefore(Join({"Editor", "C", "\\WINDOWS\\", "\\"}, Copies()));
    put("C:\\NEW.TXT");
    fs->unremovable = world.data("BEFORE.DAT");

    run();

    const std::string after = world.data("AFTER1.DAT");
    EXPECT_EQ(readFile(after), crlf(Join({"Editor", "C", "\\NEW.TXT"}, kNoChange)));
    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(world.prompts.messages()[0].text,
              "The AFTER file " + after +
                  " was created, but the BEFORE file could not be deleted: " + world.data("BEFORE.DAT") +
                  ": Device or resource busy. Delete the BEFORE file before you create another AFTER file.");
    EXPECT_TRUE(pathExists(world.data("BEFORE.DAT")));
    EXPECT_EQ(world.panel.waits, 1);
    // The pairs say what is on disk: both record files.
    EXPECT_TRUE(world.main.pairEnabled(Pair::CreateAfter));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteBefore));
    EXPECT_FALSE(world.main.pairEnabled(Pair::CreateBefore));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DisplayReport));
}

}  // namespace
}  // namespace morvane
