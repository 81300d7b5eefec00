#include "changes/new_directories.h"

#include <cstdint>
#include <string_view>

#include "changes/string_index.h"

namespace morvane {

std::vector<std::string> FindNewDirectories(const LineStore& oldDirectories, const std::vector<std::string>& current,
                                            long count)
{
    const auto line = [&oldDirectories](std::uint32_t i) { return oldDirectories[i]; };
    StringIndex old(oldDirectories.size(), line);
    for (std::size_t i = 0; i < oldDirectories.size(); ++i) {
        old.put(static_cast<std::uint32_t>(i));
    }
    std::vector<std::string> fresh;
    fresh.reserve(300);
    for (long i = 1; i <= count && static_cast<std::size_t>(i) < current.size(); ++i) {
        if (old.find(current[i]) == old.kAbsent) {
            fresh.push_back(current[i]);
        }
    }
    return fresh;
}

}  // namespace morvane
