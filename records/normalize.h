#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Removes the space character (only that) from both ends.
std::string_view TrimSpaces(std::string_view line);

// A configuration line as it is stored and compared: spaces trimmed at both ends, and every space directly
// before or after an "=" removed, however many there are. Tabs stay. "device = himem.sys" gives
// "device=himem.sys", "a  =  b = c" gives "a=b=c".
std::string NormalizeLine(std::string_view line);

// Two lines match when they are identical, or when both hold "=" and the texts before the first "=" (trailing
// spaces removed) and after it (leading spaces removed) are identical. Case-sensitive.
bool LinesMatch(std::string_view x, std::string_view y);

}  // namespace morvane
