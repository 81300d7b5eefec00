#pragma once

// A deterministic synthetic directory tree for the benchmarks: the same sizes and seed always give the same
// names in the same places, on any machine. Names are 3 to 30 bytes of letters, digits, '_', '-', ' ' and '.',
// about 2 in 100 begin with a dot, directories are at most 12 levels below the root, and no two names in one
// folder differ only in letter case. No name is BEFORE.DAT or AFTER*.DAT, so a scan lists every generated file.
//
// Failures (a folder that cannot be created, a full disk) throw std::runtime_error naming the path and the
// system's reason: the benchmark programs end on them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane::bench {

struct TreeSpec {
    std::size_t directories = 100000;  // the root included
    std::size_t files = 900000;
    std::uint64_t seed = 1;
    int maxDepth = 12;  // the root is depth 0
};

// Where the directories of a tree lie, without touching the disk.
struct TreeLayout {
    struct Directory {
        std::size_t parent = 0;  // index of the parent; the root (index 0) is its own parent
        int depth = 0;
        std::string name;  // empty for the root
        std::size_t files = 0;
    };
    TreeSpec spec;
    std::vector<Directory> directories;  // parents before children, the root first

    // "A/B/C" relative to the tree's root; "" for the root.
    std::string relativePath(std::size_t index) const;
    int deepest() const;
};

TreeLayout PlanTree(const TreeSpec& spec);

struct TreeSummary {
    std::size_t directories = 0;  // the root included
    std::size_t files = 0;
    std::size_t dotNames = 0;  // files and directories whose name begins with '.'
    int deepest = 0;
};

// Creates the planned tree below root (created when missing; it must hold nothing yet) with a marker beside
// it, root + ".tree": "incomplete" while the tree is written, then its parameters, so a later run can re-use it.
TreeSummary WriteTree(const std::string& root, const TreeLayout& layout);

// True when root holds a complete tree written by WriteTree with exactly these parameters.
bool TreeMatches(const std::string& root, const TreeSpec& spec);

// Removes a tree that WriteTree wrote (complete or cut short) and its marker. A folder without the marker
// beside it is left alone.
void RemoveTree(const std::string& root);

// What AddToTree put into a tree, as paths relative to its root ("A/B/", "A/B/name").
struct Addition {
    std::vector<std::string> directories;  // parents before children, each ending in '/'
    std::vector<std::string> files;
};

// Simulates an installation: creates `directories` new directories (some nested in each other, under existing
// directories of the layout) and `files` new files, about half in the new directories and half in existing
// ones. New names contain a '+', which generated names never do, so they never meet an existing name.
Addition AddToTree(const std::string& root, const TreeLayout& layout, std::size_t directories, std::size_t files,
                   std::uint64_t seed);

}  // namespace morvane::bench
