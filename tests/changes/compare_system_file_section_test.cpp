#include "changes/compare_system_file_section.h"

#include <sys/xattr.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "records/before_file_reader.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::readFile;
using test::World;
using test::writeFile;

// A file system whose reading of one path fails, as an I/O error would.
class UnreadableFs : public FileSystem {
public:
    UnreadableFs(DriveMap drives, std::string path) : FileSystem(std::move(drives)), m_path(std::move(path)) {}
    Result<std::unique_ptr<LineReader>> openForReading(std::string_view path) const override
    {
        if (path == m_path) {
            return errorFromErrno(std::string(path), EIO);
        }
        return FileSystem::openForReading(path);
    }

private:
    std::string m_path;
};

struct Section {
    Status status;
    std::string written;   // the AFTER file's bytes
    bool changed = false;  // SectionChanged, when the comparison succeeded
    std::string nextLine;  // what the BEFORE reader yields next
};

// Runs the comparison with BEFORE.DAT holding `copy` (the lines after the start marker, bytes as given)
// followed by "*CONFIG*", and the AFTER file empty before the call.
Section Compare(World& world, std::string_view copy, std::string_view path, std::string_view name)
{
    writeFile(world.data("BEFORE.DAT"), std::string(copy) + "*CONFIG*\r\n");
    auto before = world.fs->openForReading(world.data("BEFORE.DAT"));
    auto after = world.fs->createForWriting(world.data("AFTER1.DAT"));
    EXPECT_TRUE(before.ok());
    EXPECT_TRUE(after.ok());
    Section section;
    AfterFileWriter record(**after);
    const Result<bool> SectionChanged = CompareSystemFileSection(world.ctx(), **before, record, path, name);
    section.status = SectionChanged.status();
    section.changed = SectionChanged && *SectionChanged;
    EXPECT_TRUE((*after)->finish().ok());
    section.written = readFile(world.data("AFTER1.DAT"));
    if (!(*before)->readLine(section.nextLine)) {
        section.nextLine = "<end of file>";
    }
    return section;
}

TEST(CompareSystemFileSection, FileMissingBeforeAndNowIsUnchanged)
{
    World world;
    const Section s = Compare(world, crlf({"*END AUTOEXEC*"}), "C:\\AUTOEXEC.BAT", "AUTOEXEC");
    ASSERT_TRUE(s.status.ok());
    EXPECT_EQ(s.written, crlf({"*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*"}));
    EXPECT_FALSE(s.changed);
    EXPECT_EQ(s.nextLine, "*CONFIG*");
    EXPECT_EQ(world.events.calls, 0);  // nothing was opened, so nothing was closed
}

TEST(CompareSystemFileSection, NewSectionHeaderGivesBothCopies)
{
    World world;
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]", "load=", "[Fonts]", "Arial=arial.fot"}));
    const Section s = Compare(world, crlf({"[windows]", "load =", "*END WIN*"}), "C:\\WINDOWS\\WIN.INI", "WIN");
    ASSERT_TRUE(s.status.ok());
    EXPECT_EQ(s.written, crlf({"*WIN*", "[windows]", "load=", "*NEW WIN*", "[windows]", "load=", "[Fonts]",
                               "Arial=arial.fot", "*END WIN*"}));
    EXPECT_TRUE(s.changed);
    EXPECT_EQ(s.nextLine, "*CONFIG*");
    EXPECT_EQ(world.events.calls, 1);  // once, after the file on disk was closed
}

TEST(CompareSystemFileSection, SpacingAroundEqualsAndAtTheEndsDoesNotCount)
{
    World world;
    writeFile(world.host("C:\\CONFIG.SYS"), crlf({"files=30", "  DEVICE=HIMEM.SYS  ", "buffers =  20"}));
    const Section s = Compare(world, crlf({"files = 30", "DEVICE = HIMEM.SYS", "buffers=20", "*END CONFIG*"}),
                              "C:\\CONFIG.SYS", "CONFIG");
    ASSERT_TRUE(s.status.ok());
    EXPECT_EQ(s.written, crlf({"*CONFIG*", "~NO CHANGE~", "*END CONFIG*"}));
    EXPECT_FALSE(s.changed);
}

TEST(CompareSystemFileSection, LetterCaseTabsLineCountAndOrderDoCount)
{
    const struct {
        const char* what;
        std::string copy;  // before the end marker
        std::string now;
        std::string body;  // what the section holds between its markers
    } cases[] = {
        {"letter case", crlf({"files = 30"}), crlf({"FILES=30"}), crlf({"files=30", "*NEW CONFIG*", "FILES=30"})},
        {"a tab before =", crlf({"files\t= 30"}), crlf({"files=30"}), crlf({"files\t=30", "*NEW CONFIG*", "files=30"})},
        {"an added empty line", crlf({"files=30"}), crlf({"files=30", ""}),
         crlf({"files=30", "*NEW CONFIG*", "files=30", ""})},
        {"two lines exchanged", crlf({"a=1", "b=2"}), crlf({"b=2", "a=1"}),
         crlf({"a=1", "b=2", "*NEW CONFIG*", "b=2", "a=1"})},
    };
    for (const auto& c : cases) {
        World world;
        writeFile(world.host("C:\\CONFIG.SYS"), c.now);
        const Section s = Compare(world, c.copy + crlf({"*END CONFIG*"}), "C:\\CONFIG.SYS", "CONFIG");
        ASSERT_TRUE(s.status.ok()) << c.what;
        EXPECT_EQ(s.written, crlf({"*CONFIG*"}) + c.body + crlf({"*END CONFIG*"})) << c.what;
        EXPECT_TRUE(s.changed) << c.what;
    }
}

