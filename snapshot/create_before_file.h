#pragma once

#include "core/context.h"

namespace morvane {

// Create BEFORE file (Command1, CreateBEFOREFileFunc): asks for the name of the program about to be installed
// and the drives it goes on, then records in DataFolder & "BEFORE.DAT" every directory and file of those drives
// and copies of AUTOEXEC.BAT, CONFIG.SYS, WIN.INI and SYSTEM.INI. The file's format:
//
//     program name
//     per drive, in the order typed:  the letter; every directory ("\" for the root, "\A\B\"), longest first in
//         the exchange sort's order; then per directory in that order, its files ("\A\B\NAME") in listing order,
//         hidden, system and read-only ones included, BEFORE.DAT and AFTER*.DAT left out
//     *AUTOEXEC* ... *END AUTOEXEC*, *CONFIG* ... *END CONFIG*, *WIN* ... *END WIN*, *SYSTEM* ... *END SYSTEM*
//
// every line ending in CR LF. Any abort after the file is opened deletes it and leaves the command pairs as they
// were; success switches them to Create BEFORE off, Delete BEFORE and Create AFTER on.
void CreateBeforeFile(const Context& ctx);

}  // namespace morvane
