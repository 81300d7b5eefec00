// What an installation changed in a prefix: the registry changes found between two texts of each file, with key
// times and Wine's own housekeeping left out, and the menu builder's files and folders added.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/wine/registry_support.h"
#include "wine/prefix_state.h"
#include "wine/registry_names.h"
#include "wine/registry_reader.h"

namespace morvane::wine {

// gtest prints a change as its kind, file, key, value and data.
void PrintTo(const RegistryChange& c, std::ostream* out)
{
    static const char* const kKinds[] = {"KeyAdded", "KeyDeleted", "ValueAdded", "ValueChanged", "ValueDeleted"};
    *out << kKinds[static_cast<int>(c.kind)] << ' ' << HiveFileName(c.hive) << " [" << Utf8FromUtf16(c.key) << "] \""
         << Utf8FromUtf16(c.value) << '"';
    if (c.before) {
        *out << " before " << c.before->type << ':' << test::Hex(c.before->data);
    }
    if (c.after) {
        *out << " after " << c.after->type << ':' << test::Hex(c.after->data);
    }
}

namespace {

using K = RegistryChange::Kind;
using morvane::test::TempDir;
using test::Lines;

const std::string kHeader =
    Lines({"WINE REGISTRY Version 2", ";; All keys relative to REGISTRY\\\\Machine", "", "#arch=win64"});

std::string Sz(std::u16string_view text)
{
    return RegistryValue::text(u"", text).data;
}

std::string Dword(std::uint32_t n)
{
    return RegistryValue::dword(u"", n).data;
}

RegistryChange Key(K kind, std::u16string key, Hive hive = Hive::System)
{
    return {kind, hive, std::move(key), u"", std::nullopt, std::nullopt};
}

RegistryChange Value(K kind, std::u16string key, std::u16string name, std::optional<RecordedData> before,
                     std::optional<RecordedData> after, Hive hive = Hive::System)
{
    return {kind, hive, std::move(key), std::move(name), std::move(before), std::move(after)};
}

// The key lines that stay the same in every case.
const std::string kCommon = Lines({
    "",
    "[Software\\\\Classes\\\\.txt] 1796811990",
    "#time=1dd87c7c16b3d94",
    "@=\"txtfile\"",
    "",
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1796811990",
    "#time=1dd87c7c16b3d94",
    "\"Wine\"=\"C:\\\\windows\\\\system32\\\\winemenubuilder.exe\"",
});

struct Case {
    const char* what;
    std::string before;  // key lines after kCommon
    std::string after;
    std::vector<RegistryChange> expected;
};

std::vector<Case> Cases()
{
    const std::u16string run = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    return {
        {"nothing changed", "", "", {}},
        {"a value added",
         "",
         Lines({"", "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1800000000", "#time=1dd87c7c16b3d95",
                "\"App\"=\"C:\\\\App\\\\app.exe\"", "\"Wine\"=\"C:\\\\windows\\\\system32\\\\winemenubuilder.exe\""}),
         {Value(K::ValueAdded, run, u"App", std::nullopt, RecordedData{kRegSz, Sz(u"C:\\App\\app.exe")})}},
        {"a value changed, another deleted, in another letter case",
         Lines({"", "[Software\\\\Vendor] 1796811990", "\"Count\"=dword:00000001", "\"Gone\"=hex:01,02",
                "\"Same\"=str(2):\"%PATH%\""}),
         Lines({"", "[SOFTWARE\\\\VENDOR] 1800000000", "\"COUNT\"=dword:00000002", "\"same\"=str(2):\"%PATH%\""}),
         {Value(K::ValueChanged, u"SOFTWARE\\VENDOR", u"COUNT", RecordedData{kRegDword, Dword(1)},
                RecordedData{kRegDword, Dword(2)}),
          Value(K::ValueDeleted, u"SOFTWARE\\VENDOR", u"Gone", RecordedData{kRegBinary, "\x01\x02"}, std::nullopt)}},
        {"a value's type changed with the same bytes",
         Lines({"", "[Software\\\\Vendor] 1796811990", "\"X\"=hex:01,00,00,00"}),
         Lines({"", "[Software\\\\Vendor] 1796811990", "\"X\"=dword:00000001"}),
         {Value(K::ValueChanged, u"Software\\Vendor", u"X", RecordedData{kRegBinary, Dword(1)},
                RecordedData{kRegDword, Dword(1)})}},
        {"a key added with its values and subkeys, its parent implied",
         "",
         Lines({"", "[Software\\\\Vendor\\\\App] 1800000000", "#time=1dd87c7c16b3d95", "@=\"default\"",
                "\"Path\"=\"C:\\\\App\"", "", "[Software\\\\Vendor\\\\App\\\\Settings\\\\Window] 1800000000",
                "\"Width\"=dword:00000280"}),
         {Key(K::KeyAdded, u"Software\\Vendor"), Key(K::KeyAdded, u"Software\\Vendor\\App"),
          Value(K::ValueAdded, u"Software\\Vendor\\App", u"", std::nullopt, RecordedData{kRegSz, Sz(u"default")}),
          Value(K::ValueAdded, u"Software\\Vendor\\App", u"Path", std::nullopt, RecordedData{kRegSz, Sz(u"C:\\App")}),
          Key(K::KeyAdded, u"Software\\Vendor\\App\\Settings"),
          Key(K::KeyAdded, u"Software\\Vendor\\App\\Settings\\Window"),
          Value(K::ValueAdded, u"Software\\Vendor\\App\\Settings\\Window", u"Width", std::nullopt,
                RecordedData{kRegDword, Dword(640)})}},
        {"a key deleted with its values and subkeys",
         Lines({"", "[Software\\\\Old] 1796811990", "\"A\"=\"a\"", "", "[Software\\\\Old\\\\Sub] 1796811990",
                "#class=\"c\"", "\"B\"=hex(b):01,00,00,00,00,00,00,00"}),
         "",
         {Key(K::KeyDeleted, u"Software\\Old"),
          Value(K::ValueDeleted, u"Software\\Old", u"A", RecordedData{kRegSz, Sz(u"a")}, std::nullopt),
          Key(K::KeyDeleted, u"Software\\Old\\Sub"),
          Value(K::ValueDeleted, u"Software\\Old\\Sub", u"B",
                RecordedData{kRegQword, std::string("\1\0\0\0\0\0\0\0", 8)}, std::nullopt)}},
        {"an implied key that gets values of its own",
         Lines({"", "[Software\\\\Vendor\\\\App] 1796811990", "\"A\"=\"a\""}),
         Lines({"", "[Software\\\\Vendor] 1800000000", "\"Top\"=dword:00000001", "",
                "[Software\\\\Vendor\\\\App] 1796811990", "\"A\"=\"a\""}),
         {Value(K::ValueAdded, u"Software\\Vendor", u"Top", std::nullopt, RecordedData{kRegDword, Dword(1)})}},
        {"the 32-bit view under Wow6432Node",
         "",
         Lines({"", "[Software\\\\Wow6432Node\\\\Vendor] 1800000000", "\"Bits\"=dword:00000020"}),
         {Key(K::KeyAdded, u"Software\\Wow6432Node"), Key(K::KeyAdded, u"Software\\Wow6432Node\\Vendor"),
          Value(K::ValueAdded, u"Software\\Wow6432Node\\Vendor", u"Bits", std::nullopt,
                RecordedData{kRegDword, Dword(32)})}},
        {"only the times changed",
         Lines({"", "[Software\\\\Vendor] 1796811990", "#time=1dd87c7c16b3d94", "\"A\"=\"a\"", "\"L\"=hex:01,02,\\",
                "  03"}),
         Lines({"", "[Software\\\\Vendor] 1800000000", "#time=1dd87c7c16b3d99", "\"A\"=\"a\"", "\"L\"=hex:01,02,03"}),
         {}},
        {"a class changed: no value changed",
         Lines({"", "[Software\\\\Vendor] 1796811990", "\"A\"=\"a\""}),
         Lines({"", "[Software\\\\Vendor] 1796811990", "#class=\"new\"", "\"A\"=\"a\""}),
         {}},
        {"housekeeping: the devices found at start",
         Lines({"", "[System\\\\CurrentControlSet\\\\Enum\\\\DISPLAY\\\\Default_Monitor] 1796811990",
                "\"DriverDateData\"=hex:01"}),
         Lines({"", "[System\\\\CurrentControlSet\\\\Enum\\\\DISPLAY\\\\Default_Monitor] 1800000000",
                "\"DriverDateData\"=hex:02", "", "[System\\\\CurrentControlSet\\\\Enum\\\\HID\\\\New] 1800000000",
                "\"X\"=dword:00000001"}),
         {}},
        {"housekeeping: the network cards, in both views",
         Lines(
             {"", "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards] 1796811990", "",
              "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards\\\\1] 1796811990",
              "\"ServiceName\"=\"x\""}),
         "",
         // The keys that held nothing but the network cards go with them: they are not Wine's housekeeping.
         {Key(K::KeyDeleted, u"Software\\Microsoft\\Windows NT"),
          Key(K::KeyDeleted, u"Software\\Microsoft\\Windows NT\\CurrentVersion"),
          Key(K::KeyDeleted, u"Software\\Wow6432Node"), Key(K::KeyDeleted, u"Software\\Wow6432Node\\Microsoft"),
          Key(K::KeyDeleted, u"Software\\Wow6432Node\\Microsoft\\Windows NT"),
          Key(K::KeyDeleted, u"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion")}},
    };
}

// The keys of the lines in reverse order: the same registry, but not in Wine's order.
std::string Reversed(const std::string& keys)
{
    std::vector<std::string> blocks;
    std::size_t at = 0;
    while (at < keys.size()) {
        const std::size_t next = keys.find("\n\n", at + 1);
        const std::size_t stop = next == std::string::npos ? keys.size() : next + 1;
        blocks.push_back(keys.substr(at, stop - at));
        at = stop;
    }
    std::string out;
    for (auto b = blocks.rbegin(); b != blocks.rend(); ++b) {
        out += *b;
        if (out.back() != '\n') {
            out += '\n';
        }
    }
    return out;
}

PrefixSnapshot Snapshot(std::string systemKeys)
{
    PrefixSnapshot s;
    s.prefix = "/p";
    s.hives[0] = kHeader + systemKeys;
    s.hives[1] = kHeader;
    return s;
}

TEST(FindPrefixChangesTest, RegistryTable)
{
    for (const Case& c : Cases()) {
        // The changes sit among keys that stay, in Wine's order: sorted in with them.
        auto sorted = [](const std::string& keys) {
            const std::string all = kCommon + keys;
            return all;
        };
        auto found = FindPrefixChanges(Snapshot(sorted(c.before)), Snapshot(sorted(c.after)));
        ASSERT_TRUE(found.ok()) << c.what << ": " << found.error().describe();
        EXPECT_EQ(found->registry, c.expected) << c.what;
        EXPECT_EQ(found->arch[0], "win64");
        EXPECT_EQ(found->arch[2], "");

        // The same files with their keys out of Wine's order give the same changes.
        auto unsorted = FindPrefixChanges(Snapshot(Reversed(sorted(c.before))), Snapshot(Reversed(sorted(c.after))));
        ASSERT_TRUE(unsorted.ok()) << c.what << ": " << unsorted.error().describe();
        EXPECT_EQ(unsorted->registry, c.expected) << c.what << " (out of order)";
    }
}

TEST(FindPrefixChangesTest, AFreshPrefixAgainstItselfAndAgainstNothing)
{
    PrefixSnapshot fresh;
    fresh.prefix = "/p";
    fresh.hives[0] = test::DataFile("system.reg");
    fresh.hives[1] = test::DataFile("user.reg");
    fresh.hives[2] = test::DataFile("userdef.reg");
    auto same = FindPrefixChanges(fresh, fresh);
    ASSERT_TRUE(same.ok()) << same.error().describe();
    EXPECT_TRUE(same->empty());

    // From nothing: every key added, the fresh prefix's own hardware keys left out.
    PrefixSnapshot none;
    none.prefix = "/p";
    auto all = FindPrefixChanges(none, fresh);
    ASSERT_TRUE(all.ok()) << all.error().describe();
    auto registry = ParseRegistry(test::DataFile("user.reg"));
    ASSERT_TRUE(registry.ok());
    std::vector<std::u16string> added;
    for (const RegistryChange& change : all->registry) {
        if (change.hive == Hive::User && change.kind == K::KeyAdded) {
            added.push_back(change.key);
        }
    }
    EXPECT_EQ(added, test::AllKeyPaths(*registry));
}

TEST(FindPrefixChangesTest, DamagedRegistryTextsAreRefused)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"no header", "REGEDIT4\n"},
        {"a value before the first key", kHeader + "\"A\"=\"a\"\n"},
        {"a line of nothing known", kHeader + "\n[K] 1\nnonsense\n"},
        {"a key with an empty part", kHeader + "\n[A\\\\\\\\B] 1\n"},
        {"a bad time", kHeader + "\n[K] 1\n#time=xyz\n"},
    };
    for (const auto& [what, text] : cases) {
        PrefixSnapshot bad = Snapshot("");
        bad.hives[0] = text;
        auto found = FindPrefixChanges(Snapshot(""), bad);
        ASSERT_FALSE(found.ok()) << what;
        EXPECT_EQ(found.error().kind, ErrorKind::Damaged) << what;
        EXPECT_EQ(found.error().path, "/p/system.reg") << what;
    }
}

