#pragma once

// The wineserver owns a prefix's registry files while it runs: it reads them when it starts and writes them back
// every 30 seconds and when it ends, over whatever was written meanwhile. Morvane reads and writes them only while
// no server runs for the prefix, and never starts or ends Wine itself.

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/result.h"

namespace morvane::wine {

// The process of the wineserver that runs for the prefix, found through the lock it holds (without starting
// Wine); nothing when none runs. An error when the places the lock may lie cannot be read.
Result<std::optional<pid_t>> RunningServer(const std::string& prefix);

// Holds the server's lock for the prefix while it lives, so that no wineserver starts while Morvane writes the
// registry files. An error (of the kind Other, with the server's process in the reason) when a server runs.
class ServerLock {
public:
    static Result<std::unique_ptr<ServerLock>> take(const std::string& prefix);
    ~ServerLock();
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

private:
    explicit ServerLock(int fd) : m_fd(fd) {}
    int m_fd;
};

}  // namespace morvane::wine
