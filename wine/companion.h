#pragma once

// The companion records of a Wine prefix's changes. BEFORE.DAT and each AFTER<n>.DAT stay byte for byte what
// they are; what a prefix adds to them lies in a plain-text file beside each, named after it: BEFORE.WINE beside
// BEFORE.DAT, AFTER<n>.WINE beside AFTER<n>.DAT. A record without a companion (an older record, or one made where
// C: is the root file system) is used as it always was.
//
// The companion's format. Plain text in lines ending in LF; the bytes of the registry files stand in it as they are.
//
//     MORVANE WINE 1 BEFORE                      the first line: the format, its version, and which companion
//     prefix "/home/ann/.wine"                   the prefix's folder
//     hive system.reg 1677109                    BEFORE only, one per file in this order: its length in bytes,
//     <exactly that many bytes, then a LF>         then the file's text byte for byte
//     hive user.reg 23900                        ("hive userdef.reg none" for a file that was missing)
//     hive userdef.reg 4026
//     arch system.reg "win64"                    AFTER only, one per file in this order: its "#arch=" after
//     key-added system.reg "Software\\Vendor"    AFTER only: the registry changes, in the order of the files and
//     value-added system.reg "Software\\Vendor" "Path" after 1:43003a000000     then of the keys as Wine sorts them
//     value-changed user.reg "Software\\App" "" before 4:01000000 after 4:02000000
//     value-deleted user.reg "Software\\App" "Old" before 3:
//     key-deleted user.reg "Software\\Old"
//     file 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08 "/home/ann/Desktop/App.desktop"
//     folder "/home/ann/.local/share/applications/wine/Programs/App"
//     end 12                                     the last line: how many lines lie between it and the first
//                                                (a file's bytes count as part of its "hive" line)
//
// BEFORE.WINE lists every file (with the SHA-256 of its contents, lower-case hex) and folder of the menu builder's
// locations by path; AFTER<n>.WINE those the installation added, the folders deepest first. A value's data is its
// type (decimal) and its bytes in lower-case hex, as the registry keeps them (a string in UTF-16, low byte first,
// with its NULs). Text between quotes is UTF-8 with escapes: \\ and \" for a backslash and a quote, \xHH for a
// byte of a path that is a control character or not UTF-8, \uHHHH for a code unit of a key or value name that is a
// control character or a lone surrogate. A key's parts are separated by one backslash, written escaped.
//
// Every line is checked when read: the lines in this order, each file once, paths absolute without ".", ".." or
// empty parts, known files, types and hex data well formed, hashes of 64 digits, lengths within the file, and the
// last line there with the right count. A companion that fails any of it is refused as a whole.

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
