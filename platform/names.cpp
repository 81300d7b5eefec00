#include "platform/names.h"

#include <algorithm>

namespace morvane::host {

// Listing order: the ASCII upper-case form first, then plain bytes.
bool listingLess(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ua = static_cast<unsigned char>(UpperAscii(a[i]));
        const auto ub = static_cast<unsigned char>(UpperAscii(b[i]));
        if (ua != ub) {
            return ua < ub;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

void sortForListing(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return listingLess(a, b); });
}

// A name a Windows path can carry: no '\' and no byte below 32.
bool expressible(std::string_view name)
{
    for (const char c : name) {
        if (c == '\\' || static_cast<unsigned char>(c) < 32) {
            return false;
        }
    }
    return true;
}

// '*' for any run of bytes, '?' for one byte, letters in either case.
bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || UpperAscii(pattern[p]) == UpperAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// As on Windows, a pattern ending in ".*" also matches a name that has no dot ("*.*" matches every name).
bool patternMatches(std::string_view pattern, std::string_view name)
{
    if (wildcardMatch(pattern, name)) {
        return true;
    }
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" && name.find('.') == std::string_view::npos) {
        return wildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

}  // namespace morvane::host
