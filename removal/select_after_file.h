#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"

namespace morvane {

// The selection lists a command keeps for SelectAfterFile. Positions 1..AfterCount hold the AFTER files in
// listing order; AfterNames(0) is the search pattern and AfterNames(AfterCount + 1) is empty.
struct AfterSelection {
    long ChosenEntry = 0;  // position in the window's list from 0; -1 for Cancel; untouched when none exist
    std::vector<std::string> AfterNames;
    std::vector<long> AfterNumbers;
    std::vector<std::string> AfterFileNames;  // the file names as listed, same positions
    long AfterCount = 0;
    // A selection for a run that changes nothing (a dry run): an AFTER file that cannot be read is reported and
    // left out, but not deleted.
    bool LeaveCorrupted = false;

    // Nothing was chosen: no AFTER files, or Cancel.
    bool nothingChosen() const { return ChosenEntry == AfterCount || ChosenEntry == -1; }
};

// The window AfterFileListForm, as the selection sees it.
class AfterFileList {
public:
    virtual ~AfterFileList() = default;
    // The prompt line Label1, set by the calling command.
    virtual void setPrompt(std::string_view prompt) = 0;
    // Shows the names up to (not including) the first empty entry after position 0, the first one selected,
    // and waits for Ok, Cancel, a double click or a close from the frame. The position taken from 0, or -1.
    virtual int ShowAfterFileList(const std::vector<std::string>& AfterNames) = 0;
    // What SelectAfterFile calls: the window shows the names; a list that picks by the files' numbers (the
    // terminal's) looks at the whole selection.
    virtual int ChooseFrom(const AfterSelection& selection) { return ShowAfterFileList(selection.AfterNames); }
};

// Lists DataFolder & "AFTER*.DAT", reads each file's program name, reports and deletes AFTER files that
// cannot be read (and starts again), and lets the user choose.
void SelectAfterFile(const Context& ctx, AfterFileList& window, AfterSelection& selection);

// The host path of the chosen entry's AFTER file, DataFolder & "AFTER" & number & ".DAT". When that is not the
// file that was listed (AFTER.DAT and AFTER07.DAT do not lead back to their own names), or the file is gone,
// the record cannot be opened: a message naming the listed file says so and nothing is returned.
std::optional<std::string> ChosenAfterFilePath(const Context& ctx, const AfterSelection& selection);

}  // namespace morvane
