#pragma once

// The deterministic program installation of the AFTER and removal benchmarks: 300 new directories holding
// 6,000 files, and 500 new files in directories that were there before.

#include <cstddef>
#include <string>
#include <vector>

#include "bench/common/tree_generator.h"

namespace morvane::bench {

inline constexpr std::size_t kNewDirectories = 300;
inline constexpr std::size_t kFilesInNewDirectories = 6000;
inline constexpr std::size_t kFilesInOldDirectories = 500;

// What the installation made, as paths relative to the tree's root.
struct Installation {
    std::vector<std::string> directories;  // parents before children, ending in '/'
    std::vector<std::string> filesInNew;
    std::vector<std::string> filesInOld;
};

// Installs into a tree that WriteTree made from layout. Always the same names in the same places.
Installation Install(const std::string& root, const TreeLayout& layout);

// Makes the same entries again (empty files) after they were deleted; entries still there are left as they are.
void Reinstall(const std::string& root, const Installation& made);

// Takes away whatever is left of the installation; the tree is as WriteTree made it.
void Uninstall(const std::string& root, const Installation& made);

}  // namespace morvane::bench
