#pragma once

#include <string>
#include <string_view>

#include "core/context.h"

namespace morvane {

inline constexpr const char* kAppTitle = "Morvane";

// Asks question & "?" with Yes and No, the question icon and the title "Morvane". True for Yes.
bool AskYesNo(Prompts& prompts, Notice notice, std::string_view question);

// The text AskYesNo shows for a question: the question and its question mark.
std::string YesNoText(std::string_view question);

// A listing of letter & ":\*.*" succeeds. An empty drive is readable.
bool DriveReadable(const FileSystem& fs, char letter);

// A scratch file can be created in the drive's root, written and deleted. It is a file without a name where
// the file system allows one, so nothing can stay behind; else the named file "asdzxc.zxc", created
// exclusively (under another name when that exists), so no file of the user's is ever touched.
bool DriveWritable(FileSystem& fs, char letter);

// The number of ordinary files matching a pattern; 0 when nothing matches or the listing fails.
long CountFiles(const FileSystem& fs, std::string_view pattern);

void SwapStrings(std::string& a, std::string& b);

// Sets WinDir and DataFolder: the Windows directory of the file system, and the data folder given.
void InitDataFolder(State& state, const FileSystem& fs, const std::string& dataFolder);

// Reads a decimal number from the start of a text, as Val does: optional blanks and sign, digits, stopping at
// the first character that cannot continue the number; no digits give 0. "12.DAT" gives 12.
long ReadLeadingNumber(std::string_view text);

// The availability rules of the command pairs, from which record files exist.
void UpdateBeforePairs(const Context& ctx);  // Create BEFORE, Create AFTER, Delete BEFORE
void UpdateAfterPairs(const Context& ctx);   // Delete program, Delete AFTER, Display report
void UpdateSafetyPair(const Context& ctx);   // Delete safety files
void UpdateAllPairs(const Context& ctx);

// The pairs for a BEFORE file that exists (or not).
void SetBeforePairs(MainWindow& main, bool beforeExists);

}  // namespace morvane
