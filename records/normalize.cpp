#include "records/normalize.h"

namespace morvane {

std::string_view TrimSpaces(std::string_view line)
{
    const auto first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = line.find_last_not_of(' ');
    return line.substr(first, last - first + 1);
}

std::string NormalizeLine(std::string_view line)
{
    const std::string_view trimmed = TrimSpaces(line);
    std::string out;
    out.reserve(trimmed.size());
    // One pass gives what removing the first " =" until none is left, then the first "= " until none is
    // left, gives: no space stays directly before or after any "=".
    for (char c : trimmed) {
        if (c == '=') {
            while (!out.empty() && out.back() == ' ') {
                out.pop_back();
            }
            out += c;
        } else if (c == ' ' && !out.empty() && out.back() == '=') {
            continue;
        } else {
            out += c;
        }
    }
    return out;
}

bool LinesMatch(std::string_view x, std::string_view y)
{
    if (x == y) {
        return true;
    }
    const auto ex = x.find('=');
    const auto ey = y.find('=');
    if (ex == std::string_view::npos || ey == std::string_view::npos) {
        return false;
    }
    auto keyOf = [](std::string_view s, std::size_t eq) {
        std::string_view key = s.substr(0, eq);
        while (!key.empty() && key.back() == ' ') {
            key.remove_suffix(1);
        }
        return key;
    };
    auto valueOf = [](std::string_view s, std::size_t eq) {
        std::string_view value = s.substr(eq + 1);
        while (!value.empty() && value.front() == ' ') {
            value.remove_prefix(1);
        }
        return value;
    };
    return keyOf(x, ex) == keyOf(y, ey) && valueOf(x, ex) == valueOf(y, ey);
}

}  // namespace morvane
