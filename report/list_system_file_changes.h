#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "records/after_file_reader.h"

namespace morvane {

// The headers of the two blocks: 36 hyphens on each side; only the first has a blank on each side of its text.
inline constexpr std::string_view kAddedHeader =
    "------------------------------------ The following lines were added ------------------------------------";
inline constexpr std::string_view kRemovedHeader =
    "------------------------------------The following lines were removed------------------------------------";

// What changed between a configuration file's old and new contents: the new lines that no old line equals, and
// the old lines that no new line equals, each list in its file's order. Lines are normalised first and compared
// in upper case, as wholes, for presence only (order and repetitions play no part).
struct LineChanges {
    std::vector<std::string> added;
    std::vector<std::string> removed;
};
LineChanges AddedAndRemovedLines(const std::vector<std::string>& oldLines, const std::vector<std::string>& newLines);

// The display lines for a configuration file's old and new contents: the added header and every new line that
// no old line equals, then the removed header and every old line that no new line equals. Lines are
// normalised first and compared in upper case, as wholes, for presence only (order and repetitions play no
// part). When nothing differs the result is one empty line.
std::vector<std::string> ListLineChanges(const std::vector<std::string>& oldLines,
                                         const std::vector<std::string>& newLines);

// Reads the section `tag` ("AUTOEXEC", "CONFIG", "WIN", "SYSTEM") of the AFTER file, whose header line has just
// been read, through its end line. For a changed section `changed` becomes true and `lines` is replaced by the
// display lines; for "~NO CHANGE~" `changed` becomes false and `lines` is left as passed. A file that ends
// inside the section is an error, and then `lines` is left as passed too.
Status ListSystemFileChanges(AfterFileReader& after, std::string_view tag, bool& changed,
                             std::vector<std::string>& lines);

}  // namespace morvane
