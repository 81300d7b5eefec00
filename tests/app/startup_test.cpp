#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "app/startup.h"
#include "tests/support/doubles.h"

namespace morvane::test {
namespace {

TEST(StartupMoves, NumberedRecordsMoveAndUnnumberedStay)
{
    World world;
    writeFile(world.host("C:\\WINDOWS\\AFTER3.DAT"), "Old app\r\n");
    writeFile(world.host("C:\\WINDOWS\\AFTER.DAT"), "No number\r\n");
    writeFile(world.host("C:\\WINDOWS\\AFTERX.DAT"), "Letter\r\n");
    MoveRecordsFromWinDir(world.ctx());
    EXPECT_EQ(readFile(world.data("AFTER3.DAT")), "Old app\r\n");
    EXPECT_FALSE(pathExists(world.host("C:\\WINDOWS\\AFTER3.DAT")));
    EXPECT_TRUE(pathExists(world.host("C:\\WINDOWS\\AFTER.DAT")));
    EXPECT_TRUE(pathExists(world.host("C:\\WINDOWS\\AFTERX.DAT")));
    EXPECT_FALSE(pathExists(world.data("AFTER.DAT")));
    EXPECT_TRUE(world.prompts.prompts().empty());
}

// A record's companion goes with it; a companion whose record is gone (a run stopped between the two deletions) is
// deleted, and one with its record stays.
TEST(StartupMoves, CompanionsMoveWithTheirRecordsAndOrphansGo)
{
    World world;
    writeFile(world.host("C:\\WINDOWS\\AFTER3.DAT"), "Old app\r\n");
    writeFile(world.host("C:\\WINDOWS\\AFTER3.WINE"), "companion\n");
    writeFile(world.data("AFTER1.DAT"), "Kept\r\n");
    writeFile(world.data("AFTER1.WINE"), "kept\n");
    writeFile(world.data("AFTER2.WINE"), "orphan\n");
    writeFile(world.data("BEFORE.WINE"), "orphan\n");
    MoveRecordsFromWinDir(world.ctx());
    RemoveOrphanCompanions(world.ctx());
    EXPECT_EQ(readFile(world.data("AFTER3.WINE")), "companion\n");
    EXPECT_FALSE(pathExists(world.host("C:\\WINDOWS\\AFTER3.WINE")));
    EXPECT_EQ(readFile(world.data("AFTER1.WINE")), "kept\n");
    EXPECT_FALSE(pathExists(world.data("AFTER2.WINE")));
    EXPECT_FALSE(pathExists(world.data("BEFORE.WINE")));
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST(StartupMoves, BeforeFileFromWindowsDirectoryReplacesTheDataFoldersOne)
{
    World world;
    writeFile(world.host("C:\\WINDOWS\\BEFORE.DAT"), "From windows\r\n");
    writeFile(world.data("BEFORE.DAT"), "Already here\r\n");
    MoveRecordsFromWinDir(world.ctx());
    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), "From windows\r\n");
    EXPECT_FALSE(pathExists(world.host("C:\\WINDOWS\\BEFORE.DAT")));
}

// An AFTER file in the data folder is another program's record: a same-named one from the Windows directory
// must not replace it, whatever the letter case or attributes of either.
TEST(StartupMoves, AnAfterFileNeverReplacesOneAlreadyInTheDataFolder)
{
    for (const std::string taken : {"AFTER3.DAT", "after3.dat"}) {
        World world;
        writeFile(world.host("C:\\WINDOWS\\AFTER3.DAT"), "Old app\r\n");
        writeFile(world.host("C:\\WINDOWS\\AFTER4.DAT"), "Free number\r\n");
        writeFile(world.data(taken), "Other program\r\n");
        MoveRecordsFromWinDir(world.ctx());
        EXPECT_EQ(readFile(world.data(taken)), "Other program\r\n") << taken;
        EXPECT_EQ(readFile(world.host("C:\\WINDOWS\\AFTER3.DAT")), "Old app\r\n");
        EXPECT_EQ(readFile(world.data("AFTER4.DAT")), "Free number\r\n");
        EXPECT_FALSE(pathExists(world.host("C:\\WINDOWS\\AFTER4.DAT")));
        const auto messages = world.prompts.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "C:\\WINDOWS\\AFTER3.DAT has been left where it is: " + world.data("AFTER3.DAT") +
                                        " already exists, and moving it would replace that record. Rename one of "
                                        "the two files to keep both.");
        EXPECT_EQ(messages[0].title, "Error");
        EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    }
}

