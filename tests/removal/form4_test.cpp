#include "removal/form4.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "tests/support/window_helpers.h"

namespace morvane {
namespace {

class Form4Test : public ::testing::Test {
protected:
    // Shows the window while `act` works it; `seen` gets the caption, Label1..Label6 and the selected option.
    int show(bool linesMissing, std::function<void(QWidget*)> act)
    {
        seen.clear();
        test::whenShown("Form4", [&](QWidget* w) {
            seen << w->windowTitle();
            for (int i = 1; i <= 6; ++i) {
                seen << w->findChild<QLabel*>(QStringLiteral("Label%1").arg(i))->text();
            }
            for (int i = 1; i <= 3; ++i) {
                seen << (option(i)->isChecked() ? option(i)->objectName() : QString());
            }
            act(w);
        });
        return form.ShowRestoreOptions("C:\\CONFIG.SYS", "Word Wizard", linesMissing);
    }
    QRadioButton* option(int i) { return form.findChild<QRadioButton*>(QStringLiteral("Option%1").arg(i)); }
    // Clicks an option on its round indicator, where a user aims (the button is wider than its text).
    void choose(int i) { QTest::mouseClick(option(i), Qt::LeftButton, {}, QPoint(6, option(i)->height() / 2)); }
    static void ok(QWidget* w) { test::clickButton(w, "Command1"); }

    State state;
    Form4 form{state};
    QStringList seen;
};

const QString kCaption = "Considering restoring original C:\\CONFIG.SYS file.";
const QString kLine1 = "C:\\CONFIG.SYS was changed during installation of";
const QString kLine2 = "Word Wizard, and has been changed since.";

TEST_F(Form4Test, FirstShowingOffersOption1AndOkAnswersIt)
{
    EXPECT_EQ(option(1)->parentWidget(), form.findChild<QGroupBox*>("Frame1"));
    EXPECT_EQ(option(1)->text(), "Do not attempt to restore file");
    EXPECT_EQ(option(2)->text(), "Replace file with original file");
    EXPECT_EQ(option(3)->text(), "Attempt to restore file while maintaining recent changes");
    EXPECT_EQ(form.findChild<QPushButton*>("Command1")->text(), "&Ok");
    EXPECT_TRUE(form.findChild<QPushButton*>("Command1")->isDefault());

    EXPECT_EQ(show(false, ok), 1);
    EXPECT_EQ(seen,
              (QStringList{kCaption, kLine1, kLine2, "There is a high probability that the original file can be",
                           "restored while maintaining recent changes.", "", "Your options are:", "Option1", "", ""}));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(state.DialogDone, false);
}

TEST_F(Form4Test, WarningVariantAndTheLastChoiceIsOfferedAgain)
{
    EXPECT_EQ(show(true,
                   [&](QWidget* w) {
                       choose(3);
                       ok(w);
                   }),
              3);
    EXPECT_EQ(seen.mid(3, 3), (QStringList{"Warning! File was severely modified during installation process!",
                                           "There is a possibility that the original file cannot be completely",
                                           "restored to its original form while trying to save recent changes."}));
    EXPECT_EQ(show(false, ok), 3);
    EXPECT_EQ(seen.mid(5), (QStringList{"", "Your options are:", "", "", "Option3"}));  // no warning line left
    EXPECT_EQ(show(false,
                   [&](QWidget* w) {
                       choose(2);
                       ok(w);
                   }),
              2);
}

TEST_F(Form4Test, ClosingTheWindowRestoresNothingAndKeepsTheSelection)
{
    EXPECT_EQ(show(false,
                   [&](QWidget* w) {
                       choose(2);
                       w->close();
                   }),
              1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(show(false, ok), 2);
}

}  // namespace
}  // namespace morvane
