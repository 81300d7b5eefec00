#include "platform/path_resolver.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/directory_entries.h"
#include "platform/names.h"

namespace morvane {

namespace host {

Error invalidPath(std::string_view path, const char* reason)
{
    return errorWithReason(std::string(path), EINVAL, reason);
}

Error throughLink(std::string_view path)
{
    return errorWithReason(std::string(path), ELOOP, "the path passes through a symbolic link");
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return {};
}

std::string cleanAbsolute(std::string_view path)
{
    std::string whole;
    if (path.empty() || path.front() != '/') {
        std::vector<char> buffer(4096);
        while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE) {
                return {};
            }
            buffer.resize(buffer.size() * 2);
        }
        whole = joinHost(buffer.data(), path);
        path = whole;
    }
    std::vector<std::string_view> parts;
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t slash = std::min(path.find('/', at), path.size());
        const std::string_view part = path.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    std::string clean;
    for (const std::string_view part : parts) {
        clean += '/';
        clean.append(part);
    }
    return clean.empty() ? std::string("/") : clean;
}

std::string joinHost(std::string_view folder, std::string_view relative)
{
    std::string out;
    out.reserve(folder.size() + relative.size() + 1);
    out.append(folder);
    if (out.empty() || out.back() != '/') {
        out += '/';
    }
    out.append(relative);
    return out;
}

// Set once openat2 turned out to be missing (an older kernel), so that later calls go straight to the walk.
std::atomic<bool> g_noOpenat2{false};

int openBeneath(int rootFd, const char* relative, int flags)
{
    if (!g_noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = static_cast<unsigned long long>(flags);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        for (;;) {
            const long fd = ::syscall(SYS_openat2, rootFd, relative, &how, sizeof how);
            if (fd >= 0) {
                return static_cast<int>(fd);
            }
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            if (errno != ENOSYS && errno != E2BIG) {
                return -1;
            }
            g_noOpenat2.store(true, std::memory_order_relaxed);
            break;
        }
    }
    errno = ENOSYS;
    return -1;
}

Status parsePath(std::string_view path, ParsedPath& out)
{
    if (!path.empty() && path[0] == '/') {
        out.host = true;
        std::string_view p = path;
        while (p.size() > 1 && p.back() == '/') {
            p.remove_suffix(1);
        }
        if (p == "/") {
            out.hostFolder = "/";
            out.hostName = {};
            return {};
        }
        const std::size_t slash = p.rfind('/');
        out.hostFolder = slash == 0 ? std::string_view("/") : p.substr(0, slash);
        out.hostName = p.substr(slash + 1);
        return {};
    }
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0]))) {
        return invalidPath(path, "not a Windows path (a drive letter, ':' and '\\' expected)");
    }
    out.letter = UpperAscii(path[0]);
    std::string_view rest = path.substr(2);
    if (rest.empty()) {
        return {};  // "C:" stands for the root
    }
    if (rest[0] != '\\') {
        return invalidPath(path, "not a full Windows path (no '\\' after the drive letter)");
    }
    rest.remove_prefix(1);
    while (!rest.empty()) {
        const std::size_t sep = rest.find('\\');
        const std::string_view component = rest.substr(0, sep);
        if (component.empty()) {
            return invalidPath(path, "the path has an empty component");
        }
        if (component == "." || component == "..") {
            return invalidPath(path, "the path has a \".\" or \"..\" component");
        }
        if (component.find('/') != std::string_view::npos || component.find('\0') != std::string_view::npos) {
            return invalidPath(path, "a name in the path holds '/' or a NUL byte");
        }
        out.components.push_back(component);
        if (sep == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(sep + 1);  // a trailing '\' leaves `rest` empty: a directory path
    }
    return {};
}

// The first entry of a directory equal to `name` in ASCII letter case, in listing order; empty when none.
// Errors reading the directory give an empty answer (the caller then keeps the spelling and fails later).
std::string findIgnoringCase(int dirFd, std::string_view name)
{
    Fd readable(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable.valid()) {
        return {};
    }
    std::string best;
    forEachEntry(readable.get(), [&](std::string_view entry, unsigned char) {
        if (EqualsIgnoringCase(entry, name) && (best.empty() || listingLess(entry, best))) {
            best.assign(entry);
        }
    });
    return best;
}

