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

using test::clickButton;

struct Seen {
    QString caption;
    QStringList labels;  // Label1..Label6
    QString checked;     // objectName of the selected option
};

class Form4Test : public ::testing::Test {
protected:
    // Shows the window for `path` while `act` works it; returns the choice and what was on screen.
    int show(bool linesMissing, std::function<void(QWidget*)> act, Seen* seen = nullptr)
    {
        test::whenShown("Form4", [&](QWidget* w) {
            if (seen) {
                seen->caption = w->windowTitle();
                for (int i = 1; i <= 6; ++i) {
                    seen->labels << w->findChild<QLabel*>(QStringLiteral("Label%1").arg(i))->text();
                }
                for (auto* option : w->findChildren<QRadioButton*>()) {
                    if (option->isChecked()) {
                        seen->checked = option->objectName();
                    }
                }
            }
            act(w);
        });
        return form.ShowRestoreOptions("C:\\CONFIG.SYS", "Word Wizard", linesMissing);
    }
    QRadioButton* option(int i) { return form.findChild<QRadioButton*>(QStringLiteral("Option%1").arg(i)); }
    // Clicks an option on its round indicator, where a user aims (the button is wider than its text).
    void choose(int i)
    {
        QRadioButton* button = option(i);
        ASSERT_TRUE(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }

    State state;
    Form4 form{state};
};

TEST_F(Form4Test, FirstShowingOffersOption1AndOkAnswersIt)
{
    EXPECT_FALSE(form.isVisible());
    auto* frame = form.findChild<QGroupBox*>("Frame1");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(option(1)->parentWidget(), frame);
    EXPECT_EQ(option(1)->text(), "Do not attempt to restore file");
    EXPECT_EQ(option(2)->text(), "Replace file with original file");
    EXPECT_EQ(option(3)->text(), "Attempt to restore file while maintaining recent changes");
    auto* ok = form.findChild<QPushButton*>("Command1");
    EXPECT_EQ(ok->text(), "&Ok");
    EXPECT_TRUE(ok->isDefault());

    Seen seen;
    EXPECT_EQ(show(
                  false, [](QWidget* w) { clickButton(w, "Command1"); }, &seen),
              1);
    EXPECT_EQ(seen.caption, "Considering restoring original C:\\CONFIG.SYS file.");
    EXPECT_EQ(seen.labels, (QStringList{"C:\\CONFIG.SYS was changed during installation of",
                                        "Word Wizard, and has been changed since.",
                                        "There is a high probability that the original file can be",
                                        "restored while maintaining recent changes.", "", "Your options are:"}));
    EXPECT_EQ(seen.checked, "Option1");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(state.DialogDone, kFalse);
}

TEST_F(Form4Test, WarningVariantAndTheLastChoiceIsOfferedAgain)
{
    Seen first;
    EXPECT_EQ(show(
                  true,
                  [&](QWidget* w) {
                      choose(3);
                      clickButton(w, "Command1");
                  },
                  &first),
              3);
    EXPECT_EQ(first.labels.mid(2, 3),
              (QStringList{"Warning! File was severely modified during installation process!",
                           "There is a possibility that the original file cannot be completely",
                           "restored to its original form while trying to save recent changes."}));

    Seen second;
    EXPECT_EQ(show(
                  false, [](QWidget* w) { clickButton(w, "Command1"); }, &second),
              3);
    EXPECT_EQ(second.checked, "Option3");
    EXPECT_EQ(second.labels.at(4), "");  // the warning's last line does not stay behind

    EXPECT_EQ(show(false,
                   [&](QWidget* w) {
                       choose(2);
                       clickButton(w, "Command1");
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
    Seen again;
    EXPECT_EQ(show(
                  false, [](QWidget* w) { clickButton(w, "Command1"); }, &again),
              2);
    EXPECT_EQ(again.checked, "Option2");
}

}  // namespace
}  // namespace morvane
