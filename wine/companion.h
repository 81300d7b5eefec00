#pragma once

// The companion records of a Wine prefix's changes. BEFORE.DAT and each AFTER<n>.DAT stay byte for byte what
// they are; what a prefix adds to them lies in a plain-text file beside each, named after it: BEFORE.WINE beside
// BEFORE.DAT, AFTER<n>.WINE beside AFTER<n>.DAT. A record without a companion (an older record, or one made where
// C: is the root file system) is used as it always was.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/result.h"
#include "wine/prefix_changes.h"

namespace morvane::wine {

// The companion's name for a record's path or name: "BEFORE.DAT" gives "BEFORE.WINE", ".../AFTER3.DAT" gives
// ".../AFTER3.WINE". Empty for a name that is not a record's.
std::string CompanionOf(std::string_view recordPath);

// Whether a file name is a companion's (BEFORE.WINE, AFTER<n>.WINE): the scans leave these out as they leave out
// the records themselves.
bool IsCompanionFileName(std::string_view name);

// What the companion of BEFORE.DAT keeps: the registry files as they were, and the desktop entries that existed.
struct PrefixSnapshot {
    std::string prefix;                       // the prefix's folder, as a host path
    std::optional<std::string> hives[3];      // the text of system.reg, user.reg and userdef.reg; none when missing
    std::vector<DesktopEntry> desktop;        // every file in the desktop locations, by path, with its hash
    std::vector<std::string> desktopFolders;  // every folder there
};

// Writes a companion in place (as the records are written: flushed before it counts) and reads one back. A
// companion that is damaged, cut short or crafted is an error of the kind Damaged whose reason is the message for
// the user, naming the file and the line; then nothing of the record is used.
Status WriteBeforeCompanion(FileSystem& fs, const std::string& path, const PrefixSnapshot& snapshot);
Result<PrefixSnapshot> ReadBeforeCompanion(const FileSystem& fs, const std::string& path);
Status WriteAfterCompanion(FileSystem& fs, const std::string& path, const PrefixChanges& changes);
Result<PrefixChanges> ReadAfterCompanion(const FileSystem& fs, const std::string& path);

// The companion of the AFTER file at `afterPath`: nothing when there is none (an older record, or C: = /).
Result<std::optional<PrefixChanges>> ReadCompanionOfAfterFile(const FileSystem& fs, const std::string& afterPath);

}  // namespace morvane::wine
