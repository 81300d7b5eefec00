#pragma once

// What the commands keep of a Wine prefix beside their records: its registry and the desktop entries Wine's menu
// builder writes for it. This applies once Wine has made the prefix's registry (system.reg is there); where C: is
// the root file system, or the drives come from a folder of drive links only, the records are what they always
// were.

#include <string>

#include "core/context.h"
#include "wine/prefix_state.h"

namespace morvane {

// The prefix whose registry the records keep, as an absolute host path; empty when there is none.
std::string RecordedPrefix(const FileSystem& fs);

// Checks that no wineserver runs for the prefix, since a running one owns the registry files: while one runs, the
// user is told which prefix and how to end it, and chooses Retry or Cancel. False on Cancel. Wine is never started
// or ended here.
bool WaitUntilNoWineserver(const Context& ctx, const std::string& prefix);

// Why a companion record cannot be used, as a sentence for the user: "The companion <file> is damaged: line <n>:
// <what>." or "Unable to read <file>: <reason>."
std::string CompanionErrorText(const Error& error);

// A line that tells one step of taking a prefix's changes back: what it does and to which key, value, file or
// folder ("delete value HKEY_CURRENT_USER\Software\Vendor\App \"Lang\"").
std::string DescribeRevertStep(const wine::RevertStep& step);

// A registry key and value as the messages and the report name them: the hive's full name, the key, and the
// value's name in quotes ("(default)" for the default value).
std::string RegistryKeyName(wine::Hive hive, const std::u16string& key);
std::string RegistryValueName(wine::Hive hive, const std::u16string& key, const std::u16string& value);

}  // namespace morvane
