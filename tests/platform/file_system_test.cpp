#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "tests/platform/platform_support.h"

namespace morvane::test {
namespace {

using Names = std::vector<std::string>;

// --- Paths -------------------------------------------------------------------------------------------------

class PlatformPaths : public ::testing::Test {
protected:
    PlatformPaths()
    {
        writeFile(w.at("Windows/win.ini"), "[windows]\r\n");
        makeDirs(w.at("Windows/System"));
        writeFile(w.at("Case.txt"), "mixed");
        writeFile(w.at("CASE.TXT"), "upper");
        makeDirs(w.at("target/inner"));
        ::symlink("target", w.at("linkdir").c_str());
        ::symlink("loop", w.at("loop").c_str());
        writeFile(w.tmp / "data/ZELK.TXT", "manual");
    }
    PlatformWorld w;
};

TEST_F(PlatformPaths, TranslatesWindowsPathsBelowTheDriveRoot)
{
    struct Case {
        std::string path;
        std::string host;  // relative to C:'s root
    };
    const Case cases[] = {
        {"C:\\WINDOWS\\WIN.INI", "Windows/win.ini"},                  // each component found in another case
        {"c:\\windows\\system\\NEW.TXT", "Windows/System/NEW.TXT"},  // a new file keeps its spelling
        {"C:\\Case.txt", "Case.txt"},                                // the exact name wins
        {"C:\\case.txt", "CASE.TXT"},                                // else the first in listing order
        {"C:\\Windows\\System\\", "Windows/System"},
        {"C:\\target\\INNER", "target/inner"},
    };
    for (const auto& c : cases) {
        auto host = w.fs->toHost(c.path);
        ASSERT_TRUE(host.ok()) << c.path << ": " << host.error().describe();
        EXPECT_EQ(*host, w.at(c.host)) << c.path;
    }
    EXPECT_EQ(*w.fs->toHost("C:\\"), w.root());
    EXPECT_EQ(*w.fs->toHost("C:"), w.root());
}

TEST_F(PlatformPaths, RefusesPathsThatLeaveTheDriveOrPassThroughLinks)
{
    struct Case {
        std::string path;
        int code;
    };
    const Case cases[] = {
        {"C:\\Windows\\..\\..\\etc", EINVAL},
        {"C:\\Windows\\.\\win.ini", EINVAL},
        {"C:\\..", EINVAL},
        {"C:\\Windows\\\\win.ini", EINVAL},  // an empty component
        {"C:\\Windows/../x", EINVAL},        // a '/' inside a name
        {"C:Windows", EINVAL},
        {"WIN.INI", EINVAL},
        {"Q:\\x", ENOENT},  // no such drive
        {"C:\\linkdir\\inner", ELOOP},
        {"C:\\LINKDIR\\inner", ELOOP},  // found through the letter-case lookup, refused all the same
        {"C:\\loop\\x", ELOOP},
        {"C:\\missing\\x", ENOENT},
        {"C:\\Windows\\win.ini\\x", ENOTDIR},
    };
    for (const auto& c : cases) {
        auto host = w.fs->toHost(c.path);
        ASSERT_FALSE(host.ok()) << c.path << " gave " << *host;
        EXPECT_EQ(host.error().code, c.code) << c.path << ": " << host.error().describe();
        EXPECT_EQ(host.error().path, c.path);
        EXPECT_FALSE(host.error().reason.empty());
    }
    // Nothing may be written or deleted through a refused path either.
    EXPECT_FALSE(w.fs->removeFile("C:\\linkdir\\inner").ok());
    EXPECT_FALSE(w.fs->createForWriting("C:\\Windows\\..\\escaped.txt").ok());
    EXPECT_TRUE(pathExists(w.at("target/inner")));
    EXPECT_FALSE(pathExists(w.tmp / "escaped.txt"));
}

TEST_F(PlatformPaths, HostPathsLookUpOnlyTheirLastNameInAnotherCase)
{
    const std::string data = w.tmp / "data/";
    EXPECT_EQ(*w.fs->toHost(data + "zelk.txt"), data + "ZELK.TXT");
    EXPECT_EQ(*w.fs->toHost(data + "BEFORE.DAT"), data + "BEFORE.DAT");
    EXPECT_FALSE(w.fs->toHost(w.tmp / "DATA/ZELK.TXT").ok());
    EXPECT_EQ(*w.fs->readLines(data + "zelk.txt"), Names{"manual"});
    EXPECT_TRUE(w.fs->exists(data + "zelk.txt"));
    EXPECT_FALSE(w.fs->exists(data + "BEFORE.DAT"));
}

// --- Listings ----------------------------------------------------------------------------------------------

class PlatformListing : public ::testing::Test {
protected:
    PlatformListing()
    {
        for (const char* name : {"b", "B", "a.txt", "A.TXT", "_x", "noext", ".dot", "back\\slash", "new\nline"}) {
            writeFile(w.at(std::string("L/") + name), "");
        }
        makeDirs(w.at("L/Sub/deeper"));
        makeDirs(w.at("L/.hdir"));
        makeDirs(w.at("L/tab\tdir"));
        ::symlink("Sub", w.at("L/tolink").c_str());
        ::symlink("loop", w.at("L/loop").c_str());
    }
    PlatformWorld w;
};

TEST_F(PlatformListing, ListsByPatternAndAttributesInUpperCaseOrder)
{
    struct Case {
        std::string pattern;
        unsigned attributes;
        Names names;
        std::size_t skipped;
    };
    // Upper-case order: "_x" after the letters, where plain byte order would put it before "a.txt".
    const Names plain = {"A.TXT", "a.txt", "B", "b", "loop", "noext", "tolink", "_x"};
    const Case cases[] = {
        {"C:\\L\\*.*", kNormal, plain, 2},
        {"C:\\L\\*.*", kHidden, {".dot", "A.TXT", "a.txt", "B", "b", "loop", "noext", "tolink", "_x"}, 2},
        {"C:\\L\\*.*", kDirectory, {"A.TXT", "a.txt", "B", "b", "loop", "noext", "Sub", "tolink", "_x"}, 3},
        {"C:\\L\\*.*",
         kDirectory | kHidden | kSystem,
         {".dot", ".hdir", "A.TXT", "a.txt", "B", "b", "loop", "noext", "Sub", "tolink", "_x"},
         3},
        {"C:\\L\\*", kNormal, plain, 2},
        {"C:\\l\\A.*", kNormal, {"A.TXT", "a.txt"}, 0},
        {"C:\\L\\*.TXT", kNormal, {"A.TXT", "a.txt"}, 0},
        {"C:\\L\\?", kNormal, {"B", "b"}, 0},
        {"C:\\L\\noext.*", kNormal, {"noext"}, 0},  // ".*" also matches no extension
        {"C:\\L\\n*", kNormal, {"noext"}, 1},       // "new\nline" matches and is counted, not listed
        {"C:\\L\\SUB", kNormal, {}, 0},             // a directory is not a file
        {"C:\\L\\SUB", kDirectory, {"Sub"}, 0},
        {"C:\\L\\nothing*", kNormal, {}, 0},
    };
    for (const auto& c : cases) {
        auto listing = w.fs->list(c.pattern, c.attributes);
        ASSERT_TRUE(listing.ok()) << c.pattern << ": " << listing.error().describe();
        EXPECT_EQ(listing->names, c.names) << c.pattern << " attributes " << c.attributes;
        EXPECT_EQ(listing->skipped, c.skipped) << c.pattern << " attributes " << c.attributes;
    }
    EXPECT_TRUE(w.fs->exists("C:\\L\\NOEXT"));
    EXPECT_TRUE(w.fs->exists("C:\\L\\tolink"));  // a link counts as a file
    EXPECT_FALSE(w.fs->exists("C:\\L\\.dot"));   // hidden files count as absent
    EXPECT_FALSE(w.fs->exists("C:\\L\\Sub"));
    EXPECT_FALSE(w.fs->exists("C:\\Missing\\x"));
}

TEST_F(PlatformListing, ReadsADirectoryInOnePassWithoutEnteringLinks)
{
    auto contents = w.fs->readDirectory("C:\\L\\");
    ASSERT_TRUE(contents.ok()) << contents.error().describe();
    EXPECT_EQ(contents->files, (Names{".dot", "A.TXT", "a.txt", "B", "b", "loop", "noext", "tolink", "_x"}));
    EXPECT_EQ(contents->subdirectories, (Names{".hdir", "Sub"}));
    EXPECT_EQ(contents->skipped, 3u);

    auto subdirectories = w.fs->subdirectories("C:\\L");
    ASSERT_TRUE(subdirectories.ok());
    EXPECT_EQ(subdirectories->names, (Names{".hdir", "Sub"}));
    EXPECT_EQ(subdirectories->skipped, 1u);  // only the directory that a Windows path cannot name

    // The names are those a listing gave: a directory of another letter case never stands in for them.
    EXPECT_EQ(w.fs->readDirectory("C:\\l\\").error().code, ENOENT);
    EXPECT_TRUE(VanishedMeanwhile(w.fs->readDirectory("C:\\L\\a.txt\\").error()));
    EXPECT_FALSE(VanishedMeanwhile(errorFromErrno("C:\\L\\", EACCES)));

    // The link to Sub is never a way in.
    EXPECT_EQ(w.fs->readDirectory("C:\\L\\tolink").error().code, ELOOP);
    EXPECT_FALSE(w.fs->list("C:\\L\\tolink\\*.*", kDirectory).ok());
}

TEST_F(PlatformListing, AFolderThatCannotBeReadIsAnErrorNotAnEmptyListing)
{
    auto missing = w.fs->list("C:\\Nowhere\\*.*", kNormal);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_EQ(missing.error().path, "C:\\Nowhere\\*.*");
    EXPECT_EQ(w.fs->readDirectory("C:\\Nowhere").error().code, ENOENT);
    EXPECT_EQ(w.fs->subdirectories("C:\\L\\a.txt").error().code, ENOTDIR);

    // An empty folder is not an error.
    makeDirs(w.at("Empty"));
    EXPECT_TRUE(w.fs->list("C:\\Empty\\*.*", kDirectory)->names.empty());

    ::chmod(w.at("L").c_str(), 0);
    // An administrator reads through permissions; the child drops that power to meet the closed folder.
    const int code = runInChild([&] {
        if (::geteuid() == 0) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2] = {};
            if (::syscall(SYS_capset, &header, data) != 0) {
                return 77;
            }
        }
        auto listing = w.fs->list("C:\\L\\*.*", kNormal);
        auto contents = w.fs->readDirectory("C:\\L");
        auto subdirectories = w.fs->subdirectories("C:\\L\\");
        const bool allFailed = !listing.ok() && !contents.ok() && !subdirectories.ok();
        return allFailed && listing.error().code == EACCES && contents.error().code == EACCES ? 0 : 1;
    });
    ::chmod(w.at("L").c_str(), 0755);
    if (code == 77) {
        GTEST_SKIP() << "cannot drop the capabilities that let an administrator read a closed folder";
    }
    EXPECT_EQ(code, 0) << "a folder without read permission was listed";
}