TEST(FindPrefixChangesTest, DesktopEntriesAndFoldersAdded)
{
    PrefixSnapshot before = Snapshot("");
    before.desktop = {{"/h/Desktop/Old.desktop", "1"}, {"/d/applications/wine/Programs/Old/Old.desktop", "2"}};
    before.desktopFolders = {"/d/applications/wine", "/d/applications/wine/Programs"};
    PrefixSnapshot after = before;
    after.desktop = {{"/h/Desktop/Old.desktop", "changed"},
                     {"/h/Desktop/App.desktop", "3"},
                     {"/d/applications/wine/Programs/App/Sub/App.desktop", "4"}};
    after.desktopFolders = {"/d/applications/wine", "/d/applications/wine/Programs",
                            "/d/applications/wine/Programs/App", "/d/applications/wine/Programs/App/Sub",
                            "/d/desktop-directories"};
    auto found = FindPrefixChanges(before, after);
    ASSERT_TRUE(found.ok());
    const std::vector<DesktopEntry> files = {{"/d/applications/wine/Programs/App/Sub/App.desktop", "4"},
                                             {"/h/Desktop/App.desktop", "3"}};
    EXPECT_EQ(found->desktop, files);
    const std::vector<std::string> folders = {"/d/applications/wine/Programs/App/Sub",
                                              "/d/applications/wine/Programs/App", "/d/desktop-directories"};
    EXPECT_EQ(found->desktopFolders, folders);
    EXPECT_TRUE(found->registry.empty());
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(ReadPrefixStateTest, ListsWhatTheMenuBuilderWrites)
{
    TempDir dir;
    const std::string home = dir / "home";
    ScopedEnv homeEnv("HOME", home);
    ScopedEnv dataEnv("XDG_DATA_HOME", dir / "data");
    ScopedEnv configEnv("XDG_CONFIG_HOME", "relative/is/ignored");
    const std::string prefix = dir / "prefix";
    morvane::test::writeFile(prefix + "/system.reg", "system");
    morvane::test::writeFile(prefix + "/user.reg", "user");
    morvane::test::makeDirs(prefix + "/drive_c/users/Public/Desktop");
    morvane::test::makeDirs(prefix + "/drive_c/users/ann");
    morvane::test::makeDirs(home + "/Desktop");
    ASSERT_EQ(::symlink((home + "/Desktop").c_str(), (prefix + "/drive_c/users/ann/Desktop").c_str()), 0);

    morvane::test::writeFile(home + "/Desktop/App.desktop", "launcher");
    morvane::test::writeFile(home + "/Desktop/App.LNK", "shortcut");
    morvane::test::writeFile(home + "/Desktop/notes.txt", "the user's");
    morvane::test::makeDirs(home + "/Desktop/folder");
    const std::string data = dir / "data";
    morvane::test::writeFile(data + "/applications/wine/Programs/App/App.desktop", "entry");
    morvane::test::writeFile(data + "/applications/wine-extension-txt.desktop", "assoc");
    morvane::test::writeFile(data + "/applications/firefox.desktop", "not Wine's");
    morvane::test::writeFile(data + "/desktop-directories/wine-Programs-App.directory", "dir");
    morvane::test::writeFile(data + "/desktop-directories/other.directory", "not Wine's");
    morvane::test::writeFile(data + "/icons/hicolor/32x32/apps/1A2B_app.0.png", "icon");
    morvane::test::writeFile(data + "/mime/packages/x-wine-extension-txt.xml", "mime");
    morvane::test::writeFile(data + "/mime/packages/freedesktop.org.xml", "not Wine's");
    const std::string menus = home + "/.config/menus/applications-merged";
    morvane::test::writeFile(menus + "/wine-Programs-App-App.menu", "menu");
    morvane::test::writeFile(menus + "/other.menu", "not Wine's");
    ASSERT_EQ(::symlink("/nowhere/target", (data + "/applications/wine/Programs/App/link.desktop").c_str()), 0);

    FileSystem fs{DriveMap()};
    const DesktopLocations at = FindDesktopLocations(fs, prefix);
    EXPECT_EQ(at.desktop, home + "/Desktop");
    EXPECT_EQ(at.data, data);
    EXPECT_EQ(at.menus, menus);

    auto state = ReadPrefixState(fs, prefix + "/");
    ASSERT_TRUE(state.ok()) << state.error().describe();
    EXPECT_EQ(state->prefix, prefix);
    EXPECT_EQ(state->hives[0], "system");
    EXPECT_EQ(state->hives[1], "user");
    EXPECT_FALSE(state->hives[2].has_value());
    const std::vector<DesktopEntry> files = {
        {data + "/applications/wine-extension-txt.desktop", ContentHash("assoc")},
        {data + "/applications/wine/Programs/App/App.desktop", ContentHash("entry")},
        {data + "/applications/wine/Programs/App/link.desktop", ContentHash("link -> /nowhere/target")},
        {data + "/desktop-directories/wine-Programs-App.directory", ContentHash("dir")},
        {data + "/icons/hicolor/32x32/apps/1A2B_app.0.png", ContentHash("icon")},
        {data + "/mime/packages/x-wine-extension-txt.xml", ContentHash("mime")},
        {home + "/.config/menus/applications-merged/wine-Programs-App-App.menu", ContentHash("menu")},
        {home + "/Desktop/App.LNK", ContentHash("shortcut")},
        {home + "/Desktop/App.desktop", ContentHash("launcher")},
    };
    EXPECT_EQ(state->desktop, files);
    const std::vector<std::string> folders = {
        data + "/applications",
        data + "/applications/wine",
        data + "/applications/wine/Programs",
        data + "/applications/wine/Programs/App",
        data + "/desktop-directories",
        data + "/icons",
        data + "/icons/hicolor",
        data + "/icons/hicolor/32x32",
        data + "/icons/hicolor/32x32/apps",
        data + "/mime",
        data + "/mime/packages",
        home + "/.config/menus",
        home + "/.config/menus/applications-merged",
    };
    EXPECT_EQ(state->desktopFolders, folders);
}

TEST(ReadPrefixStateTest, MissingLocationsAreEmptyAndUnreadableOnesFail)
{
    TempDir dir;
    ScopedEnv homeEnv("HOME", dir / "home");
    ScopedEnv dataEnv("XDG_DATA_HOME", dir / "data");
    ScopedEnv configEnv("XDG_CONFIG_HOME", dir / "config");
    morvane::test::makeDirs(dir / "prefix");
    FileSystem fs{DriveMap()};
    auto empty = ReadPrefixState(fs, dir / "prefix");
    ASSERT_TRUE(empty.ok()) << empty.error().describe();
    EXPECT_TRUE(empty->desktop.empty());
    EXPECT_TRUE(empty->desktopFolders.empty());
    EXPECT_EQ(FindDesktopLocations(fs, dir / "prefix").desktop, "");

    if (::geteuid() == 0) {
        // Root reads every folder whatever its mode: only the missing case can be seen here.
        return;
    }
    morvane::test::makeDirs(dir / "data/applications/wine");
    ASSERT_EQ(::chmod((dir / "data/applications/wine").c_str(), 0), 0);
    auto failed = ReadPrefixState(fs, dir / "prefix");
    EXPECT_FALSE(failed.ok());
    ::chmod((dir / "data/applications/wine").c_str(), 0700);
}

}  // namespace
}  // namespace morvane::wine
