#pragma once

#include "morvane_version.h"  // kProgramVersion
#include "platform/desktop.h"
#include "platform/prompts.h"

namespace morvane {

// The Morvane project's home page, the address the About window links to.
inline constexpr const char* kMakerWebPage = "https://morvane.example.org/";

// Asks the desktop to open the home page in the web browser. When it cannot, a message gives the error code
// the desktop returned; nothing else changes.
void OpenMakerWebPage(Desktop& desktop, Prompts& prompts);

}  // namespace morvane
