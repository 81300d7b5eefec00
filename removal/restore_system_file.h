#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/context.h"
#include "records/after_file_reader.h"
#include "records/record_format.h"
#include "removal/deletion_plan.h"

namespace morvane {

// The window Form4 as the restoration sees it.
class RestoreOptions {
public:
    virtual ~RestoreOptions() = default;
    // Fills the caption and Label1..Label5 (the two variants by `linesMissing`), shows the window, waits
    // until Ok, hides it and returns DialogChoice: 1, 2 or 3. Option selection persists between calls.
    virtual int ShowRestoreOptions(const std::string& path, const std::string& programName, bool linesMissing) = 0;
};

// What the restoration window shows for one file, wherever it is shown.
struct RestoreOptionsText {
    std::string caption;                 // "Considering restoring original <path> file."
    std::array<std::string, 5> lines;    // Label1..Label5; the last is empty when no lines are missing
    std::string optionsHeading;          // Label6
    std::array<std::string, 3> options;  // Option1..Option3: keep the file, replace it, merge
};

// The texts of the restoration window for the file `path` that the installation of `programName` changed and
// the user changed since; `linesMissing` when the installation removed or changed lines of the original.
RestoreOptionsText RestoreOptionsTexts(const std::string& path, const std::string& programName, bool linesMissing);

// The line lists of one restoration, all normalised, positions from 0. A list is searched as if it had an
// empty entry after its last line: an empty line is always found in OriginalLines and in InstalledLines, so
// blank current lines are always kept and blank original lines are never missing.
struct RestoreLines {
    std::vector<std::string> OriginalLines;   // the file before the installation
    std::vector<std::string> InstalledLines;  // the file right after it
    std::vector<std::string> CurrentLines;    // the file now on disk
    std::vector<std::string> MissingLines;    // original lines the installation removed or changed

    // Fills OriginalLines and InstalledLines from a section's stored lines, and MissingLines from them.
    void readSection(const ConfigSection& section);
    // Fills CurrentLines from the lines of the file on disk.
    void readCurrent(const std::vector<std::string>& fileLines);
    // The file was changed since the installation: other line count, or a line at the same position that
    // does not match.
    bool changedSinceInstallation() const;
    // The merge of choice 3: the lines to write. Entries of MissingLines that the merge places are blanked;
    // the non-empty ones left belong in the missing-line file.
    std::vector<std::string> merge();
    // The non-empty entries of MissingLines, in order.
    std::vector<std::string> unplacedLines() const;
    // The file already holds what a completed restoration leaves: the lines from before the installation, or
    // the merge of its safety copy `safetyCopy` (when there is one) with the lines the merge could not place
    // in `missingFile` (the .MIS file's lines). Such a file has nothing left to restore.
    bool alreadyRestored(const std::vector<std::string>* safetyCopy, const std::vector<std::string>* missingFile) const;
};

// Position (from 1) of the first line of `list` that matches `line`, counting the empty entry after the last
// line; 0 when there is none.
std::size_t FindLine(const std::vector<std::string>& list, const std::string& line);

// How one restoration ended.
enum class Restoration {
    NothingToDo,  // "~NO CHANGE~", or the file already holds what a restoration leaves
    Done,         // replaced or merged, with its safety copy
    LeftByUser,   // the user chose to leave the file as it is
    Failed,       // refused or not written: the file is as it was, and its old lines exist only in the record
};

// Restores one configuration file from its section of the AFTER file. "~NO CHANGE~" does nothing, and so does
// a file that already holds what a restoration leaves (see AlreadyRestored), so that a second Delete program
// after one that stopped or failed halfway does not restore a file twice. Otherwise the user is asked
// (unchanged since the installation) or shown Form4 (changed since); the safety copy is written before the
// file is replaced or merged. A file that is hidden, system, a symbolic link or unreadable is refused, and
// every failure is reported in a message box and leaves the file as it was; the caller goes on with the next
// file.
// With a plan, nothing is written: the files that would be written are told to the plan with their lines.
Restoration RestoreSystemFile(const Context& ctx, RestoreOptions& form4, const ConfigSection& section,
                              const SystemFile& file, DeletionPlan* plan = nullptr);

}  // namespace morvane
