// Taking back what an installation changed in a Wine prefix: the plan, three-way from before the installation (B),
// after it (A) and now (C), one table row per case; then the plan carried out on registry files of a real prefix
// and on desktop entries in a temporary folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/wine/registry_support.h"
#include "wine/prefix_state.h"
#include "wine/registry_names.h"
#include "wine/registry_reader.h"
#include "wine/registry_writer.h"

namespace morvane::wine {
namespace {

using Kind = RegistryChange::Kind;
using StepKind = RevertStep::Kind;
// The temporary folders and files of every test (tests/support/temp_dir.h).
namespace disk = morvane::test;
using test::DataFile;
using test::Hex;

const char* KindName(StepKind kind)
{
    switch (kind) {
    case StepKind::DeleteValue: return "DeleteValue";
    case StepKind::RestoreValue: return "RestoreValue";
    case StepKind::AddKey: return "AddKey";
    case StepKind::DeleteKey: return "DeleteKey";
    case StepKind::KeepValue: return "KeepValue";
    case StepKind::KeepKey: return "KeepKey";
    case StepKind::DeleteFile: return "DeleteFile";
    case StepKind::KeepFile: return "KeepFile";
    case StepKind::RemoveFolder: return "RemoveFolder";
    }
    return "?";
}

const char* HiveName(Hive hive)
{
    switch (hive) {
    case Hive::System: return "system";
    case Hive::User: return "user";
    case Hive::UserDefault: return "userdef";
    }
    return "?";
}

// "RestoreValue system Software\Vendor "Version" = 4:[01 00 00 00]", "DeleteFile /d/x.desktop": a step as a line,
// so that a table row reads as the plan it expects. Data is shown for RestoreValue, where it is what goes back.
std::string Describe(const RevertStep& step)
{
    std::string line = KindName(step.kind);
    switch (step.kind) {
    case StepKind::DeleteFile:
    case StepKind::KeepFile:
    case StepKind::RemoveFolder: return line + " " + step.path;
    case StepKind::AddKey:
    case StepKind::DeleteKey:
    case StepKind::KeepKey: return line + " " + HiveName(step.hive) + " " + Utf8FromUtf16(step.key);
    default: break;
    }
    line += std::string(" ") + HiveName(step.hive) + " " + Utf8FromUtf16(step.key) + " \"" + Utf8FromUtf16(step.value) +
            "\"";
    if (step.kind == StepKind::RestoreValue && step.data) {
        line += " = " + std::to_string(step.data->type) + ":[" + Hex(step.data->data) + "]";
    }
    return line;
}

std::vector<std::string> Describe(const RevertPlan& plan)
{
    std::vector<std::string> lines;
    for (const RevertStep& step : plan.steps) {
        lines.push_back(Describe(step));
    }
    return lines;
}

RecordedData Sz(std::u16string_view text)
{
    const RegistryValue v = RegistryValue::text(u"", text);
    return RecordedData{v.type, v.data};
}

RecordedData Dword(std::uint32_t number)
{
    const RegistryValue v = RegistryValue::dword(u"", number);
    return RecordedData{v.type, v.data};
}

RegistryChange KeyAdded(Hive hive, std::u16string key)
{
    return RegistryChange{Kind::KeyAdded, hive, std::move(key), {}, std::nullopt, std::nullopt};
}

RegistryChange KeyDeleted(Hive hive, std::u16string key)
{
    return RegistryChange{Kind::KeyDeleted, hive, std::move(key), {}, std::nullopt, std::nullopt};
}

RegistryChange ValueAdded(Hive hive, std::u16string key, std::u16string value, RecordedData after)
{
    return RegistryChange{Kind::ValueAdded, hive, std::move(key), std::move(value), std::nullopt, std::move(after)};
}

RegistryChange ValueChanged(Hive hive, std::u16string key, std::u16string value, RecordedData before,
                            RecordedData after)
{
    return RegistryChange{Kind::ValueChanged, hive, std::move(key), std::move(value), std::move(before),
                          std::move(after)};
}

RegistryChange ValueDeleted(Hive hive, std::u16string key, std::u16string value, RecordedData before)
{
    return RegistryChange{Kind::ValueDeleted, hive, std::move(key), std::move(value), std::move(before), std::nullopt};
}

constexpr Hive kSystem = Hive::System;
constexpr Hive kUser = Hive::User;

// A registry file's text: Wine's header lines for the hive, then the keys' lines as given.
std::string SystemReg(std::initializer_list<std::string_view> keys)
{
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
    for (const std::string_view line : keys) {
        text += line;
        text += '\n';
    }
    return text;
}

// One key of a registry in memory, its values set: for names full of backslashes, which the text would escape.
struct KeyValues {
    std::u16string key;
    std::vector<RegistryValue> values;
};

std::string RegText(const std::vector<KeyValues>& keys)
{
    Registry registry;
    registry.setChangeTime(FileTimeFromUnix(1800000000));
    for (const KeyValues& key : keys) {
        EXPECT_TRUE(registry.addKey(key.key).ok());
        for (const RegistryValue& value : key.values) {
            EXPECT_TRUE(registry.setValue(key.key, value).ok());
        }
    }
    return FormatRegistry(registry);
}

PrefixSnapshot Now(std::string system, std::string user = SystemReg({}), std::string userdef = SystemReg({}))
{
    PrefixSnapshot now;
    now.prefix = "/prefix";
    now.hives[0] = std::move(system);
    now.hives[1] = std::move(user);
    now.hives[2] = std::move(userdef);
    return now;
}

// ---------------------------------------------------------------------------------------------------------------
// The registry, three-way: one row per case.

struct RegistryRow {
    const char* name;
    std::vector<RegistryChange> changes;
    std::string systemNow;  // system.reg as it is now
    std::vector<std::string> expected;
};

const std::vector<RegistryRow>& RegistryRows()
{
    static const std::vector<RegistryRow> rows = {
        {"added-unchanged",
         {ValueAdded(kSystem, u"Software\\Vendor", u"Path", Sz(u"C:\\App"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Other\"=dword:00000001", "\"Path\"=\"C:\\\\App\""}),
         {"DeleteValue system Software\\Vendor \"Path\""}},
        {"added-then-edited",
         {ValueAdded(kSystem, u"Software\\Vendor", u"Path", Sz(u"C:\\App"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Path\"=\"D:\\\\Elsewhere\""}),
         {"KeepValue system Software\\Vendor \"Path\""}},
        {"added-then-edited-type-only",
         {ValueAdded(kSystem, u"Software\\Vendor", u"Path", Sz(u"C:\\App"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Path\"=str(2):\"C:\\\\App\""}),
         {"KeepValue system Software\\Vendor \"Path\""}},
        {"added-then-deleted-by-user",
         {ValueAdded(kSystem, u"Software\\Vendor", u"Path", Sz(u"C:\\App"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Other\"=dword:00000001"}),
         {}},
        {"changed-unchanged",
         {ValueChanged(kSystem, u"Software\\Vendor", u"Version", Dword(1), Dword(2))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Version\"=dword:00000002"}),
         {"RestoreValue system Software\\Vendor \"Version\" = 4:[01 00 00 00]"}},
        {"changed-then-edited",
         {ValueChanged(kSystem, u"Software\\Vendor", u"Version", Dword(1), Dword(2))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Version\"=dword:00000003"}),
         {"KeepValue system Software\\Vendor \"Version\""}},
        {"changed-then-put-back-by-user",
         {ValueChanged(kSystem, u"Software\\Vendor", u"Version", Dword(1), Dword(2))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Version\"=dword:00000001"}),
         {}},
        {"changed-then-deleted-by-user",
         {ValueChanged(kSystem, u"Software\\Vendor", u"Version", Dword(1), Dword(2))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Other\"=dword:00000001"}),
         {"KeepValue system Software\\Vendor \"Version\""}},
        {"deleted-value-back",
         {ValueDeleted(kSystem, u"Software\\Vendor", u"Lang", Sz(u"en"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Other\"=dword:00000001"}),
         {"RestoreValue system Software\\Vendor \"Lang\" = 1:[65 00 6e 00 00 00]"}},
        {"deleted-value-but-exists-now",
         {ValueDeleted(kSystem, u"Software\\Vendor", u"Lang", Sz(u"en"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Lang\"=\"fr\""}),
         {"KeepValue system Software\\Vendor \"Lang\""}},
        {"deleted-value-already-back",
         {ValueDeleted(kSystem, u"Software\\Vendor", u"Lang", Sz(u"en"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Lang\"=\"en\""}),
         {}},
        {"deleted-value-whose-key-is-gone",
         {ValueDeleted(kSystem, u"Software\\Vendor\\Settings", u"Lang", Sz(u"en"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Other\"=dword:00000001"}),
         {"AddKey system Software\\Vendor\\Settings",
          "RestoreValue system Software\\Vendor\\Settings \"Lang\" = 1:[65 00 6e 00 00 00]"}},
        {"deleted-key-back-with-values",
         {KeyDeleted(kSystem, u"Software\\Vendor\\Old"), ValueDeleted(kSystem, u"Software\\Vendor\\Old", u"", Sz(u"x")),
          ValueDeleted(kSystem, u"Software\\Vendor\\Old", u"A", Dword(7)),
          KeyDeleted(kSystem, u"Software\\Vendor\\Old\\Empty"), KeyDeleted(kSystem, u"Software\\Vendor\\Old\\Sub"),
          ValueDeleted(kSystem, u"Software\\Vendor\\Old\\Sub", u"B", Dword(8))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Other\"=dword:00000001"}),
         {"AddKey system Software\\Vendor\\Old", "RestoreValue system Software\\Vendor\\Old \"\" = 1:[78 00 00 00]",
          "RestoreValue system Software\\Vendor\\Old \"A\" = 4:[07 00 00 00]",
          "AddKey system Software\\Vendor\\Old\\Empty", "AddKey system Software\\Vendor\\Old\\Sub",
          "RestoreValue system Software\\Vendor\\Old\\Sub \"B\" = 4:[08 00 00 00]"}},
        {"deleted-key-there-again-otherwise",
         {KeyDeleted(kSystem, u"Software\\Vendor\\Old"),
          ValueDeleted(kSystem, u"Software\\Vendor\\Old", u"A", Dword(7)),
          KeyDeleted(kSystem, u"Software\\Vendor\\Old\\Sub"),
          ValueDeleted(kSystem, u"Software\\Vendor\\Old\\Sub", u"B", Dword(8))},
         SystemReg({"[Software\\\\Vendor\\\\Old] 1800000000", "\"New\"=dword:00000009"}),
         {"KeepKey system Software\\Vendor\\Old"}},
        {"deleted-key-already-back",
         {KeyDeleted(kSystem, u"Software\\Vendor\\Old"),
          ValueDeleted(kSystem, u"Software\\Vendor\\Old", u"A", Dword(7))},
         SystemReg({"[Software\\\\Vendor\\\\Old] 1800000000", "\"A\"=dword:00000007"}),
         {}},
        {"added-key-emptied",
         {KeyAdded(kSystem, u"Software\\Vendor\\App"),
          ValueAdded(kSystem, u"Software\\Vendor\\App", u"Path", Sz(u"C:"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Other\"=dword:00000001", "",
                    "[Software\\\\Vendor\\\\App] 1800000000", "\"Path\"=\"C:\""}),
         {"DeleteValue system Software\\Vendor\\App \"Path\"", "DeleteKey system Software\\Vendor\\App"}},
        {"added-key-holding-a-user-value",
         {KeyAdded(kSystem, u"Software\\Vendor\\App"),
          ValueAdded(kSystem, u"Software\\Vendor\\App", u"Path", Sz(u"C:"))},
         SystemReg({"[Software\\\\Vendor\\\\App] 1800000000", "\"Path\"=\"C:\"", "\"Theme\"=\"dark\""}),
         {"DeleteValue system Software\\Vendor\\App \"Path\"", "KeepKey system Software\\Vendor\\App"}},
        {"added-key-holding-an-edited-value",
         {KeyAdded(kSystem, u"Software\\Vendor\\App"),
          ValueAdded(kSystem, u"Software\\Vendor\\App", u"Path", Sz(u"C:"))},
         SystemReg({"[Software\\\\Vendor\\\\App] 1800000000", "\"Path\"=\"D:\""}),
         {"KeepValue system Software\\Vendor\\App \"Path\"", "KeepKey system Software\\Vendor\\App"}},
        {"added-key-gone-already",
         {KeyAdded(kSystem, u"Software\\Vendor\\App"),
          ValueAdded(kSystem, u"Software\\Vendor\\App", u"Path", Sz(u"C:"))},
         SystemReg({"[Software\\\\Vendor] 1800000000", "\"Other\"=dword:00000001"}),
         {}},
        {"nested-added-keys-deepest-first",
         {KeyAdded(kSystem, u"Software\\NewVendor"), KeyAdded(kSystem, u"Software\\NewVendor\\App"),
          ValueAdded(kSystem, u"Software\\NewVendor\\App", u"Path", Sz(u"C:")),
          KeyAdded(kSystem, u"Software\\NewVendor\\App\\Settings"),
          ValueAdded(kSystem, u"Software\\NewVendor\\App\\Settings", u"Lang", Sz(u"en"))},
         SystemReg({"[Software\\\\NewVendor\\\\App] 1800000000", "\"Path\"=\"C:\"", "",
                    "[Software\\\\NewVendor\\\\App\\\\Settings] 1800000000", "\"Lang\"=\"en\""}),
         {"DeleteValue system Software\\NewVendor\\App \"Path\"",
          "DeleteValue system Software\\NewVendor\\App\\Settings \"Lang\"",
          "DeleteKey system Software\\NewVendor\\App\\Settings", "DeleteKey system Software\\NewVendor\\App",
          "DeleteKey system Software\\NewVendor"}},
        {"nested-added-keys-one-holding-a-user-subkey",
         {KeyAdded(kSystem, u"Software\\NewVendor"), KeyAdded(kSystem, u"Software\\NewVendor\\App"),
          KeyAdded(kSystem, u"Software\\NewVendor\\App\\Settings"),
          ValueAdded(kSystem, u"Software\\NewVendor\\App\\Settings", u"Lang", Sz(u"en")),
          KeyAdded(kSystem, u"Software\\NewVendor\\Tools")},
         SystemReg({"[Software\\\\NewVendor\\\\App\\\\Settings] 1800000000", "\"Lang\"=\"en\"", "",
                    "[Software\\\\NewVendor\\\\App\\\\Settings\\\\Mine] 1800000000", "\"X\"=dword:00000001", "",
                    "[Software\\\\NewVendor\\\\Tools] 1800000000"}),
         {"DeleteValue system Software\\NewVendor\\App\\Settings \"Lang\"",
          "KeepKey system Software\\NewVendor\\App\\Settings", "DeleteKey system Software\\NewVendor\\Tools"}},
        {"key-existing-at-B-never-deleted",
         {ValueAdded(kSystem, u"Software\\Vendor", u"Path", Sz(u"C:")),
          ValueChanged(kSystem, u"Software\\Shared", u"Count", Dword(1), Dword(2)),
          // A record that wrongly calls a key added that held a value before is not believed.
          KeyAdded(kSystem, u"Software\\Shared")},
         SystemReg({"[Software\\\\Shared] 1800000000", "\"Count\"=dword:00000002", "",
                    "[Software\\\\Vendor] 1800000000", "\"Path\"=\"C:\""}),
         {"DeleteValue system Software\\Vendor \"Path\"",
          "RestoreValue system Software\\Shared \"Count\" = 4:[01 00 00 00]"}},
        {"case-different-names",
         {KeyAdded(kSystem, u"Software\\Vendor\\App"),
          ValueAdded(kSystem, u"Software\\Vendor\\App", u"Path", Sz(u"C:")),
          ValueChanged(kSystem, u"Software\\Vendor", u"Version", Dword(1), Dword(2))},
         SystemReg({"[SOFTWARE\\\\VENDOR] 1800000000", "\"VERSION\"=dword:00000002", "",
                    "[SOFTWARE\\\\VENDOR\\\\app] 1800000000", "\"PATH\"=\"C:\""}),
         {"DeleteValue system Software\\Vendor\\App \"Path\"",
          "RestoreValue system Software\\Vendor \"Version\" = 4:[01 00 00 00]",
          "DeleteKey system Software\\Vendor\\App"}},
        {"32-bit-view-under-Wow6432Node",
         {KeyAdded(kSystem, u"Software\\Wow6432Node\\Vendor"), KeyAdded(kSystem, u"Software\\Wow6432Node\\Vendor\\App"),
          ValueAdded(kSystem, u"Software\\Wow6432Node\\Vendor\\App", u"Path", Sz(u"C:")),
          ValueAdded(kSystem, u"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", u"App",
                     Sz(u"C:\\App\\app.exe"))},
         SystemReg({"[Software\\\\Vendor\\\\App] 1800000000", "\"Path\"=\"C:\"", "",
                    "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1800000000",
                    "\"App\"=\"C:\\\\App\\\\app.exe\"", "", "[Software\\\\Wow6432Node\\\\Vendor\\\\App] 1800000000",
                    "\"Path\"=\"C:\""}),
         {"DeleteValue system Software\\Wow6432Node\\Vendor\\App \"Path\"",
          "DeleteValue system Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run \"App\"",
          "DeleteKey system Software\\Wow6432Node\\Vendor\\App", "DeleteKey system Software\\Wow6432Node\\Vendor"}},
        {"file-that-cannot-be-read-now",
         // Planned as if nothing changed since; carrying it out then fails on the file and changes nothing.
         {KeyAdded(kSystem, u"Software\\Vendor\\App"),
          ValueAdded(kSystem, u"Software\\Vendor\\App", u"Path", Sz(u"C:")),
          ValueChanged(kSystem, u"Software\\Vendor", u"Version", Dword(1), Dword(2)),
          KeyDeleted(kSystem, u"Software\\Vendor\\Old"),
          ValueDeleted(kSystem, u"Software\\Vendor\\Old", u"A", Dword(7))},
         "not a registry file\n",
         {"DeleteValue system Software\\Vendor\\App \"Path\"",
          "RestoreValue system Software\\Vendor \"Version\" = 4:[01 00 00 00]", "AddKey system Software\\Vendor\\Old",
          "RestoreValue system Software\\Vendor\\Old \"A\" = 4:[07 00 00 00]",
          "DeleteKey system Software\\Vendor\\App"}},
    };
    return rows;
}

TEST(PrefixRevertPlan, RegistryThreeWay)
{
    for (const RegistryRow& row : RegistryRows()) {
        SCOPED_TRACE(row.name);
        PrefixChanges changes;
        changes.prefix = "/prefix";
        changes.registry = row.changes;
        const RevertPlan plan = PlanPrefixRevert(changes, Now(row.systemNow));
        EXPECT_EQ(Describe(plan), row.expected);
        EXPECT_FALSE(plan.refreshDesktopDatabase);
        EXPECT_FALSE(plan.refreshMimeDatabase);
    }
}

// What goes is checked again when the plan is carried out: a DeleteValue carries the data it found.
TEST(PrefixRevertPlan, DeleteValueCarriesWhatItFound)
{
    PrefixChanges changes;
    changes.registry = {ValueAdded(kSystem, u"Software\\Vendor", u"Path", Sz(u"C:"))};
    const RevertPlan plan =
        PlanPrefixRevert(changes, Now(SystemReg({"[Software\\\\Vendor] 1800000000", "\"Path\"=\"C:\""})));
    ASSERT_EQ(plan.steps.size(), 1u);
    ASSERT_TRUE(plan.steps[0].data.has_value());
    EXPECT_EQ(*plan.steps[0].data, Sz(u"C:"));
}

// The other hives: each change is taken back in its own file, and a hive without changes has no steps.
TEST(PrefixRevertPlan, EachHiveInItsOwnFile)
{
    PrefixChanges changes;
    changes.registry = {ValueAdded(kUser, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"App", Sz(u"a.exe")),
                        ValueAdded(Hive::UserDefault, u"Software\\Vendor", u"X", Dword(1))};
    const std::string run = RegText({{u"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                      {RegistryValue::text(u"App", u"a.exe"), RegistryValue::text(u"Other", u"b")}}});
    const std::string vendor = RegText({{u"Software\\Vendor", {RegistryValue::dword(u"X", 1)}}});
    const RevertPlan plan = PlanPrefixRevert(changes, Now(run, run, vendor));
    EXPECT_EQ(Describe(plan), (std::vector<std::string>{
                                  "DeleteValue user Software\\Microsoft\\Windows\\CurrentVersion\\Run \"App\"",
                                  "DeleteValue userdef Software\\Vendor \"X\"",
                              }));
}

// ---------------------------------------------------------------------------------------------------------------
// Desktop entries and Wine's own records of them.

const std::string kData = "/home/a/.local/share";
const std::string kMenus = "/home/a/.config/menus/applications-merged";
const std::string kLauncher = kData + "/applications/wine/Programs/App/App.desktop";
const std::string kMenu = kMenus + "/wine-Programs-App-App.menu";
const std::string kIcon = kData + "/icons/hicolor/48x48/apps/1A2B_app.0.png";
const std::string kOnDesktop = "/home/a/Desktop/App.desktop";

// A value of Wine's MenuFiles: named after the file as Wine names it, its data the shortcut.
RegistryValue MenuFile(std::string_view hostPath, std::u16string_view lnk)
{
    std::u16string name = u"\\\\?\\unix";
    for (const char16_t unit : Utf16FromUtf8(hostPath)) {
        name.push_back(unit == u'/' ? u'\\' : unit);
    }
    return RegistryValue::text(std::move(name), lnk);
}

const std::u16string kLnk = u"C:\\users\\a\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\App\\App.lnk";

struct DesktopRow {
    const char* name;
    PrefixChanges changes;
    PrefixSnapshot now;
    std::vector<std::string> expected;
    bool refreshDesktop = false;
    bool refreshMime = false;
};

PrefixChanges Entries(std::vector<DesktopEntry> entries, std::vector<std::string> folders = {})
{
    PrefixChanges changes;
    changes.prefix = "/prefix";
    changes.desktop = std::move(entries);
    changes.desktopFolders = std::move(folders);
    return changes;
}

PrefixSnapshot Files(std::vector<DesktopEntry> entries, std::vector<std::string> folders = {},
                     std::string user = SystemReg({}), std::string system = SystemReg({}))
{
    PrefixSnapshot now = Now(std::move(system), std::move(user));
    now.desktop = std::move(entries);
    now.desktopFolders = std::move(folders);
    return now;
}

// The installation added ".Foo" (system.reg) with its ProgID; Wine built the association at a later session.
PrefixChanges AddedExtension()
{
    PrefixChanges changes = Entries({{kLauncher, "h1"}});
    changes.registry = {KeyAdded(kSystem, u"Software\\Classes\\.Foo"),
                        ValueAdded(kSystem, u"Software\\Classes\\.Foo", u"", Sz(u"App.Document"))};
    return changes;
}

const std::string kAssocDesktop = kData + "/applications/wine-extension-foo.desktop";
const std::string kAssocMime = kData + "/mime/packages/x-wine-extension-foo.xml";
const std::string kOtherMime = kData + "/mime/packages/x-wine-extension-bar.xml";

std::string UserWithAssociation()
{
    return RegText({{u"Software\\Wine\\FileOpenAssociations\\.foo",
                     {RegistryValue::text(u"AppName", u"App"),
                      RegistryValue::text(u"DesktopFile",
                                          u"\\\\?\\unix\\home\\a\\.local\\share\\applications\\"
                                          u"wine-extension-foo.desktop"),
                      RegistryValue::text(u"MimeType", u"application/x-wine-extension-foo"),
                      RegistryValue::text(u"ProgID", u"App.Document")}},
                    {u"Software\\Wine\\FileOpenAssociations\\.bar", {RegistryValue::text(u"AppName", u"Other")}}});
}

std::vector<DesktopRow> DesktopRows()
{
    std::vector<DesktopRow> rows;
    rows.push_back(
        {"unchanged-file-deleted",
         Entries({{kLauncher, "h1"}, {kMenu, "h2"}, {kIcon, "h3"}, {kOnDesktop, "h4"}}),
         Files({{kLauncher, "h1"}, {kMenu, "h2"}, {kIcon, "h3"}, {kOnDesktop, "h4"}}),
         {"DeleteFile " + kLauncher, "DeleteFile " + kMenu, "DeleteFile " + kIcon, "DeleteFile " + kOnDesktop},
         true,
         false});
    rows.push_back({"changed-file-kept",
                    Entries({{kLauncher, "h1"}}),
                    Files({{kLauncher, "edited"}}),
                    {"KeepFile " + kLauncher},
                    false,
                    false});
    rows.push_back({"gone-file", Entries({{kLauncher, "h1"}}), Files({}), {}, false, false});
    rows.push_back({"a-file-only-named-alike-is-not-the-entry",
                    Entries({{kLauncher, "h1"}}),
                    Files({{kData + "/applications/wine/Programs/App/app.desktop", "h1"}}),
                    {},
                    false,
                    false});
    {
        DesktopRow row{"later-association-files-for-an-added-extension",
                       AddedExtension(),
                       Files({{kAssocDesktop, "h5"}, {kAssocMime, "h6"}, {kOtherMime, "h7"}, {kLauncher, "h1"}}, {},
                             UserWithAssociation(),
                             RegText({{u"Software\\Classes\\.Foo", {RegistryValue::text(u"", u"App.Document")}}})),
                       {"DeleteValue system Software\\Classes\\.Foo \"\"", "DeleteKey system Software\\Classes\\.Foo",
                        "DeleteValue user Software\\Wine\\FileOpenAssociations\\.foo \"AppName\"",
                        "DeleteValue user Software\\Wine\\FileOpenAssociations\\.foo \"DesktopFile\"",
                        "DeleteValue user Software\\Wine\\FileOpenAssociations\\.foo \"MimeType\"",
                        "DeleteValue user Software\\Wine\\FileOpenAssociations\\.foo \"ProgID\"",
                        "DeleteKey user Software\\Wine\\FileOpenAssociations\\.foo", "DeleteFile " + kLauncher,
                        "DeleteFile " + kAssocDesktop, "DeleteFile " + kAssocMime},
                       true,
                       true};
        rows.push_back(std::move(row));
    }
    {
        // The user changed what .Foo opens with: the association stays, and Wine's files and record of it.
        DesktopRow row{"association-of-a-kept-extension-stays",
                       AddedExtension(),
                       Files({{kAssocDesktop, "h5"}, {kAssocMime, "h6"}, {kLauncher, "h1"}}, {}, UserWithAssociation(),
                             RegText({{u"Software\\Classes\\.Foo", {RegistryValue::text(u"", u"Other.Document")}}})),
                       {"KeepValue system Software\\Classes\\.Foo \"\"", "KeepKey system Software\\Classes\\.Foo",
                        "DeleteFile " + kLauncher},
                       true,
                       false};
        rows.push_back(std::move(row));
    }
    {
        // The same extension is associated in user.reg as well: HKEY_CLASSES_ROOT still has it.
        std::string user = RegText({{u"Software\\Classes\\.foo", {RegistryValue::text(u"", u"Mine")}}});
        DesktopRow row{"association-the-other-hive-keeps",
                       AddedExtension(),
                       Files({{kAssocDesktop, "h5"}}, {}, user,
                             RegText({{u"Software\\Classes\\.Foo", {RegistryValue::text(u"", u"App.Document")}}})),
                       {"DeleteValue system Software\\Classes\\.Foo \"\"", "DeleteKey system Software\\Classes\\.Foo"},
                       false,
                       false};
        rows.push_back(std::move(row));
    }
    {
        const std::string oldStyle = kData + "/applications/wine/Programs/App/Readme.desktop";
        const std::string user = RegText({{u"Software\\Wine\\MenuFiles",
                                           {MenuFile(kLauncher, kLnk), MenuFile(kMenu, kLnk),
                                            MenuFile(kData + "/applications/wine/Programs/Other/Other.desktop", u"x"),
                                            RegistryValue::text(Utf16FromUtf8(oldStyle), u"C:\\readme.lnk")}}});
        DesktopRow row{
            "MenuFiles-values-removed",
            Entries({{kLauncher, "h1"}, {kMenu, "h2"}, {oldStyle, "h8"}}),
            // The menu file was changed since and is kept: its record goes all the same, or Wine's next
            // session would delete it once it finds the .lnk gone. The old-style entry is gone already.
            Files({{kLauncher, "h1"}, {kMenu, "edited"}}, {}, user),
            // In Wine's order: "/" sorts before "\\", and ".config" before ".local".
            {"DeleteValue user Software\\Wine\\MenuFiles \"" + oldStyle + "\"",
             "DeleteValue user Software\\Wine\\MenuFiles \"" + Utf8FromUtf16(MenuFile(kMenu, kLnk).name) + "\"",
             "DeleteValue user Software\\Wine\\MenuFiles \"" + Utf8FromUtf16(MenuFile(kLauncher, kLnk).name) + "\"",
             "DeleteFile " + kLauncher, "KeepFile " + kMenu},
            true,
            false};
        rows.push_back(std::move(row));
    }
    {
        const std::string programs = kData + "/applications/wine/Programs";
        const std::string app = programs + "/App";
        DesktopRow row{"folders-deepest-first-where-still-there",
                       Entries({{kLauncher, "h1"}}, {app, kData + "/desktop-directories", programs}),
                       Files({{kLauncher, "h1"}}, {programs, app}),
                       {"DeleteFile " + kLauncher, "RemoveFolder " + app, "RemoveFolder " + programs},
                       true,
                       false};
        rows.push_back(std::move(row));
    }
    return rows;
}

TEST(PrefixRevertPlan, DesktopEntries)
{
    for (const DesktopRow& row : DesktopRows()) {
        SCOPED_TRACE(row.name);
        const RevertPlan plan = PlanPrefixRevert(row.changes, row.now);
        EXPECT_EQ(Describe(plan), row.expected);
        EXPECT_EQ(plan.refreshDesktopDatabase, row.refreshDesktop);
        EXPECT_EQ(plan.refreshMimeDatabase, row.refreshMime);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Carrying the plan out on the registry files of a fresh prefix (tests/wine/data).

const char* const kRegFiles[] = {"system.reg", "user.reg", "userdef.reg"};

// Every key's path, values, class and link: what a registry holds, the times of its keys left out.
std::vector<std::string> Content(const Registry& registry)
{
    std::vector<std::string> lines;
    for (const std::u16string& path : test::AllKeyPaths(registry)) {
        const auto key = registry.findKey(path);
        std::string line = Utf8FromUtf16(path);
        if (key && key->className) {
            line += " class " + Utf8FromUtf16(*key->className);
        }
        if (key && key->link) {
            line += " link";
        }
        lines.push_back(line);
        const auto values = registry.values(path);
        for (const RegistryValue& value : *values) {
            lines.push_back("  " + Utf8FromUtf16(value.name) + " " + std::to_string(value.type) + " " +
                            Hex(value.data));
        }
    }
    return lines;
}

std::vector<std::string> Content(std::string_view text)
{
    auto registry = ParseRegistry(std::string(text));
    EXPECT_TRUE(registry.ok()) << registry.error().describe();
    return registry.ok() ? Content(*registry) : std::vector<std::string>{};
}

// A prefix in a temporary folder: the fresh prefix's registry files, then an installation carried out on them (the
// changes it made are recorded as Create AFTER file records them).
class RevertWorld {
public:
    RevertWorld()
    {
        for (const char* name : kRegFiles) {
            before.push_back(DataFile(name));
        }
        const RecordedData owner = Sz(u"");
        const std::u16string run = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
        const std::u16string desktop = u"Control Panel\\Desktop";
        const auto caretWidth = ParseRegistry(before[1])->findValue(desktop, u"CaretWidth");
        changes.prefix = tmp.path();
        changes.registry = {
            KeyAdded(kSystem, u"Software\\Vendor"),
            KeyAdded(kSystem, u"Software\\Vendor\\App"),
            ValueAdded(kSystem, u"Software\\Vendor\\App", u"InstallDir", Sz(u"C:\\Program Files\\App")),
            ValueAdded(kSystem, u"Software\\Vendor\\App", u"Version", Dword(3)),
            ValueChanged(kSystem, u"Software\\Microsoft\\Windows NT\\CurrentVersion", u"RegisteredOwner", owner,
                         Sz(u"App's owner")),
            ValueAdded(kUser, run, u"App", Sz(u"C:\\Program Files\\App\\app.exe")),
            ValueDeleted(kUser, desktop, u"CaretWidth", RecordedData{caretWidth->type, caretWidth->data}),
        };
        // The installation, carried out on the files as Wine would have.
        auto system = ParseRegistry(before[0]);
        auto user = ParseRegistry(before[1]);
        EXPECT_TRUE(system->addKey(u"Software\\Vendor\\App").ok());
        EXPECT_TRUE(
            system->setValue(u"Software\\Vendor\\App", RegistryValue::text(u"InstallDir", u"C:\\Program Files\\App"))
                .ok());
        EXPECT_TRUE(system->setValue(u"Software\\Vendor\\App", RegistryValue::dword(u"Version", 3)).ok());
        EXPECT_TRUE(system
                        ->setValue(u"Software\\Microsoft\\Windows NT\\CurrentVersion",
                                   RegistryValue::text(u"RegisteredOwner", u"App's owner"))
                        .ok());
        EXPECT_TRUE(user->setValue(run, RegistryValue::text(u"App", u"C:\\Program Files\\App\\app.exe")).ok());
        EXPECT_TRUE(user->deleteValue(desktop, u"CaretWidth").ok());
        after = {FormatRegistry(*system), FormatRegistry(*user), before[2]};
        for (std::size_t i = 0; i < 3; ++i) {
            disk::writeFile(file(kRegFiles[i]), after[i]);
        }
    }

    std::string file(std::string_view name) const { return tmp / name; }

    // The state of now, as ReadPrefixState gives it (read here directly: the registry files only).
    PrefixSnapshot now() const
    {
        PrefixSnapshot snapshot;
        snapshot.prefix = tmp.path();
        for (std::size_t i = 0; i < 3; ++i) {
            if (disk::pathExists(file(kRegFiles[i]))) {
                snapshot.hives[i] = disk::readFile(file(kRegFiles[i]));
            }
        }
        return snapshot;
    }

    disk::TempDir tmp;
    std::vector<std::string> before;  // the fresh prefix's files
    std::vector<std::string> after;   // the files after the installation
    PrefixChanges changes;
};

std::vector<std::string> Failures(const RevertOutcome& outcome)
{
    std::vector<std::string> lines;
    for (const auto& [step, error] : outcome.failed) {
        lines.push_back(Describe(step) + ": " + error.describe());
    }
    return lines;
}

TEST(PrefixRevertApply, RealRegistryFilesComeBackAsTheyWere)
{
    RevertWorld world;
    FileSystem fs{DriveMap()};
    const RevertPlan plan = PlanPrefixRevert(world.changes, world.now());
    EXPECT_EQ(Describe(plan),
              (std::vector<std::string>{
                  "DeleteValue system Software\\Vendor\\App \"InstallDir\"",
                  "DeleteValue system Software\\Vendor\\App \"Version\"",
                  "RestoreValue system Software\\Microsoft\\Windows NT\\CurrentVersion \"RegisteredOwner\" = 1:[00 00]",
                  "DeleteKey system Software\\Vendor\\App",
                  "DeleteKey system Software\\Vendor",
                  "DeleteValue user Software\\Microsoft\\Windows\\CurrentVersion\\Run \"App\"",
                  "RestoreValue user Control Panel\\Desktop \"CaretWidth\" = 4:[01 00 00 00]",
              }));

    const RevertOutcome outcome = ApplyPrefixRevert(fs, world.tmp.path(), plan);
    EXPECT_EQ(Failures(outcome), std::vector<std::string>{});

    // Every key and value as before the installation; only the times of the keys touched differ.
    EXPECT_EQ(Content(disk::readFile(world.file("system.reg"))), Content(world.before[0]));
    EXPECT_EQ(Content(disk::readFile(world.file("user.reg"))), Content(world.before[1]));
    // A file without steps keeps its bytes, and gets no safety copy.
    EXPECT_EQ(disk::readFile(world.file("userdef.reg")), world.after[2]);
    EXPECT_FALSE(disk::pathExists(world.file("userdef.QRV")));
    // The safety copies hold the files as they were before the first change.
    EXPECT_EQ(disk::readFile(world.file("system.QRV")), world.after[0]);
    EXPECT_EQ(disk::readFile(world.file("user.QRV")), world.after[1]);
    // The keys nobody touched keep their lines: the file is the old one but for the changed keys.
    const std::string written = disk::readFile(world.file("user.reg"));
    EXPECT_NE(written.find("[Software\\\\Wine\\\\MenuFiles] 1796811995\n#time=1dd87c7c45526be\n"), std::string::npos);
    // Nothing else appeared in the prefix.
    EXPECT_EQ(disk::folderState(world.tmp.path()).size(), 5u);
}

TEST(PrefixRevertApply, RunAgainFinishesAndKeepsTheFirstSafetyCopy)
{
    RevertWorld world;
    FileSystem fs{DriveMap()};
    const RevertPlan plan = PlanPrefixRevert(world.changes, world.now());
    ASSERT_EQ(Failures(ApplyPrefixRevert(fs, world.tmp.path(), plan)), std::vector<std::string>{});
    const std::string system = disk::readFile(world.file("system.reg"));
    const std::string user = disk::readFile(world.file("user.reg"));

    // Planned again against the new state of now: nothing is left to change.
    const RevertPlan again = PlanPrefixRevert(world.changes, world.now());
    EXPECT_EQ(Describe(again), std::vector<std::string>{});
    // The old plan carried out again: every step is done already, and nothing is written.
    EXPECT_EQ(Failures(ApplyPrefixRevert(fs, world.tmp.path(), plan)), std::vector<std::string>{});
    EXPECT_EQ(disk::readFile(world.file("system.reg")), system);
    EXPECT_EQ(disk::readFile(world.file("user.reg")), user);
    EXPECT_EQ(disk::readFile(world.file("system.QRV")), world.after[0]);
    EXPECT_EQ(disk::readFile(world.file("user.QRV")), world.after[1]);
}

// A run cut short after its safety copy and before its write: the copy it left holds the file before the first
// change, and the next run keeps it even though the file it copies now differs.
TEST(PrefixRevertApply, ASafetyCopyFromAnInterruptedRunIsKept)
{
    RevertWorld world;
    FileSystem fs{DriveMap()};
    const std::string first = world.after[0] + "; the first run's copy\n";
    disk::writeFile(world.file("system.QRV"), first);
    const RevertPlan plan = PlanPrefixRevert(world.changes, world.now());
    EXPECT_EQ(Failures(ApplyPrefixRevert(fs, world.tmp.path(), plan)), std::vector<std::string>{});
    EXPECT_EQ(disk::readFile(world.file("system.QRV")), first);
    EXPECT_EQ(Content(disk::readFile(world.file("system.reg"))), Content(world.before[0]));
}

TEST(PrefixRevertApply, ARegistryFileThatIsASymbolicLinkIsLeftAlone)
{
    RevertWorld world;
    FileSystem fs{DriveMap()};
    const RevertPlan plan = PlanPrefixRevert(world.changes, world.now());
    disk::makeDirs(world.file("elsewhere"));
    ASSERT_EQ(std::rename(world.file("system.reg").c_str(), world.file("elsewhere/system.reg").c_str()), 0);
    ASSERT_EQ(::symlink("elsewhere/system.reg", world.file("system.reg").c_str()), 0);

    const RevertOutcome outcome = ApplyPrefixRevert(fs, world.tmp.path(), plan);
    ASSERT_EQ(outcome.failed.size(), 5u) << ::testing::PrintToString(Failures(outcome));
    for (const auto& [step, error] : outcome.failed) {
        EXPECT_EQ(step.hive, Hive::System);
        EXPECT_EQ(error.kind, ErrorKind::ThroughLink);
        EXPECT_EQ(error.path, world.file("system.reg"));
    }
    EXPECT_EQ(disk::folderState(world.tmp.path())["/system.reg"], "l -> elsewhere/system.reg");
    EXPECT_EQ(disk::readFile(world.file("elsewhere/system.reg")), world.after[0]);
    EXPECT_FALSE(disk::pathExists(world.file("system.QRV")));
    // The other files are carried out all the same.
    EXPECT_EQ(Content(disk::readFile(world.file("user.reg"))), Content(world.before[1]));
}

// A platform layer that cannot read one file.
class UnreadableFile : public FileSystem {
public:
    explicit UnreadableFile(std::string path) : FileSystem(DriveMap()), m_path(std::move(path)) {}
    Result<std::string> readFile(std::string_view path) const override
    {
        if (path == m_path) {
            return errorFromErrno(std::string(path), EACCES);
        }
        return FileSystem::readFile(path);
    }

private:
    std::string m_path;
};

TEST(PrefixRevertApply, ARegistryFileThatCannotBeReadOrParsedIsLeftAlone)
{
    {
        RevertWorld world;
        UnreadableFile fs(world.file("user.reg"));
        const RevertOutcome outcome =
            ApplyPrefixRevert(fs, world.tmp.path(), PlanPrefixRevert(world.changes, world.now()));
        ASSERT_EQ(outcome.failed.size(), 2u) << ::testing::PrintToString(Failures(outcome));
        for (const auto& [step, error] : outcome.failed) {
            EXPECT_EQ(step.hive, Hive::User);
            EXPECT_EQ(error.kind, ErrorKind::AccessDenied);
        }
        EXPECT_EQ(disk::readFile(world.file("user.reg")), world.after[1]);
        EXPECT_FALSE(disk::pathExists(world.file("user.QRV")));
        EXPECT_EQ(Content(disk::readFile(world.file("system.reg"))), Content(world.before[0]));
    }
    {
        RevertWorld world;
        FileSystem fs{DriveMap()};
        const RevertPlan plan = PlanPrefixRevert(world.changes, world.now());
        const std::string damaged = "WINE REGISTRY Version 2\n\n[Software\\\\Broken\n";
        disk::writeFile(world.file("user.reg"), damaged);
        const RevertOutcome outcome = ApplyPrefixRevert(fs, world.tmp.path(), plan);
        ASSERT_EQ(outcome.failed.size(), 2u) << ::testing::PrintToString(Failures(outcome));
        for (const auto& [step, error] : outcome.failed) {
            EXPECT_EQ(step.hive, Hive::User);
            EXPECT_EQ(error.kind, ErrorKind::Damaged);
        }
        EXPECT_EQ(disk::readFile(world.file("user.reg")), damaged);
        EXPECT_FALSE(disk::pathExists(world.file("user.QRV")));
    }
    {
        // Missing now: planned as if unchanged, and each step fails on the missing file.
        RevertWorld world;
        FileSystem fs{DriveMap()};
        ASSERT_EQ(std::remove(world.file("user.reg").c_str()), 0);
        const RevertOutcome outcome =
            ApplyPrefixRevert(fs, world.tmp.path(), PlanPrefixRevert(world.changes, world.now()));
        ASSERT_EQ(outcome.failed.size(), 2u) << ::testing::PrintToString(Failures(outcome));
        EXPECT_EQ(outcome.failed[0].second.kind, ErrorKind::NotFound);
        EXPECT_FALSE(disk::pathExists(world.file("user.reg")));
        EXPECT_FALSE(disk::pathExists(world.file("user.QRV")));
    }
}

// The file changed between the plan and carrying it out (the caller holds the wineserver's lock, so only by hand):
// what the plan did not see is not taken away.
TEST(PrefixRevertApply, WhatThePlanDidNotSeeStays)
{
    RevertWorld world;
    FileSystem fs{DriveMap()};
    const RevertPlan plan = PlanPrefixRevert(world.changes, world.now());
    auto system = ParseRegistry(world.after[0]);
    ASSERT_TRUE(system->setValue(u"Software\\Vendor\\App", RegistryValue::dword(u"Version", 4)).ok());
    ASSERT_TRUE(system->addKey(u"Software\\Vendor\\Mine").ok());
    disk::writeFile(world.file("system.reg"), FormatRegistry(*system));

    const RevertOutcome outcome = ApplyPrefixRevert(fs, world.tmp.path(), plan);
    EXPECT_EQ(Failures(outcome).size(), 3u) << ::testing::PrintToString(Failures(outcome));
    auto written = ParseRegistry(disk::readFile(world.file("system.reg")));
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written->findValue(u"Software\\Vendor\\App", u"Version"), RegistryValue::dword(u"Version", 4));
    EXPECT_FALSE(written->findValue(u"Software\\Vendor\\App", u"InstallDir").has_value());
    EXPECT_TRUE(written->findKey(u"Software\\Vendor\\Mine").has_value());
    EXPECT_EQ(written->findValue(u"Software\\Microsoft\\Windows NT\\CurrentVersion", u"RegisteredOwner"),
              RegistryValue::text(u"RegisteredOwner", u""));
}

// ---------------------------------------------------------------------------------------------------------------
// Carrying the plan out on desktop entries.

// A PATH holding update-desktop-database and update-mime-database that note their argument, for one test.
class FakeRefreshTools {
public:
    explicit FakeRefreshTools(const disk::TempDir& tmp) : m_bin(tmp / "bin"), m_log(tmp / "refreshed.txt")
    {
        for (const char* tool : {"update-desktop-database", "update-mime-database"}) {
            const std::string script = m_bin + "/" + tool;
            disk::writeFile(script, "#!/bin/sh\necho \"" + std::string(tool) + " $1\" >> '" + m_log + "'\n");
            ::chmod(script.c_str(), 0755);
        }
        const char* path = std::getenv("PATH");
        m_oldPath = path ? path : "";
        ::setenv("PATH", (m_bin + ":" + m_oldPath).c_str(), 1);
    }
    ~FakeRefreshTools() { ::setenv("PATH", m_oldPath.c_str(), 1); }

    std::string log() const { return disk::readFile(m_log); }

private:
    std::string m_bin;
    std::string m_log;
    std::string m_oldPath;
};

TEST(PrefixRevertApply, DesktopEntriesGoAndFoldersGoWhenEmpty)
{
    disk::TempDir tmp;
    FileSystem fs{DriveMap()};
    const std::string data = tmp / "share";
    const std::string app = data + "/applications/wine/Programs/App";
    const std::string programs = data + "/applications/wine/Programs";
    const std::string other = data + "/applications/wine/Programs/Other";
    const std::string launcher = app + "/App.desktop";
    const std::string readme = app + "/Readme.desktop";
    const std::string mine = other + "/Mine.desktop";
    const std::string mime = data + "/mime/packages/x-wine-extension-foo.xml";
    disk::writeFile(launcher, "[Desktop Entry]\n");
    disk::writeFile(readme, "[Desktop Entry]\nName=Edited\n");
    disk::writeFile(mine, "[Desktop Entry]\n");
    disk::writeFile(mime, "<mime-info/>\n");

    PrefixChanges changes;
    changes.desktop = {{launcher, "h1"}, {readme, "h2"}, {mime, "h3"}, {other + "/Other.desktop", "h4"}};
    changes.desktopFolders = {app, other, programs};
    PrefixSnapshot now = Now(SystemReg({}));
    now.desktop = {{launcher, "h1"}, {readme, "edited"}, {mime, "h3"}, {mine, "h5"}};
    now.desktopFolders = {data + "/applications", data + "/applications/wine", programs, app, other};
    const RevertPlan plan = PlanPrefixRevert(changes, now);
    EXPECT_EQ(Describe(plan),
              (std::vector<std::string>{"DeleteFile " + launcher, "KeepFile " + readme, "DeleteFile " + mime,
                                        "RemoveFolder " + app, "RemoveFolder " + other, "RemoveFolder " + programs}));

    FakeRefreshTools tools(tmp);
    const RevertOutcome outcome = ApplyPrefixRevert(fs, "/nonexistent-prefix", plan);
    EXPECT_EQ(Failures(outcome), std::vector<std::string>{});
    EXPECT_FALSE(disk::pathExists(launcher));
    EXPECT_FALSE(disk::pathExists(mime));
    // The file changed since stays, and so does its folder; a folder holding a user's file stays too, without an
    // error, and with it their parent.
    EXPECT_EQ(disk::readFile(readme), "[Desktop Entry]\nName=Edited\n");
    EXPECT_EQ(disk::readFile(mine), "[Desktop Entry]\n");
    EXPECT_TRUE(disk::pathExists(programs));
    EXPECT_EQ(tools.log(),
              "update-desktop-database " + data + "/applications\nupdate-mime-database " + data + "/mime\n");

    // Carried out again: everything is done already.
    EXPECT_EQ(Failures(ApplyPrefixRevert(fs, "/nonexistent-prefix", plan)), std::vector<std::string>{});
    // Once the user's files are gone the folders go too.
    ASSERT_EQ(std::remove(readme.c_str()), 0);
    ASSERT_EQ(std::remove(mine.c_str()), 0);
    EXPECT_EQ(Failures(ApplyPrefixRevert(fs, "/nonexistent-prefix", plan)), std::vector<std::string>{});
    EXPECT_FALSE(disk::pathExists(programs));
    EXPECT_TRUE(disk::pathExists(data + "/applications/wine"));
}

// Without the refresh programs in PATH the removal succeeds all the same.
TEST(PrefixRevertApply, MissingRefreshProgramsAreNoFailure)
{
    disk::TempDir tmp;
    FileSystem fs{DriveMap()};
    const std::string launcher = tmp / "share/applications/wine/Programs/App/App.desktop";
    disk::writeFile(launcher, "[Desktop Entry]\n");
    RevertPlan plan;
    RevertStep step;
    step.kind = StepKind::DeleteFile;
    step.path = launcher;
    plan.steps.push_back(step);
    plan.refreshDesktopDatabase = true;
    const char* path = std::getenv("PATH");
    const std::string oldPath = path ? path : "";
    ::setenv("PATH", (tmp / "empty-bin").c_str(), 1);
    const RevertOutcome outcome = ApplyPrefixRevert(fs, tmp.path(), plan);
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(Failures(outcome), std::vector<std::string>{});
    EXPECT_FALSE(disk::pathExists(launcher));
}

}  // namespace
}  // namespace morvane::wine