Result<DriveHandle> PathResolver::drive(std::string_view path, char letter) const
{
    const std::string* root = m_fs.drives().root(letter);
    if (!root) {
        return errorWithReason(std::string(path), ENOENT, std::string("there is no drive ") + letter + ":");
    }
    DriveCache& cache = *m_fs.m_driveCache;
    std::lock_guard lock(cache.mutex);
    DriveHandle& handle = cache.drives[static_cast<std::size_t>(letter - 'A')];
    if (handle.fd < 0) {
        // The root itself may be reached through links (dosdevices); nothing below it may.
        Fd fd(::open(root->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!fd.valid()) {
            return errorFromErrno(std::string(path), errno);
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            return errorFromErrno(std::string(path), errno);
        }
        handle.device = st.st_dev;
        handle.fd = fd.release();
    }
    return handle;
}

Result<Fd> PathResolver::openFolder(std::string_view path, const DriveHandle& drive,
                                    const std::vector<std::string_view>& components, std::size_t count, int flags,
                                    std::string* host, bool exact) const
{
    // Fast path: the exact spelling, resolved by the kernel in one call.
    thread_local std::string relative;
    relative.clear();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            relative += '/';
        }
        relative.append(components[i]);
    }
    if (relative.empty()) {
        relative = ".";
    }
    const int fd = openBeneath(drive.fd, relative.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        if (host && count > 0) {
            *host = joinHost(*host, relative);
        }
        return Fd(fd);
    }
    if (errno == ELOOP) {
        return throughLink(path);
    }
    // A path too long for one call (deep trees pass PATH_MAX) is walked one component at a time like any other.
    if ((errno != ENOENT || exact) && errno != ENOSYS && errno != ENAMETOOLONG) {
        return errorFromErrno(std::string(path), errno);
    }
    return walk(path, drive, components, count, flags, host, exact);
}

