#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/letter_case.h"

// Name order, letter case and wildcards of the host file system.
namespace morvane::host {

// Listing order: the ASCII upper-case form first, then plain bytes.
bool listingLess(std::string_view a, std::string_view b);
void sortForListing(std::vector<std::string>& names);
// A name a Windows path can carry: no '\' and no byte below 32.
bool expressible(std::string_view name);
// '*' for any run of bytes, '?' for one byte, letters in either case.
bool wildcardMatch(std::string_view pattern, std::string_view name);
// As on Windows, a pattern ending in ".*" also matches a name that has no dot ("*.*" matches every name).
bool patternMatches(std::string_view pattern, std::string_view name);

}  // namespace morvane::host
