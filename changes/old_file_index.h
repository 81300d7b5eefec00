#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "changes/string_index.h"
#include "records/line_store.h"

namespace morvane {

// Answers "was this file recorded?" for the old directories of one drive block, in the order of the block's
// directory lines.
//
// A directory's recorded files are its run: the consecutive file lines that lie directly in it (they begin
// with the directory line and hold no further "\"). The run is found the way a forward search finds it: from
// the first line of the previous directory's run (from the first line of the list for the block's first
// directory, after a directory without a run, and after a run that began at the list's last line) forward to
// the first line that lies directly in the directory, then on while the lines do. An index of the runs of
// every directory gives that result without walking the list, so a directory without files costs a lookup
// rather than a pass to the end of the list.
//
// A listed name is old when the directory line & name equals a line of the run as it stands or with its
// trailing spaces removed (names may end in spaces).
class OldFileIndex {
public:
    explicit OldFileIndex(const LineStore& files);

    // Moves on to the next directory line of the block and locates its run.
    void enterDirectory(std::string_view directory);

    bool isOld(std::string_view name) const;

    // The current run, as indexes into the file list: [begin, end); empty when the directory has none.
    std::size_t runBegin() const { return m_begin; }
    std::size_t runEnd() const { return m_end; }

    OldFileIndex(const OldFileIndex&) = delete;
    OldFileIndex& operator=(const OldFileIndex&) = delete;

private:
    // A maximal run of lines with the same directory part (up to and including the last "\\"), and the run
    // before it in the list with that same part (kNone when none).
    struct Run {
        std::size_t begin;
        std::size_t end;
        std::uint32_t previous;
    };
    static constexpr std::uint32_t kNone = UINT32_MAX;
    struct RunKey {
        const OldFileIndex* index;
        std::string_view operator()(std::uint32_t run) const;
    };

    void locate(std::string_view directory, std::size_t from);
    void buildNameSet() const;

    const LineStore& m_files;
    std::vector<Run> m_runs;                         // in list order
    StringIndex<RunKey> m_lastRun{0, RunKey{this}};  // directory part -> its last run
    bool m_first = true;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::size_t m_nameOffset = 0;    // length of the current directory line
    mutable std::size_t m_next = 0;  // where isOld's search of a short run starts
    mutable bool m_setBuilt = false;
    mutable std::unordered_set<std::string_view> m_names;
};

}  // namespace morvane
