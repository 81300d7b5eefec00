#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <cerrno>
#include <string_view>
#include <vector>

namespace morvane::host {

// Calls visit(name, type) for every entry of an open directory except "." and "..", reading it with
// getdents64 through one buffer per thread. 0 or the errno that stopped the reading.
template <typename Visit>
int forEachEntry(int dirFd, Visit&& visit)
{
    thread_local std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = ::getdents64(dirFd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return 0;
        }
        for (ssize_t offset = 0; offset < n;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.data() + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            visit(std::string_view(name), entry->d_type);
        }
    }
}

enum class EntryKind { File, Directory, Outside };

// What an entry is for the listings: a real directory on the drive's device, an entry of another file
// system (a mount point, left out), or anything else (a file; links included). Only directories and
// entries of unknown type cost a stat. -1 for an entry that vanished meanwhile, else 0 or an errno.
int classify(int dirFd, const char* name, unsigned char type, dev_t device, EntryKind& kind);

}  // namespace morvane::host
