#include "records/first_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/doubles.h"

namespace morvane {
namespace {

// What each kind of record file gives: the name on line 1, nothing for a file without lines, an error for one
// that cannot be read; and the name a question shows for it.
TEST(ReadFirstLine, TellsANameFromAFileWithoutLinesFromAnUnreadableFile)
{
    struct Case {
        const char* what;
        std::optional<std::string> bytes;  // none: no file at all; "<folder>": a folder in its place
        bool readable;
        std::optional<std::string> name;
        std::string shown;  // by ProgramNameOr with the fallback "*CORRUPTED*"
    };
    const Case cases[] = {
        {"a record", "Word Wizard\r\nC\r\n\\\r\n", true, "Word Wizard", "Word Wizard"},
        {"one line without an ending", "Word Wizard", true, "Word Wizard", "Word Wizard"},
        {"an empty line 1 is a name", "\r\nC\r\n", true, "", ""},
        {"an empty file", "", true, std::nullopt, "*CORRUPTED*"},
        {"no file", std::nullopt, false, std::nullopt, "*CORRUPTED*"},
        {"a folder", "<folder>", false, std::nullopt, "*CORRUPTED*"},
    };
    for (const Case& c : cases) {
        test::World world;
        const std::string path = world.data("AFTER1.DAT");
        if (c.bytes == "<folder>") {
            test::makeDirs(path);
        } else if (c.bytes) {
            test::writeFile(path, *c.bytes);
        }
        const Result<std::optional<std::string>> read = ReadFirstLine(*world.fs, path);
        ASSERT_EQ(read.ok(), c.readable) << c.what;
        if (read.ok()) {
            EXPECT_EQ(*read, c.name) << c.what;
        } else {
            EXPECT_FALSE(read.error().reason.empty()) << c.what;
        }
        EXPECT_EQ(ProgramNameOr(*world.fs, path, "*CORRUPTED*"), c.shown) << c.what;
    }
}

}  // namespace
}  // namespace morvane
