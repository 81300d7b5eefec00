// The companions BEFORE.WINE and AFTER<n>.WINE: written and read back exactly, whatever the names hold, and refused
// as damaged when cut short or crafted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "wine/companion.h"

namespace morvane::wine {
namespace {

using test::TempDir;
using namespace std::string_literals;

constexpr char kHash[] = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

RecordedData Data(std::uint32_t type, std::string bytes)
{
    return RecordedData{type, std::move(bytes)};
}

PrefixSnapshot TrickySnapshot()
{
    PrefixSnapshot s;
    s.prefix = "/home/ann/My \"Wine\" \\ prefix\n\xff\xfe caf\xc3\xa9";
    // A text that looks like the companion's own lines, with NULs, CR LF and no final line feed.
    s.hives[0] = std::string("WINE REGISTRY Version 2\r\nend 3\nhive user.reg none\n\0\0\xff", 49);
    s.hives[2] = "";
    s.desktop = {{"/home/ann/Desktop/App.desktop", kHash},
                 {"/home/ann/Desktop/line\nfeed\ttab\x01.lnk", kHash},
                 {"/home/ann/\xe6\x97\xa5\xe6\x9c\xac/\x80\xc0\xaf.png", kHash}};
    s.desktopFolders = {"/home/ann/.local/share/applications/wine", "/home/ann/a \"quoted\" \\ folder"};
    return s;
}

PrefixChanges TrickyChanges()
{
    PrefixChanges c;
    c.prefix = "/home/ann/.wine";
    c.arch[0] = "win64";
    c.arch[1] = "win32";
    c.arch[2] = "";
    using K = RegistryChange::Kind;
    c.registry = {
        {K::KeyAdded, Hive::System, u"Software\\Vendor", u"", std::nullopt, std::nullopt},
        {K::ValueAdded, Hive::System, u"Software\\Vendor", u"", std::nullopt, Data(kRegSz, std::string("A\0\0\0", 4))},
        {K::ValueAdded, Hive::System, u"Software\\Vendor", u"line\nfeed \"q\" back\\slash", std::nullopt,
         Data(kRegExpandSz, std::string("%\0P\0%\0\0\0", 8))},
        {K::ValueAdded, Hive::System, u"Software\\Vendor", u"caf\u00e9 \u65e5 \U0001F30D \x01\x7f\x85", std::nullopt,
         Data(kRegMultiSz, std::string("a\0\0\0b\0\0\0\0\0", 10))},
        {K::ValueAdded, Hive::System, u"Software\\Vendor", std::u16string(u"lone \xd800 \xdc00 end"), std::nullopt,
         Data(kRegBinary, "\x00\xff\x10")},
        {K::ValueChanged, Hive::User, u"Software\\App", u"Count", Data(kRegDword, std::string("\1\0\0\0", 4)),
         Data(kRegDword, std::string("\2\0\0\0", 4))},
        {K::ValueChanged, Hive::User, u"Software\\App", u"Big", Data(kRegDwordBigEndian, std::string("\0\0\0\1", 4)),
         Data(kRegQword, std::string(8, '\xee'))},
        {K::ValueDeleted, Hive::User, u"Software\\App", u"None", Data(kRegNone, ""), std::nullopt},
        {K::ValueDeleted, Hive::User, u"", u"AtTheTop", Data(kRegLink, "x"), std::nullopt},
        {K::ValueAdded, Hive::UserDefault, u"K", u"odd", std::nullopt, Data(0xffffffff, "\x01")},
        {K::KeyDeleted, Hive::UserDefault, u"Software\\Old\\Key \u00e9", u"", std::nullopt, std::nullopt},
    };
    c.desktop = {{"/home/ann/Desktop/App.desktop", kHash}, {"/home/ann/new\nline\xff.desktop", kHash}};
    c.desktopFolders = {"/home/ann/.local/share/applications/wine/Programs/App", "/home/ann/x"};
    return c;
}

void ExpectSame(const PrefixSnapshot& a, const PrefixSnapshot& b)
{
    EXPECT_EQ(a.prefix, b.prefix);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.hives[i], b.hives[i]) << i;
    }
    EXPECT_EQ(a.desktop, b.desktop);
    EXPECT_EQ(a.desktopFolders, b.desktopFolders);
}

