#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "core/form3.h"
#include "core/qt_wait.h"
#include "tests/support/window_helpers.h"

namespace morvane::test {
namespace {

TEST(Form3, StartsWithTwentyBlankLinesAndAHiddenExtraLabel)
{
    State state;
    Form3 form(state);
    EXPECT_EQ(form.objectName(), "Form3");
    EXPECT_EQ(form.windowTitle(), "Morvane");
    const auto lines = form.findChildren<QLabel*>("Label1");
    ASSERT_EQ(lines.size(), 20);
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(form.label1(i)->property("index").toInt(), i);
        EXPECT_TRUE(form.label1(i)->text().isEmpty());
    }
    EXPECT_EQ(form.command1()->text(), "Ok");
    form.show();
    EXPECT_FALSE(form.findChild<QLabel*>("Picture1")->isVisible());
    EXPECT_FALSE(form.label2()->isVisible());
}

TEST(Form3, AccessKeyMarksAreUnderlinedAndLeadingSpacesKept)
{
    State state;
    Form3 form(state);
    form.setLine(4, "    option 2, Create &BEFORE file.");
    EXPECT_EQ(form.caption(4), "    option 2, Create &BEFORE file.");
    EXPECT_EQ(form.label1(4)->text(), "&nbsp;&nbsp;&nbsp;&nbsp;option&nbsp;2,&nbsp;Create&nbsp;<u>B</u>EFORE&nbsp;file.");
    form.setLine(5, "Reading subdirectory names.");
    EXPECT_EQ(form.label1(5)->text(), "Reading subdirectory names.");
    EXPECT_EQ(form.label1(5)->textFormat(), Qt::PlainText);
    form.setAlignment(5, Alignment::Left);
    EXPECT_TRUE(form.label1(5)->alignment() & Qt::AlignLeft);
}

TEST(Form3, OkAndClosingFromTheFrameEndTheWait)
{
    State state;
    Form3 form(state);
    form.show();
    form.setOkVisible(false);
    whenShown("Form3", [](QWidget* w) { clickButton(w, "Command1"); });
    form.waitForOk();
    EXPECT_TRUE(form.command1()->isVisible());
    EXPECT_EQ(state.DialogDone, false);

    when([] { return DialogWaitActive(); }, [&form] { form.close(); });
    form.waitForOk();
    EXPECT_EQ(state.DialogDone, false);
    EXPECT_TRUE(form.isVisible());  // the panel stays until its command hides it
}

TEST(Form3, ClosingFromTheFrameDuringProgressIsRefused)
{
    State state;
    Form3 form(state);
    form.show();
    form.setOkVisible(false);
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(state.DialogDone, false);
}

}  // namespace
}  // namespace morvane::test