TEST(PlatformDosAttributes, HiddenAndSystemFilesAppearOnlyWhenAskedFor)
{
    PlatformWorld w;
    for (const char* name : {"plain", "hid", "sys", "both", "archive"}) {
        writeFile(w.at(std::string("X/") + name), "");
    }
    makeDirs(w.at("X/hdir"));
    if (!setDosAttribute(w.at("X/hid"), "0x2")) {
        GTEST_SKIP() << "the temporary folder's file system refuses user extended attributes";
    }
    setDosAttribute(w.at("X/sys"), "0x4");
    setDosAttribute(w.at("X/both"), "0X26");
    setDosAttribute(w.at("X/archive"), "0x20");
    setDosAttribute(w.at("X/hdir"), "0x12");

    struct Case {
        unsigned attributes;
        Names names;
    };
    const Case cases[] = {
        {kNormal, {"archive", "plain"}},
        {kHidden, {"archive", "hid", "plain"}},
        {kSystem, {"archive", "plain", "sys"}},
        {kHidden | kSystem, {"archive", "both", "hid", "plain", "sys"}},
        {kDirectory, {"archive", "plain"}},
        {kDirectory | kHidden, {"archive", "hdir", "hid", "plain"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(w.fs->list("C:\\X\\*.*", c.attributes)->names, c.names) << "attributes " << c.attributes;
    }
    // The scans ask for everything and see everything.
    EXPECT_EQ(w.fs->readDirectory("C:\\X")->files, (Names{"archive", "both", "hid", "plain", "sys"}));
    EXPECT_EQ(w.fs->subdirectories("C:\\X")->names, Names{"hdir"});
    EXPECT_FALSE(w.fs->exists("C:\\X\\HID"));
    EXPECT_TRUE(w.fs->exists("C:\\X\\ARCHIVE"));
}

TEST(PlatformMounts, AnotherFileSystemIsNotPartOfTheDrive)
{
    PlatformWorld w;
    makeDirs(w.at("mnt"));
    makeDirs(w.at("dir"));
    const int code = runInChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("morvane-test", w.at("mnt").c_str(), "tmpfs", 0, "size=64k") != 0) {
            return 77;
        }
        auto contents = w.fs->readDirectory("C:\\");
        auto subdirectories = w.fs->subdirectories("C:\\");
        auto listing = w.fs->list("C:\\*.*", kDirectory | kHidden | kSystem);
        const bool left = contents && contents->subdirectories == Names{"dir"} && contents->files.empty() &&
                          subdirectories && subdirectories->names == Names{"dir"} && listing &&
                          listing->names == Names{"dir"};
        return left ? 0 : 1;
    });
    if (code == 77) {
        GTEST_SKIP() << "no permission to mount a file system in a private namespace";
    }
    EXPECT_EQ(code, 0) << "a mount point was listed as part of the drive";
}

