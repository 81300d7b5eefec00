#pragma once

#include <string_view>

namespace morvane {

// The manual ZELK.TXT as it was built into the program, for a copy of the executable that has no manual
// beside it.
std::string_view EmbeddedManual();

}  // namespace morvane
