// A registry changed as an installation and its removal change one: values set and deleted, keys added and deleted,
// in the 64-bit view and in the 32-bit one under Wow6432Node. Untouched keys keep their bytes; touched ones are
// written as Wine writes them, with the time of the change, and Wine's rules for the keys a change touches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/registry_support.h"
#include "wine/registry_names.h"
#include "wine/registry_reader.h"
#include "wine/registry_writer.h"

namespace morvane::wine {
namespace {

using test::FirstDifference;
using test::Lines;

// 1800000000 seconds after 1970, as Wine writes it.
constexpr FileTime kChange = 134444736000000000ULL;

const std::string kBefore = Lines({
    "WINE REGISTRY Version 2",
    ";; All keys relative to REGISTRY\\\\Machine",
    "",
    "#arch=win64",
    "",
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1796811990",
    "#time=1dd87c7c16b3d94",
    "\"Wine\"=\"C:\\\\windows\\\\system32\\\\winemenubuilder.exe\"",
    "",
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Wine Mono] 1796811991",
    "#time=1dd87c7c200fa6e",
    "\"DisplayName\"=\"Wine Mono\"",
    "\"DisplayVersion\"=\"8.0.0\"",
    "",
    "[Software\\\\Vendor\\\\App] 1796811991",
    "#time=1dd87c7c200fa6e",
    "\"InstallDir\"=\"C:\\\\Program Files\\\\App\"",
    "\"Version\"=dword:00000001",
    "",
    "[Software\\\\Vendor\\\\App\\\\Settings] 1796811991",
    "#time=1dd87c7c200fa6e",
    "\"Lang\"=\"en\"",
    "",
    "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1796811990",
    "#time=1dd87c7c16b3d94",
    "",
    "[Software\\\\Wow6432Node\\\\Vendor] 1796811991",
    "#time=1dd87c7c200fa6e",
    "\"Shared\"=hex:01,02",
});

TEST(RegistryChanges, AChangedRegistryIsWrittenAsWineWritesIt)
{
    auto registry = ParseRegistry(kBefore);
    ASSERT_TRUE(registry.ok()) << registry.error().describe();
    registry->setChangeTime(kChange);

    // A value set, one deleted, a key added below a key the file only implies, a key deleted.
    ASSERT_TRUE(registry->setValue(u"SOFTWARE\\vendor\\app", RegistryValue::dword(u"version", 2)).ok());
    ASSERT_TRUE(registry->deleteValue(u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"wine").ok());
    const std::u16string uninstall = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
    ASSERT_TRUE(registry->addKey(uninstall).ok());
    ASSERT_TRUE(registry->setValue(uninstall, RegistryValue::text(u"UninstallString", u"C:\\App\\uninstall.exe")).ok());
    ASSERT_TRUE(registry->setValue(uninstall, RegistryValue::text(u"DisplayName", u"App")).ok());
    ASSERT_TRUE(registry->deleteKey(u"Software\\Vendor\\App\\Settings").ok());
    // The 32-bit view: a key added below a key with values, a value in a key without any.
    ASSERT_TRUE(registry->addKey(u"Software\\Wow6432Node\\Vendor\\App").ok());
    ASSERT_TRUE(registry
                    ->setValue(u"Software\\Wow6432Node\\Vendor\\App",
                               RegistryValue::text(u"InstallDir", u"C:\\Program Files (x86)\\App"))
                    .ok());
    ASSERT_TRUE(registry
                    ->setValue(u"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
                               RegistryValue::text(u"App32", u"C:\\Program Files (x86)\\App\\app.exe"))
                    .ok());

    const std::string expected = Lines({
        "WINE REGISTRY Version 2",
        ";; All keys relative to REGISTRY\\\\Machine",
        "",
        "#arch=win64",
        "",
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1800000000",
        "#time=1dda4c66b338000",
        "",
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] 1800000000",
        "#time=1dda4c66b338000",
        "\"DisplayName\"=\"App\"",
        "\"UninstallString\"=\"C:\\\\App\\\\uninstall.exe\"",
        "",
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Wine Mono] 1796811991",
        "#time=1dd87c7c200fa6e",
        "\"DisplayName\"=\"Wine Mono\"",
        "\"DisplayVersion\"=\"8.0.0\"",
        "",
        "[Software\\\\Vendor\\\\App] 1800000000",
        "#time=1dda4c66b338000",
        "\"InstallDir\"=\"C:\\\\Program Files\\\\App\"",
        "\"Version\"=dword:00000002",
        "",
        "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1800000000",
        "#time=1dda4c66b338000",
        "\"App32\"=\"C:\\\\Program Files (x86)\\\\App\\\\app.exe\"",
        "",
        "[Software\\\\Wow6432Node\\\\Vendor] 1800000000",
        "#time=1dda4c66b338000",
        "\"Shared\"=hex:01,02",
        "",
        "[Software\\\\Wow6432Node\\\\Vendor\\\\App] 1800000000",
        "#time=1dda4c66b338000",
        "\"InstallDir\"=\"C:\\\\Program Files (x86)\\\\App\"",
    });
    const std::string written = FormatRegistry(*registry);
    EXPECT_EQ(FirstDifference(expected, written), "");
    // The 64-bit and the 32-bit App are two keys.
    EXPECT_EQ(registry->findValue(u"Software\\Vendor\\App", u"InstallDir"),
              RegistryValue::text(u"InstallDir", u"C:\\Program Files\\App"));
    EXPECT_EQ(registry->findValue(u"Software\\Wow6432Node\\Vendor\\App", u"InstallDir"),
              RegistryValue::text(u"InstallDir", u"C:\\Program Files (x86)\\App"));
    // What was deleted is gone, what was not touched is still there.
    EXPECT_EQ(registry->findKey(u"Software\\Vendor\\App\\Settings"), std::nullopt);
    EXPECT_EQ(registry->findValue(u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"Wine"), std::nullopt);
    EXPECT_EQ(*registry->subkeys(u"Software\\Vendor\\App"), std::vector<std::u16string>{});

    auto again = ParseRegistry(written);
    ASSERT_TRUE(again.ok()) << again.error().describe();
    EXPECT_TRUE(*again == *registry);
}

