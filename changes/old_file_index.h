#pragma once

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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

private:
    struct Run {
        std::size_t begin;
        std::size_t end;
    };

    void locate(std::string_view directory, std::size_t from);
    void buildNameSet() const;

    const LineStore& m_files;
    // Maximal runs of lines with the same directory part (up to and including the last "\"), in list order.
    std::unordered_map<std::string_view, std::vector<Run>> m_runs;

    bool m_first = true;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::size_t m_nameOffset = 0;  // length of the current directory line

    mutable bool m_setBuilt = false;
    mutable std::unordered_set<std::string_view> m_names;
};

}  // namespace morvane
