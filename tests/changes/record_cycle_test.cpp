#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "changes/create_after_file.h"
#include "snapshot/create_before_file.h"
#include "tests/snapshot/hooked_file_system.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::crlf;
using test::pathExists;
using test::readFile;
using test::World;
using test::writeFile;

// One installation recorded from start to end: Create BEFORE file on a small tree, the installation, Create
// AFTER file; then a second installation that changes nothing.
TEST(RecordCycle, BeforeInstallationAfterGiveTheRecordFilesByteForByte)
{
    World world;
    const auto put = [&world](std::string_view winPath, const std::vector<std::string>& lines) {
        writeFile(world.host(winPath), crlf(lines));
    };
    put("C:\\AUTOEXEC.BAT", {"@ECHO OFF", "PATH C:\\DOS"});
    put("C:\\CONFIG.SYS", {"FILES = 30"});
    put("C:\\WINDOWS\\WIN.INI", {"[windows]", "load="});
    put("C:\\WINDOWS\\SYSTEM.INI", {"[boot]"});
    put("C:\\WINDOWS\\SYSTEM\\DRV.DLL", {});
    put("C:\\DOS\\EDIT.COM", {});
    put("C:\\.hidden", {});

    world.prompts.type("Editor");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());

    EXPECT_EQ(readFile(world.data("BEFORE.DAT")), crlf({"Editor",
                                                         "C",
                                                         "\\WINDOWS\\SYSTEM\\",
                                                         "\\WINDOWS\\",
                                                         "\\DOS\\",
                                                         "\\",
                                                         "\\WINDOWS\\SYSTEM\\DRV.DLL",
                                                         "\\WINDOWS\\SYSTEM.INI",
                                                         "\\WINDOWS\\WIN.INI",
                                                         "\\DOS\\EDIT.COM",
                                                         "\\.hidden",
                                                         "\\AUTOEXEC.BAT",
                                                         "\\CONFIG.SYS",
                                                         "*AUTOEXEC*",
                                                         "@ECHO OFF",
                                                         "PATH C:\\DOS",
                                                         "*END AUTOEXEC*",
                                                         "*CONFIG*",
                                                         "FILES = 30",
                                                         "*END CONFIG*",
                                                         "*WIN*",
                                                         "[windows]",
                                                         "load=",
                                                         "*END WIN*",
                                                         "*SYSTEM*",
                                                         "[boot]",
                                                         "*END SYSTEM*"}));
    EXPECT_TRUE(world.main.pairEnabled(Pair::CreateAfter));

    // The installation.
    put("C:\\EDITOR\\EDITOR.EXE", {});
    put("C:\\EDITOR\\PLUGINS\\SPELL.DLL", {});
    put("C:\\WINDOWS\\SYSTEM\\EDITOR.DLL", {});
    put("C:\\WINDOWS\\EDITOR.INI", {"[Editor]"});
    put("C:\\.editorrc", {});
    put("C:\\AUTOEXEC.BAT", {"@ECHO OFF", "PATH C:\\DOS", "SET EDITOR=C:\\EDITOR"});
    put("C:\\CONFIG.SYS", {"FILES=30"});
    put("C:\\WINDOWS\\WIN.INI", {"[windows]", "load = editor.exe"});
    ASSERT_EQ(unlink(world.host("C:\\DOS\\EDIT.COM").c_str()), 0);  // removed files are not recorded

    CreateAfterFile(world.ctx());

    EXPECT_EQ(readFile(world.data("AFTER1.DAT")), crlf({"Editor",
                                                         "C",
                                                         "\\EDITOR\\PLUGINS\\",
                                                         "\\EDITOR\\",
                                                         "\\WINDOWS\\SYSTEM\\EDITOR.DLL",
                                                         "\\WINDOWS\\EDITOR.INI",
                                                         "\\.editorrc",
                                                         "*AUTOEXEC*",
                                                         "@ECHO OFF",
                                                         "PATH C:\\DOS",
                                                         "*NEW AUTOEXEC*",
                                                         "@ECHO OFF",
                                                         "PATH C:\\DOS",
                                                         "SET EDITOR=C:\\EDITOR",
                                                         "*END AUTOEXEC*",
                                                         "*CONFIG*",
                                                         "~NO CHANGE~",
                                                         "*END CONFIG*",
                                                         "*WIN*",
                                                         "[windows]",
                                                         "load=",
                                                         "*NEW WIN*",
                                                         "[windows]",
                                                         "load=editor.exe",
                                                         "*END WIN*",
                                                         "*SYSTEM*",
                                                         "~NO CHANGE~",
                                                         "*END SYSTEM*"}));
    EXPECT_FALSE(pathExists(world.data("BEFORE.DAT")));
    ASSERT_EQ(world.panel.waits, 1);
    const auto& report = world.panel.linesAtWait[0];
    EXPECT_EQ(report[3], "Number of subdirectories created during installation: 2");
    EXPECT_EQ(report[4], "Number of files installed in old subdirectories: 3");
    EXPECT_EQ(report[5], "AUTOEXEC.BAT was modified.");
    EXPECT_EQ(report[6], "WIN.INI was modified.");
    EXPECT_EQ(report[7], "");
    EXPECT_TRUE(world.main.pairEnabled(Pair::CreateBefore));
    EXPECT_FALSE(world.main.pairEnabled(Pair::CreateAfter));
    EXPECT_TRUE(world.main.pairEnabled(Pair::DisplayReport));

    // A second installation that changes nothing gets the next number and an empty record.
    world.prompts.type("Viewer");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());
    CreateAfterFile(world.ctx());
    EXPECT_EQ(readFile(world.data("AFTER2.DAT")),
              crlf({"Viewer", "C", "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~",
                     "*END CONFIG*", "*WIN*", "~NO CHANGE~", "*END WIN*", "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}));
    EXPECT_TRUE(world.prompts.allAnswered());
    EXPECT_TRUE(world.prompts.messages().empty());
    EXPECT_TRUE(pathExists(world.host("C:\\EDITOR\\PLUGINS\\SPELL.DLL")));
}

// A temporary folder stands for "/" as drive C:, with folders where the system and other programs write while an
// installation runs. Whichever way the scans read the drive, what changes there is never recorded; what the
// installation adds elsewhere is, even under a name that a left-out folder bears in another place.
TEST(VolatileFolders, ChangesInLeftOutFoldersAreNeverRecorded)
{
    for (const bool perDirectory : {false, true}) {
        SCOPED_TRACE(perDirectory ? "one directory at a time" : "whole tree");
        World world;
        DriveMap drives = world.fs->drives();
        drives.leaveOut('C', {"tmp", "run", "var/cache", "home/alice/.cache"});
        world.fs = std::make_unique<FileSystem>(drives);
        if (perDirectory) {
            test::HookedFileSystem::install(world);  // a derived file system is read one readDirectory call at a time
        }
        const auto put = [&world](std::initializer_list<const char*> paths) {
            for (const char* path : paths) {
                writeFile(world.drive('C') + "/" + path, "x");
            }
        };

        put({"tmp/old.o", "var/README", "var/cache/old/index", "home/alice/.cache/thumb.png", "home/alice/notes.txt"});
        ASSERT_EQ(::symlink("tmp", world.host("C:\\run").c_str()), 0);
        world.prompts.type("Tool");
        world.prompts.type("C");
        CreateBeforeFile(world.ctx());
        EXPECT_EQ(readFile(world.data("BEFORE.DAT")),
                  crlf({"Tool", "C", "\\home\\alice\\", "\\WINDOWS\\", "\\home\\", "\\var\\", "\\",
                        "\\home\\alice\\notes.txt", "\\var\\README", "*AUTOEXEC*", "*END AUTOEXEC*", "*CONFIG*",
                        "*END CONFIG*", "*WIN*", "*END WIN*", "*SYSTEM*", "*END SYSTEM*"}));

        put({"tmp/build/x.o", "tmp/new.txt", "var/cache/x/pkg.deb", "home/alice/.cache/new/thumb2.png",
             "usr/local/bin/tool", "home/alice/tmp"});
        CreateAfterFile(world.ctx());
        EXPECT_EQ(readFile(world.data("AFTER1.DAT")),
                  crlf({"Tool", "C", "\\usr\\local\\bin\\", "\\usr\\local\\", "\\usr\\", "\\home\\alice\\tmp",
                        "*AUTOEXEC*", "~NO CHANGE~", "*END AUTOEXEC*", "*CONFIG*", "~NO CHANGE~", "*END CONFIG*",
                        "*WIN*", "~NO CHANGE~", "*END WIN*", "*SYSTEM*", "~NO CHANGE~", "*END SYSTEM*"}));
        EXPECT_EQ(world.prompts.messageTexts(), std::vector<std::string>{});  // nothing passed over, no failure
    }
}

}  // namespace
}  // namespace morvane
