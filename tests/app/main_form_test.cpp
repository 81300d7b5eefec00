#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "app/zelk_main_form.h"
#include "core/qt_wait.h"

namespace morvane::test {
namespace {

QAction* item(QWidget& form, const char* name)
{
    return form.findChild<QAction*>(name);
}

TEST(MainForm, ButtonsHaveTheirCaptionsAndStandInOneColumn)
{
    ZELKMainForm form;
    EXPECT_EQ(form.objectName(), "ZELKMainForm");
    EXPECT_EQ(form.windowTitle(), "Morvane");
    EXPECT_EQ(form.centralWidget()->size(), QSize(Twips(3630), Twips(5505)));
    const std::pair<int, const char*> captions[] = {
        {7, "&Quick Instructions"}, {1, "Create &BEFORE file"}, {2, "Create &AFTER file"},
        {3, "&Delete program"},     {4, "D&elete AFTER file"},  {8, "Delete BEFO&RE file"},
        {5, "Delete &safety backup files"}, {9, "D&isplay Report"}, {6, "E&xit"},
    };
    int top = 120;
    for (const auto& [number, caption] : captions) {
        auto* button = form.findChild<QPushButton*>(QString("Command%1").arg(number));
        ASSERT_NE(button, nullptr) << number;
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->geometry(), QRect(Twips(240), Twips(top), Twips(3135), Twips(495))) << caption;
        top += 600;
    }
}

TEST(MainForm, TabOrderPutsExitBeforeTheReport)
{
    ZELKMainForm form;
    const int order[] = {7, 1, 2, 3, 4, 8, 5, 6, 9};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        EXPECT_EQ(form.button(order[i])->nextInFocusChain(), form.button(order[i + 1])) << order[i];
    }
}

TEST(MainForm, MenusHoldTheirItemsInOrder)
{
    ZELKMainForm form;
    auto* files = form.findChild<QMenu*>("FilesTop");
    auto* help = form.findChild<QMenu*>("HelpTop");
    ASSERT_NE(files, nullptr);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(files->title(), "&Files");
    EXPECT_EQ(help->title(), "&Help");
    const auto menus = form.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->menu(), files);
    EXPECT_EQ(menus[1]->menu(), help);

    auto describe = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions()) {
            out << a->objectName() + "=" + (a->isSeparator() ? QString("-") : a->text());
        }
        return out;
    };
    EXPECT_EQ(describe(files), (QStringList{"CreateBEFOREFileFunc=Create &Before file",
                                            "CreateAFTERFileFunc=Create &AFTER file",
                                            "DeleteProgramFunc=&Delete program", "DeleteAFTERFileFunc=D&elete AFTER file",
                                            "DeleteBEFOREFileFunc=Delete BEFO&RE file", "ReportFunc=D&isplay Report",
                                            "DeleteSafetyFilesFunc=Delete &safety files", "Dummy1A=-", "ExitFunc=E&xit"}));
    EXPECT_EQ(describe(help), (QStringList{"QuickInstructionsFunc=&Quick instructions",
                                           "IndexFunc=&Complete Instructions", "Dummy1B=-", "AboutFunc=&About"}));
}

TEST(MainForm, PairsSwitchButtonAndMenuItemTogether)
{
    ZELKMainForm form;
    const std::tuple<Pair, int, const char*> pairs[] = {
        {Pair::CreateBefore, 1, "CreateBEFOREFileFunc"}, {Pair::CreateAfter, 2, "CreateAFTERFileFunc"},
        {Pair::DeleteBefore, 8, "DeleteBEFOREFileFunc"}, {Pair::DeleteProgram, 3, "DeleteProgramFunc"},
        {Pair::DeleteAfter, 4, "DeleteAFTERFileFunc"},   {Pair::DisplayReport, 9, "ReportFunc"},
        {Pair::DeleteSafety, 5, "DeleteSafetyFilesFunc"},
    };
    for (const auto& [pair, number, action] : pairs) {
        form.setPairEnabled(pair, false);
        EXPECT_FALSE(form.button(number)->isEnabled()) << action;
        EXPECT_FALSE(item(form, action)->isEnabled()) << action;
        EXPECT_FALSE(form.pairEnabled(pair));
        form.setPairEnabled(pair, true);
        EXPECT_TRUE(form.button(number)->isEnabled()) << action;
        EXPECT_TRUE(item(form, action)->isEnabled()) << action;
    }
    // The others are always enabled.
    for (int n : {6, 7}) {
        EXPECT_TRUE(form.button(n)->isEnabled());
    }
}

