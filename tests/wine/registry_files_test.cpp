// The registry files of a fresh prefix made by Wine 8 (wineboot -i): read and written back, untouched and with every
// key written anew; and registry files read and written through the platform layer.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/wine/registry_support.h"
#include "wine/registry_names.h"
#include "wine/registry_reader.h"
#include "wine/registry_writer.h"

namespace morvane::wine {
namespace {

using test::DataFile;
using test::FirstDifference;

const char* const kPrefixFiles[] = {"system.reg", "user.reg", "userdef.reg"};

TEST(RegistryFiles, WineFilesReadAndWrittenUnchangedGiveTheSameBytes)
{
    for (const char* name : kPrefixFiles) {
        const std::string bytes = DataFile(name);
        auto registry = ParseRegistry(bytes, name);
        ASSERT_TRUE(registry.ok()) << registry.error().describe();
        EXPECT_EQ(FirstDifference(bytes, FormatRegistry(*registry)), "") << name;
        EXPECT_EQ(registry->arch(), "win64") << name;
    }
}

// Each key Wine wrote is touched with its own time, so that it is written anew from its values: the writer has to
// give back Wine's own text for every key and value of the prefix.
TEST(RegistryFiles, EveryKeyWrittenAnewGivesWinesOwnText)
{
    for (const char* name : kPrefixFiles) {
        const std::string bytes = DataFile(name);
        auto registry = ParseRegistry(bytes, name);
        ASSERT_TRUE(registry.ok()) << registry.error().describe();
        std::size_t touched = 0;
        for (const std::u16string& path : test::AllKeyPaths(*registry)) {
            const auto key = registry->findKey(path);
            ASSERT_TRUE(key.has_value());
            if (!key->time) {
                continue;  // implied by its subkeys: no lines of its own
            }
            registry->setChangeTime(*key->time);
            ASSERT_TRUE(registry->setValue(path, RegistryValue::dword(u"morvane probe", 1)).ok());
            ASSERT_TRUE(registry->deleteValue(path, u"morvane probe").ok());
            ++touched;
        }
        EXPECT_GT(touched, 0u);
        EXPECT_EQ(FirstDifference(bytes, FormatRegistry(*registry)), "") << name;
        // The same registry read back: nothing was lost on the way.
        auto again = ParseRegistry(FormatRegistry(*registry));
        ASSERT_TRUE(again.ok()) << again.error().describe();
        EXPECT_TRUE(*again == *registry) << name;
    }
}

TEST(RegistryFiles, SystemRegHoldsWhatAFreshPrefixHas)
{
    auto registry = ParseRegistry(DataFile("system.reg"));
    ASSERT_TRUE(registry.ok());
    EXPECT_EQ(registry->preamble(),
              "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
              "#arch=win64\n");
    // Found in any letter case, spelled as stored.
    const auto version = registry->findValue(u"software\\MICROSOFT\\Windows NT\\CurrentVersion", u"currentbuild");
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->name, u"CurrentBuild");
    EXPECT_EQ(version->type, kRegSz);
    // A symbolic link of the 32-bit view, and the key it stands in.
    const auto link = registry->findKey(u"Software\\Classes\\Wow6432Node\\AppId");
    ASSERT_TRUE(link.has_value());
    EXPECT_TRUE(link->link);
    EXPECT_EQ(link->time, FileTime{0x1dd87c7baf8d1e2});
    const auto target = registry->findValue(u"Software\\Classes\\Wow6432Node\\AppId", u"SymbolicLinkValue");
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->type, kRegLink);
    EXPECT_EQ(target->units(), u"\\Registry\\Machine\\Software\\Classes\\AppId");
    // Implied by its subkeys alone: no lines of its own, no time.
    const auto software = registry->findKey(u"Software");
    ASSERT_TRUE(software.has_value());
    EXPECT_EQ(software->time, std::nullopt);
    EXPECT_EQ(software->name, u"Software");
}

TEST(RegistryFiles, UserRegKeepsANameBeyondTheBasicPlane)
{
    auto registry = ParseRegistry(DataFile("user.reg"));
    ASSERT_TRUE(registry.ok());
    // [Control Panel\\International\\\xd83c\xdf0e\xd83c\xdf0f\xd83c\xdf0d]: three globes, as surrogate pairs.
    const auto globes = registry->subkeys(u"Control Panel\\International");
    ASSERT_TRUE(globes.ok());
    // After "Geo": surrogates sort above the letters.
    ASSERT_EQ(*globes, (std::vector<std::u16string>{u"Geo", u"\U0001F30E\U0001F30F\U0001F30D"}));
    EXPECT_EQ(Utf8FromUtf16((*globes)[1]), "\xF0\x9F\x8C\x8E\xF0\x9F\x8C\x8F\xF0\x9F\x8C\x8D");
}

