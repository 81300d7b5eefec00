#pragma once

#include <cstddef>

namespace morvane {

// Asks the system to back the whole 2 MiB pages of a buffer with huge pages, before the buffer is first written:
// filling one of tens of megabytes then takes a small fraction of the page faults, which cost the most on virtual
// machines. Only advice: nothing happens for a small buffer or where the system does not allow it (transparent huge
// pages "never").
void AdviseHugePages(void* data, std::size_t size);

}  // namespace morvane