// --- Attributes, removal, copying --------------------------------------------------------------------------

TEST(PlatformAttributes, ReportsAndClearsAttributes)
{
    PlatformWorld w;
    writeFile(w.at("ro.txt"), "x");
    ::chmod(w.at("ro.txt").c_str(), 0444);
    writeFile(w.at(".dot"), "x");
    makeDirs(w.at("Dir"));
    ::symlink("Dir", w.at("dirlink").c_str());

    EXPECT_EQ(*w.fs->attributes("C:\\RO.TXT"), unsigned(kReadOnly));
    EXPECT_EQ(*w.fs->attributes("C:\\.dot"), unsigned(kHidden));
    EXPECT_EQ(*w.fs->attributes("C:\\dir"), unsigned(kDirectory));
    EXPECT_EQ(*w.fs->attributes("C:\\dirlink"), unsigned(kLink));  // a link is not a directory
    EXPECT_EQ(w.fs->attributes("C:\\none").error().code, ENOENT);

    ASSERT_TRUE(w.fs->setNormal("C:\\ro.txt").ok());
    EXPECT_EQ(modeOf(w.at("ro.txt")), 0644u);  // only the owner's write permission was added
    ASSERT_TRUE(w.fs->setNormal("C:\\.dot").ok());
    EXPECT_EQ(*w.fs->attributes("C:\\.dot"), unsigned(kHidden));  // the leading dot stays
    EXPECT_EQ(w.fs->setNormal("C:\\none").error().code, ENOENT);

    writeFile(w.at("hs.txt"), "x");
    writeFile(w.at("sys.txt"), "x");
    if (!setDosAttribute(w.at("hs.txt"), "0x26")) {
        GTEST_SKIP() << "the temporary folder's file system refuses user extended attributes";
    }
    setDosAttribute(w.at("sys.txt"), "0x4");
    EXPECT_EQ(*w.fs->attributes("C:\\HS.TXT"), unsigned(kHidden | kSystem));
    ASSERT_TRUE(w.fs->setNormal("C:\\HS.TXT").ok());
    ASSERT_TRUE(w.fs->setNormal("C:\\SYS.TXT").ok());
    EXPECT_EQ(dosAttribute(w.at("hs.txt")), "0x20");      // the archive bit stays, in the same form
    EXPECT_EQ(dosAttribute(w.at("sys.txt")), "<none>");  // nothing left: the attribute goes
    EXPECT_EQ(*w.fs->attributes("C:\\HS.TXT"), unsigned(kNormal));
}