TEST(CompanionTest, BeforeComesBackExactly)
{
    TempDir dir;
    FileSystem fs{DriveMap()};
    const std::vector<PrefixSnapshot> cases = {TrickySnapshot(), PrefixSnapshot{"/p", {}, {}, {}}};
    for (const PrefixSnapshot& snapshot : cases) {
        ASSERT_TRUE(WriteBeforeCompanion(fs, dir / "BEFORE.WINE", snapshot).ok());
        auto read = ReadBeforeCompanion(fs, dir / "BEFORE.WINE");
        ASSERT_TRUE(read.ok()) << read.error().describe();
        ExpectSame(snapshot, *read);
    }
}

TEST(CompanionTest, AfterComesBackExactly)
{
    TempDir dir;
    FileSystem fs{DriveMap()};
    const std::vector<PrefixChanges> cases = {TrickyChanges(), PrefixChanges{"/p", {"", "", ""}, {}, {}, {}}};
    for (const PrefixChanges& changes : cases) {
        ASSERT_TRUE(WriteAfterCompanion(fs, dir / "AFTER3.WINE", changes).ok());
        auto read = ReadAfterCompanion(fs, dir / "AFTER3.WINE");
        ASSERT_TRUE(read.ok()) << read.error().describe();
        EXPECT_EQ(changes, *read);
        auto found = ReadCompanionOfAfterFile(fs, dir / "AFTER3.DAT");
        ASSERT_TRUE(found.ok());
        ASSERT_TRUE(found->has_value());
        EXPECT_EQ(changes, **found);
    }
}

TEST(CompanionTest, WritesTheDocumentedLines)
{
    TempDir dir;
    FileSystem fs{DriveMap()};
    PrefixChanges c;
    c.prefix = "/home/ann/.wine";
    c.arch[0] = "win64";
    c.arch[1] = "win64";
    c.arch[2] = "win64";
    c.registry = {{RegistryChange::Kind::ValueChanged, Hive::User, u"Software\\App", u"", Data(4, "\1\0\0\0"s),
                   Data(4, "\2\0\0\0"s)}};
    c.desktop = {{"/home/ann/Desktop/App 1.desktop", kHash}};
    c.desktopFolders = {"/home/ann/\xff"};
    ASSERT_TRUE(WriteAfterCompanion(fs, dir / "AFTER1.WINE", c).ok());
    EXPECT_EQ(test::readFile(dir / "AFTER1.WINE"),
              "MORVANE WINE 1 AFTER\n"
              "prefix \"/home/ann/.wine\"\n"
              "arch system.reg \"win64\"\n"
              "arch user.reg \"win64\"\n"
              "arch userdef.reg \"win64\"\n"
              "value-changed user.reg \"Software\\\\App\" \"\" before 4:01000000 after 4:02000000\n"
              "file " +
                  std::string(kHash) +
                  " \"/home/ann/Desktop/App 1.desktop\"\n"
                  "folder \"/home/ann/\\xff\"\n"
                  "end 7\n");
}

TEST(CompanionTest, NamesAndMissingCompanions)
{
    EXPECT_EQ(CompanionOf("BEFORE.DAT"), "BEFORE.WINE");
    EXPECT_EQ(CompanionOf("/data/AFTER12.DAT"), "/data/AFTER12.WINE");
    EXPECT_EQ(CompanionOf("/data/AFTERX.DAT"), "");
    EXPECT_EQ(CompanionOf("/data/ZELK.TXT"), "");
    EXPECT_TRUE(IsCompanionFileName("BEFORE.WINE"));
    EXPECT_TRUE(IsCompanionFileName("AFTER7.WINE"));
    EXPECT_FALSE(IsCompanionFileName("AFTER.WINE"));
    EXPECT_FALSE(IsCompanionFileName("before.wine"));
    EXPECT_FALSE(IsCompanionFileName("AFTER7.DAT"));

    TempDir dir;
    FileSystem fs{DriveMap()};
    auto none = ReadCompanionOfAfterFile(fs, dir / "AFTER1.DAT");
    ASSERT_TRUE(none.ok());
    EXPECT_FALSE(none->has_value());
}

// Every line boundary, and a byte into each line, of a companion: a file cut there is refused and names itself.
template <typename Read>
void ExpectEveryCutRefused(const std::string& whole, Read read)
{
    TempDir dir;
    FileSystem fs{DriveMap()};
    const std::string path = dir / "X.WINE";
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (whole[i] == '\n') {
            cuts.push_back(i + 1);
            cuts.push_back(i);
            cuts.push_back(i + 2);
        }
    }
    cuts.push_back(0);
    for (const std::size_t cut : cuts) {
        if (cut >= whole.size()) {
            continue;
        }
        test::writeFile(path, whole.substr(0, cut));
        auto result = read(fs, path);
        ASSERT_FALSE(result.ok()) << "cut at " << cut;
        EXPECT_EQ(result.error().kind, ErrorKind::Damaged) << "cut at " << cut;
        EXPECT_EQ(result.error().path, path);
        EXPECT_EQ(result.error().reason.rfind("line ", 0), 0u) << result.error().reason;
    }
}