TEST(CompareSystemFileSection, FileCreatedByTheInstallation)
{
    World world;
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"@ECHO OFF", "IF %1 == X GOTO END", "SET TEMP = C:\\TEMP"}));
    const Section s = Compare(world, crlf({"*END AUTOEXEC*"}), "C:\\AUTOEXEC.BAT", "AUTOEXEC");
    ASSERT_TRUE(s.status.ok());
    EXPECT_EQ(s.written, crlf({"*AUTOEXEC*", "*NEW AUTOEXEC*", "@ECHO OFF", "IF %1==X GOTO END", "SET TEMP=C:\\TEMP",
                               "*END AUTOEXEC*"}));
    EXPECT_TRUE(s.changed);
}

TEST(CompareSystemFileSection, HiddenFileCountsAsMissing)
{
    World world;
    const std::string host = world.host("C:\\WINDOWS\\SYSTEM.INI");
    writeFile(host, crlf({"[boot]", "shell=progman.exe"}));
    if (setxattr(host.c_str(), "user.DOSATTRIB", "0x2", 3, 0) != 0) {
        GTEST_SKIP() << "no user extended attributes here";
    }
    const Section s =
        Compare(world, crlf({"[boot]", "shell = progman.exe", "*END SYSTEM*"}), "C:\\WINDOWS\\SYSTEM.INI", "SYSTEM");
    ASSERT_TRUE(s.status.ok());
    EXPECT_EQ(s.written, crlf({"*SYSTEM*", "[boot]", "shell=progman.exe", "*NEW SYSTEM*", "*END SYSTEM*"}));
    EXPECT_TRUE(s.changed);
    EXPECT_EQ(readFile(host), crlf({"[boot]", "shell=progman.exe"}));  // read, never touched
}

TEST(CompareSystemFileSection, EndMarkerIsFoundWithSpacesAroundItAndCannotBeEscaped)
{
    World world;
    writeFile(world.host("C:\\AUTOEXEC.BAT"), crlf({"PATH C:\\DOS"}));
    // The copy ends at the first line that reads like its end marker, even one that belonged to the file.
    const Section s = Compare(world, crlf({"PATH C:\\DOS", "  *END AUTOEXEC*  ", "REM after", "*END AUTOEXEC*"}),
                              "C:\\AUTOEXEC.BAT", "AUTOEXEC");
    ASSERT_TRUE(s.status.ok());
    EXPECT_EQ(s.written, crlf({"*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*"}));
    EXPECT_EQ(s.nextLine, "REM after");
}

TEST(CompareSystemFileSection, CopyWithoutEndMarkerIsADamagedBeforeFile)
{
    World world;
    writeFile(world.data("BEFORE.DAT"), crlf({"[boot]", "*END WIN*"}));
    auto before = world.fs->openForReading(world.data("BEFORE.DAT"));
    auto after = world.fs->createForWriting(world.data("AFTER1.DAT"));
    ASSERT_TRUE(before.ok() && after.ok());
    AfterFileWriter record(**after);
    const Result<bool> status =
        CompareSystemFileSection(world.ctx(), **before, record, "C:\\WINDOWS\\SYSTEM.INI", "SYSTEM");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().kind, ErrorKind::Damaged);
    EXPECT_EQ(status.error().reason, "the copy of SYSTEM.INI ends without the line \"*END SYSTEM*\"");
}

TEST(CompareSystemFileSection, UnreadableFileIsAnErrorWithItsPathAndReason)
{
    World world;
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), crlf({"[windows]"}));
    world.fs = std::make_unique<UnreadableFs>(world.fs->drives(), "C:\\WINDOWS\\WIN.INI");
    const Section s = Compare(world, crlf({"[windows]", "*END WIN*"}), "C:\\WINDOWS\\WIN.INI", "WIN");
    ASSERT_FALSE(s.status.ok());
    EXPECT_NE(s.status.error().kind, ErrorKind::Damaged);
    EXPECT_EQ(s.status.error().describe(), "C:\\WINDOWS\\WIN.INI: Input/output error");
    // Nothing was decided: no body was written.
    EXPECT_EQ(s.written, crlf({"*WIN*"}));
}

}  // namespace
}  // namespace morvane
