#pragma once

#include <string>

#include "bench/common/tree_generator.h"

namespace morvane::bench {

// The options of every benchmark, each read in one place. `./build.sh bench` hands the same options to all of
// them, so each takes the whole set and uses what concerns it:
//   --directories N (or --dirs N)  --files N  --seed S   the generated tree
//   --runs N                                            timed runs, the median is reported
//   --work FOLDER                                       where the tree and the records are kept between runs
//   --tree FOLDER  --data FOLDER                        an existing tree, and where its records go
//   --threads N                                         reading threads of the scans (0: one per core)
//   --keep  --remove-tree                               keep or remove the generated tree afterwards
//   --literal-sort  --root-fs  --per-directory  --cold  what one benchmark times in another way
//   --megabytes N                                       the size of the generated registry file
struct BenchOptions {
    TreeSpec spec;
    int runs = 3;
    std::string work;  // $TMPDIR/<the benchmark's default folder> unless given
    std::string tree;
    std::string data;
    unsigned threads = 0;
    bool keep = false;
    bool removeTree = false;
    bool literalSort = false;
    bool rootFs = false;
    bool perDirectory = false;
    bool cold = false;
    unsigned long long megabytes = 50;
};

// Reads the options over `defaults`, which set each benchmark's own runs and the name of its work folder in
// $TMPDIR (else /tmp) for when --work is not given. An unknown option, a missing value or a value that is not a
// number throws std::runtime_error naming it.
BenchOptions ParseBenchOptions(int argc, char** argv, BenchOptions defaults);

}  // namespace morvane::bench
