#include "removal/restore_system_file.h"

namespace morvane {

// Placeholder until the restoration lands: leaves every configuration file as it is.
void RestoreSystemFile(const Context&, RestoreOptions&, const ConfigSection&, const SystemFile&) {}

}  // namespace morvane
