#pragma once

#include <string>
#include <vector>

#include "records/line_store.h"

namespace morvane {

// The entries 1..count of the current directory list (the drive as it is now, in scan order) that equal no
// old directory line, in the list's order. Equality is exact: letter case counts, nothing is trimmed.
std::vector<std::string> FindNewDirectories(const LineStore& oldDirectories, const std::vector<std::string>& current,
                                            long count);

}  // namespace morvane
