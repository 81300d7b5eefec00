#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "app/application.h"
#include "core/qt_wait.h"
#include "platform/qt_printer.h"
#include "tests/support/doubles.h"
#include "tests/support/window_helpers.h"
#include "wine/companion.h"

namespace morvane {
namespace {

using test::clickButton;
using Step = std::function<void(QWidget*)>;

const QColor kRed(255, 0, 0);

QString Text(QWidget* w, const char* label)
{
    return w->findChild<QLabel*>(label)->text();
}
QColor Colour(QWidget* w, const char* label)
{
    return w->findChild<QLabel*>(label)->palette().color(QPalette::WindowText);
}
QPushButton* Button(QWidget* w, const QString& name)
{
    return w->findChild<QPushButton*>(name);
}
QStringList Items(QWidget* w)
{
    QStringList items;
    auto* list = w->findChild<QListWidget*>("List1");
    for (int i = 0; i < list->count(); ++i) {
        items << list->item(i)->text();
    }
    return items;
}

// The design state: also the state after a report was closed.
void ExpectDesignState(QWidget* w)
{
    EXPECT_EQ(w->windowTitle(), "Change Report");
    const std::vector<std::pair<const char*, const char*>> labels = {{"Label1", "Directories added:"},
                                                                     {"Label2", "Files Added:"},
                                                                     {"Label3", "AUTOEXEC.BAT changed:"},
                                                                     {"Label4", "CONFIG.SYS changed:"},
                                                                     {"Label6", "WIN.INI changed:"},
                                                                     {"Label7", "SYSTEM.INI changed:"},
                                                                     {"NumDirsLab", "0"},
                                                                     {"NumFilesLab", "0"},
                                                                     {"ShowingWhat", ""},
                                                                     {"AUTOEXECLab", ""},
                                                                     {"CONFIGLab", ""},
                                                                     {"WINLab", ""},
                                                                     {"SYSTEMLab", ""}};
    for (const auto& [name, text] : labels) {
        EXPECT_EQ(Text(w, name), text) << name;
    }
    for (const char* name : {"AUTOEXECLab", "CONFIGLab", "WINLab", "SYSTEMLab"}) {
        EXPECT_EQ(Colour(w, name), kRed) << name;
    }
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(Button(w, QString("Command%1").arg(n))->text(), "Details");
        EXPECT_TRUE(Button(w, QString("Command%1").arg(n))->isHidden()) << n;
    }
    // The rows of a Wine prefix, hidden until a record with a companion is shown.
    EXPECT_TRUE(w->findChild<QWidget*>("PrefixRows")->isHidden());
    EXPECT_EQ(Text(w, "RegistryLab"), "");
    EXPECT_EQ(Text(w, "DesktopLab"), "0");
    for (const char* name : {"Command9", "Command10"}) {
        EXPECT_TRUE(Button(w, name)->isHidden()) << name;
    }
    EXPECT_EQ(Button(w, "Command7")->text(), "&Ok");
    EXPECT_EQ(Button(w, "Command8")->text(), "&Print");
    EXPECT_FALSE(Button(w, "Command8")->isEnabled());
    EXPECT_TRUE(Items(w).isEmpty());
}

// The whole program over a temporary drive C: and data folder. Display Report is started from the main window;
// the program is picked in the real selection window, and the steps run one per wait of the report.
class ReportFormTest : public ::testing::Test {
protected:
    ReportFormTest()
    {
        test::makeDirs(tmp / "c/WINDOWS");
        test::writeFile(
            tmp / "data/AFTER1.DAT",
            test::crlf(
                {"Word Wizard",  "C",           "\\WW\\",         "\\WINDOWS\\WW.INI", "\\WINDOWS\\SYSTEM\\WW.DLL",
                 "*AUTOEXEC*",   "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*",          "~NO CHANGE~",
                 "*END CONFIG*", "*WIN*",       "[windows]",      "*NEW WIN*",         "[windows]",
                 "run=ww.exe",   "*END WIN*",   "*SYSTEM*",       "~NO CHANGE~",       "*END SYSTEM*"}));
        record = test::readFile(tmp / "data/AFTER1.DAT");
    }