TEST(PlatformRemoval, RemovesLinksNotWhatTheyPointTo)
{
    PlatformWorld w;
    writeFile(w.at("Keep/inside.txt"), "x");
    ::symlink("Keep", w.at("link").c_str());
    writeFile(w.at("Windows/win.ini"), "x");
    makeDirs(w.at("Empty"));

    ASSERT_TRUE(w.fs->removeFile("C:\\LINK").ok());
    EXPECT_FALSE(pathExists(w.at("link")));
    EXPECT_TRUE(pathExists(w.at("Keep/inside.txt")));

    ASSERT_TRUE(w.fs->removeFile("C:\\WINDOWS\\WIN.INI").ok());
    EXPECT_FALSE(pathExists(w.at("Windows/win.ini")));

    struct Case {
        Status status;
        int code;
    };
    ::symlink("Empty", w.at("emptylink").c_str());
    const Case failures[] = {
        {w.fs->removeFile("C:\\Keep"), EISDIR},
        {w.fs->removeFile("C:\\gone.txt"), ENOENT},
        {w.fs->removeDirectory("C:\\Keep"), ENOTEMPTY},
        {w.fs->removeDirectory("C:\\emptylink"), ENOTDIR},
        {w.fs->removeDirectory("C:\\"), EBUSY},
    };
    for (const auto& f : failures) {
        ASSERT_FALSE(f.status.ok());
        EXPECT_EQ(f.status.error().code, f.code) << f.status.error().describe();
    }
    EXPECT_TRUE(pathExists(w.at("emptylink")));
    EXPECT_TRUE(pathExists(w.at("Keep/inside.txt")));
    ASSERT_TRUE(w.fs->removeDirectory("C:\\empty").ok());
    EXPECT_FALSE(pathExists(w.at("Empty")));
}

