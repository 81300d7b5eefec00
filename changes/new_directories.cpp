#include "changes/new_directories.h"

#include <string_view>
#include <unordered_set>

namespace morvane {

std::vector<std::string> FindNewDirectories(const LineStore& oldDirectories, const std::vector<std::string>& current,
                                            long count)
{
    std::unordered_set<std::string_view> old;
    old.reserve(oldDirectories.size());
    for (std::size_t i = 0; i < oldDirectories.size(); ++i) {
        old.insert(oldDirectories[i]);
    }
    std::vector<std::string> fresh;
    fresh.reserve(300);
    for (long i = 1; i <= count && static_cast<std::size_t>(i) < current.size(); ++i) {
        if (!old.contains(current[i])) {
            fresh.push_back(current[i]);
        }
    }
    return fresh;
}

}  // namespace morvane
