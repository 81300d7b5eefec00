#pragma once

// The wineserver owns a prefix's registry files while it runs: it reads them when it starts and writes them back
// every 30 seconds and when it ends, over whatever was written meanwhile. Morvane reads and writes them only while
// no server runs for the prefix, and never starts or ends Wine itself.

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/result.h"

namespace morvane::wine {

// The process of the wineserver that runs for the prefix, found through the lock it holds (without starting
// Wine); nothing when none runs. An error when the places the lock may lie cannot be read.
Result<std::optional<pid_t>> RunningServer(const std::string& prefix);

// The server folders that may hold the prefix's lock, as host paths, in the order they are looked at: Debian's
// $TMPDIR/<name in the prefix's file "wineserver">/ (when that file names one), /run/user/<uid>/wine/ (when
// /run/user/<uid> exists) and upstream Wine's /tmp/.wine-<uid>/, each followed by server-<device>-<inode> of the
// prefix folder. An error when the prefix cannot be looked at.
Result<std::vector<std::string>> ServerFolders(const std::string& prefix);

// Holds the server's lock for the prefix while it lives, so that no wineserver starts while Morvane writes the
// registry files: the lock of every server folder that applies, each made as Wine makes it when missing (the folder
// 0700, the file `lock` 0600). A wineserver started meanwhile finds the lock held and ends at once (exit status 2),
// and the Wine program that started it ends with an error: nothing runs until the lock is let go. An error (of the
// kind Other, with the server's process in the reason) when a server runs.
class ServerLock {
public:
    static Result<std::unique_ptr<ServerLock>> take(const std::string& prefix);
    ~ServerLock();
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

private:
    explicit ServerLock(std::vector<int> fds) : m_fds(std::move(fds)) {}
    std::vector<int> m_fds;  // one open lock file per server folder; closing one lets its lock go
};

}  // namespace morvane::wine