TEST(PlatformCopy, ReplacesTheFileOfAnotherLetterCaseAndNamesNewOnesAsGiven)
{
    PlatformWorld w;
    writeFile(w.at("Windows/win.ini"), "old\r\n");
    writeFile(w.at("Windows/WIN.QRV"), "saved\r\n");

    ASSERT_TRUE(w.fs->copyFile("C:\\WINDOWS\\win.qrv", "C:\\WINDOWS\\WIN.INI").ok());
    EXPECT_EQ(readFile(w.at("Windows/win.ini")), "saved\r\n");
    ASSERT_TRUE(w.fs->copyFile("C:\\WINDOWS\\win.ini", "C:\\WINDOWS\\System.Qrv").ok());
    EXPECT_EQ(readFile(w.at("Windows/System.Qrv")), "saved\r\n");
    // No second spelling and no temporary were left behind.
    EXPECT_EQ(w.fs->readDirectory("C:\\Windows")->files, (Names{"System.Qrv", "win.ini", "WIN.QRV"}));

    EXPECT_EQ(w.fs->copyFile("C:\\WINDOWS\\NONE.INI", "C:\\WINDOWS\\WIN.INI").error().code, ENOENT);
    EXPECT_EQ(w.fs->copyFile("C:\\WINDOWS\\WIN.INI", "C:\\NOFOLDER\\WIN.INI").error().code, ENOENT);
    // Onto itself, under another spelling or as a host path: refused, so that no caller takes it for a copy.
    EXPECT_EQ(w.fs->copyFile("C:\\WINDOWS\\WIN.INI", "C:\\windows\\win.ini").error().code, EINVAL);
    EXPECT_EQ(w.fs->copyFile("C:\\WINDOWS\\WIN.INI", w.at("Windows/win.ini")).error().code, EINVAL);
    EXPECT_EQ(readFile(w.at("Windows/win.ini")), "saved\r\n");
}