// Copies fail, as when the data folder cannot be written.
class NoCopyFs : public FileSystem {
public:
    using FileSystem::FileSystem;
    Status copyFile(std::string_view, std::string_view to) override { return errorFromErrno(std::string(to), ENOSPC); }
};

TEST(StartupMoves, FailedCopyIsReportedAndTheRecordStaysInPlace)
{
    World world;
    NoCopyFs fs(world.fs->drives());
    Context ctx{world.state, fs, world.prompts, world.panel, world.main, world.events};
    writeFile(world.host("C:\\WINDOWS\\AFTER2.DAT"), "Keep me\r\n");
    writeFile(world.host("C:\\WINDOWS\\AFTER5.DAT"), "And me\r\n");
    MoveRecordsFromWinDir(ctx);
    EXPECT_EQ(readFile(world.host("C:\\WINDOWS\\AFTER2.DAT")), "Keep me\r\n");
    EXPECT_EQ(readFile(world.host("C:\\WINDOWS\\AFTER5.DAT")), "And me\r\n");
    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 2u);  // each failure is said, and start-up goes on to the next
    EXPECT_EQ(messages[0].text, "Unable to move C:\\WINDOWS\\AFTER2.DAT to " + world.data("AFTER2.DAT") + ": " +
                                    std::string(strerror(ENOSPC)) + ".");
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
}

// A portable copy placed in the Windows directory: its data folder is that same folder, and the records there
// are already where they belong. Copying one onto itself and then deleting the "source" would lose it.
TEST(StartupMoves, RecordsInADataFolderThatIsTheWindowsDirectoryStay)
{
    World world;
    world.state.DataFolder = world.host("C:\\WINDOWS\\") + "/";
    writeFile(world.host("C:\\WINDOWS\\BEFORE.DAT"), "Pending\r\n");
    writeFile(world.host("C:\\WINDOWS\\AFTER4.DAT"), "Installed\r\n");
    MoveRecordsFromWinDir(world.ctx());
    EXPECT_EQ(readFile(world.host("C:\\WINDOWS\\BEFORE.DAT")), "Pending\r\n");
    EXPECT_EQ(readFile(world.host("C:\\WINDOWS\\AFTER4.DAT")), "Installed\r\n");
    for (const auto& message : world.prompts.messages()) {
        EXPECT_EQ(message.title, "Error");
        EXPECT_NE(message.text.find("the same file"), std::string::npos) << message.text;
    }
}

TEST(StartupFolders, ShippedManualIsCopiedOnlyWhenTheDataFolderHasNone)
{
    World world;
    writeFile(world.tmp / "share/ZELK.TXT", "The manual\n");
    InitFolders(world.ctx(), world.state.DataFolder, world.tmp / "share/ZELK.TXT");
    EXPECT_EQ(readFile(world.data("ZELK.TXT")), "The manual\n");
    writeFile(world.data("ZELK.TXT"), "Edited by the user\n");
    InitFolders(world.ctx(), world.state.DataFolder, world.tmp / "share/ZELK.TXT");
    EXPECT_EQ(readFile(world.data("ZELK.TXT")), "Edited by the user\n");
}

TEST(StartupFolders, ALoneExecutableWritesTheManualBuiltIntoIt)
{
    World world;
    InitFolders(world.ctx(), world.state.DataFolder, "", "MORVANE\n\nLine two\n");
    EXPECT_EQ(readFile(world.data("ZELK.TXT")), "MORVANE\r\n\r\nLine two\r\n");
    EXPECT_TRUE(world.prompts.prompts().empty());
}

TEST(ExitQuestion, PendingBeforeFileOffersTheAfterFile)
{
    World world;
    int runs = 0;
    OfferPendingAfterFile(world.ctx(), [&] { ++runs; });
    EXPECT_TRUE(world.prompts.prompts().empty());  // nothing pending: no question

    writeFile(world.data("BEFORE.DAT"), "App\r\n");
    world.prompts.answer(Answer::No);
    OfferPendingAfterFile(world.ctx(), [&] { ++runs; });
    EXPECT_EQ(runs, 0);
    world.prompts.answer(Answer::Yes);
    OfferPendingAfterFile(world.ctx(), [&] { ++runs; });
    EXPECT_EQ(runs, 1);

    const auto question = world.prompts.messages().at(0);
    EXPECT_EQ(question.text,
              "Warning. You have not yet created the AFTER file for the most recent BEFORE file. "
              "Create this AFTER file now?");
    EXPECT_EQ(question.buttons, Buttons::YesNo);
    EXPECT_EQ(question.icon, Icon::Exclamation);
    EXPECT_EQ(question.title, "Morvane");
}

}  // namespace
}  // namespace morvane::test
