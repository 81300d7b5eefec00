#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fd.h"
#include "platform/file_system.h"
#include "platform/result.h"

// Parsing and resolution of the paths handed to the host file system.
namespace morvane::host {

Error invalidPath(std::string_view path, const char* reason);
Error throughLink(std::string_view path);

// Joins a host folder and a relative path without doubling the separator after "/".
std::string joinHost(std::string_view folder, std::string_view relative);

// The user's home folder: $HOME, else the password database's; empty when there is none.
std::string homeFolder();

// The absolute form of a host path, taken from the working folder when it is relative, with "." and ".."
// components and doubled slashes resolved as text, without touching the disk; "/" for the root. Empty when a
// relative path cannot be completed because the working folder is unknown (errno says why).
std::string cleanAbsolute(std::string_view path);

// openat2 with RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH; falls back (returns -1 with ENOSYS) on kernels
// without it, remembering that for the next calls.
int openBeneath(int rootFd, const char* relative, int flags);

// The drive roots, cached by each FileSystem: an O_PATH descriptor of each root and its device, so
// that resolving a path never re-walks the root's own (linked) path and the mount test needs no stat of it.
struct DriveHandle {
    int fd = -1;
    dev_t device = 0;
};

struct DriveCache {
    std::mutex mutex;
    std::array<DriveHandle, 26> drives;
    ~DriveCache()
    {
        for (auto& d : drives) {
            if (d.fd >= 0) {
                ::close(d.fd);
            }
        }
    }
};

// A path split into its parts. Windows paths: the drive letter and the components below the root (views
// into the caller's string). Host paths: the folder and the last name.
struct ParsedPath {
    bool host = false;
    char letter = 0;
    std::vector<std::string_view> components;
    std::string_view hostFolder;  // host paths: the folder of the last name, "/" for the root's entries
    std::string_view hostName;    // host paths: the last name, empty for "/"
};

Status parsePath(std::string_view path, ParsedPath& out);

// The first entry of a directory equal to `name` in ASCII letter case, in listing order; empty when none.
// Errors reading the directory give an empty answer (the caller then keeps the spelling and fails later).
std::string findIgnoringCase(int dirFd, std::string_view name);

// Where a path leads: the folder holding the entry (an O_PATH descriptor), the entry's name as found on
// disk (or as given when missing) and the full host path.
struct Location {
    Fd folder;
    std::string name;  // "." for a drive root or "/"
    std::string host;
    bool found = false;
    struct stat st {};
};

// Path resolution for one FileSystem: its drive map, the cached drive roots, the fast path through the
// kernel and the component walk with the letter-case lookup.
class PathResolver {
public:
    explicit PathResolver(const FileSystem& fs) : m_fs(fs) {}

    Result<DriveHandle> drive(std::string_view path, char letter) const;

    // Opens the folder named by all of `components` below a drive root, as an O_PATH descriptor when
    // `flags` says so. The names found on disk are appended to `host` when it is given.
    // With `exact`, every name must be spelled as given: no other letter case is looked for.
    Result<Fd> openFolder(std::string_view path, const DriveHandle& drive,
                          const std::vector<std::string_view>& components, std::size_t count, int flags,
                          std::string* host, bool exact = false) const;

    // Component by component: the exact name first, else the first name equal in letter case.
    Result<Fd> walk(std::string_view path, const DriveHandle& drive, const std::vector<std::string_view>& components,
                    std::size_t count, int flags, std::string* host, bool exact) const;

    // Resolves a path to the folder holding it and its name. With Lookup::Exact a Windows path's names are
    // taken as spelled, and an entry found on another device than its drive root is refused (EXDEV).
    Result<Location> locate(std::string_view path, Lookup lookup = Lookup::AnyCase) const;

    // Opens a directory for reading its entries. `device` receives the device that its subdirectories must
    // share (the drive root's for Windows paths, the directory's own for host paths); `host` its host path.
    // With `exact`, a Windows path's names are taken as spelled (see openFolder). `leftOut`, when given, receives
    // the directory's node among its drive's left-out folders (nullptr when nothing in it is left out); a
    // directory inside a left-out folder is then refused with EXDEV, as not part of the drive.
    Result<Fd> openDirectory(std::string_view path, dev_t& device, std::string* host, bool exact = false,
                             const LeftOutNode** leftOut = nullptr) const;

private:
    const FileSystem& m_fs;
};

// Where an existing file or directory is; ENOENT when nothing has that name.
Result<Location> locateExisting(const FileSystem& fs, std::string_view path, Lookup lookup = Lookup::AnyCase);

}  // namespace morvane::host
