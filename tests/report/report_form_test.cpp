#include "report/report_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>

#include "core/qt_wait.h"
#include "platform/qt_printer.h"
#include "removal/after_file_list_form.h"
#include "report/show_report.h"
#include "tests/support/doubles.h"
#include "tests/support/window_helpers.h"

namespace morvane {
namespace {

using test::clickButton;
using test::crlf;
using test::readFile;
using test::when;
using test::whenShown;
using test::World;
using test::writeFile;

const QColor kRed(255, 0, 0);

QString LabelText(QWidget* w, const char* name)
{
    auto* label = w->findChild<QLabel*>(name);
    EXPECT_NE(label, nullptr) << name;
    return label ? label->text() : QString();
}

QColor LabelColour(QWidget* w, const char* name)
{
    return w->findChild<QLabel*>(name)->palette().color(QPalette::WindowText);
}

bool ButtonShown(QWidget* w, const QString& name)
{
    auto* button = w->findChild<QPushButton*>(name);
    EXPECT_NE(button, nullptr) << name.toStdString();
    return button && button->isVisible();
}

QStringList ListItems(QWidget* w)
{
    QStringList items;
    auto* list = w->findChild<QListWidget*>("List1");
    for (int i = 0; i < list->count(); ++i) {
        items << list->item(i)->text();
    }
    return items;
}

QColor WindowTextColour()
{
    return QApplication::palette().color(QPalette::WindowText);
}

// The real selection window and report window over a temporary world. Steps run one per wait of the report:
// each does its checks and clicks one button.
class ReportWindowsTest : public ::testing::Test {
protected:
    ReportWindowsTest()
    {
        writeFile(world.data("AFTER1.DAT"),
                  crlf({"Word Wizard", "C", "\\WW\\", "\\WINDOWS\\WW.INI", "\\WINDOWS\\SYSTEM\\WW.DLL", "*AUTOEXEC*",
                        "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~", "*END CONFIG*", "*WIN*",
                        "[windows]", "*NEW WIN*", "[windows]", "run=ww.exe", "*END WIN*", "*SYSTEM*", "~NO CHANGE~",
                        "*END SYSTEM*"}));
        original = readFile(world.data("AFTER1.DAT"));
    }

    void run(std::vector<std::function<void(QWidget*)>> steps, Printer& printer)
    {
        m_steps = std::move(steps);
        whenShown("AfterFileListForm", [](QWidget* w) { clickButton(w, "Command1"); });
        next(0);
        ShowReport(world.ctx(), selection, report, printer);
        EXPECT_EQ(m_done, m_steps.size()) << "steps left undone";
    }
    void run(std::vector<std::function<void(QWidget*)>> steps) { run(std::move(steps), printer); }

