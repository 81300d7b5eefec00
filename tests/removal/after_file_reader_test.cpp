#include "removal/after_file_reader.h"

#include <gtest/gtest.h>

#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::World;
using test::writeFile;

class AfterFileReaderTest : public ::testing::Test {
protected:
    std::unique_ptr<AfterFileReader> open(std::string_view bytes)
    {
        writeFile(path, bytes);
        auto reader = AfterFileReader::open(*world.fs, path);
        EXPECT_TRUE(reader.ok());
        return reader ? std::move(*reader) : nullptr;
    }

    World world;
    std::string path = world.data("AFTER1.DAT");
};

TEST_F(AfterFileReaderTest, ReadsEverySectionInOrder)
{
    auto after = open(crlf({"Word Wizard", "C", "\\WW\\BIN\\", "\\WW\\", "\\WINDOWS\\WW.INI", "\\SETUP.LOG", "D",
                            "E", "\\DATA\\", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "FILES=30",
                            "*NEW CONFIG*", "FILES=40", "  *END CONFIG*  ", "*WIN*", "~NO CHANGE~", "*END WIN*",
                            "*SYSTEM*", "*NEW SYSTEM*", "*END SYSTEM*"}));
    ASSERT_TRUE(after);
    EXPECT_EQ(*after->readProgramName(), "Word Wizard");

    std::vector<AfterDrive> drives;
    for (;;) {
        auto drive = after->readDrive();
        ASSERT_TRUE(drive.ok()) << drive.error().reason;
        if (!drive->has_value()) {
            break;
        }
        drives.push_back(**drive);
    }
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].letter, 'C');
    EXPECT_EQ(drives[0].directories, (std::vector<std::string>{"\\WW\\BIN\\", "\\WW\\"}));
    EXPECT_EQ(drives[0].files, (std::vector<std::string>{"\\WINDOWS\\WW.INI", "\\SETUP.LOG"}));
    EXPECT_EQ(drives[1].letter, 'D');
    EXPECT_TRUE(drives[1].directories.empty());
    EXPECT_TRUE(drives[1].files.empty());
    EXPECT_EQ(drives[2].letter, 'E');
    EXPECT_EQ(drives[2].directories, std::vector<std::string>{"\\DATA\\"});
    EXPECT_FALSE(after->readDrive()->has_value());  // stays at the end of the drive sections

    auto autoexec = after->readConfigSection("AUTOEXEC");
    ASSERT_TRUE(autoexec.ok());
    EXPECT_FALSE(autoexec->changed);
    ASSERT_TRUE(after->skipHeader("CONFIG").ok());
    auto config = after->readConfigSection("CONFIG");
    ASSERT_TRUE(config.ok());
    EXPECT_TRUE(config->changed);
    EXPECT_EQ(config->oldLines, std::vector<std::string>{"FILES=30"});
    EXPECT_EQ(config->newLines, std::vector<std::string>{"FILES=40"});
    ASSERT_TRUE(after->skipHeader("WIN").ok());
    EXPECT_FALSE(after->readConfigSection("WIN")->changed);
    ASSERT_TRUE(after->skipHeader("SYSTEM").ok());
    auto system = after->readConfigSection("SYSTEM");
    ASSERT_TRUE(system.ok());
    EXPECT_TRUE(system->changed);
    EXPECT_TRUE(system->oldLines.empty());
    EXPECT_TRUE(system->newLines.empty());
}

TEST_F(AfterFileReaderTest, FileLinesEndingInBackslashAfterTheFirstFileStayFiles)
{
    auto after = open(crlf({"P", "C", "\\A\\", "\\F.TXT", "\\B\\", "*AUTOEXEC*"}));
    ASSERT_TRUE(after->readProgramName().ok());
    auto drive = after->readDrive();
    ASSERT_TRUE(drive.ok());
    EXPECT_EQ((*drive)->directories, std::vector<std::string>{"\\A\\"});
    EXPECT_EQ((*drive)->files, (std::vector<std::string>{"\\F.TXT", "\\B\\"}));
}

TEST_F(AfterFileReaderTest, MissingFileIsAnErrorNamingIt)
{
    auto reader = AfterFileReader::open(*world.fs, world.data("AFTER9.DAT"));
    ASSERT_FALSE(reader.ok());
    EXPECT_EQ(reader.error().reason,
              "Unable to read the AFTER file " + world.data("AFTER9.DAT") + ": No such file or directory.");
}

// Each file ends early at another place; the reader says where and never reads on.
TEST_F(AfterFileReaderTest, ShortFilesNameTheSectionTheyEndBefore)
{
    struct Case {
        std::string bytes;
        std::string expected;
    };
    const std::string prefix = "The AFTER file " + path;
    const std::vector<Case> cases = {
        {"", prefix + " ends before its drive section."},
        {crlf({"P"}), prefix + " ends before its drive section."},
        {crlf({"P", "C", "\\A\\", "\\A\\F"}), prefix + " ends before its AUTOEXEC section."},
        {crlf({"P", "C", "*AUTOEXEC*", "OLD"}), prefix + " ends inside its AUTOEXEC section."},
        {crlf({"P", "C", "*AUTOEXEC*", "~NO CHANGE~"}), prefix + " ends inside its AUTOEXEC section."},
        {crlf({"P", "C", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*"}), prefix + " ends before its CONFIG section."},
        {crlf({"P", "C", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "A", "*NEW CONFIG*", "B"}),
         prefix + " ends inside its CONFIG section."},
        {crlf({"P", "7", "*AUTOEXEC*"}), prefix + " is damaged: its second line \"7\" is not a drive letter."},
    };
    const char* const tags[] = {"AUTOEXEC", "CONFIG", "WIN", "SYSTEM"};
    for (const Case& c : cases) {
        auto after = open(c.bytes);
        ASSERT_TRUE(after);
        Error error;
        auto fail = [&](const Error& e) {
            error = e;
            return false;
        };
        [&] {
            auto name = after->readProgramName();
            if (!name) {
                return fail(name.error());
            }
            for (;;) {
                auto drive = after->readDrive();
                if (!drive) {
                    return fail(drive.error());
                }
                if (!drive->has_value()) {
                    break;
                }
            }
            for (int k = 0; k < 4; ++k) {
                if (k > 0) {
                    const Status header = after->skipHeader(tags[k]);
                    if (!header) {
                        return fail(header.error());
                    }
                }
                auto section = after->readConfigSection(tags[k]);
                if (!section) {
                    return fail(section.error());
                }
            }
            return true;
        }();
        EXPECT_EQ(error.reason, c.expected) << c.bytes;
        EXPECT_EQ(error.path, path);
    }
}

TEST_F(AfterFileReaderTest, ErrorIsShownWithTheErrorTitleAndExclamation)
{
    ReportAfterFileError(world.prompts, Error{path, 0, "The AFTER file X ends before its WIN section."});
    const auto messages = world.prompts.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The AFTER file X ends before its WIN section.");
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(messages[0].buttons, Buttons::Ok);
}

}  // namespace
}  // namespace morvane
