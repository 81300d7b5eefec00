#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "records/after_file_writer.h"
#include "records/before_file_writer.h"

#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;

// The bytes a record file holds after `write` has written its lines through a writer of type Writer.
template <typename Writer>
std::string Written(const std::function<void(Writer&)>& write)
{
    test::World world;
    const std::string path = world.data("RECORD.DAT");
    auto out = world.fs->createForWriting(path);
    EXPECT_TRUE(out.ok());
    Writer writer(**out);
    write(writer);
    EXPECT_TRUE((*out)->finish().ok());
    return test::readFile(path);
}

TEST(BeforeFileWriter, WritesEachKindOfLineAsTheFormatSays)
{
    const std::string longName(70000, 'n');  // a file line longer than the writer's buffer
    const struct {
        const char* what;
        std::function<void(BeforeFileWriter&)> write;
        std::string bytes;
    } cases[] = {
        {"name and drive letter",
         [](BeforeFileWriter& w) {
             w.programName("Word Wizard 2.0");
             w.driveLetter('C');
         },
         crlf({"Word Wizard 2.0", "C"})},
        {"directories, then files joined to their directory",
         [](BeforeFileWriter& w) {
             w.directory("\\APP\\BIN\\");
             w.directory("\\");
             w.file("\\APP\\BIN\\", "WW.EXE");
             w.file("\\", "AUTOEXEC.BAT");
         },
         crlf({"\\APP\\BIN\\", "\\", "\\APP\\BIN\\WW.EXE", "\\AUTOEXEC.BAT"})},
        {"a long file line", [&longName](BeforeFileWriter& w) { w.file("\\DEEP\\", longName); },
         "\\DEEP\\" + longName + "\r\n"},
        {"a configuration copy, lines as read",
         [](BeforeFileWriter& w) {
             w.configHeader("AUTOEXEC");
             w.configLine("@ECHO OFF");
             w.configLine("  SET TEMP = C:\\TEMP ");
             w.configLine("");
             w.configEnd("AUTOEXEC");
         },
         crlf({"*AUTOEXEC*", "@ECHO OFF", "  SET TEMP = C:\\TEMP ", "", "*END AUTOEXEC*"})},
        {"a missing configuration file",
         [](BeforeFileWriter& w) {
             w.configHeader("CONFIG");
             w.configEnd("CONFIG");
         },
         crlf({"*CONFIG*", "*END CONFIG*"})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Written(c.write), c.bytes) << c.what;
    }
}

TEST(AfterFileWriter, WritesEachKindOfLineAndBlockAsTheFormatSays)
{
    using Lines = std::vector<std::string>;
    const struct {
        const char* what;
        std::function<void(AfterFileWriter&)> write;
        std::string bytes;
    } cases[] = {
        {"name and drive letter",
         [](AfterFileWriter& w) {
             w.programName("Word Wizard 2.0");
             w.driveLetter('E');
         },
         crlf({"Word Wizard 2.0", "E"})},
        {"new directories, then new files joined to their directory",
         [](AfterFileWriter& w) {
             w.newDirectory("\\WW\\BIN\\");
             w.newDirectory("\\WW\\");
             w.newFile("\\WINDOWS\\", "WW.INI");
             w.newFile("\\", "SETUP.LOG");
         },
         crlf({"\\WW\\BIN\\", "\\WW\\", "\\WINDOWS\\WW.INI", "\\SETUP.LOG"})},
        {"an unchanged section",
         [](AfterFileWriter& w) {
             w.configHeader("WIN");
             w.unchangedSection("WIN");
         },
         crlf({"*WIN*", "~NO CHANGE~", "*END WIN*"})},
        {"a changed section, lines as given",
         [](AfterFileWriter& w) {
             w.configHeader("CONFIG");
             w.changedSection("CONFIG", Lines{"FILES=30", ""}, Lines{"FILES=30", "", "DEVICE=WW.SYS"});
         },
         crlf({"*CONFIG*", "FILES=30", "", "*NEW CONFIG*", "FILES=30", "", "DEVICE=WW.SYS", "*END CONFIG*"})},
        {"a file the installation created",
         [](AfterFileWriter& w) {
             w.configHeader("AUTOEXEC");
             w.changedSection("AUTOEXEC", Lines{}, Lines{"@ECHO OFF"});
         },
         crlf({"*AUTOEXEC*", "*NEW AUTOEXEC*", "@ECHO OFF", "*END AUTOEXEC*"})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Written(c.write), c.bytes) << c.what;
    }
}

}  // namespace
}  // namespace morvane