TEST(CompanionTest, CutShortIsRefusedAtEveryLine)
{
    TempDir dir;
    FileSystem fs{DriveMap()};
    ASSERT_TRUE(WriteBeforeCompanion(fs, dir / "BEFORE.WINE", TrickySnapshot()).ok());
    ASSERT_TRUE(WriteAfterCompanion(fs, dir / "AFTER1.WINE", TrickyChanges()).ok());
    ExpectEveryCutRefused(test::readFile(dir / "BEFORE.WINE"), ReadBeforeCompanion);
    ExpectEveryCutRefused(test::readFile(dir / "AFTER1.WINE"), ReadAfterCompanion);
}

struct Crafted {
    const char* what;
    std::string from;  // a line of the valid companion...
    std::string to;    // ...and what stands there instead
    int line;          // the line the reason names
};

TEST(CompanionTest, CraftedAfterCompanionsAreRefused)
{
    const std::string valid =
        "MORVANE WINE 1 AFTER\n"
        "prefix \"/home/ann/.wine\"\n"
        "arch system.reg \"win64\"\n"
        "arch user.reg \"win64\"\n"
        "arch userdef.reg \"win64\"\n"
        "key-added system.reg \"Software\\\\Vendor\"\n"
        "value-added system.reg \"Software\\\\Vendor\" \"Path\" after 1:43003a000000\n"
        "value-changed user.reg \"Software\\\\App\" \"\" before 4:01000000 after 4:02000000\n"
        "file " +
        std::string(kHash) +
        " \"/home/ann/Desktop/App.desktop\"\n"
        "folder \"/home/ann/.local/share/applications/wine\"\n"
        "end 9\n";
    const std::vector<Crafted> cases = {
        {"another version", "MORVANE WINE 1 AFTER", "MORVANE WINE 2 AFTER", 1},
        {"a BEFORE companion", "MORVANE WINE 1 AFTER", "MORVANE WINE 1 BEFORE", 1},
        {"a relative prefix", "prefix \"/home", "prefix \"home", 2},
        {"a prefix through ..", "prefix \"/home/ann/.wine\"", "prefix \"/home/../.wine\"", 2},
        {"a prefix with a NUL", "prefix \"/home/ann/.wine\"", "prefix \"/home/ann\\x00/.wine\"", 2},
        {"a prefix with an empty part", "prefix \"/home/ann/.wine\"", "prefix \"/home//.wine\"", 2},
        {"an unknown architecture", "arch user.reg \"win64\"", "arch user.reg \"win16\"", 4},
        {"the files out of order", "arch user.reg", "arch userdef.reg", 4},
        {"an unknown registry file", "key-added system.reg", "key-added sam.reg", 6},
        {"an unknown change", "key-added system.reg", "key-renamed system.reg", 6},
        {"a key with an empty part", "\"Software\\\\Vendor\"\n", "\"Software\\\\\\\\Vendor\"\n", 6},
        {"the top key added", "\"Software\\\\Vendor\"\n", "\"\"\n", 6},
        {"odd hex data", "after 1:43003a000000", "after 1:43003a00000", 7},
        {"upper-case hex data", "after 1:43003a000000", "after 1:43003A000000", 7},
        {"a type with a leading zero", "after 1:43003a000000", "after 01:43003a000000", 7},
        {"a type past 32 bits", "after 1:43003a000000", "after 4294967296:43003a000000", 7},
        {"a type that is no number", "after 1:43003a000000", "after x:43003a000000", 7},
        {"an added value with data before", "\"Path\" after", "\"Path\" before 1: after", 7},
        {"a changed value without data after", " after 4:02000000", "", 8},
        {"text after the change", "after 4:02000000", "after 4:02000000 more", 8},
        {"two spaces between fields", "value-changed user.reg", "value-changed  user.reg", 8},
        {"a bad escape", "\"Path\"", "\"Pa\\qth\"", 7},
        {"a raw control character", "\"Path\"", "\"Pa\tth\"", 7},
        {"bytes that are not UTF-8", "\"Path\"", "\"Pa\xffth\"", 7},
        {"a string not closed", "\"Path\" after 1:43003a000000", "\"Path after 1:43003a000000", 7},
        {"a short \\u escape", "\"Path\"", "\"Pa\\u12th\"", 7},
        {"a short hash", std::string(kHash), std::string(kHash).substr(1), 9},
        {"an upper-case hash", std::string(kHash), "9F" + std::string(kHash).substr(2), 9},
        {"a file through ..", "/Desktop/App.desktop", "/../App.desktop", 9},
        {"a relative file", "\"/home/ann/Desktop/App.desktop\"", "\"App.desktop\"", 9},
        {"a folder before a file", "folder", "folder \"/x\"\nfile " + std::string(kHash) + " \"/y\"\nfolder", 11},
        {"a change after the files", "folder", "key-added user.reg \"K\"\nfolder", 10},
        {"a wrong count", "end 9", "end 8", 11},
        {"a count with a leading zero", "end 9", "end 09", 11},
        {"text after the last line", "end 9\n", "end 9\nmore\n", 12},
        {"a line ending in CR LF", "arch user.reg \"win64\"\n", "arch user.reg \"win64\"\r\n", 4},
        {"an empty line", "arch user.reg \"win64\"\n", "arch user.reg \"win64\"\n\n", 5},
    };
    TempDir dir;
    FileSystem fs{DriveMap()};
    const std::string path = dir / "AFTER1.WINE";
    test::writeFile(path, valid);
    ASSERT_TRUE(ReadAfterCompanion(fs, path).ok()) << ReadAfterCompanion(fs, path).error().describe();
    for (const Crafted& c : cases) {
        std::string text = valid;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.what;
        text.replace(at, c.from.size(), c.to);
        test::writeFile(path, text);
        auto result = ReadAfterCompanion(fs, path);
        ASSERT_FALSE(result.ok()) << c.what;
        EXPECT_EQ(result.error().kind, ErrorKind::Damaged) << c.what;
        EXPECT_EQ(result.error().path, path) << c.what;
        EXPECT_EQ(result.error().reason.rfind("line " + std::to_string(c.line) + ":", 0), 0u)
            << c.what << ": " << result.error().reason;
    }
}

