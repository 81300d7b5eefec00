#pragma once

#include <cstddef>
#include <string>

namespace morvane::bench {

// The options the benchmarks on a generated tree share:
//   [--directories N] [--files N] [--runs N] [--work FOLDER] [--remove-tree]
struct TreeOptions {
    std::size_t directories = 100000;
    std::size_t files = 900000;
    int runs = 3;
    std::string work;  // where the tree and the records go; $TMPDIR/morvane-bench-after unless given
    bool removeTree = false;
};

// Reads the options; an unknown one or a missing value throws std::runtime_error naming it.
TreeOptions ParseTreeOptions(int argc, char** argv, int defaultRuns);

}  // namespace morvane::bench
