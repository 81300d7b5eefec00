#pragma once

#include <string>
#include <vector>

#include "core/command_result.h"
#include "core/context.h"
#include "removal/deletion_plan.h"
#include "removal/restore_system_file.h"
#include "removal/select_after_file.h"

namespace morvane {

// Delete program: the user picks an installed program; its AFTER file is read and checked whole, and after a
// confirmation every directory the installation created is emptied and removed (deepest first), every file it
// added to older directories is deleted (optionally asking for each), the four configuration files are
// restored, and the AFTER file is deleted last, unless a configuration file could not be restored: then the
// record, the only copy of that file's old lines, is kept, and a second run deletes what is left, offers the
// restorations that are not done yet and then deletes it. Only what the AFTER file names is ever touched, under
// exactly the recorded names and on each drive's own file system: a record that is damaged, or whose paths now
// lead through a symbolic link, is refused before anything is deleted.
//
// With a plan the run is a dry run: it asks the same questions (all but the confirmation of the whole
// deletion), changes nothing, and tells the plan every file and directory it would delete, keep and write.
void DeleteProgram(const Context& ctx, AfterFileList& list, RestoreOptions& form4, DeletionPlan* plan = nullptr);

struct DeletionResult : CommandResult {
    std::string record;                     // the AFTER file
    std::string programName;                // its first line, once it was read
    std::vector<std::string> notRestored;   // configuration files whose restoration was refused or failed
    bool recordKept = true;                 // false once the AFTER file is deleted (or, in a dry run, would be)
    std::vector<std::string> notReverted;   // the Wine prefix's changes that could not be taken back, and why
    std::vector<std::string> keptInPrefix;  // registry values and desktop entries kept: changed since
};

// The same for the program whose record is AFTER<number>.DAT, without the selection window. The questions go to
// ctx.prompts and the restoration window `form4` as in the windows, each under its notice, so that the caller
// decides how they are answered. Done once the record is deleted; Failed when the record is missing, damaged or
// kept (a configuration file not restored, or the record could not be deleted); Cancelled on No or at a drive
// that cannot be written to.
DeletionResult DeleteProgram(const Context& ctx, long number, RestoreOptions& form4, DeletionPlan* plan = nullptr);

// The two questions Delete program asks before it deletes anything, as AskYesNo takes them (without the
// question mark): the confirmation of the whole deletion, and whether each file in an older directory is
// confirmed.
std::string ConfirmDeletionQuestion(const std::string& programName);
inline constexpr const char* kConfirmEachFileQuestion = "Confirm deletion of files in pre-existing directories";

}  // namespace morvane
