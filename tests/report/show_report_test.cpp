#include "report/show_report.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>

#include "tests/removal/scripted_after_file_list.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::readFile;
using Lines = std::vector<std::string>;

// ReportForm without a window: keeps the controls' state, logs the counts, results and repaints in order, and
// answers the waits from a queue of choices.
class FakeReportWindow : public ReportWindow {
public:
    void setCaption(std::string_view text) override { caption = text; }
    void show() override { visible = true; }
    void repaint() override { log.push_back("repaint"); }
    void close() override { visible = false; }
    void setDirectoryCount(long count) override { log.push_back("NumDirsLab " + std::to_string(count)); }
    void setFileCount(long count) override { log.push_back("NumFilesLab " + std::to_string(count)); }
    void setResult(int category, std::string_view text, ResultColour colour) override
    {
        results.at(category) = text;
        log.push_back(std::to_string(category) + " " + std::string(text) +
                      (colour == ResultColour::Working ? " (red)" : " (window text)"));
    }
    void setDetailsVisible(int category, bool visible) override { details.at(category) = visible; }
    void setPrefixRowsVisible(bool visible) override { prefixRows = visible; }
    void setDesktopEntryCount(long count) override { log.push_back("DesktopLab " + std::to_string(count)); }
    void setPrintEnabled(bool enabled) override { printEnabled = enabled; }
    void setListTitle(std::string_view title) override { showingWhat = title; }
    void setList(const Lines& entries) override
    {
        list = entries;
        lists.push_back(entries);
    }
    short waitForChoice() override
    {
        EXPECT_TRUE(visible) << "waiting for a report that is not shown";
        printEnabledAtWait.push_back(printEnabled);
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
    bool prefixRows = false;
    std::array<std::string, 7> results{};
    std::array<bool, 7> details{};
    bool printEnabled = false;
    std::vector<bool> printEnabledAtWait;
    std::string showingWhat;
    Lines list;
    std::vector<Lines> lists;  // every list shown, in order
    Lines log;
    std::deque<short> choices;
};

const Lines kUnchanged = {"*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~", "*END CONFIG*",
                          "*WIN*",      "~NO CHANGE~", "*END WIN*",      "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"};

std::string Record(Lines head, const Lines& tail = kUnchanged)
{
    head.insert(head.end(), tail.begin(), tail.end());
    std::string bytes;
    for (const std::string& line : head) {
        bytes += line + "\r\n";
    }
    return bytes;
}

class ShowReportTest : public ::testing::Test {
protected:
    // Reports on AFTER1.DAT, holding `bytes`, with the report's choices; the command must leave it as it was.
    void run(const std::string& bytes, std::deque<short> choices = {kReportOk})
    {
        test::writeFile(world.data("AFTER1.DAT"), bytes);
        list.choices = {0};
        window.choices = std::move(choices);
        ShowReport(world.ctx(), list, window, printer);
        EXPECT_EQ(readFile(world.data("AFTER1.DAT")), bytes);
        EXPECT_TRUE(world.main.visible);
        EXPECT_FALSE(window.visible);
        EXPECT_TRUE(window.choices.empty());
    }