TEST(CompanionTest, CraftedBeforeCompanionsAreRefused)
{
    const std::string valid =
        "MORVANE WINE 1 BEFORE\n"
        "prefix \"/p\"\n"
        "hive system.reg 5\n"
        "ab\ncd\n"
        "hive user.reg none\n"
        "hive userdef.reg 0\n"
        "\n"
        "folder \"/f\"\n"
        "end 5\n";
    const std::vector<Crafted> cases = {
        {"an AFTER companion", "BEFORE", "AFTER", 1},
        {"the files out of order", "hive system.reg", "hive user.reg", 3},
        {"a length past the end", "hive system.reg 5", "hive system.reg 500", 3},
        {"a length that ends in the text", "hive system.reg 5", "hive system.reg 4", 3},
        {"a length with a leading zero", "hive system.reg 5", "hive system.reg 05", 3},
        {"a length that is no number", "hive system.reg 5", "hive system.reg -5", 3},
        {"a file named twice", "hive user.reg none", "hive system.reg none", 6},
        {"a registry change", "folder", "key-added user.reg \"K\"\nfolder", 9},
        {"a wrong count", "end 5", "end 6", 10},
    };
    TempDir dir;
    FileSystem fs{DriveMap()};
    const std::string path = dir / "BEFORE.WINE";
    test::writeFile(path, valid);
    auto good = ReadBeforeCompanion(fs, path);
    ASSERT_TRUE(good.ok()) << good.error().describe();
    EXPECT_EQ(good->hives[0], "ab\ncd");
    EXPECT_EQ(good->hives[2], "");
    EXPECT_FALSE(good->hives[1].has_value());
    for (const Crafted& c : cases) {
        std::string text = valid;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.what;
        text.replace(at, c.from.size(), c.to);
        test::writeFile(path, text);
        auto result = ReadBeforeCompanion(fs, path);
        ASSERT_FALSE(result.ok()) << c.what;
        EXPECT_EQ(result.error().kind, ErrorKind::Damaged) << c.what;
        EXPECT_EQ(result.error().reason.rfind("line " + std::to_string(c.line) + ":", 0), 0u)
            << c.what << ": " << result.error().reason;
    }
}

}  // namespace
}  // namespace morvane::wine