    void start(Printer& printer)
    {
        DriveMap map;
        map.set('C', tmp / "c");
        app = std::make_unique<Application>(
            Host{std::make_unique<FileSystem>(std::move(map)), tmp / "data/", "", prompts, desktop, printer});
        app->load();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            report = w->objectName() == "ReportForm" ? w : report;
        }
        ASSERT_NE(report, nullptr);
    }

    // Starts the command with `command` and works the report with `steps`.
    void run(const std::function<void()>& command, std::vector<Step> steps)
    {
        m_steps = std::move(steps);
        m_done = 0;
        test::whenShown("AfterFileListForm", [](QWidget* w) { clickButton(w, "Command1"); });
        next(0);
        command();
        EXPECT_EQ(m_done, m_steps.size()) << "steps left undone";
        EXPECT_FALSE(report->isVisible());
        EXPECT_TRUE(app->mainForm().isVisible());
        EXPECT_EQ(test::readFile(tmp / "data/AFTER1.DAT"), record);
        EXPECT_TRUE(prompts.prompts().empty());
    }
    void clickReportButton() { QTest::mouseClick(app->mainForm().button(9), Qt::LeftButton); }

    test::TempDir tmp;
    test::ScriptedPrompts prompts;
    test::ScriptedDesktop desktop;
    test::RecordingPrinter printer;
    std::unique_ptr<Application> app;
    QWidget* report = nullptr;
    std::string record;

private:
    void next(std::size_t index)
    {
        if (index < m_steps.size()) {
            test::when([this] { return report->isVisible() && DialogWaitActive() && !app->state().DialogDone; },
                       [this, index] {
                           m_steps[index](report);
                           m_done = index + 1;
                           next(index + 1);
                       });
        }
    }
    std::vector<Step> m_steps;
    std::size_t m_done = 0;
};

TEST_F(ReportFormTest, DetailsFilesThenDirectoriesThenPrintThenOk)
{
    start(printer);
    ExpectDesignState(report);
    run([&] { clickReportButton(); },
        {[&](QWidget* w) {
             EXPECT_FALSE(app->mainForm().isVisible());
             EXPECT_EQ(w->windowTitle(), "Changes for Word Wizard");
             EXPECT_EQ(Text(w, "NumDirsLab"), "1");
             EXPECT_EQ(Text(w, "NumFilesLab"), "2");
             EXPECT_EQ(Text(w, "AUTOEXECLab"), "No");
             EXPECT_EQ(Text(w, "WINLab"), "Yes");
             for (const char* name : {"AUTOEXECLab", "CONFIGLab", "WINLab", "SYSTEMLab"}) {
                 EXPECT_EQ(Colour(w, name), QApplication::palette().color(QPalette::WindowText)) << name;
             }
             EXPECT_TRUE(Button(w, "Command5")->isVisible());
             EXPECT_TRUE(Button(w, "Command3")->isHidden());
             EXPECT_FALSE(Button(w, "Command8")->isEnabled());
             clickButton(w, "Command2");
         },
         [&](QWidget* w) {
             EXPECT_EQ(Text(w, "ShowingWhat"), "Files added");
             EXPECT_EQ(Items(w), (QStringList{"C:\\WINDOWS\\WW.INI", "C:\\WINDOWS\\SYSTEM\\WW.DLL"}));
             clickButton(w, "Command1");
         },
         [&](QWidget* w) {
             EXPECT_EQ(Text(w, "ShowingWhat"), "Directories added");
             EXPECT_EQ(Items(w), QStringList{"C:\\WW\\"});
             clickButton(w, "Command8");
         },
         [&](QWidget* w) { clickButton(w, "Command7"); }});

    EXPECT_EQ(printer.documents,
              (std::vector<std::vector<std::string>>{{"Directories added by Word Wizard:", "", "C:\\WW\\"}}));
    ExpectDesignState(report);  // unloaded: the next report starts afresh
}

TEST_F(ReportFormTest, FromTheMenuItemClosingFromTheFrameEndsTheReportLikeOk)
{
    start(printer);
    QAction* item = app->mainForm().findChild<QAction*>("ReportFunc");
    ASSERT_NE(item, nullptr);
    run([&] { item->trigger(); }, {[&](QWidget* w) { EXPECT_FALSE(w->close()); }});
    EXPECT_EQ(app->state().DialogDone, false);
    // The next report opens and waits as usual.
    run([&] { item->trigger(); }, {[&](QWidget* w) { clickButton(w, "Command7"); }});
    EXPECT_TRUE(printer.documents.empty());
}