Result<Fd> PathResolver::walk(std::string_view path, const DriveHandle& drive,
                              const std::vector<std::string_view>& components, std::size_t count, int flags,
                              std::string* host, bool exact) const
{
    Fd current(::fcntl(drive.fd, F_DUPFD_CLOEXEC, 0));
    if (!current.valid()) {
        return errorFromErrno(std::string(path), errno);
    }
    std::string name;
    for (std::size_t i = 0; i < count; ++i) {
        name.assign(components[i]);
        int next = ::openat(current.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && !exact) {
            std::string other = findIgnoringCase(current.get(), name);
            if (!other.empty()) {
                name = std::move(other);
                next = ::openat(current.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
            }
        }
        if (next < 0) {
            const int code = errno;
            struct stat st {};
            if (code != ENOENT && ::fstatat(current.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode)) {
                return throughLink(path);
            }
            return errorFromErrno(std::string(path), code);
        }
        current.reset(next);
        if (host) {
            *host = joinHost(*host, name);
        }
    }
    if ((flags & O_PATH) == 0) {
        Fd opened(::openat(current.get(), ".", flags | O_DIRECTORY | O_CLOEXEC));
        if (!opened.valid()) {
            return errorFromErrno(std::string(path), errno);
        }
        return opened;
    }
    return current;
}

Result<Location> PathResolver::locate(std::string_view path, Lookup lookup) const
{
    const bool exact = lookup == Lookup::Exact;
    ParsedPath parsed;
    if (Status s = parsePath(path, parsed); !s) {
        return s.error();
    }
    Location loc;
    dev_t device = 0;
    if (parsed.host) {
        loc.host.assign(parsed.hostFolder);
        Fd folder(::open(loc.host.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folder.valid()) {
            return errorFromErrno(std::string(path), errno);
        }
        loc.folder = std::move(folder);
        loc.name = parsed.hostName.empty() ? std::string(".") : std::string(parsed.hostName);
    } else {
        auto drive = this->drive(path, parsed.letter);
        if (!drive) {
            return drive.error();
        }
        loc.host = *m_fs.drives().root(parsed.letter);
        const std::size_t count = parsed.components.empty() ? 0 : parsed.components.size() - 1;
        auto folder = openFolder(path, *drive, parsed.components, count, O_PATH, &loc.host, exact);
        if (!folder) {
            return folder.error();
        }
        loc.folder = std::move(*folder);
        loc.name = parsed.components.empty() ? std::string(".") : std::string(parsed.components.back());
        device = drive->device;
        // Nothing in a folder its drive leaves out is recorded, so an older record's entry there is not the
        // installation's either.
        const LeftOutNode* node = exact ? m_fs.drives().leftOut(parsed.letter) : nullptr;
        for (std::size_t i = 0; node && i < parsed.components.size(); ++i) {
            node = node->child(parsed.components[i]);
            if (node && node->whole) {
                return errorWithReason(std::string(path), EXDEV, "the folder is left out of the drive");
            }
        }
    }
    if (::fstatat(loc.folder.get(), loc.name.c_str(), &loc.st, AT_SYMLINK_NOFOLLOW) == 0) {
        loc.found = true;
        // A file system mounted below the drive since the record was made is not part of the drive.
        if (exact && !parsed.host && loc.st.st_dev != device) {
            return errorWithReason(std::string(path), EXDEV, "it lies on another file system than its drive");
        }
    } else if (errno == ENOENT && exact) {
        // Only the name as spelled counts.
    } else if (errno == ENOENT) {
        std::string other = findIgnoringCase(loc.folder.get(), loc.name);
        if (!other.empty() && ::fstatat(loc.folder.get(), other.c_str(), &loc.st, AT_SYMLINK_NOFOLLOW) == 0) {
            loc.name = std::move(other);
            loc.found = true;
        }
    } else {
        return errorFromErrno(std::string(path), errno);
    }
    if (loc.name != ".") {
        loc.host = joinHost(loc.host, loc.name);
    }
    return loc;
}

Result<Fd> PathResolver::openDirectory(std::string_view path, dev_t& device, std::string* host, bool exact,
                                       const LeftOutNode** leftOut) const
{
    if (leftOut) {
        *leftOut = nullptr;
    }
    ParsedPath parsed;
    if (Status s = parsePath(path, parsed); !s) {
        return s.error();
    }
    if (parsed.host) {
        auto loc = locate(path);
        if (!loc) {
            return loc.error();
        }
        Fd fd(::openat(loc->folder.get(), loc->name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
            return errorFromErrno(std::string(path), errno);
        }
        device = st.st_dev;
        if (host) {
            *host = std::move(loc->host);
        }
        return fd;
    }
    auto drive = this->drive(path, parsed.letter);
    if (!drive) {
        return drive.error();
    }
    device = drive->device;
    const std::string& root = *m_fs.drives().root(parsed.letter);
    const LeftOutNode* tree = leftOut ? m_fs.drives().leftOut(parsed.letter) : nullptr;
    if (!tree) {
        if (host) {
            *host = root;
        }
        return openFolder(path, *drive, parsed.components, parsed.components.size(), O_RDONLY, host, exact);
    }
    // The tree is walked with the names found on disk, however the path spells them.
    std::string local;
    std::string& found = host ? *host : local;
    found = root;
    auto dir = openFolder(path, *drive, parsed.components, parsed.components.size(), O_RDONLY, &found, exact);
    if (!dir) {
        return dir;
    }
    const LeftOutNode* node = tree;
    const std::string_view below = std::string_view(found).substr(root.size());
    for (std::size_t pos = 0; node && pos < below.size();) {
        const std::size_t slash = std::min(below.find('/', pos), below.size());
        if (slash > pos) {
            node = node->child(below.substr(pos, slash - pos));
            if (node && node->whole) {
                return errorWithReason(std::string(path), EXDEV, "the folder is left out of the drive");
            }
        }
        pos = slash + 1;
    }
    *leftOut = node;
    return dir;
}

// Where an existing file or directory is; ENOENT when nothing has that name.
Result<Location> locateExisting(const FileSystem& fs, std::string_view path, Lookup lookup)
{
    auto loc = PathResolver(fs).locate(path, lookup);
    if (loc && !loc->found) {
        return errorFromErrno(std::string(path), ENOENT);
    }
    return loc;
}

}  // namespace host

using namespace host;

FileSystem::FileSystem(DriveMap drives) : m_drives(std::move(drives)), m_driveCache(std::make_unique<DriveCache>()) {}

FileSystem::~FileSystem() = default;

Result<std::string> FileSystem::toHost(std::string_view path, Lookup lookup) const
{
    auto loc = PathResolver(*this).locate(path, lookup);
    if (!loc) {
        return loc.error();
    }
    return std::move(loc->host);
}

}  // namespace morvane
