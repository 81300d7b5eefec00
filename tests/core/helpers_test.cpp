#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <cerrno>

#include "core/helpers.h"
#include "tests/support/doubles.h"

namespace morvane::test {
namespace {

TEST(AskYesNo, AppendsQuestionMarkAndIsTrueOnlyForYes)
{
    ScriptedPrompts prompts;
    prompts.answer(Answer::Yes);
    prompts.answer(Answer::No);
    EXPECT_TRUE(AskYesNo(prompts, Notice::ConfirmDeletion, "Proceed"));
    EXPECT_FALSE(AskYesNo(prompts, Notice::ConfirmDeletion, "Proceed"));
    ASSERT_EQ(prompts.messages().size(), 2u);
    const auto shown = prompts.messages().at(0);
    EXPECT_EQ(shown.notice, Notice::ConfirmDeletion);
    EXPECT_EQ(shown.text, "Proceed?");
    EXPECT_EQ(shown.title, "Morvane");
    EXPECT_EQ(shown.buttons, Buttons::YesNo);
    EXPECT_EQ(shown.icon, Icon::Question);
}

TEST(DriveTests, ReadableDrivesAreThoseThatCanBeListed)
{
    World world({'C', 'D'});
    EXPECT_TRUE(DriveReadable(*world.fs, 'C'));
    EXPECT_TRUE(DriveReadable(*world.fs, 'D'));   // empty drive
    EXPECT_FALSE(DriveReadable(*world.fs, 'Q'));  // no such drive
}

// A file system that cannot hold a file without a name, as some network file systems.
class NoUnnamedFilesFs : public FileSystem {
public:
    using FileSystem::FileSystem;
    Result<std::unique_ptr<LineWriter>> createForWriting(std::string_view path, CreateMode mode) override
    {
        if (mode == CreateMode::Unnamed) {
            return errorFromErrno(std::string(path), EOPNOTSUPP);
        }
        return FileSystem::createForWriting(path, mode);
    }
};

TEST(DriveTests, WritableDriveKeepsTheUsersScratchNamedFileAndLeavesNothingBehind)
{
    World world;
    writeFile(world.host("C:\\asdzxc.zxc"), "the user's own file\n");
    const auto before = folderState(world.drive('C'));
    NoUnnamedFilesFs named(world.fs->drives());
    for (FileSystem* fs : {world.fs.get(), static_cast<FileSystem*>(&named)}) {
        EXPECT_TRUE(DriveWritable(*fs, 'C'));
        EXPECT_EQ(folderState(world.drive('C')), before);
        EXPECT_FALSE(DriveWritable(*fs, 'Q'));
    }
}

// A drive whose files cannot be created, as on a write-protected medium.
class WriteProtectedFs : public FileSystem {
public:
    using FileSystem::FileSystem;
    Result<std::unique_ptr<LineWriter>> createForWriting(std::string_view path, CreateMode) override
    {
        return errorFromErrno(std::string(path), EROFS);
    }
};

TEST(DriveTests, WriteProtectedDriveIsNotWritableAndGetsNoScratchFile)
{
    World world;
    WriteProtectedFs fs(world.fs->drives());
    EXPECT_FALSE(DriveWritable(fs, 'C'));
    EXPECT_FALSE(pathExists(world.host("C:\\asdzxc.zxc")));
}

TEST(CountFiles, CountsOrdinaryMatchesOnly)
{
    World world;
    EXPECT_EQ(CountFiles(*world.fs, world.data("AFTER*.DAT")), 0);
    writeFile(world.data("AFTER1.DAT"), "x\r\n");
    writeFile(world.data("AFTER.DAT"), "x\r\n");
    writeFile(world.data("AFTER2.TXT"), "x\r\n");
    writeFile(world.data(".AFTER3.DAT"), "x\r\n");  // hidden
    EXPECT_EQ(CountFiles(*world.fs, world.data("AFTER*.DAT")), 2);
    EXPECT_EQ(CountFiles(*world.fs, "Q:\\*.*"), 0);
}

TEST(ReadLeadingNumber, ReadsLikeANumberAtTheStartOfAText)
{
    const std::pair<const char*, long> cases[] = {
        {"12.DAT", 12}, {"3.DAT", 3},   {".DAT", 0},  {"X.DAT", 0},  {"", 0},
        {"07.DAT", 7},  {"1.5.DAT", 2}, {"0.DAT", 0}, {" 4.DAT", 4}, {"2X.DAT", 2},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ReadLeadingNumber(text), expected) << text;
    }
}

TEST(InitDataFolder, AddsTheFinalSlashOnce)
{
    World world;
    State state;
    InitDataFolder(state, *world.fs, "/opt/morvane");
    EXPECT_EQ(state.DataFolder, "/opt/morvane/");
    InitDataFolder(state, *world.fs, "/opt/morvane/");
    EXPECT_EQ(state.DataFolder, "/opt/morvane/");
    EXPECT_EQ(state.WinDir, "C:\\WINDOWS\\");
}

TEST(Availability, PairsFollowTheRecordFiles)
{
    World world;
    UpdateAllPairs(world.ctx());
    EXPECT_TRUE(world.main.pairEnabled(Pair::CreateBefore));
    EXPECT_FALSE(world.main.pairEnabled(Pair::CreateAfter));
    EXPECT_FALSE(world.main.pairEnabled(Pair::DeleteBefore));
    EXPECT_FALSE(world.main.pairEnabled(Pair::DeleteProgram));
    EXPECT_FALSE(world.main.pairEnabled(Pair::DeleteSafety));

    writeFile(world.data("BEFORE.DAT"), "App\r\n");
    writeFile(world.data("AFTER.DAT"), "App\r\n");  // the pattern, not the numbered form, decides
    writeFile(world.host("C:\\WINDOWS\\WIN.QRV"), "");
    UpdateAllPairs(world.ctx());
    EXPECT_FALSE(world.main.pairEnabled(Pair::CreateBefore));
    EXPECT_TRUE(world.main.pairEnabled(Pair::CreateAfter));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteBefore));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteProgram));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteAfter));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DisplayReport));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DeleteSafety));
}

TEST(Availability, MissingLineFilesAndHiddenCopiesDoNotCountAsSafetyCopies)
{
    World world;
    writeFile(world.host("C:\\AUTOEXEC.MIS"), "");
    writeFile(world.host("C:\\WINDOWS\\OLD.QRV"), "");
    writeFile(world.host("C:\\CONFIG.QRV"), "");
    const char hidden[] = "0x2";
    ASSERT_EQ(setxattr(world.host("C:\\CONFIG.QRV").c_str(), "user.DOSATTRIB", hidden, sizeof hidden - 1, 0), 0)
        << "the temporary folder does not keep user attributes";
    UpdateSafetyPair(world.ctx());
    EXPECT_FALSE(world.main.pairEnabled(Pair::DeleteSafety));
}

}  // namespace
}  // namespace morvane::test