TEST_F(ReportFormTest, CaptionShowsTheProgramNameExactly)
{
    // "[*]" is Qt's mark for unsaved changes in a title; a program name may still hold it.
    test::writeFile(
        tmp / "data/AFTER1.DAT",
        test::crlf({"Setup [*] 2", "C", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~",
                    "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*", "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}));
    record = test::readFile(tmp / "data/AFTER1.DAT");
    start(printer);
    std::string shown;
    run([&] { clickReportButton(); }, {[&](QWidget* w) {
            shown = w->windowHandle()->title().toStdString();
            clickButton(w, "Command7");
        }});
    EXPECT_EQ(shown, "Changes for Setup [*] 2");
}

// What an installation changed in a Wine prefix, as the companion of AFTER1.DAT keeps it.
wine::PrefixChanges PrefixChangesIn(const std::string& folder)
{
    using Kind = wine::RegistryChange::Kind;
    const auto text = [](std::u16string_view units) {
        return wine::RecordedData{wine::kRegSz, wine::RegistryValue::text({}, units).data};
    };
    wine::PrefixChanges changes;
    changes.prefix = folder + "/p";
    changes.arch[0] = changes.arch[1] = changes.arch[2] = "win64";
    changes.registry = {
        {Kind::KeyAdded, wine::Hive::System, u"Software\\Vendor\\App", u"", std::nullopt, std::nullopt},
        {Kind::ValueAdded, wine::Hive::System, u"Software\\Vendor\\App", u"Count", std::nullopt,
         wine::RecordedData{wine::kRegDword, wine::RegistryValue::dword({}, 42).data}},
        {Kind::ValueChanged, wine::Hive::User, u"Software\\Vendor\\App", u"Lang", text(u"en"), text(u"d\u00e9")},
    };
    changes.desktop = {{folder + "/xdg/applications/wine/App.desktop", wine::ContentHash("[Desktop Entry]\n")}};
    changes.desktopFolders = {folder + "/xdg/applications/wine"};
    return changes;
}

TEST_F(ReportFormTest, ARecordWithACompanionShowsTheRowsOfItsPrefixAndListsAndPrintsThem)
{
    FileSystem fs{DriveMap()};
    ASSERT_TRUE(wine::WriteAfterCompanion(fs, tmp / "data/AFTER1.WINE", PrefixChangesIn(tmp.path())));
    const std::string companion = test::readFile(tmp / "data/AFTER1.WINE");
    const std::string desktop = tmp / "xdg/applications/wine";
    const QStringList registryLines = {
        "Key added: HKEY_LOCAL_MACHINE\\Software\\Vendor\\App",
        "Value added: HKEY_LOCAL_MACHINE\\Software\\Vendor\\App \"Count\" = number 0x0000002a (42)",
        "Value changed: HKEY_CURRENT_USER\\Software\\Vendor\\App \"Lang\": \"en\" -> \"d\u00e9\""};
    start(printer);
    run([&] { clickReportButton(); },
        {[&](QWidget* w) {
             // The rows above are as for any record.
             EXPECT_EQ(Text(w, "NumDirsLab"), "1");
             EXPECT_EQ(Text(w, "WINLab"), "Yes");
             EXPECT_TRUE(w->findChild<QWidget*>("PrefixRows")->isVisible());
             EXPECT_EQ(Text(w, "Label8"), "Registry changed:");
             EXPECT_EQ(Text(w, "RegistryLab"), "Yes");
             EXPECT_EQ(Colour(w, "RegistryLab"), QApplication::palette().color(QPalette::WindowText));
             EXPECT_EQ(Text(w, "Label9"), "Desktop entries added:");
             EXPECT_EQ(Text(w, "DesktopLab"), "1");
             EXPECT_TRUE(Button(w, "Command9")->isVisible());
             EXPECT_TRUE(Button(w, "Command10")->isVisible());
             clickButton(w, "Command9");
         },
         [&](QWidget* w) {
             EXPECT_EQ(Text(w, "ShowingWhat"), "Registry changes");
             EXPECT_EQ(Items(w), registryLines);
             clickButton(w, "Command8");
         },
         [&](QWidget* w) { clickButton(w, "Command10"); },
         [&](QWidget* w) {
             EXPECT_EQ(Text(w, "ShowingWhat"), "Desktop entries added");
             EXPECT_EQ(Items(w), (QStringList{QString::fromStdString(desktop + "/App.desktop"),
                                              QString::fromStdString(desktop + "/")}));
             clickButton(w, "Command8");
         },
         [&](QWidget* w) { clickButton(w, "Command7"); }});

    std::vector<std::string> printedRegistry = {"Registry changes made by Word Wizard:", ""};
    for (const QString& line : registryLines) {
        printedRegistry.push_back(line.toStdString());
    }
    EXPECT_EQ(
        printer.documents,
        (std::vector<std::vector<std::string>>{
            printedRegistry, {"Desktop entries added by Word Wizard:", "", desktop + "/App.desktop", desktop + "/"}}));
    EXPECT_EQ(test::readFile(tmp / "data/AFTER1.WINE"), companion);
    ExpectDesignState(report);
}

// Without a companion the window is the one it always was: no rows of a prefix, before or after Details. A
// companion whose installation changed nothing in the prefix shows the rows with nothing to list.
TEST_F(ReportFormTest, TheRowsOfAPrefixShowOnlyForARecordWithACompanion)
{
    struct Case {
        bool companion;
        const char* registry;  // the rows' results, when shown
        const char* desktop;
    };
    const Case cases[] = {{false, "", "0"}, {true, "No", "0"}};
    start(printer);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.companion ? "an empty companion" : "no companion");
        if (c.companion) {
            FileSystem fs{DriveMap()};
            wine::PrefixChanges nothing;
            nothing.prefix = tmp / "p";
            nothing.arch[0] = nothing.arch[1] = nothing.arch[2] = "win64";
            ASSERT_TRUE(wine::WriteAfterCompanion(fs, tmp / "data/AFTER1.WINE", nothing));
        }
        run([&] { clickReportButton(); },
            {[&](QWidget* w) {
                 EXPECT_EQ(w->findChild<QWidget*>("PrefixRows")->isVisible(), c.companion);
                 EXPECT_EQ(Text(w, "RegistryLab"), c.registry);
                 EXPECT_EQ(Text(w, "DesktopLab"), c.desktop);
                 EXPECT_FALSE(Button(w, "Command9")->isVisible());
                 EXPECT_FALSE(Button(w, "Command10")->isVisible());
                 clickButton(w, "Command5");
             },
             [&](QWidget* w) {
                 EXPECT_EQ(w->findChild<QWidget*>("PrefixRows")->isVisible(), c.companion);
                 EXPECT_EQ(Text(w, "ShowingWhat"), "WIN.INI changes");
                 clickButton(w, "Command7");
             }});
        ExpectDesignState(report);
    }
    EXPECT_TRUE(printer.documents.empty());
}

// Defined only where configuring found pdftotext to read the PDF back.
#ifdef MORVANE_PDFTOTEXT
TEST_F(ReportFormTest, PrintingIntoAPdfGivesTheLinesBack)
{
    const QString pdf = QString::fromStdString(tmp / "report.pdf");
    QtPrinter pdfPrinter(pdf);
    start(pdfPrinter);
    run([&] { clickReportButton(); },
        {[&](QWidget* w) { clickButton(w, "Command5"); }, [&](QWidget* w) { clickButton(w, "Command8"); },
         [&](QWidget* w) { clickButton(w, "Command7"); }});

    QProcess pdftotext;
    pdftotext.start(MORVANE_PDFTOTEXT, {"-layout", pdf, "-"});
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    ASSERT_EQ(pdftotext.exitCode(), 0) << pdftotext.readAllStandardError().toStdString();
    QStringList lines;
    for (const QString& line : QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\n')) {
        if (!line.trimmed().isEmpty()) {
            lines << line.trimmed();
        }
    }
    EXPECT_EQ(lines,
              (QStringList{"Changes in WIN.INI made by Word Wizard:",
                           QString(36, '-') + " The following lines were added " + QString(36, '-'), "run=ww.exe"}));
}
#endif

}  // namespace
}  // namespace morvane
