// Whole files read and written as bytes, for files that must come back byte for byte (Wine's registry files).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "tests/platform/platform_support.h"

namespace morvane::test {
namespace {

TEST(PlatformWholeFile, ReadsEveryByteAsItIs)
{
    PlatformWorld w;
    std::string large;
    for (int i = 0; i < 300000; ++i) {
        large.push_back(static_cast<char>(i * 7));
    }
    const std::string cases[] = {
        "", "one", "a\r\nb\rc\n", std::string("nul\0inside\0", 11), "\xef\xbb\xbf\xff\xfe", large,
    };
    for (const std::string& bytes : cases) {
        writeFile(w.at("file.reg"), bytes);
        auto read = w.fs->readFile(w.at("file.reg"));
        ASSERT_TRUE(read.ok()) << read.error().describe();
        EXPECT_EQ(*read, bytes);
        // A Windows path names the same file.
        EXPECT_EQ(*w.fs->readFile("C:\\FILE.REG"), bytes);
    }
}

TEST(PlatformWholeFile, RefusesWhatCannotBeRead)
{
    PlatformWorld w;
    makeDirs(w.at("folder"));
    ASSERT_EQ(::mkfifo(w.at("pipe").c_str(), 0600), 0);
    const struct {
        std::string path;
        int code;
    } cases[] = {{w.at("missing"), ENOENT}, {w.at("folder"), EISDIR}, {w.at("pipe"), EINVAL}};
    for (const auto& c : cases) {
        auto read = w.fs->readFile(c.path);
        ASSERT_FALSE(read.ok()) << c.path;
        EXPECT_EQ(read.error().code, c.code) << c.path;
        EXPECT_EQ(read.error().path, c.path);
    }
}

TEST(PlatformWholeFile, WritesThePiecesInOrderAndKeepsThePermissions)
{
    PlatformWorld w;
    writeFile(w.at("user.reg"), "old");
    ::chmod(w.at("user.reg").c_str(), 0640);
    const Status written = w.fs->writeFileAtomic(w.at("user.reg"), [](const FileSystem::ByteSink& sink) {
        sink("WINE REGISTRY Version 2\n");
        sink("");
        sink(std::string(100000, 'x'));
        sink("\r\nend");
    });
    ASSERT_TRUE(written.ok()) << written.error().describe();
    EXPECT_EQ(readFile(w.at("user.reg")), "WINE REGISTRY Version 2\n" + std::string(100000, 'x') + "\r\nend");
    EXPECT_EQ(modeOf(w.at("user.reg")), 0640u);
    EXPECT_EQ(folderState(w.root()).size(), 1u);
}

TEST(PlatformWholeFile, AFailedWriteLeavesTheOldFileAndNoTemporary)
{
    PlatformWorld w;
    writeFile(w.at("system.reg"), "old");
    Status failed;
    {
        // Writes past 1000 bytes fail with EFBIG, as on a full disk.
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = 1000;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        failed = w.fs->writeFileAtomic(w.at("system.reg"), [](const FileSystem::ByteSink& sink) {
            for (int i = 0; i < 100; ++i) {
                sink(std::string(100, 'x'));
            }
        });
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
    }
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().code, EFBIG);
    EXPECT_EQ(failed.error().path, w.at("system.reg"));
    EXPECT_EQ(readFile(w.at("system.reg")), "old");
    EXPECT_EQ(folderState(w.root()).size(), 1u);
}

}  // namespace
}  // namespace morvane::test