    World world;
    AfterFileListForm selection{world.state};
    ReportForm report{world.state};
    test::RecordingPrinter printer;
    std::string original;

private:
    void next(std::size_t index)
    {
        if (index >= m_steps.size()) {
            return;
        }
        when([this] { return report.isVisible() && DialogWaitActive() && world.state.DialogDone == kFalse; },
             [this, index] {
                 m_steps[index](&report);
                 m_done = index + 1;
                 next(index + 1);
             });
    }
    std::vector<std::function<void(QWidget*)>> m_steps;
    std::size_t m_done = 0;
};

TEST_F(ReportWindowsTest, DesignStateOfTheReportWindow)
{
    QWidget* w = &report;
    EXPECT_FALSE(report.isVisible());
    EXPECT_EQ(report.objectName(), "ReportForm");
    EXPECT_EQ(report.windowTitle(), "Change Report");
    const std::vector<std::pair<const char*, const char*>> captions = {
        {"Label1", "Directories added:"},   {"Label2", "Files Added:"},     {"Label3", "AUTOEXEC.BAT changed:"},
        {"Label4", "CONFIG.SYS changed:"},  {"Label6", "WIN.INI changed:"}, {"Label7", "SYSTEM.INI changed:"},
        {"NumDirsLab", "0"},                {"NumFilesLab", "0"},       {"ShowingWhat", ""},
    };
    for (const auto& [name, text] : captions) {
        EXPECT_EQ(LabelText(w, name), text) << name;
    }
    for (const char* name : {"AUTOEXECLab", "CONFIGLab", "WINLab", "SYSTEMLab"}) {
        EXPECT_EQ(LabelText(w, name), "") << name;
        EXPECT_EQ(LabelColour(w, name), kRed) << name;
    }
    for (int n = 1; n <= 6; ++n) {
        auto* details = w->findChild<QPushButton*>(QString("Command%1").arg(n));
        ASSERT_NE(details, nullptr);
        EXPECT_EQ(details->text(), "Details");
        EXPECT_TRUE(details->isHidden());
    }
    EXPECT_EQ(w->findChild<QPushButton*>("Command7")->text(), "&Ok");
    EXPECT_EQ(w->findChild<QPushButton*>("Command8")->text(), "&Print");
    EXPECT_FALSE(w->findChild<QPushButton*>("Command8")->isEnabled());
    EXPECT_EQ(ListItems(w), QStringList());

    report.setResult(kReportWin, "Working. Please wait.", ResultColour::Working);
    EXPECT_EQ(LabelColour(w, "WINLab"), kRed);
    report.setResult(kReportWin, "Yes", ResultColour::WindowText);
    EXPECT_EQ(LabelColour(w, "WINLab"), WindowTextColour());
}

TEST_F(ReportWindowsTest, DetailsFilesThenDirectoriesThenPrintThenOk)
{
    run({
        [&](QWidget* w) {
            EXPECT_FALSE(world.main.visible);
            EXPECT_EQ(w->windowTitle(), "Changes for Word Wizard");
            EXPECT_EQ(LabelText(w, "NumDirsLab"), "1");
            EXPECT_EQ(LabelText(w, "NumFilesLab"), "2");
            EXPECT_EQ(LabelText(w, "AUTOEXECLab"), "No");
            EXPECT_EQ(LabelText(w, "WINLab"), "Yes");
            for (const char* name : {"AUTOEXECLab", "CONFIGLab", "WINLab", "SYSTEMLab"}) {
                EXPECT_EQ(LabelColour(w, name), WindowTextColour()) << name;
            }
            EXPECT_TRUE(ButtonShown(w, "Command1"));
            EXPECT_TRUE(ButtonShown(w, "Command2"));
            EXPECT_FALSE(ButtonShown(w, "Command3"));
            EXPECT_TRUE(ButtonShown(w, "Command5"));
            EXPECT_FALSE(w->findChild<QPushButton*>("Command8")->isEnabled());
            clickButton(w, "Command2");
        },
        [&](QWidget* w) {
            EXPECT_EQ(LabelText(w, "ShowingWhat"), "Files added");
            EXPECT_EQ(ListItems(w), (QStringList{"C:\\WINDOWS\\WW.INI", "C:\\WINDOWS\\SYSTEM\\WW.DLL"}));
            clickButton(w, "Command1");
        },
        [&](QWidget* w) {
            EXPECT_EQ(LabelText(w, "ShowingWhat"), "Directories added");
            EXPECT_EQ(ListItems(w), QStringList{"C:\\WW\\"});
            clickButton(w, "Command8");
        },
        [&](QWidget* w) {
            EXPECT_EQ(printer.documents.size(), 1u);
            clickButton(w, "Command5");
        },
        [&](QWidget* w) {
            EXPECT_EQ(LabelText(w, "ShowingWhat"), "WIN.INI changes");
            EXPECT_EQ(ListItems(w), (QStringList{QString::fromStdString(std::string(
                                                     "------------------------------------ The following lines were "
                                                     "added ------------------------------------")),
                                                 "run=ww.exe"}));
            clickButton(w, "Command7");
        },
    });

    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(printer.documents[0], (std::vector<std::string>{"Directories added by Word Wizard:", "", "C:\\WW\\"}));
    EXPECT_TRUE(world.main.visible);
    EXPECT_FALSE(report.isVisible());
    EXPECT_FALSE(selection.isVisible());
    // Unloaded: the next report starts from the design state.
    EXPECT_EQ(report.windowTitle(), "Change Report");
    EXPECT_TRUE(report.findChild<QPushButton*>("Command1")->isHidden());
    EXPECT_FALSE(report.findChild<QPushButton*>("Command8")->isEnabled());
    EXPECT_EQ(ListItems(&report), QStringList());
    EXPECT_EQ(LabelText(&report, "WINLab"), "");
    EXPECT_EQ(LabelColour(&report, "WINLab"), kRed);
    EXPECT_EQ(readFile(world.data("AFTER1.DAT")), original);
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST_F(ReportWindowsTest, ClosingFromTheFrameEndsTheReportLikeOk)
{
    run({[&](QWidget* w) { EXPECT_FALSE(w->close()); }});
    EXPECT_FALSE(report.isVisible());
    EXPECT_TRUE(world.main.visible);
    EXPECT_EQ(world.state.DialogDone, kFalse);
    EXPECT_TRUE(printer.documents.empty());

    // The next report opens normally and waits again.
    run({[&](QWidget* w) {
        EXPECT_EQ(LabelText(w, "NumFilesLab"), "2");
        clickButton(w, "Command7");
    }});
    EXPECT_FALSE(report.isVisible());
}

TEST_F(ReportWindowsTest, PrintingIntoAPdfGivesTheLinesBack)
{
    const QString pdf = QString::fromStdString(world.tmp / "report.pdf");
    QtPrinter pdfPrinter(pdf);
    run({[&](QWidget* w) { clickButton(w, "Command2"); }, [&](QWidget* w) { clickButton(w, "Command8"); },
         [&](QWidget* w) { clickButton(w, "Command7"); }},
        pdfPrinter);

    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    ASSERT_EQ(pdftotext.exitCode(), 0) << pdftotext.readAllStandardError().toStdString();
    QStringList lines;
    for (const QString& line : QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\n')) {
        if (!line.trimmed().isEmpty()) {
            lines << line.trimmed();
        }
    }
    EXPECT_EQ(lines,
              (QStringList{"Files added by Word Wizard:", "C:\\WINDOWS\\WW.INI", "C:\\WINDOWS\\SYSTEM\\WW.DLL"}));
}

}  // namespace
}  // namespace morvane