// --- Drives --------------------------------------------------------------------------------------------------

TEST(PlatformDrives, ReadsTheDriveMapOfAPrefix)
{
    TempDir tmp;
    const std::string prefix = tmp / "prefix";
    makeDirs(prefix + "/dosdevices");
    makeDirs(prefix + "/drive_c");
    makeDirs(tmp / "other");
    makeDirs(tmp / "e");
    makeDirs(prefix + "/dosdevices/h:");
    writeFile(tmp / "file", "");
    ::symlink("../drive_c", (prefix + "/dosdevices/c:").c_str());
    ::symlink((tmp / "other/").c_str(), (prefix + "/dosdevices/d:").c_str());
    ::symlink((tmp / "e").c_str(), (prefix + "/dosdevices/E:").c_str());
    ::symlink((tmp / "file").c_str(), (prefix + "/dosdevices/f:").c_str());
    ::symlink((tmp / "nowhere").c_str(), (prefix + "/dosdevices/g:").c_str());
    ::symlink("/", (prefix + "/dosdevices/z:").c_str());
    ::symlink("/dev/ttyS0", (prefix + "/dosdevices/com1").c_str());
    ::symlink((tmp / "other").c_str(), (prefix + "/dosdevices/c::").c_str());

    const DriveMap map = DriveMap::fromPrefix(prefix).value();
    EXPECT_EQ(map.letters(), (std::vector<char>{'C', 'D', 'E', 'Z'}));
    EXPECT_EQ(*map.root('c'), prefix + "/drive_c");
    EXPECT_EQ(*map.root('D'), tmp / "other");
    EXPECT_EQ(*map.root('e'), tmp / "e");
    EXPECT_EQ(*map.root('Z'), "/");
    EXPECT_EQ(map.root('F'), nullptr);

    // The root "/" joins without doubled separators.
    FileSystem fs(map);
    EXPECT_EQ(*fs.toHost("Z:\\"), "/");
    EXPECT_EQ(*fs.toHost("Z:\\NEWNAME.TXT"), "/NEWNAME.TXT");

    const char* oldPrefix = std::getenv("WINEPREFIX");
    const std::string savedPrefix = oldPrefix ? oldPrefix : "";
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    const DriveMap fromEnvironment = DriveMap::fromEnvironment().value();
    oldPrefix ? ::setenv("WINEPREFIX", savedPrefix.c_str(), 1) : ::unsetenv("WINEPREFIX");
    EXPECT_EQ(fromEnvironment.letters(), map.letters());

    const DriveMap bare = DriveMap::fromPrefix(tmp / "noprefix").value();
    EXPECT_EQ(bare.letters(), std::vector<char>{'C'});
    EXPECT_EQ(*bare.root('C'), "/");
}

// Without a prefix, C: is "/" without the folders of volatile data; a prefix's drives, "/" included, keep all.
TEST(PlatformDrives, TheRootFileSystemAloneLeavesItsVolatileFoldersOut)
{
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("HOME", "//root/", 1);  // also root's home in the password database, as a rule
    const Names folders = VolatileFolders();
    oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
    for (const char* folder :
         {"tmp", "var/tmp", "var/cache", "var/log", "var/spool", "run", "proc", "sys", "dev", "root/.cache"}) {
        EXPECT_EQ(std::count(folders.begin(), folders.end(), folder), 1) << folder;
    }

    TempDir tmp;
    const DriveMap bare = DriveMap::fromPrefix(tmp / "noprefix").value();
    ASSERT_NE(bare.leftOut('C'), nullptr);
    EXPECT_TRUE(bare.leftOut('C')->leavesOut("tmp"));
    EXPECT_TRUE(bare.leftOut('C')->child("var")->leavesOut("cache"));
    EXPECT_FALSE(bare.leftOut('C')->leavesOut("var"));
    makeDirs(tmp / "prefix/dosdevices");
    ::symlink("/", (tmp / "prefix/dosdevices/z:").c_str());
    EXPECT_EQ(DriveMap::fromPrefix(tmp / "prefix").value().leftOut('Z'), nullptr);

    // The tree is walked with the names on disk, whatever the path's letter case; a left-out folder is off the drive.
    PlatformWorld w;
    DriveMap map = w.fs->drives();
    map.leaveOut('C', {"tmp", "home/alice/.cache"});
    const FileSystem fs(map);
    makeDirs(w.at("tmp/x"));
    makeDirs(w.at("home/alice/.cache"));
    makeDirs(w.at("home/alice/docs"));
    EXPECT_EQ(fs.subdirectories("C:\\")->names, Names{"home"});
    EXPECT_EQ(fs.subdirectories("C:\\HOME\\Alice")->names, Names{"docs"});
    EXPECT_EQ(fs.subdirectories("C:\\tmp\\x").error().kind, ErrorKind::OtherFileSystem);
}