    test::World world;
    test::ScriptedAfterFileList list;
    FakeReportWindow window;
    test::RecordingPrinter printer;
};

TEST_F(ShowReportTest, NothingAddedShowsZeroAndZeroAndNoDetails)
{
    run(Record({"Quiet App", "C"}));
    EXPECT_EQ(list.prompt, "Select installed program to report on");
    EXPECT_EQ(window.caption, "Changes for Quiet App");
    EXPECT_EQ(world.state.ProgramName, "Quiet App");
    EXPECT_EQ(window.log, (Lines{"NumDirsLab 0",
                                 "repaint",
                                 "NumFilesLab 0",
                                 "repaint",
                                 "3 Working. Please wait. (red)",
                                 "repaint",
                                 "3 No (window text)",
                                 "repaint",
                                 "4 Working. Please wait. (red)",
                                 "repaint",
                                 "4 No (window text)",
                                 "repaint",
                                 "5 Working. Please wait. (red)",
                                 "repaint",
                                 "5 No (window text)",
                                 "repaint",
                                 "6 Working. Please wait. (red)",
                                 "repaint",
                                 "6 No (window text)",
                                 "repaint"}));
    EXPECT_EQ(window.details, (std::array<bool, 7>{}));
    EXPECT_FALSE(window.prefixRows) << "a record without a companion";
    EXPECT_EQ(window.printEnabledAtWait, std::vector<bool>{false});
    EXPECT_EQ(world.main.hides, 1);
    EXPECT_TRUE(world.prompts.prompts().empty());
    EXPECT_TRUE(printer.documents.empty());
}

TEST_F(ShowReportTest, EntriesCarryTheirDriveAndTheCountGrowsPerDrive)
{
    run(Record({"Spread", "C", "\\APP\\BIN\\", "\\APP\\", "\\WINDOWS\\APP.INI", "D", "E", "\\GAMES\\", "\\README.TXT",
                "\\AUTORUN.INF"}),
        {kReportDirectories, kReportFiles, kReportOk});
    Lines counts;
    std::copy_if(window.log.begin(), window.log.end(), std::back_inserter(counts),
                 [](const std::string& entry) { return entry.starts_with("Num"); });
    EXPECT_EQ(counts, (Lines{"NumDirsLab 2", "NumDirsLab 2", "NumDirsLab 3", "NumFilesLab 3"}));
    EXPECT_TRUE(window.details[kReportDirectories]);
    EXPECT_TRUE(window.details[kReportFiles]);
    EXPECT_EQ(window.showingWhat, "Files added");
    EXPECT_EQ(window.lists, (std::vector<Lines>{{"C:\\APP\\BIN\\", "C:\\APP\\", "E:\\GAMES\\"},
                                                {"C:\\WINDOWS\\APP.INI", "E:\\README.TXT", "E:\\AUTORUN.INF"}}));
}

TEST_F(ShowReportTest, ChangeOnlyInLetterCaseShowsYesAndOneEmptyLine)
{
    run(Record({"Cased", "C"},
               {"*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "files = 30", "*NEW CONFIG*", "FILES=30",
                "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*", "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}),
        {kReportConfig, kReportOk});
    EXPECT_EQ(window.results, (std::array<std::string, 7>{"", "", "", "No", "Yes", "No", "No"}));
    EXPECT_EQ(window.details, (std::array<bool, 7>{false, false, false, false, true, false, false}));
    EXPECT_EQ(window.showingWhat, "CONFIG.SYS changes");
    EXPECT_EQ(window.list, Lines{""});
}

TEST_F(ShowReportTest, PrintPrintsTheCategoryShownLast)
{
    world.state.ProgramName = "Earlier";
    run(Record({"Word Wizard", "C", "\\WW\\", "\\WINDOWS\\WW.INI"}),
        {kReportFiles, kReportDirectories, kReportPrint, kReportOk});
    EXPECT_EQ(printer.documents, (std::vector<Lines>{{"Directories added by Word Wizard:", "", "C:\\WW\\"}}));
    EXPECT_EQ(window.printEnabledAtWait, (std::vector<bool>{false, true, true, true}));
}

TEST_F(ShowReportTest, CancelledSelectionShowsNoReport)
{
    test::writeFile(world.data("AFTER1.DAT"), Record({"Any", "C"}));
    list.choices = {-1};
    ShowReport(world.ctx(), list, window, printer);
    EXPECT_TRUE(window.caption.empty());
    EXPECT_TRUE(world.main.visible);
    EXPECT_TRUE(world.prompts.prompts().empty());
}

// A record that ends early, or is damaged, is reported by name; the half-filled report goes away and is never
// waited for.
TEST(ShowReportShortRecord, IsReportedAndTheReportClosedWithoutWaiting)
{
    const std::vector<std::pair<Lines, std::string>> cases = {
        {{"P"}, " ends before its drive section."},
        {{"P", "C", "\\A\\", "\\A\\F"}, " ends before its AUTOEXEC section."},
        {{"P", "C", "*AUTOEXEC*", "OLD"}, " ends inside its AUTOEXEC section."},
        {{"P", "C", "*AUTOEXEC*", "~NO CHANGE~"}, " ends inside its AUTOEXEC section."},
        {{"P", "C", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*"}, " ends before its CONFIG section."},
        {{"P", "C", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "A", "*NEW CONFIG*", "B"},
         " ends inside its CONFIG section."},
        {{"P", "7", "*AUTOEXEC*"}, " is damaged: its second line \"7\" is not a drive letter."},
    };
    for (const auto& [lines, ending] : cases) {
        test::World world;
        test::ScriptedAfterFileList list;
        FakeReportWindow window;
        test::RecordingPrinter printer;
        const std::string bytes = Record(lines, {});
        test::writeFile(world.data("AFTER1.DAT"), bytes);
        list.choices = {0};
        ShowReport(world.ctx(), list, window, printer);

        const auto messages = world.prompts.messages();
        ASSERT_EQ(messages.size(), 1u) << lines.size();
        EXPECT_EQ(messages[0].text, "The AFTER file " + world.data("AFTER1.DAT") + ending);
        EXPECT_EQ(messages[0].title, "Error");
        EXPECT_EQ(messages[0].icon, Icon::Exclamation);
        EXPECT_TRUE(window.printEnabledAtWait.empty());
        EXPECT_FALSE(window.visible);
        EXPECT_TRUE(world.main.visible);
        EXPECT_EQ(readFile(world.data("AFTER1.DAT")), bytes);
    }
}

}  // namespace
}  // namespace morvane
