#pragma once

// What an installation changed in a Wine prefix besides its files: the registry and the desktop entries that
// Wine's menu builder wrote for it. Create AFTER file finds these changes, the companion of its AFTER file keeps
// them, the report shows them and Delete program takes them back.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wine/registry.h"

namespace morvane::wine {

// The prefix's registry files, each with its top key.
enum class Hive {
    System,       // system.reg: HKEY_LOCAL_MACHINE
    User,         // user.reg: HKEY_CURRENT_USER
    UserDefault,  // userdef.reg: HKEY_USERS\.Default
};
inline constexpr Hive kHives[] = {Hive::System, Hive::User, Hive::UserDefault};

// "system.reg", "user.reg", "userdef.reg".
const char* HiveFileName(Hive hive);
// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS\.Default": how the report names a hive.
const char* HiveDisplayName(Hive hive);

// One value's type and exact data, as recorded.
struct RecordedData {
    std::uint32_t type = kRegNone;
    std::string data;  // the exact bytes (see RegistryValue::data)

    friend bool operator==(const RecordedData&, const RecordedData&) = default;
};

// One thing the installation did to a key or a value. A key added comes with a ValueAdded for each of its values
// and a KeyAdded for each of its subkeys; a key deleted with a ValueDeleted and KeyDeleted likewise, so that each
// can be taken back on its own. Both views of a 64-bit prefix are covered by the path (the 32-bit view lies under
// Wow6432Node).
struct RegistryChange {
    enum class Kind { KeyAdded, KeyDeleted, ValueAdded, ValueChanged, ValueDeleted };
    Kind kind = Kind::KeyAdded;
    Hive hive = Hive::System;
    std::u16string key;    // below the hive's top key, parts separated by a single backslash, spelled as stored
    std::u16string value;  // the value's name, empty for the default value; unused for a key
    std::optional<RecordedData> before;  // ValueChanged, ValueDeleted
    std::optional<RecordedData> after;   // ValueAdded, ValueChanged

    friend bool operator==(const RegistryChange&, const RegistryChange&) = default;
};

// A file the menu builder wrote for the installation: a launcher, a menu or directory file, an icon, a MIME
// package, a desktop file. Its path is a host path; the hash tells later whether it changed since.
struct DesktopEntry {
    std::string path;
    std::string hash;  // of its contents, as ContentHash gives it

    friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;
};

// The hash of a file's contents that the records keep: lower-case hexadecimal SHA-256.
std::string ContentHash(std::string_view bytes);

// Everything the companion of an AFTER file holds.
struct PrefixChanges {
    std::string prefix;                       // the prefix's folder, as a host path
    std::string arch[3];                      // "#arch" of system.reg, user.reg and userdef.reg after the installation
    std::vector<RegistryChange> registry;     // in the order of the hives, then of the keys as Wine sorts them
    std::vector<DesktopEntry> desktop;        // the entries added, by path
    std::vector<std::string> desktopFolders;  // folders the installation added for them, deepest first

    bool empty() const { return registry.empty() && desktop.empty() && desktopFolders.empty(); }
    friend bool operator==(const PrefixChanges&, const PrefixChanges&) = default;
};

}  // namespace morvane::wine