TEST(RegistryFiles, ReadAndWrittenThroughThePlatformLayer)
{
    morvane::test::TempDir dir;
    const std::string bytes = DataFile("user.reg");
    morvane::test::writeFile(dir / "user.reg", bytes);
    ::chmod((dir / "user.reg").c_str(), 0640);
    FileSystem files{DriveMap()};

    auto registry = ReadRegistryFile(files, dir / "user.reg");
    ASSERT_TRUE(registry.ok()) << registry.error().describe();
    ASSERT_TRUE(registry->setValue(u"Software\\Wine", RegistryValue::text(u"Version", u"win10")).ok());
    ASSERT_TRUE(WriteRegistryFile(files, dir / "user.reg", *registry).ok());

    const std::string written = morvane::test::readFile(dir / "user.reg");
    EXPECT_NE(written, bytes);
    EXPECT_NE(written.find("\"Version\"=\"win10\"\n"), std::string::npos);
    auto again = ReadRegistryFile(files, dir / "user.reg");
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(*again == *registry);
    // Replaced whole: the permissions stay, and no temporary file is left beside it.
    struct stat st {};
    ASSERT_EQ(::stat((dir / "user.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(morvane::test::folderState(dir.path()).size(), 1u);
}

// A file system that fails to read or write with an errno of the test's choice.
class FailingFiles : public FileSystem {
public:
    explicit FailingFiles(int code) : FileSystem(DriveMap()), m_code(code) {}

    Result<std::string> readFile(std::string_view path) const override
    {
        return errorFromErrno(std::string(path), m_code);
    }
    Status writeFileAtomic(std::string_view path, const std::function<void(const ByteSink&)>& produce) override
    {
        produce([](std::string_view) {});
        return errorFromErrno(std::string(path), m_code);
    }

private:
    int m_code;
};

TEST(RegistryFiles, AFileThatCannotBeReadIsTheSystemsError)
{
    morvane::test::TempDir dir;
    FileSystem files{DriveMap()};
    const struct {
        std::string path;
        ErrorKind kind;
        std::string message;
    } cases[] = {
        {dir / "missing.reg", ErrorKind::NotFound, dir / "missing.reg: No such file or directory"},
        {dir.path(), ErrorKind::Other, dir.path() + ": Is a directory"},
    };
    for (const auto& c : cases) {
        auto registry = ReadRegistryFile(files, c.path);
        ASSERT_FALSE(registry.ok()) << c.path;
        EXPECT_EQ(registry.error().kind, c.kind);
        EXPECT_EQ(registry.error().describe(), c.message);
    }
    auto failing = ReadRegistryFile(FailingFiles(EIO), "/prefix/system.reg");
    ASSERT_FALSE(failing.ok());
    EXPECT_EQ(failing.error().kind, ErrorKind::InputOutput);
    EXPECT_EQ(failing.error().describe(), "/prefix/system.reg: Input/output error");
}

TEST(RegistryFiles, AFailedWriteIsReportedAndLeavesTheOldFile)
{
    morvane::test::TempDir dir;
    const std::string bytes = DataFile("userdef.reg");
    morvane::test::writeFile(dir / "userdef.reg", bytes);
    auto registry = ParseRegistry(bytes);
    ASSERT_TRUE(registry.ok());
    ASSERT_TRUE(registry->deleteKey(u"Software").ok());

    FailingFiles full(ENOSPC);
    const Status written = WriteRegistryFile(full, dir / "userdef.reg", *registry);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().describe(), dir / "userdef.reg: No space left on device");
    EXPECT_EQ(morvane::test::readFile(dir / "userdef.reg"), bytes);

    // Into a folder that is not there: nothing is made.
    FileSystem files{DriveMap()};
    const Status nowhere = WriteRegistryFile(files, dir / "gone/userdef.reg", *registry);
    ASSERT_FALSE(nowhere.ok());
    EXPECT_FALSE(morvane::test::pathExists(dir / "gone"));
}

}  // namespace
}  // namespace morvane::wine
