#include "report/show_report.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>

#include "report/list_system_file_changes.h"
#include "tests/removal/scripted_after_file_list.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::readFile;
using test::ScriptedAfterFileList;
using test::World;
using test::writeFile;
using Lines = std::vector<std::string>;

// ReportForm without a window: keeps the controls' state, logs what was done in order, and answers the waits
// from a queue of choices. A wait with no queued choice fails the test and closes the report.
class FakeReportWindow : public ReportWindow {
public:
    struct Result {
        std::string text;
        ResultColour colour = ResultColour::Working;
    };

    void setCaption(std::string_view text) override { caption = text; }
    void show() override
    {
        visible = true;
        ++shows;
    }
    void repaint() override { log.push_back("repaint"); }
    void close() override
    {
        visible = false;
        ++closes;
    }
    void setDirectoryCount(long count) override
    {
        numDirs = std::to_string(count);
        log.push_back("NumDirsLab " + numDirs);
    }
    void setFileCount(long count) override
    {
        numFiles = std::to_string(count);
        log.push_back("NumFilesLab " + numFiles);
    }
    void setResult(int category, std::string_view text, ResultColour colour) override
    {
        results.at(category) = {std::string(text), colour};
        log.push_back(std::to_string(category) + " " + std::string(text) +
                      (colour == ResultColour::Working ? " (red)" : " (window text)"));
    }
    void setDetailsVisible(int category, bool visible) override { details.at(category) = visible; }
    void setPrintEnabled(bool enabled) override { printEnabled = enabled; }
    void setListTitle(std::string_view title) override { showingWhat = title; }
    void setList(const std::vector<std::string>& entries) override { list = entries; }
    short waitForChoice() override
    {
        ++waits;
        printEnabledAtWait.push_back(printEnabled);
        EXPECT_TRUE(visible) << "waiting for a report that is not shown";
        if (choices.empty()) {
            ADD_FAILURE() << "report waited without a scripted choice";
            return kReportOk;
        }
        const short choice = choices.front();
        choices.pop_front();
        return choice;
    }

    std::string caption;
    bool visible = false;
    int shows = 0;
    int closes = 0;
    int waits = 0;
    std::vector<bool> printEnabledAtWait;
    std::string numDirs = "0";
    std::string numFiles = "0";
    std::array<Result, 7> results{};
    std::array<bool, 7> details{};
    bool printEnabled = false;
    std::string showingWhat;
    Lines list;
    Lines log;
    std::deque<short> choices;
};

Lines NoChangeSections()
{
    return {"*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~", "*END CONFIG*",
            "*WIN*",      "~NO CHANGE~", "*END WIN*",      "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"};
}

std::string Record(Lines head, Lines tail = NoChangeSections())
{
    std::string bytes;
    head.insert(head.end(), tail.begin(), tail.end());
    for (const std::string& line : head) {
        bytes += line + "\r\n";
    }
    return bytes;
}

class ShowReportTest : public ::testing::Test {
protected:
    void record(const std::string& name, const std::string& bytes)
    {
        writeFile(world.data(name), bytes);
        stored[name] = bytes;
    }
    void run()
    {
        list.choices = {0};
        ShowReport(world.ctx(), list, window, printer);
    }
    // The command only reads: every record is as it was.
    void expectRecordsUntouched()
    {
        for (const auto& [name, bytes] : stored) {
            EXPECT_EQ(readFile(world.data(name)), bytes) << name;
        }
    }

    World world;
    ScriptedAfterFileList list;
    FakeReportWindow window;
    test::RecordingPrinter printer;
    std::map<std::string, std::string> stored;
};

TEST_F(ShowReportTest, NothingAddedShowsZeroAndZeroAndNoDetails)
{
    record("AFTER1.DAT", Record({"Quiet App", "C"}));
    window.choices = {kReportOk};
    run();

    EXPECT_EQ(list.prompt, "Select installed program to report on");
    EXPECT_EQ(window.caption, "Changes for Quiet App");
    EXPECT_EQ(world.state.ProgramName, "Quiet App");
    EXPECT_EQ(window.numDirs, "0");
    EXPECT_EQ(window.numFiles, "0");
    for (int category = kReportDirectories; category <= kReportSystem; ++category) {
        EXPECT_FALSE(window.details[category]) << category;
    }
    for (int category = kReportAutoexec; category <= kReportSystem; ++category) {
        EXPECT_EQ(window.results[category].text, "No");
        EXPECT_EQ(window.results[category].colour, ResultColour::WindowText);
    }
    EXPECT_FALSE(window.printEnabled);
    EXPECT_EQ(window.waits, 1);
    EXPECT_FALSE(window.visible);
    EXPECT_TRUE(world.main.visible);
    EXPECT_EQ(world.main.hides, 1);
    EXPECT_TRUE(world.prompts.prompts().empty());
    EXPECT_TRUE(printer.documents.empty());
    expectRecordsUntouched();
}

