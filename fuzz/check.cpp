#include <cstdio>
#include <cstdlib>

#include "fuzz/memory_lines.h"

namespace morvane::fuzz {

void CheckFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

}  // namespace morvane::fuzz
