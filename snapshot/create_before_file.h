#pragma once

#include <cstddef>
#include <string>

#include "core/command_result.h"
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

// What Create BEFORE file is asked to record: the program's name and the drive letters, as typed into its two
// input boxes.
struct BeforeRequest {
    std::string programName;
    std::string drives;  // "C", "DE"; either letter case
};

struct BeforeResult : CommandResult {
    std::string record;  // the BEFORE file written
    std::string drives;  // the drives recorded, upper case, in order
    long directories = 0;
    long files = 0;
    std::size_t passedOver = 0;  // names a Windows path cannot express
    std::string prefix;          // the Wine prefix whose registry and desktop entries were kept beside it, if any
};

// The same without the input boxes: the name and the drives come with the request, and one that cannot be used
// (a BEFORE file already waits, a control character in the name, a letter that is not a readable drive) is
// reported as the windows report it and ends the command (Failed). An empty name or no drives ends it as a
// Cancel would.
BeforeResult CreateBeforeFile(const Context& ctx, const BeforeRequest& request);

}  // namespace morvane
