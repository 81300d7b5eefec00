#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "core/form3.h"
#include "core/qt_wait.h"
#include "help/about_box.h"
#include "help/doc_display.h"
#include "help/manual.h"
#include "help/quick_instructions.h"
#include "morvane_version.h"
#include "tests/support/doubles.h"
#include "tests/support/window_helpers.h"

namespace morvane {
namespace {

using test::clickButton;
using test::whenShown;
using test::World;
using test::writeFile;

Context withPanel(World& world, Panel& panel)
{
    return Context{world.state, *world.fs, world.prompts, panel, world.main, world.events};
}

// ---- Quick instructions in the real panel ----

void runQuickInstructions(bool closeFromFrame)
{
    World world;
    Form3 form3(world.state);
    bool sawInstructions = false;
    whenShown("Form3", [&](QWidget* window) {
        sawInstructions =
            form3.label1(10)->text() == "6) If you decide you want to to delete a program, run QRV and select the" &&
            form3.label2()->isVisible() && form3.label2()->height() == Twips(400) &&
            (form3.label1(4)->alignment() & Qt::AlignLeft) && !world.main.enabled;
        if (closeFromFrame) {
            window->close();
        } else {
            clickButton(window, "Command1");
        }
    });

    ShowQuickInstructions(withPanel(world, form3));

    EXPECT_TRUE(sawInstructions);
    EXPECT_FALSE(form3.isVisible());
    EXPECT_FALSE(form3.label2()->isVisible());
    for (int i = 1; i <= 20; ++i) {
        EXPECT_TRUE(form3.label1(i)->text().isEmpty()) << "line " << i;
        EXPECT_TRUE(form3.label1(i)->alignment() & Qt::AlignHCenter) << "line " << i;
    }
    EXPECT_TRUE(world.main.enabled);
    EXPECT_EQ(world.state.DialogDone, false);
}

TEST(QuickInstructionsWindow, OkEndsTheWaitAndLeavesNoTrace)
{
    runQuickInstructions(false);
}

TEST(QuickInstructionsWindow, ClosingThePanelFromItsFrameActsLikeOk)
{
    runQuickInstructions(true);
}

// ---- DocDisplay ----

TEST(DocDisplayWindow, WithoutAnEditorTheManualOpensReadOnlyAndTheFocusStaysOnClose)
{
    World world;
    writeFile(world.data("ZELK.TXT"), "MORVANE\r\nThe manual.\r\n");
    test::ScriptedDesktop desktop;
    desktop.editorWorks = false;
    test::RecordingPrinter printer;
    DocDisplay doc(world.state, printer);

    ShowManual(world.ctx(), desktop, doc);

    ASSERT_TRUE(doc.isVisible());
    EXPECT_EQ(doc.objectName(), "DocDisplay");
    EXPECT_TRUE(doc.windowTitle().isEmpty());
    auto* text1 = doc.findChild<QPlainTextEdit*>("Text1");
    ASSERT_NE(text1, nullptr);
    EXPECT_EQ(text1->toPlainText(), "MORVANE\nThe manual.");
    EXPECT_TRUE(text1->isReadOnly());
    EXPECT_EQ(doc.command1()->text(), "&Close");
    EXPECT_EQ(doc.command2()->text(), "&Print");
    EXPECT_TRUE(world.main.enabled);  // the manual does not disable the main window

    doc.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&doc));
    doc.command2()->setFocus();
    QTest::mouseClick(text1->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(QApplication::focusWidget(), doc.command1());
    EXPECT_FALSE(text1->hasFocus());

    clickButton(&doc, "Command2");
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(printer.documents[0], (std::vector<std::string>{"MORVANE", "The manual."}));

    clickButton(&doc, "Command1");
    EXPECT_FALSE(doc.isVisible());
    EXPECT_TRUE(text1->toPlainText().isEmpty());
    EXPECT_EQ(printer.documents.size(), 1u);  // closing prints nothing
}

TEST(DocDisplayWindow, AnEmptyManualGivesAnEmptyWindow)
{
    World world;
    writeFile(world.data("ZELK.TXT"), "");
    test::ScriptedDesktop desktop;
    desktop.editorWorks = false;
    test::RecordingPrinter printer;
    DocDisplay doc(world.state, printer);

    ShowManual(world.ctx(), desktop, doc);

    ASSERT_TRUE(doc.isVisible());
    EXPECT_TRUE(doc.text1()->toPlainText().isEmpty());
    doc.close();
}

TEST(DocDisplayWindow, WithAnEditorTheWindowStaysClosed)
{
    World world;
    writeFile(world.data("ZELK.TXT"), "MORVANE\r\n");
    test::ScriptedDesktop desktop;
    test::RecordingPrinter printer;
    DocDisplay doc(world.state, printer);

    ShowManual(world.ctx(), desktop, doc);

    EXPECT_EQ(desktop.opened.size(), 1u);
    EXPECT_FALSE(doc.isVisible());
}

// ---- AboutBox ----

TEST(AboutBoxWindow, ShowsNameVersionAndMakerWithTheMainWindowDisabledUntilOk)
{
    World world;
    test::ScriptedDesktop desktop;
    AboutBox about(world.state, world.main, desktop, world.prompts);

    about.showAbout();

    ASSERT_TRUE(about.isVisible());
    EXPECT_FALSE(world.main.enabled);
    EXPECT_EQ(about.objectName(), "AboutBox");
    EXPECT_EQ(about.windowTitle(), "About Morvane");
    EXPECT_EQ(about.findChild<QLabel*>("Label1")->text(), "Morvane");
    EXPECT_EQ(about.findChild<QLabel*>("Label5")->text(), QString("Version ") + kProgramVersion);
    EXPECT_TRUE(about.findChild<QLabel*>("Label2")->text().contains("Morvane project"));
    EXPECT_TRUE(about.findChild<QLabel*>("Label3")->text().contains("Morvane project"));
    EXPECT_EQ(about.findChild<QLabel*>("Label4")->text(), "https://morvane.example.org/");
    EXPECT_EQ(about.command1()->text(), "&Ok");

    clickButton(&about, "Command1");

    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(world.main.enabled);
    EXPECT_TRUE(desktop.urls.empty());  // Ok opens nothing
}

TEST(AboutBoxWindow, ClosingFromTheFrameEnablesTheMainWindow)
{
    World world;
    test::ScriptedDesktop desktop;
    AboutBox about(world.state, world.main, desktop, world.prompts);

    about.showAbout();
    ASSERT_FALSE(world.main.enabled);
    about.close();

    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(world.main.enabled);
}

TEST(AboutBoxWindow, ClickingTheLinkOpensTheHomePageAndReportsAFailure)
{
    World world;
    test::ScriptedDesktop desktop;
    AboutBox about(world.state, world.main, desktop, world.prompts);
    about.showAbout();
    QLabel* link = about.findChild<QLabel*>("Label4");
    ASSERT_NE(link, nullptr);

    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(desktop.urls, std::vector<std::string>{"https://morvane.example.org/"});
    EXPECT_TRUE(world.prompts.prompts().empty());

    desktop.urlError = 4;
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(world.prompts.messages().size(), 1u);
    EXPECT_EQ(world.prompts.messages()[0].text, "Unable to view file. Error 4");
    EXPECT_TRUE(about.isVisible());  // the About window stays open
    EXPECT_FALSE(world.main.enabled);

    about.close();
}

}  // namespace
}  // namespace morvane
