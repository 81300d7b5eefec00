#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>

#include "maintenance/record_maintenance.h"
#include "removal/after_file_list_form.h"
#include "tests/support/doubles.h"
#include "tests/support/window_helpers.h"

namespace morvane {
namespace {

using test::crlf;
using test::pathExists;
using test::World;
using test::writeFile;

// Delete AFTER file through the real selection window: the prompt it shows, the entry clicked, the file gone.
TEST(DeleteAfterFileWindow, DeletesTheRecordPickedInTheSelectionWindow)
{
    World world;
    writeFile(world.data("AFTER1.DAT"), crlf({"Alpha Writer", "C", "*AUTOEXEC*"}));
    writeFile(world.data("AFTER2.DAT"), crlf({"Beta Paint", "C", "*AUTOEXEC*"}));
    AfterFileListForm form(world.state);
    QString prompt;
    QStringList offered;
    test::whenShown("AfterFileListForm", [&](QWidget* window) {
        prompt = window->findChild<QLabel*>("Label1")->text();
        auto* list = window->findChild<QListWidget*>("List1");
        for (int i = 0; i < list->count(); ++i) {
            offered << list->item(i)->text();
        }
        list->setCurrentRow(1);
        test::clickButton(window, "Command1");
    });
    world.prompts.answer(Answer::Yes);

    DeleteAfterFile(world.ctx(), form);

    EXPECT_EQ(prompt, "Select program to delete AFTER file for");
    EXPECT_EQ(offered, (QStringList{"Alpha Writer", "Beta Paint"}));
    EXPECT_EQ(world.prompts.messageTexts(),
              std::vector<std::string>{"Delete AFTER file for Beta Paint? Are you sure?"});
    EXPECT_FALSE(pathExists(world.data("AFTER2.DAT")));
    EXPECT_TRUE(pathExists(world.data("AFTER1.DAT")));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(world.main.visible);
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteAfter));
}

}  // namespace
}  // namespace morvane