TEST(RegistryChanges, OperationsThatChangeNothingLeaveTheBytes)
{
    auto registry = ParseRegistry(kBefore);
    ASSERT_TRUE(registry.ok());
    registry->setChangeTime(kChange);
    // The value as it is (a name in another letter case is the same value), a key that is there.
    ASSERT_TRUE(registry->setValue(u"Software\\Vendor\\App", RegistryValue::dword(u"VERSION", 1)).ok());
    ASSERT_TRUE(registry->addKey(u"software\\vendor\\APP\\settings").ok());
    // Failures change nothing either.
    const struct {
        Status status;
        ErrorKind kind;
        std::string message;
    } failures[] = {
        {registry->setValue(u"Software\\Missing", RegistryValue::dword(u"x", 1)), ErrorKind::NotFound,
         "Software\\Missing: no such key"},
        {registry->deleteValue(u"Software\\Vendor\\App", u"Missing"), ErrorKind::NotFound,
         "Software\\Vendor\\App: no such value: Missing"},
        {registry->deleteValue(u"Software\\Vendor\\App", u""), ErrorKind::NotFound,
         "Software\\Vendor\\App: no such value: @"},
        {registry->deleteValue(u"Software\\Missing", u"x"), ErrorKind::NotFound, "Software\\Missing: no such key"},
        {registry->deleteKey(u"Software\\Vendor\\Missing"), ErrorKind::NotFound,
         "Software\\Vendor\\Missing: no such key"},
        {registry->deleteKey(u""), ErrorKind::Invalid, "the top key cannot be deleted"},
        {registry->addKey(u"Software\\\\Vendor"), ErrorKind::Invalid,
         "Software\\\\Vendor: the key's path has an empty part"},
        {registry->addKey(u"\\Software"), ErrorKind::Invalid, "\\Software: the key's path has an empty part"},
        {registry->deleteKey(u"Software\\"), ErrorKind::Invalid, "Software\\: the key's path has an empty part"},
        {registry->setValue(u"Software\\\\Vendor", RegistryValue::dword(u"x", 1)), ErrorKind::Invalid,
         "Software\\\\Vendor: the key's path has an empty part"},
    };
    for (const auto& f : failures) {
        ASSERT_FALSE(f.status.ok()) << f.message;
        EXPECT_EQ(f.status.error().kind, f.kind) << f.message;
        EXPECT_EQ(f.status.error().describe(), f.message);
    }
    EXPECT_EQ(FirstDifference(kBefore, FormatRegistry(*registry)), "");
}