TEST(MainForm, EachButtonAndMenuItemRunsItsCommand)
{
    ZELKMainForm form;
    QStringList ran;
    Commands commands;
    auto record = [&ran](const char* name) { return [&ran, name] { ran << name; }; };
    commands.CreateBeforeFile = record("CreateBeforeFile");
    commands.CreateAfterFile = record("CreateAfterFile");
    commands.DeleteProgram = record("DeleteProgram");
    commands.DeleteAfterFile = record("DeleteAfterFile");
    commands.DeleteSafetyFiles = record("DeleteSafetyFiles");
    commands.ShowQuickInstructions = record("ShowQuickInstructions");
    commands.DeleteBeforeFile = record("DeleteBeforeFile");
    commands.ShowReport = record("ShowReport");
    commands.ShowManual = record("ShowManual");
    commands.About = record("About");
    form.setCommands(commands);
    form.show();

    for (int n : {1, 2, 3, 4, 5, 7, 8, 9}) {
        QTest::mouseClick(form.button(n), Qt::LeftButton);
    }
    EXPECT_EQ(ran, (QStringList{"CreateBeforeFile", "CreateAfterFile", "DeleteProgram", "DeleteAfterFile",
                                "DeleteSafetyFiles", "ShowQuickInstructions", "DeleteBeforeFile", "ShowReport"}));
    ran.clear();
    for (const char* name : {"CreateBEFOREFileFunc", "CreateAFTERFileFunc", "DeleteProgramFunc", "DeleteAFTERFileFunc",
                             "DeleteBEFOREFileFunc", "ReportFunc", "DeleteSafetyFilesFunc", "QuickInstructionsFunc",
                             "IndexFunc", "AboutFunc"}) {
        item(form, name)->trigger();
    }
    EXPECT_EQ(ran, (QStringList{"CreateBeforeFile", "CreateAfterFile", "DeleteProgram", "DeleteAfterFile",
                                "DeleteBeforeFile", "ShowReport", "DeleteSafetyFiles", "ShowQuickInstructions",
                                "ShowManual", "About"}));
    ran.clear();
    QTest::keyClick(form.button(1), Qt::Key_F1);
    EXPECT_EQ(ran, QStringList{"ShowManual"});
}

TEST(MainForm, AClickWhileACommandRunsStartsNothing)
{
    ZELKMainForm form;
    QStringList ran;
    Commands commands;
    commands.CreateBeforeFile = [&] { ran << "CreateBeforeFile"; };
    // The report's selection window leaves the main window usable while it waits.
    commands.ShowReport = [&] {
        ran << "ShowReport";
        QTest::mouseClick(form.button(1), Qt::LeftButton);
        form.findChild<QAction*>("ReportFunc")->trigger();
    };
    form.setCommands(commands);
    form.show();
    QTest::mouseClick(form.button(9), Qt::LeftButton);
    EXPECT_EQ(ran, QStringList{"ShowReport"});
    QTest::mouseClick(form.button(1), Qt::LeftButton);  // and afterwards commands run again
    EXPECT_EQ(ran, (QStringList{"ShowReport", "CreateBeforeFile"}));
}

TEST(MainForm, ExitDuringACommandWaitsForItAndThenStillAsks)
{
    ZELKMainForm form;
    QStringList ran;
    Commands commands;
    // The user closes the main window while the report's selection waits.
    commands.ShowReport = [&] {
        form.close();
        ran << "report returned";
    };
    commands.OfferPendingAfterFile = [&] { ran << "offer"; };
    form.setCommands(commands);
    form.show();
    QTest::mouseClick(form.button(9), Qt::LeftButton);
    EXPECT_EQ(ran, (QStringList{"report returned", "offer"}));
    EXPECT_TRUE(form.exiting());
    EXPECT_FALSE(form.isVisible());
}

TEST(MainForm, ClosingTheWindowRunsExitOnceAndCannotBeCancelled)
{
    ZELKMainForm form;
    int offers = 0;
    Commands commands;
    commands.OfferPendingAfterFile = [&] { ++offers; };
    form.setCommands(commands);
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(offers, 1);
    EXPECT_TRUE(form.exiting());
    EXPECT_FALSE(form.isVisible());
}

TEST(MainForm, ExitButtonEndsTheProgram)
{
    ZELKMainForm form;
    int offers = 0;
    Commands commands;
    commands.OfferPendingAfterFile = [&] { ++offers; };
    form.setCommands(commands);
    form.show();
    QTest::mouseClick(form.button(6), Qt::LeftButton);
    EXPECT_EQ(offers, 1);
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace morvane::test
