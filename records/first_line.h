#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/result.h"
#include "platform/text_file.h"

namespace morvane {

// Line 1 of a record file (BEFORE.DAT, AFTER<n>.DAT): the name of the program it records. Every reader of that
// line goes through here, and the three outcomes stay apart: an error when the file cannot be opened or read,
// nothing when it opens but has no first line (an empty file), else the line as stored.
Result<std::optional<std::string>> ReadFirstLine(const FileSystem& fs, const std::string& path);

// The same from a reader of the record that has read nothing yet. A read error is the reader's own.
Result<std::optional<std::string>> ReadFirstLine(LineReader& lines);

// The name a record goes by in a question: its first line, or `fallback` ("*CORRUPTED BEFORE FILE*") when the
// file cannot be read or has no first line.
std::string ProgramNameOr(const FileSystem& fs, const std::string& path, std::string_view fallback);

}  // namespace morvane
