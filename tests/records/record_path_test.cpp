#include "records/record_path.h"

#include <gtest/gtest.h>

#include "records/after_file_reader.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

TEST(RecordPath, OnlyPathsStrictlyBelowTheDriveRootAreAccepted)
{
    struct Case {
        const char* line;
        bool directory;  // accepted as a directory line
        bool file;       // accepted as a file line
    };
    const Case cases[] = {
        {"\\APP\\", true, false},
        {"\\APP\\SUB DIR \\", true, false},  // trailing space in a name is a name
        {"\\WINDOWS\\NEW.DLL", false, true},
        {"\\README", false, true},
        {"\\.hidden\\..x\\", true, false},
        {"\\", false, false},  // the root itself
        {"", false, false},
        {"APP\\", false, false},
        {"C:\\APP\\", false, false},
        {"\\\\APP\\", false, false},
        {"\\APP\\\\", false, false},
        {"\\APP\\..\\", false, false},
        {"\\..\\", false, false},
        {"\\.\\", false, false},
        {"\\APP\\..", false, false},
        {"\\APP\\.", false, false},
        {"\\APP\\X\tY", false, false},
        {"\\A\nB\\", false, false},
        {"\\A/..\\", false, false},  // "/" separates names on the host: this is the root
        {"\\A/B", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RecordPath::directory(c.line).has_value(), c.directory) << c.line;
        EXPECT_EQ(RecordPath::file(c.line).has_value(), c.file) << c.line;
    }
    EXPECT_EQ(RecordPath::directory("\\APP\\SUB\\")->onDrive('D'), "D:\\APP\\SUB\\");
    EXPECT_EQ(RecordPath::directory("\\APP\\SUB\\")->entryOnDrive('D'), "D:\\APP\\SUB");
    EXPECT_EQ(RecordPath::file("\\APP\\X.DLL")->entryOnDrive('C'), "C:\\APP\\X.DLL");
}

// A whole AFTER file with the given drive lines and four unchanged sections.
std::string AfterFile(std::initializer_list<std::string_view> driveLines)
{
    std::vector<std::string> lines{"Prog"};
    lines.insert(lines.end(), driveLines.begin(), driveLines.end());
    for (const char* name : {"AUTOEXEC", "CONFIG", "WIN", "SYSTEM"}) {
        lines.push_back(std::string("*") + name + "*");
        lines.push_back("~NO CHANGE~");
        lines.push_back(std::string("*END ") + name + "*");
    }
    return test::crlf(lines);
}

TEST(ReadAfterRecord, ReadsEveryBlockAndRefusesAFileWithAFaultNamingItsFirstBadLine)
{
    test::World w;
    const std::string path = w.data("AFTER1.DAT");

    test::writeFile(path, test::crlf({"Prog",
                                      "C",
                                      "\\APP\\SUB\\",
                                      "\\APP\\",
                                      "\\WINDOWS\\A.DLL",
                                      "D",
                                      "*AUTOEXEC*",
                                      "ECHO OFF",
                                      "~NO CHANGE~",
                                      "*NEW AUTOEXEC*",
                                      "ECHO ON",
                                      " ~NO CHANGE~ ",
                                      "*END AUTOEXEC*",
                                      "*CONFIG*",
                                      "~NO CHANGE~",
                                      "*END CONFIG*",
                                      "  *WIN*",
                                      "~NO CHANGE~",
                                      "*END WIN*",
                                      "*SYSTEM*",
                                      "~NO CHANGE~",
                                      "*END SYSTEM*"}));
    auto record = ReadAfterRecord(*w.fs, path);
    ASSERT_TRUE(record) << record.error().reason;
    EXPECT_EQ(record->programName, "Prog");
    ASSERT_EQ(record->drives.size(), 2u);
    EXPECT_EQ(record->drives[0].directories[1].text(), "\\APP\\");
    EXPECT_EQ(record->drives[0].files[0].text(), "\\WINDOWS\\A.DLL");
    EXPECT_EQ(record->drives[1].letter, 'D');
    EXPECT_TRUE(record->drives[1].directories.empty());
    // "~NO CHANGE~" is the marker only as a section's first line; elsewhere it is a line of the file.
    EXPECT_EQ(record->sections[0].oldLines, (std::vector<std::string>{"ECHO OFF", "~NO CHANGE~"}));
    EXPECT_EQ(record->sections[0].newLines, (std::vector<std::string>{"ECHO ON", " ~NO CHANGE~ "}));
    EXPECT_FALSE(record->sections[3].changed);

    const std::string damaged = "The AFTER file " + path + " is damaged: line ";
    struct Case {
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {test::crlf({"Prog", "C", "\\APP\\"}), "The AFTER file " + path + " ends before its AUTOEXEC section."},
        {test::crlf({"Prog", "C", "*AUTOEXEC*", "ECHO"}),
         "The AFTER file " + path + " ends inside its AUTOEXEC section."},
        {AfterFile({"c", "*AUTOEXEC*"}),
         "The AFTER file " + path + " is damaged: its second line \"c\" is not a drive letter."},
        {AfterFile({"C", "\\", "*AUTOEXEC*"}), damaged + "3 \"\\\" is not a directory below the drive's root."},
        {AfterFile({"C", "\\APP\\..\\", "*AUTOEXEC*"}),
         damaged + "3 \"\\APP\\..\\\" is not a directory below the drive's root."},
        {AfterFile({"C", "\\APP\\", "\\X", "\\B\\", "*AUTOEXEC*"}),
         damaged + "5 \"\\B\\\" is not a file path, a drive letter or \"*AUTOEXEC*\"."},
        {AfterFile({"C", "WINDOWS\\X", "*AUTOEXEC*"}),
         damaged + "3 \"WINDOWS\\X\" is not a file path, a drive letter or \"*AUTOEXEC*\"."},
        {AfterFile({"C", "", "*AUTOEXEC*"}), damaged + "3 \"\" is not a file path, a drive letter or \"*AUTOEXEC*\"."},
        {test::crlf({"Prog", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*WIN*", "~NO CHANGE~", "*END WIN*"}),
         damaged + "5 \"*WIN*\" is not the header \"*CONFIG*\"."},
        // Cut short inside its last line: an end line that is not complete is no end line.
        {AfterFile({"C"}).substr(0, AfterFile({"C"}).size() - 4),
         damaged + "14 \"*END SYSTE\" is not the end line \"*END SYSTEM*\"."},
    };
    for (const Case& c : cases) {
        test::writeFile(path, c.bytes);
        auto read = ReadAfterRecord(*w.fs, path);
        ASSERT_FALSE(read) << c.message;
        EXPECT_EQ(read.error().reason, c.message);
    }
}

}  // namespace
}  // namespace morvane