// The keys a change touches, as Wine touches them: a key that gets or loses a subkey gets the time of the change;
// one left with subkeys and nothing else is not written, and one left with nothing is written again.
TEST(RegistryChanges, AKeyImpliedByItsSubkeysComesAndGoesAsWineWritesIt)
{
    const std::string before = Lines({
        "WINE REGISTRY Version 2",
        "",
        "[Software\\\\Empty] 1796811991",
        "#time=1dd87c7c200fa6e",
        "",
        "[Software\\\\Only\\\\Child] 1796811991",
        "#time=1dd87c7c200fa6e",
        "\"x\"=\"1\"",
    });
    auto registry = ParseRegistry(before);
    ASSERT_TRUE(registry.ok());
    registry->setChangeTime(kChange);
    // "Empty" gets a subkey: implied by it now, it has no lines of its own.
    ASSERT_TRUE(registry->addKey(u"Software\\Empty\\New\\Deeper").ok());
    // "Only" loses its one subkey: with nothing left, it is written.
    ASSERT_TRUE(registry->deleteKey(u"Software\\Only\\Child").ok());
    EXPECT_EQ(FormatRegistry(*registry), Lines({
                                             "WINE REGISTRY Version 2",
                                             "",
                                             "[Software\\\\Empty\\\\New\\\\Deeper] 1800000000",
                                             "#time=1dda4c66b338000",
                                             "",
                                             "[Software\\\\Only] 1800000000",
                                             "#time=1dda4c66b338000",
                                         }));
    // New is there, but as a key the file only implies, it shows no time.
    EXPECT_EQ(registry->findKey(u"Software\\Empty\\New"), (RegistryKey{u"New", std::nullopt, std::nullopt, false}));
    EXPECT_EQ(registry->findKey(u"Software\\Empty\\New\\Deeper")->time, kChange);

    // Everything deleted: the top key, left with nothing, is written as Wine writes it, "[]".
    ASSERT_TRUE(registry->deleteKey(u"Software").ok());
    EXPECT_EQ(FormatRegistry(*registry), "WINE REGISTRY Version 2\n\n[] 1800000000\n#time=1dda4c66b338000\n");
}

// An installation recorded into the prefix's own system.reg and taken back again: the file is the one Wine wrote,
// but for the keys the two changes touched, which have the time of the change.
TEST(RegistryChanges, AnInstallationTakenBackLeavesOnlyTheTouchedKeysTimes)
{
    const std::string original = test::DataFile("system.reg");
    auto registry = ParseRegistry(original);
    ASSERT_TRUE(registry.ok());
    registry->setChangeTime(kChange);
    const std::u16string run = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::u16string uninstall = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    // The 32-bit view of the classes (Software\Wow6432Node\Classes is a link to it).
    const std::u16string classes = u"Software\\Classes\\Wow6432Node\\.app";

    ASSERT_TRUE(registry->setValue(run, RegistryValue::text(u"App", u"C:\\App\\app.exe")).ok());
    ASSERT_TRUE(registry->addKey(uninstall + u"\\App").ok());
    ASSERT_TRUE(registry->setValue(uninstall + u"\\App", RegistryValue::text(u"DisplayName", u"App")).ok());
    ASSERT_TRUE(registry->addKey(classes + u"\\shell\\open\\command").ok());
    const std::string installed = FormatRegistry(*registry);
    // Uninstall, now with a subkey and nothing else, has no lines of its own.
    EXPECT_EQ(installed.find("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall] "), std::string::npos);
    EXPECT_NE(installed.find("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] 1800000000\n"
                             "#time=1dda4c66b338000\n\"DisplayName\"=\"App\"\n"),
              std::string::npos);

    auto reread = ParseRegistry(installed);
    ASSERT_TRUE(reread.ok());
    reread->setChangeTime(kChange);
    ASSERT_TRUE(reread->deleteValue(run, u"App").ok());
    ASSERT_TRUE(reread->deleteKey(uninstall + u"\\App").ok());
    ASSERT_TRUE(reread->deleteKey(classes).ok());
    const std::string removed = FormatRegistry(*reread);

    // Line by line: only the times of Run and Uninstall differ; Classes\Wow6432Node, implied by its other subkeys
    // before and after, has no lines to differ.
    std::vector<std::string> was;
    std::vector<std::string> now;
    for (auto [text, lines] : {std::pair{&original, &was}, std::pair{&removed, &now}}) {
        std::size_t start = 0;
        while (start < text->size()) {
            const std::size_t stop = text->find('\n', start);
            lines->push_back(text->substr(start, stop - start));
            start = stop + 1;
        }
    }
    ASSERT_EQ(was.size(), now.size());
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < was.size(); ++i) {
        if (was[i] != now[i]) {
            changed.push_back(was[i] + " -> " + now[i]);
        }
    }
    EXPECT_EQ(changed, (std::vector<std::string>{
                           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1796811991 -> "
                           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1800000000",
                           "#time=1dd87c7c1fa8dbe -> #time=1dda4c66b338000",
                           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall] 1796811991 -> "
                           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall] 1800000000",
                           "#time=1dd87c7c1fb5866 -> #time=1dda4c66b338000",
                       }));
}

}  // namespace
}  // namespace morvane::wine
