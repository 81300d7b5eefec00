#pragma once

#include "core/context.h"

namespace morvane {

// The quick instructions: nineteen lines in the message panel, the main window disabled until the panel's Ok
// (or a close from its frame). Afterwards the panel is blank, centred and hidden, with Label2 hidden, as
// start-up leaves it, so the next progress display shows no trace of the instructions.
void ShowQuickInstructions(const Context& ctx);

}  // namespace morvane
