#include "removal/after_file_list_form.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "tests/support/window_helpers.h"

namespace morvane {
namespace {

using test::clickButton;
using test::whenShown;

class AfterFileListFormTest : public ::testing::Test {
protected:
    // Runs a selection of `names` (position 0 the pattern, then the names, then the empty end) while `act`
    // works the shown window; returns the position taken.
    int select(std::vector<std::string> names, std::function<void(QWidget*)> act)
    {
        names.insert(names.begin(), "/data/AFTER*.DAT");
        names.emplace_back();
        whenShown("AfterFileListForm", std::move(act));
        return form.ShowAfterFileList(names);
    }
    QListWidget* list() { return form.findChild<QListWidget*>("List1"); }

    State state;
    AfterFileListForm form{state};
};

TEST_F(AfterFileListFormTest, DesignAndTheStateDuringASelection)
{
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.objectName(), "AfterFileListForm");
    EXPECT_EQ(form.windowTitle(), "QRV AFTER Files");
    form.setPrompt("Select installed program to report on");
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(), "Select installed program to report on");
    EXPECT_EQ(form.findChild<QPushButton*>("Command1")->text(), "&Ok");
    EXPECT_EQ(form.findChild<QPushButton*>("Command2")->text(), "&Cancel");
    ASSERT_NE(list(), nullptr);
    EXPECT_EQ(list()->selectionMode(), QAbstractItemView::SingleSelection);

    QStringList offered;
    int selectedRow = -2;
    const int chosen = select({"Zeta", "Alpha", "Zeta"}, [&](QWidget* w) {
        for (int i = 0; i < list()->count(); ++i) {
            offered << list()->item(i)->text();
        }
        selectedRow = list()->currentRow();
        clickButton(w, "Command1");
    });
    EXPECT_EQ(offered, (QStringList{"Zeta", "Alpha", "Zeta"}));  // unsorted, twins kept
    EXPECT_EQ(selectedRow, 0);
    EXPECT_EQ(chosen, 0);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(state.DialogDone, kFalse);
}

TEST_F(AfterFileListFormTest, OkTakesTheSelectedEntry)
{
    const int chosen = select({"A", "B", "C"}, [&](QWidget* w) {
        list()->setCurrentRow(2);
        clickButton(w, "Command1");
    });
    EXPECT_EQ(chosen, 2);
}

TEST_F(AfterFileListFormTest, EnterIsOkEvenWithTheFocusInTheList)
{
    const int chosen = select({"A", "B"}, [&](QWidget*) {
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Down);
        QTest::keyClick(list(), Qt::Key_Return);
    });
    EXPECT_EQ(chosen, 1);
}

TEST_F(AfterFileListFormTest, EnterOnTheFreshWindowTakesTheFirstEntry)
{
    EXPECT_EQ(select({"Only"}, [&](QWidget* w) { QTest::keyClick(w->focusWidget() ? w->focusWidget() : w,
                                                                  Qt::Key_Enter); }),
              0);
}

TEST_F(AfterFileListFormTest, CancelEscAndTheFrameAllGiveMinusOne)
{
    EXPECT_EQ(select({"A", "B"}, [&](QWidget* w) { clickButton(w, "Command2"); }), -1);
    EXPECT_EQ(select({"A", "B"}, [&](QWidget*) { QTest::keyClick(list(), Qt::Key_Escape); }), -1);
    EXPECT_EQ(select({"A", "B"}, [&](QWidget* w) { w->close(); }), -1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(list()->count(), 0);
}

TEST_F(AfterFileListFormTest, DoubleClickTakesTheEntryClicked)
{
    const int chosen = select({"A", "B", "C"}, [&](QWidget*) {
        QListWidgetItem* item = list()->item(1);
        const QPoint centre = list()->visualItemRect(item).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, centre);
    });
    EXPECT_EQ(chosen, 1);
}

TEST_F(AfterFileListFormTest, AnEmptyNameEndsTheEntriesOffered)
{
    int offered = -1;
    const int chosen = select({"A", "", "C"}, [&](QWidget* w) {
        offered = list()->count();
        clickButton(w, "Command1");
    });
    EXPECT_EQ(offered, 1);
    EXPECT_EQ(chosen, 0);
}

TEST_F(AfterFileListFormTest, ASecondSelectionWhileOneIsOpenIsCancelledAndLeavesTheFirstAlone)
{
    int nested = 0;
    QStringList offered;
    const int chosen = select({"A", "B"}, [&](QWidget* w) {
        nested = form.ShowAfterFileList({"/data/AFTER*.DAT", "X", ""});
        for (int i = 0; i < list()->count(); ++i) {
            offered << list()->item(i)->text();
        }
        EXPECT_TRUE(w->isVisible());
        list()->setCurrentRow(1);
        clickButton(w, "Command1");
    });
    EXPECT_EQ(nested, -1);
    EXPECT_EQ(offered, (QStringList{"A", "B"}));
    EXPECT_EQ(chosen, 1);
}

}  // namespace
}  // namespace morvane
