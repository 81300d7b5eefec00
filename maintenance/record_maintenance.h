#pragma once

#include "core/command_result.h"
#include "core/context.h"
#include "removal/select_after_file.h"

namespace morvane {

// The commands that forget records without touching the installed programs. Each asks before it deletes,
// reports a deletion that fails with the file's name and the system's reason (and a folder it cannot read,
// which is never taken for one without records), and leaves the command pairs as the files that exist
// afterwards say.

// Each returns how it ended: Done once every file it set out to delete is gone, Cancelled on No, Failed when
// there was nothing to delete or a file or folder could not be deleted or read.

// Deletes the AFTER file of one program the user picks in the selection window.
void DeleteAfterFile(const Context& ctx, AfterFileList& list);
// The same for AFTER<number>.DAT, without the selection window (it still asks before it deletes).
CommandResult DeleteAfterFile(const Context& ctx, long number);

// Deletes BEFORE.DAT. The main window stays visible.
CommandResult DeleteBeforeFile(const Context& ctx);

// Deletes the safety copies (.QRV) and missing-line files (.MIS) that restoration leaves beside AUTOEXEC.BAT,
// CONFIG.SYS, WIN.INI and SYSTEM.INI.
CommandResult DeleteSafetyFiles(const Context& ctx);

}  // namespace morvane