TEST(PlatformDrives, FindsTheWindowsDirectoryAsSpelledOnDisk)
{
    struct Case {
        std::vector<std::string> folders;
        std::vector<std::string> files;
        std::string expected;
    };
    const Case cases[] = {
        {{"windows"}, {}, "C:\\windows\\"},
        {{"WinDows", "Program Files"}, {}, "C:\\WinDows\\"},
        {{"windows", "WINDOWS"}, {}, "C:\\WINDOWS\\"},  // the first in listing order
        {{}, {"windows"}, "C:\\WINDOWS\\"},             // a file is no folder
        {{"WINNT"}, {}, "C:\\WINDOWS\\"},
    };
    for (const auto& c : cases) {
        PlatformWorld w;
        for (const auto& f : c.folders) {
            makeDirs(w.at(f));
        }
        for (const auto& f : c.files) {
            writeFile(w.at(f), "");
        }
        EXPECT_EQ(w.fs->windowsDirectory(), c.expected);
    }
    FileSystem noDrives{DriveMap()};
    EXPECT_EQ(noDrives.windowsDirectory(), "C:\\WINDOWS\\");
}

TEST(PlatformFolders, ChoosesTheDataFolderAndFindsTheManual)
{
    TempDir tmp;
    const std::string exe = tmp / "bin/";
    makeDirs(exe);
    EXPECT_EQ(chooseDataFolder(exe).value(), exe);
    EXPECT_EQ(chooseDataFolder(tmp / "bin").value(), exe);
    EXPECT_EQ(shippedManualPath(exe), "");
    writeFile(exe + "ZELK.TXT", "m");
    EXPECT_EQ(shippedManualPath(exe), exe + "ZELK.TXT");
    // Installed: the shared manual wins over one an earlier run left in bin/.
    writeFile(tmp / "share/morvane/ZELK.TXT", "m");
    EXPECT_EQ(shippedManualPath(exe), exe + "../share/morvane/ZELK.TXT");

    // Where the executable's folder cannot be written to (here: it does not exist), the per-user folder.
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_DATA_HOME", (tmp / "xdg").c_str(), 1);
    const std::string fromXdg = chooseDataFolder(tmp / "absent/").value();
    // An installed copy keeps its records in the per-user folder although it may write to its bin/.
    const std::string installed = chooseDataFolder(exe).value();
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", (tmp / "home").c_str(), 1);
    const std::string fromHome = chooseDataFolder(tmp / "absent/").value();
    oldXdg ? ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(fromXdg, tmp / "xdg/morvane/");
    EXPECT_EQ(installed, tmp / "xdg/morvane/");
    EXPECT_EQ(fromHome, tmp / "home/.local/share/morvane/");
    EXPECT_TRUE(pathExists(tmp / "home/.local/share/morvane"));
    EXPECT_FALSE(pathExists(tmp / "absent"));

    const std::string self = executableDirectory();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self.back(), '/');
    EXPECT_TRUE(pathExists(self + "platform_file_system_test"));
}

}  // namespace
}  // namespace morvane::test
