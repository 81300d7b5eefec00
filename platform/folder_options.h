#pragma once

#include <string>

#include "platform/result.h"

namespace morvane {

// The folders both programs take from their command lines, checked the same way. A relative path is taken
// from the working folder; "." and ".." components and doubled slashes are resolved as text. On failure the
// error's reason is the sentence for the user.

// --prefix: the Wine prefix, which must be a folder. Absolute, without a trailing '/'.
Result<std::string> PrefixOption(const std::string& given);

// --data-dir: the data folder, created (with its parents) when missing. Absolute and ending in '/'.
Result<std::string> DataFolderOption(const std::string& given);

}  // namespace morvane
