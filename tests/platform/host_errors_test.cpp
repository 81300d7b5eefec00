#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/file_system.h"
#include "tests/platform/platform_support.h"

namespace morvane {
namespace {

using test::makeDirs;
using test::PlatformWorld;
using test::writeFile;

// The kind of each failure is set where it happens, and only what names nothing on the drive counts as
// absent or as removed meanwhile.
TEST(HostErrors, EachFailureCarriesItsKind)
{
    PlatformWorld w;
    makeDirs(w.at("Dir"));
    writeFile(w.at("file.txt"), "");
    ASSERT_EQ(::symlink("Dir", w.at("link").c_str()), 0);
    struct Case {
        Status status;
        ErrorKind kind;
        bool absent;
    };
    const Case cases[] = {
        {w.fs->toHost("Q:\\x").status(), ErrorKind::NotFound, true},
        {w.fs->readDirectory("C:\\missing\\").status(), ErrorKind::NotFound, true},
        {w.fs->readDirectory("C:\\file.txt\\").status(), ErrorKind::NotDirectory, true},
        {w.fs->readDirectory("C:\\link\\").status(), ErrorKind::ThroughLink, true},
        {w.fs->toHost("C:\\link\\x").status(), ErrorKind::ThroughLink, true},
        {w.fs->toHost("C:\\Dir\\..\\x").status(), ErrorKind::Invalid, false},
        {w.fs->removeDirectory("C:\\"), ErrorKind::Other, false},
        {w.fs->copyFile("C:\\file.txt", "C:\\FILE.TXT"), ErrorKind::Invalid, false},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.status.ok());
        EXPECT_EQ(c.status.error().kind, c.kind) << c.status.error().describe();
        EXPECT_EQ(IsAbsent(c.status.error()), c.absent) << c.status.error().describe();
        EXPECT_EQ(VanishedMeanwhile(c.status.error()), c.absent) << c.status.error().describe();
    }
    EXPECT_EQ(errorFromErrno("x", EACCES).kind, ErrorKind::AccessDenied);
    EXPECT_FALSE(VanishedMeanwhile(errorFromErrno("x", EIO)));
}

// A data folder that cannot be made is reported instead of being replaced by another folder in silence.
TEST(HostErrors, ADataFolderThatCannotBeMadeIsAnError)
{
    test::TempDir tmp;
    writeFile(tmp / "notafolder", "");
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    ::setenv("XDG_DATA_HOME", (tmp / "notafolder").c_str(), 1);
    const Result<std::string> chosen = chooseDataFolder(tmp / "absent/");
    oldXdg ? ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    ASSERT_FALSE(chosen.ok());
    EXPECT_EQ(chosen.error().kind, ErrorKind::NotDirectory);
    EXPECT_EQ(chosen.error().path, tmp / "notafolder/morvane/");
}

}  // namespace
}  // namespace morvane
