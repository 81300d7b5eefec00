#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Letter case of the ASCII letters alone, the same in every locale: file names, drive letters, patterns and
// configuration lines are compared this way, as Windows and Wine compare names. Bytes above 127 stay as they are.
constexpr char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string UpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = UpperAscii(c);
    }
    return out;
}

inline std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = LowerAscii(c);
    }
    return out;
}

// The same text but for the letter case of ASCII letters.
constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace morvane
