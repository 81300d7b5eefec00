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

class AfterFileListFormTest : public ::testing::Test {
protected:
    // Runs a selection of `names` while `act` works the shown window; returns the position taken.
    int select(std::vector<std::string> names, std::function<void(QWidget*)> act)
    {
        names.insert(names.begin(), "/data/AFTER*.DAT");
        names.emplace_back();
        test::whenShown("AfterFileListForm", std::move(act));
        return form.ShowAfterFileList(names);
    }
    QListWidget* list() { return form.findChild<QListWidget*>("List1"); }
    QStringList items()
    {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i) {
            out << list()->item(i)->text();
        }
        return out;
    }

    State state;
    AfterFileListForm form{state};
};

TEST_F(AfterFileListFormTest, OffersTheNamesUnsortedWithTheFirstSelectedAndEmptiesAfterwards)
{
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "QRV AFTER Files");
    form.setPrompt("Select installed program to report on");
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(), "Select installed program to report on");
    EXPECT_EQ(form.findChild<QPushButton*>("Command1")->text(), "&Ok");
    EXPECT_EQ(form.findChild<QPushButton*>("Command2")->text(), "&Cancel");
    EXPECT_EQ(list()->selectionMode(), QAbstractItemView::SingleSelection);

    QStringList offered;
    int selectedRow = -2;
    const int chosen = select({"Zeta", "Alpha", "Zeta", "", "Hidden"}, [&](QWidget* w) {
        offered = items();
        selectedRow = list()->currentRow();
        clickButton(w, "Command1");
    });
    EXPECT_EQ(offered, (QStringList{"Zeta", "Alpha", "Zeta"}));  // up to the first empty name
    EXPECT_EQ(selectedRow, 0);
    EXPECT_EQ(chosen, 0);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(list()->count(), 0);
}

TEST_F(AfterFileListFormTest, EnterIsOkAndDoubleClickTakesTheEntryClicked)
{
    EXPECT_EQ(select({"A", "B"},
                     [&](QWidget*) {
                         list()->setFocus();
                         QTest::keyClick(list(), Qt::Key_Down);
                         QTest::keyClick(list(), Qt::Key_Return);
                     }),
              1);
    EXPECT_EQ(select({"A", "B", "C"},
                     [&](QWidget*) {
                         const QPoint centre = list()->visualItemRect(list()->item(2)).center();
                         QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centre);  // as a user's first press
                         QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, centre);
                     }),
              2);
}

TEST_F(AfterFileListFormTest, CancelEscAndTheFrameAllGiveMinusOne)
{
    EXPECT_EQ(select({"A"}, [&](QWidget* w) { clickButton(w, "Command2"); }), -1);
    EXPECT_EQ(select({"A"}, [&](QWidget*) { QTest::keyClick(list(), Qt::Key_Escape); }), -1);
    EXPECT_EQ(select({"A"}, [&](QWidget* w) { w->close(); }), -1);
    EXPECT_EQ(select({"A"},
                     [&](QWidget* w) {
                         auto* cancel = w->findChild<QPushButton*>("Command2");
                         cancel->setFocus();
                         QTest::keyClick(cancel, Qt::Key_Return);  // Enter presses the focused Cancel
                     }),
              -1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(list()->count(), 0);
}

TEST_F(AfterFileListFormTest, ASecondSelectionWhileOneIsOpenIsCancelledAndLeavesTheFirstAlone)
{
    int nested = 0;
    QStringList offered;
    const int chosen = select({"A", "B"}, [&](QWidget* w) {
        nested = form.ShowAfterFileList({"/data/AFTER*.DAT", "X", ""});
        offered = items();
        list()->setCurrentRow(1);
        clickButton(w, "Command1");
    });
    EXPECT_EQ(nested, -1);
    EXPECT_EQ(offered, (QStringList{"A", "B"}));
    EXPECT_EQ(chosen, 1);
}

}  // namespace
}  // namespace morvane
