#pragma once

#include "core/context.h"

namespace morvane {

// Moves BEFORE.DAT and numbered AFTER<n>.DAT files that older installations kept in the Windows directory
// into the data folder. A file is deleted from the Windows directory only after its copy is complete; a move
// that fails is reported and start-up goes on.
void MoveRecordsFromWinDir(const Context& ctx);

}  // namespace morvane
