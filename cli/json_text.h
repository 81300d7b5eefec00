#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane::cli {

// A JSON string for any bytes, such as a file name, which on Linux need not be UTF-8. Valid UTF-8 is written
// as it is; each byte that is not part of valid UTF-8 is written as the escape \udcXX, the code point
// U+DC80 + byte (XX is the byte in hexadecimal, 80 to ff), the way Linux tools pass undecodable file names
// on, so that decoding the escapes gives back the bytes exactly. '"' and '\' are escaped with a backslash,
// the control characters below 0x20 as \u00XX.
std::string JsonString(std::string_view bytes);

// A JSON string for UTF-16 code units, such as a registry name or text: the text as UTF-8, with the same escapes
// as JsonString; a surrogate without its partner is written as its own escape (\ud800), which JSON allows, so that
// decoding gives back the code units exactly.
std::string JsonStringOfUnits(std::u16string_view units);

// A JSON list of strings, on one line: ["a", "b"].
std::string JsonList(const std::vector<std::string>& entries);

}  // namespace morvane::cli