TEST_F(ShowReportTest, EntriesCarryTheirDriveAndCountsGrowPerDrive)
{
    record("AFTER1.DAT", Record({"Spread", "C", "\\APP\\BIN\\", "\\APP\\", "\\WINDOWS\\APP.INI", "D", "E",
                                 "\\GAMES\\", "\\README.TXT", "\\AUTORUN.INF"}));
    window.choices = {kReportDirectories, kReportFiles, kReportOk};
    run();

    EXPECT_EQ(window.numDirs, "3");
    EXPECT_EQ(window.numFiles, "3");
    EXPECT_TRUE(window.details[kReportDirectories]);
    EXPECT_TRUE(window.details[kReportFiles]);
    Lines counts;
    for (const std::string& entry : window.log) {
        if (entry.starts_with("Num")) {
            counts.push_back(entry);
        }
    }
    EXPECT_EQ(counts, (Lines{"NumDirsLab 2", "NumDirsLab 2", "NumDirsLab 3", "NumFilesLab 3"}));
    EXPECT_EQ(window.showingWhat, "Files added");
    EXPECT_EQ(window.list, (Lines{"C:\\WINDOWS\\APP.INI", "E:\\README.TXT", "E:\\AUTORUN.INF"}));
    EXPECT_EQ(world.state.DirList, (Lines{"", "C:\\APP\\BIN\\", "C:\\APP\\", "E:\\GAMES\\"}));
    expectRecordsUntouched();
}

TEST_F(ShowReportTest, RowsShowWorkingInRedThenTheirResult)
{
    record("AFTER1.DAT",
           Record({"Cased", "C"}, {"*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "files = 30",
                                   "*NEW CONFIG*", "FILES=30", "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*",
                                   "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}));
    window.choices = {kReportConfig, kReportOk};
    run();

    Lines rows;
    for (const std::string& entry : window.log) {
        if (entry[0] >= '3' && entry[0] <= '6') {
            rows.push_back(entry);
        }
    }
    EXPECT_EQ(rows, (Lines{"3 Working. Please wait. (red)", "3 No (window text)", "4 Working. Please wait. (red)",
                           "4 Yes (window text)", "5 Working. Please wait. (red)", "5 No (window text)",
                           "6 Working. Please wait. (red)", "6 No (window text)"}));
    // Each row is painted while it is being worked out.
    const auto working = std::find(window.log.begin(), window.log.end(), "4 Working. Please wait. (red)");
    ASSERT_NE(working, window.log.end());
    EXPECT_EQ(*(working + 1), "repaint");

    EXPECT_TRUE(window.details[kReportConfig]);
    EXPECT_FALSE(window.details[kReportAutoexec]);
    EXPECT_EQ(window.showingWhat, "CONFIG.SYS changes");
    EXPECT_EQ(window.list, Lines{""});
}

TEST_F(ShowReportTest, DetailsListTheAddedAndRemovedLines)
{
    record("AFTER1.DAT",
           Record({"Tuner", "C"}, {"*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~",
                                   "*END CONFIG*", "*WIN*", "[windows]", "load=", "*NEW WIN*", "[windows]",
                                   "load = tuner.exe", "*END WIN*", "*SYSTEM*", "*NEW SYSTEM*", "[boot]",
                                   "*END SYSTEM*"}));
    window.choices = {kReportWin, kReportSystem, kReportOk};
    run();
    EXPECT_EQ(window.results[kReportWin].text, "Yes");
    EXPECT_EQ(window.results[kReportSystem].text, "Yes");
    EXPECT_EQ(window.showingWhat, "SYSTEM.INI changes");
    EXPECT_EQ(window.list, (Lines{std::string(kAddedHeader), "[boot]"}));
}

TEST_F(ShowReportTest, PrintPrintsTheCategoryShownLast)
{
    record("AFTER2.DAT", Record({"Word Wizard", "C", "\\WW\\", "\\WINDOWS\\WW.INI"}));
    window.choices = {kReportFiles, kReportDirectories, kReportPrint, kReportOk};
    run();

    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(printer.documents[0], (Lines{"Directories added by Word Wizard:", "", "C:\\WW\\"}));
    EXPECT_EQ(window.printEnabledAtWait, (std::vector<bool>{false, true, true, true}));
    expectRecordsUntouched();
}

TEST_F(ShowReportTest, CancelledSelectionShowsNoReport)
{
    record("AFTER1.DAT", Record({"Any", "C"}));
    list.choices = {-1};
    ShowReport(world.ctx(), list, window, printer);
    EXPECT_EQ(window.shows, 0);
    EXPECT_EQ(window.waits, 0);
    EXPECT_TRUE(world.main.visible);
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST_F(ShowReportTest, NoRecordsEndsAfterTheSelectionsMessage)
{
    ShowReport(world.ctx(), list, window, printer);
    EXPECT_EQ(world.prompts.messageTexts(), Lines{"No AFTER files found."});
    EXPECT_EQ(window.shows, 0);
    EXPECT_TRUE(world.main.visible);
}

TEST_F(ShowReportTest, RecordWhoseNameDoesNotCarryItsNumberIsNotOpened)
{
    record("AFTER07.DAT", Record({"Padded", "C"}));
    record("AFTER7.DAT", Record({"Seven", "C", "\\SEVEN\\"}));
    run();  // AFTER07.DAT comes first in the listing
    EXPECT_EQ(world.prompts.messageTexts(),
              Lines{"The record AFTER07.DAT cannot be opened: its name does not carry the number of an AFTER file."});
    EXPECT_EQ(window.shows, 0);
    EXPECT_NE(world.state.ProgramName, "Seven");
    EXPECT_TRUE(world.main.visible);
}

TEST_F(ShowReportTest, ShortRecordClosesTheReportWithAMessageAndNeverWaits)
{
    std::string bytes = Record({"Cut Short", "C", "\\CUT\\"});
    bytes.resize(bytes.find("*CONFIG*"));
    record("AFTER3.DAT", bytes);
    run();

    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The AFTER file " + world.data("AFTER3.DAT") + " ends before its CONFIG section.");
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(window.waits, 0);
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.closes, 1);
    EXPECT_TRUE(world.main.visible);
    expectRecordsUntouched();
}

}  // namespace
}  // namespace morvane
