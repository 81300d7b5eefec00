#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {
struct LeftOutNode;
}

namespace morvane::host {

// Large enough that most directories come in one getdents64 call.
inline constexpr std::size_t kEntryBufferSize = 256 * 1024;

// Calls visit(name, type) for every entry of an open directory except "." and "..", reading it with
// getdents64 through one buffer per thread. 0 or the errno that stopped the reading.
template <typename Visit>
int forEachEntry(int dirFd, Visit&& visit)
{
    thread_local std::vector<char> buffer(kEntryBufferSize);
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

// The names of one directory as the scans and listings see them, in one buffer that is reused from one
// directory to the next: no string object per name.
struct EntryNames {
    struct Span {
        std::uint32_t offset;
        std::uint32_t size;
    };
    std::string bytes;              // the kept names, each followed by a NUL
    std::vector<Span> files;        // every entry that is not a real directory, links included
    std::vector<Span> directories;  // real directories on the drive's device
    std::size_t skippedFiles = 0;   // names a Windows path cannot express
    std::size_t skippedDirectories = 0;

    std::string_view name(Span span) const { return std::string_view(bytes.data() + span.offset, span.size); }
    const char* cName(Span span) const { return bytes.data() + span.offset; }
    void clear()
    {
        bytes.clear();
        files.clear();
        directories.clear();
        skippedFiles = 0;
        skippedDirectories = 0;
    }
};

// One pass over an open directory: its real subdirectories on `device` and, when asked, every other entry,
// both sorted in listing order. Names a Windows path cannot carry are counted, not kept. With `leftOut` (the
// directory's node of its drive's left-out folders), the names it leaves out are neither kept nor counted.
// 0 or an errno.
int readEntries(int dirFd, dev_t device, bool wantFiles, EntryNames& out, const LeftOutNode* leftOut = nullptr);

}  // namespace morvane::host
