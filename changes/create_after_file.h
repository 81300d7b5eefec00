#pragma once

#include "core/context.h"

namespace morvane {

// Create AFTER file: compares the drives and configuration files with BEFORE.DAT, writes what the
// installation added into the lowest free AFTER<n>.DAT of the data folder, deletes BEFORE.DAT and shows the
// installation report. The main window is hidden while it runs and shown again on every way out.
//
// AFTER<n>.DAT, every line ending in CR LF:
//
//   program name (line 1 of BEFORE.DAT)
//   per drive block of BEFORE.DAT, in its order:
//     the drive letter ("C")
//     new directories, longest path first ("\APP\BIN\", "\APP\")
//     new files in old directories, in the order of BEFORE.DAT's directory lines and the listing's order
//     within each ("\WINDOWS\NEW.DLL", "\SETUP.LOG")
//   the sections "*AUTOEXEC*", "*CONFIG*", "*WIN*", "*SYSTEM*" (CompareSystemFileSection), "*END SYSTEM*" last
//
// A damaged BEFORE.DAT, or a file that cannot be read or written, stops the command with an error message:
// BEFORE.DAT is kept and no partial AFTER file remains.
void CreateAfterFile(const Context& ctx);

}  // namespace morvane
