#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "core/command_result.h"
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
struct AfterResult : CommandResult {
    std::string record;             // the AFTER file written
    std::string programName;        // its first line
    std::string drives;             // its drive letters, in order
    long directories = 0;           // new directories
    long files = 0;                 // new files in older directories
    std::array<bool, 4> changed{};  // AUTOEXEC.BAT, CONFIG.SYS, WIN.INI, SYSTEM.INI, as in kConfigFiles
    std::size_t passedOver = 0;     // names a Windows path cannot express
    bool beforeFileKept = false;    // the BEFORE file could not be deleted afterwards (reported)
    std::string prefix;             // the Wine prefix whose changes the companion keeps, if any
    long registryChanges = 0;       // keys and values added, changed and deleted there
    long desktopEntries = 0;        // desktop entries added for the program
};
AfterResult CreateAfterFile(const Context& ctx);

}  // namespace morvane
