#include "app/startup.h"

namespace morvane {

void MoveRecordsFromWinDir(const Context& ctx)
{
    (void)ctx;
}

}  // namespace morvane
