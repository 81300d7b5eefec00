#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <unordered_map>

#include "platform/fd_text_file.h"

namespace morvane {

namespace {

constexpr const char* kDosAttributeName = "user.DOSATTRIB";
constexpr unsigned kDosHidden = 0x2;
constexpr unsigned kDosSystem = 0x4;

// An owned file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

Error invalidPath(std::string_view path, const char* reason)
{
    return Error{std::string(path), EINVAL, reason};
}

Error throughLink(std::string_view path)
{
    return Error{std::string(path), ELOOP, "the path passes through a symbolic link"};
}

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Listing order: the ASCII upper-case form first, then plain bytes.
bool listingLess(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ua = static_cast<unsigned char>(upperAscii(a[i]));
        const auto ub = static_cast<unsigned char>(upperAscii(b[i]));
        if (ua != ub) {
            return ua < ub;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

void sortForListing(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return listingLess(a, b); });
}

// A name a Windows path can carry: no '\' and no byte below 32.
bool expressible(std::string_view name)
{
    for (const char c : name) {
        if (c == '\\' || static_cast<unsigned char>(c) < 32) {
            return false;
        }
    }
    return true;
}

// '*' for any run of bytes, '?' for one byte, letters in either case.
bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || upperAscii(pattern[p]) == upperAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// As on Windows, a pattern ending in ".*" also matches a name that has no dot ("*.*" matches every name).
bool patternMatches(std::string_view pattern, std::string_view name)
{
    if (wildcardMatch(pattern, name)) {
        return true;
    }
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return wildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

// Joins a host folder and a relative path without doubling the separator after "/".
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

// The bits of user.DOSATTRIB ("0x22"), 0 when the attribute is missing or not in that form.
unsigned parseDosBits(std::string_view text, bool* wellFormed = nullptr)
{
    if (wellFormed) {
        *wellFormed = false;
    }
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return 0;
    }
    unsigned value = 0;
    std::size_t i = 2;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            break;
        }
        value = (value << 4) | digit;
    }
    if (i == 2) {
        return 0;
    }
    if (wellFormed) {
        *wellFormed = true;
    }
    return value;
}

// Reads user.DOSATTRIB of a host path without following a link; empty when there is none.
std::string readDosAttribute(const std::string& hostPath)
{
    char buffer[256];
    const ssize_t n = ::lgetxattr(hostPath.c_str(), kDosAttributeName, buffer, sizeof buffer);
    if (n > 0) {
        return std::string(buffer, static_cast<std::size_t>(n));
    }
    if (n < 0 && errno == ERANGE) {
        const ssize_t size = ::lgetxattr(hostPath.c_str(), kDosAttributeName, nullptr, 0);
        if (size > 0) {
            std::string value(static_cast<std::size_t>(size), '\0');
            const ssize_t got = ::lgetxattr(hostPath.c_str(), kDosAttributeName, value.data(), value.size());
            if (got >= 0) {
                value.resize(static_cast<std::size_t>(got));
                return value;
            }
        }
    }
    return {};
}

unsigned dosBits(const std::string& hostPath)
{
    return parseDosBits(readDosAttribute(hostPath));
}

// openat2 with RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH; falls back (returns -1 with ENOSYS) on kernels
// without it, remembering that for the next calls.
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
int classify(int dirFd, const char* name, unsigned char type, dev_t device, EntryKind& kind)
{
    if (type != DT_DIR && type != DT_UNKNOWN) {
        kind = EntryKind::File;
        return 0;
    }
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) {
        return errno == ENOENT ? -1 : errno;
    }
    if (!S_ISDIR(st.st_mode)) {
        kind = EntryKind::File;
    } else {
        kind = st.st_dev == device ? EntryKind::Directory : EntryKind::Outside;
    }
    return 0;
}

// Per file-system-object cache of the drive roots: an O_PATH descriptor of each root and its device, so
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

std::mutex g_cachesMutex;
std::unordered_map<const FileSystem*, std::unique_ptr<DriveCache>>& caches()
{
    static std::unordered_map<const FileSystem*, std::unique_ptr<DriveCache>> map;
    return map;
}

DriveCache& cacheFor(const FileSystem* fs)
{
    std::lock_guard lock(g_cachesMutex);
    auto& slot = caches()[fs];
    if (!slot) {
        slot = std::make_unique<DriveCache>();
    }
    return *slot;
}

void dropCache(const FileSystem* fs)
{
    std::lock_guard lock(g_cachesMutex);
    caches().erase(fs);
}

// A path split into its parts. Windows paths: the drive letter and the components below the root (views
// into the caller's string). Host paths: the folder and the last name.
struct ParsedPath {
    bool host = false;
    char letter = 0;
    std::vector<std::string_view> components;
    std::string_view hostFolder;  // host paths: the folder of the last name, "/" for the root's entries
    std::string_view hostName;    // host paths: the last name, empty for "/"
};

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
    out.letter = upperAscii(path[0]);
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
        if (equalsIgnoreCase(entry, name) && (best.empty() || listingLess(entry, best))) {
            best.assign(entry);
        }
    });
    return best;
}

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

    Result<DriveHandle> drive(std::string_view path, char letter) const
    {
        const std::string* root = m_fs.drives().root(letter);
        if (!root) {
            return Error{std::string(path), ENOENT, std::string("there is no drive ") + letter + ":"};
        }
        DriveCache& cache = cacheFor(&m_fs);
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

    // Opens the folder named by all of `components` below a drive root, as an O_PATH descriptor when
    // `flags` says so. The names found on disk are appended to `host` when it is given.
    // With `exact`, every name must be spelled as given: no other letter case is looked for.
    Result<Fd> openFolder(std::string_view path, const DriveHandle& drive,
                          const std::vector<std::string_view>& components, std::size_t count, int flags,
                          std::string* host, bool exact = false) const
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
        if ((errno != ENOENT || exact) && errno != ENOSYS) {
            return errorFromErrno(std::string(path), errno);
        }
        return walk(path, drive, components, count, flags, host, exact);
    }

    // Component by component: the exact name first, else the first name equal in letter case.
    Result<Fd> walk(std::string_view path, const DriveHandle& drive, const std::vector<std::string_view>& components,
                    std::size_t count, int flags, std::string* host, bool exact) const
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

    // Resolves a path to the folder holding it and its name.
    Result<Location> locate(std::string_view path) const
    {
        ParsedPath parsed;
        if (Status s = parsePath(path, parsed); !s) {
            return s.error();
        }
        Location loc;
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
            auto folder = openFolder(path, *drive, parsed.components, count, O_PATH, &loc.host);
            if (!folder) {
                return folder.error();
            }
            loc.folder = std::move(*folder);
            loc.name = parsed.components.empty() ? std::string(".") : std::string(parsed.components.back());
        }
        if (::fstatat(loc.folder.get(), loc.name.c_str(), &loc.st, AT_SYMLINK_NOFOLLOW) == 0) {
            loc.found = true;
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

    // Opens a directory for reading its entries. `device` receives the device that its subdirectories must
    // share (the drive root's for Windows paths, the directory's own for host paths); `host` its host path.
    // With `exact`, a Windows path's names are taken as spelled (see openFolder).
    Result<Fd> openDirectory(std::string_view path, dev_t& device, std::string* host, bool exact = false) const
    {
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
        if (host) {
            *host = *m_fs.drives().root(parsed.letter);
        }
        return openFolder(path, *drive, parsed.components, parsed.components.size(), O_RDONLY, host, exact);
    }

private:
    const FileSystem& m_fs;
};

struct Contents {
    std::vector<std::string> files;
    std::vector<std::string> directories;
    std::size_t skippedFiles = 0;
    std::size_t skippedDirectories = 0;
};

// One pass over an open directory: its real subdirectories on `device` and, when asked, every other entry.
// Names a Windows path cannot carry are counted, not kept. Both lists come back sorted. 0 or an errno.
int readContents(int dirFd, dev_t device, bool wantFiles, Contents& out)
{
    int failure = 0;
    std::string entry;
    const int readError = forEachEntry(dirFd, [&](std::string_view name, unsigned char type) {
        if (failure != 0 || (!wantFiles && type != DT_DIR && type != DT_UNKNOWN)) {
            return;
        }
        EntryKind kind = EntryKind::File;
        if (type == DT_DIR || type == DT_UNKNOWN) {
            entry.assign(name);
            if (const int code = classify(dirFd, entry.c_str(), type, device, kind); code != 0) {
                failure = code > 0 ? code : 0;
                return;
            }
        }
        if (kind == EntryKind::Outside || (kind == EntryKind::File && !wantFiles)) {
            return;
        }
        const bool directory = kind == EntryKind::Directory;
        if (!expressible(name)) {
            ++(directory ? out.skippedDirectories : out.skippedFiles);
            return;
        }
        (directory ? out.directories : out.files).emplace_back(name);
    });
    if (readError != 0 || failure != 0) {
        return readError != 0 ? readError : failure;
    }
    sortForListing(out.files);
    sortForListing(out.directories);
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// DriveMap

void DriveMap::set(char letter, std::string hostRoot)
{
    while (hostRoot.size() > 1 && hostRoot.back() == '/') {
        hostRoot.pop_back();
    }
    m_roots[upperAscii(letter)] = std::move(hostRoot);
}

const std::string* DriveMap::root(char letter) const
{
    const auto it = m_roots.find(upperAscii(letter));
    return it == m_roots.end() ? nullptr : &it->second;
}

std::vector<char> DriveMap::letters() const
{
    std::vector<char> out;
    out.reserve(m_roots.size());
    for (const auto& [letter, root] : m_roots) {
        out.push_back(letter);
    }
    return out;
}

namespace {

// Removes "." and ".." components and doubled separators from an absolute path, without touching the disk.
std::string normaliseAbsolute(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        const std::size_t slash = std::min(path.find('/', pos), path.size());
        const std::string_view part = path.substr(pos, slash - pos);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = slash + 1;
    }
    std::string out;
    for (const auto part : parts) {
        out += '/';
        out.append(part);
    }
    return out.empty() ? std::string("/") : out;
}

}  // namespace

DriveMap DriveMap::fromPrefix(const std::string& prefix)
{
    DriveMap map;
    std::string absolute = prefix;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd)) {
            absolute = joinHost(cwd, prefix);
        }
    }
    const std::string devices = joinHost(absolute, "dosdevices");
    Fd dir(::open(devices.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            map.set('C', "/");
        }
        return map;
    }
    std::vector<std::string> entries;
    forEachEntry(dir.get(), [&](std::string_view name, unsigned char type) {
        if (name.size() == 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])) &&
            (type == DT_LNK || type == DT_UNKNOWN)) {
            entries.emplace_back(name);
        }
    });
    // "C:" and "c:" side by side: the first in listing order counts, so the map never depends on disk order.
    sortForListing(entries);
    for (const auto& entry : entries) {
        if (map.root(entry[0])) {
            continue;
        }
        char target[4096];
        const ssize_t n = ::readlinkat(dir.get(), entry.c_str(), target, sizeof target - 1);
        if (n <= 0) {
            continue;
        }
        const std::string_view link(target, static_cast<std::size_t>(n));
        const std::string root = normaliseAbsolute(link[0] == '/' ? std::string(link) : joinHost(devices, link));
        struct stat st {};
        if (::stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            map.set(entry[0], root);
        }
    }
    return map;
}

DriveMap DriveMap::fromEnvironment()
{
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix && *prefix) {
        return fromPrefix(prefix);
    }
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    } else {
        home = "/";
    }
    return fromPrefix(joinHost(home, ".wine"));
}

// ---------------------------------------------------------------------------------------------------------
// FileSystem

FileSystem::FileSystem(DriveMap drives) : m_drives(std::move(drives)) {}

FileSystem::~FileSystem()
{
    dropCache(this);
}

std::string FileSystem::windowsDirectory() const
{
    std::string best;
    PathResolver resolver(*this);
    dev_t device = 0;
    auto dir = resolver.openDirectory("C:\\", device, nullptr);
    if (dir) {
        forEachEntry(dir->get(), [&](std::string_view name, unsigned char type) {
            if (!equalsIgnoreCase(name, "windows") || (!best.empty() && !listingLess(name, best))) {
                return;
            }
            EntryKind kind = EntryKind::File;
            const std::string entry(name);
            if (classify(dir->get(), entry.c_str(), type, device, kind) == 0 && kind == EntryKind::Directory) {
                best = entry;
            }
        });
    }
    return "C:\\" + (best.empty() ? std::string("WINDOWS") : best) + "\\";
}

Result<std::string> FileSystem::toHost(std::string_view path) const
{
    auto loc = PathResolver(*this).locate(path);
    if (!loc) {
        return loc.error();
    }
    return std::move(loc->host);
}

Result<Listing> FileSystem::list(std::string_view pattern, unsigned attributes) const
{
    // The folder is everything up to the last separator; the rest is the pattern of names.
    std::string_view folder;
    std::string_view names;
    if (!pattern.empty() && pattern[0] == '/') {
        const std::size_t slash = pattern.rfind('/');
        folder = slash == 0 ? std::string_view("/") : pattern.substr(0, slash);
        names = pattern.substr(slash + 1);
    } else {
        const std::size_t sep = pattern.rfind('\\');
        if (sep == std::string_view::npos) {
            if (pattern.size() == 2 && pattern[1] == ':') {
                folder = pattern;
            } else {
                return invalidPath(pattern, "not a Windows path (a drive letter, ':' and '\\' expected)");
            }
        } else {
            folder = pattern.substr(0, sep + 1);
            names = pattern.substr(sep + 1);
        }
    }
    if (names.empty()) {
        names = "*";
    }
    const bool wantHidden = (attributes & kHidden) != 0;
    const bool wantSystem = (attributes & kSystem) != 0;
    const bool wantDirectories = (attributes & kDirectory) != 0;
    const bool needBits = !(wantHidden && wantSystem);

    PathResolver resolver(*this);
    dev_t device = 0;
    std::string host;
    auto dir = resolver.openDirectory(folder, device, needBits ? &host : nullptr);
    if (!dir) {
        return Error{std::string(pattern), dir.error().code, dir.error().reason};
    }
    Listing out;
    std::string entry;
    int failure = 0;
    const int readError = forEachEntry(dir->get(), [&](std::string_view name, unsigned char type) {
        if (failure != 0 || (type == DT_DIR && !wantDirectories) || !patternMatches(names, name)) {
            return;
        }
        if (!wantHidden && name[0] == '.') {
            return;
        }
        entry.assign(name);
        EntryKind kind = EntryKind::File;
        if (const int code = classify(dir->get(), entry.c_str(), type, device, kind); code != 0) {
            failure = code > 0 ? code : 0;
            return;
        }
        if (kind == EntryKind::Outside || (kind == EntryKind::Directory && !wantDirectories)) {
            return;
        }
        if (needBits) {
            const unsigned bits = dosBits(joinHost(host, entry));
            if (((bits & kDosHidden) && !wantHidden) || ((bits & kDosSystem) && !wantSystem)) {
                return;
            }
        }
        if (!expressible(name)) {
            ++out.skipped;
            return;
        }
        out.names.push_back(entry);
    });
    if (const int code = readError ? readError : failure; code != 0) {
        return errorFromErrno(std::string(pattern), code);
    }
    sortForListing(out.names);
    return out;
}

bool FileSystem::exists(std::string_view path) const
{
    auto listing = list(path, kNormal);
    return listing && !listing->names.empty();
}

namespace {

// Where an existing file or directory is; ENOENT when nothing has that name.
Result<Location> locateExisting(const FileSystem& fs, std::string_view path)
{
    auto loc = PathResolver(fs).locate(path);
    if (loc && !loc->found) {
        return errorFromErrno(std::string(path), ENOENT);
    }
    return loc;
}

// Opens a directory of a drive and reads it in one pass. `listed`: the names are those a listing gave, taken
// exactly as spelled, and the directory must still lie on its drive's file system.
Result<Contents> readDirectoryAt(const FileSystem& fs, std::string_view directory, bool wantFiles, bool listed)
{
    dev_t device = 0;
    auto dir = PathResolver(fs).openDirectory(directory, device, nullptr, listed);
    if (!dir) {
        return dir.error();
    }
    if (listed) {
        struct stat st {};
        if (::fstat(dir->get(), &st) != 0) {
            return errorFromErrno(std::string(directory), errno);
        }
        if (st.st_dev != device) {
            return Error{std::string(directory), EXDEV, "another file system is mounted on the directory"};
        }
    }
    Contents contents;
    if (const int code = readContents(dir->get(), device, wantFiles, contents); code != 0) {
        return errorFromErrno(std::string(directory), code);
    }
    return contents;
}

}  // namespace

Result<Listing> FileSystem::subdirectories(std::string_view directory) const
{
    auto read = readDirectoryAt(*this, directory, false, false);
    if (!read) {
        return read.error();
    }
    Contents& contents = *read;
    Listing out;
    out.names = std::move(contents.directories);
    out.skipped = contents.skippedDirectories;
    return out;
}

Result<DirectoryContents> FileSystem::readDirectory(std::string_view directory) const
{
    auto read = readDirectoryAt(*this, directory, true, true);
    if (!read) {
        return read.error();
    }
    Contents& contents = *read;
    DirectoryContents out;
    out.files = std::move(contents.files);
    out.subdirectories = std::move(contents.directories);
    out.skipped = contents.skippedFiles + contents.skippedDirectories;
    return out;
}

bool VanishedMeanwhile(const Error& error)
{
    return error.code == ENOENT || error.code == ENOTDIR || error.code == ELOOP || error.code == EXDEV;
}

Result<unsigned> FileSystem::attributes(std::string_view path) const
{
    auto loc = locateExisting(*this, path);
    if (!loc) {
        return loc.error();
    }
    unsigned bits = kNormal;
    if (S_ISDIR(loc->st.st_mode)) {
        bits |= kDirectory;
    }
    if ((loc->st.st_mode & S_IWUSR) == 0) {
        bits |= kReadOnly;
    }
    const unsigned dos = dosBits(loc->host);
    if (loc->name[0] == '.' && loc->name != ".") {
        bits |= kHidden;
    }
    if (dos & kDosHidden) {
        bits |= kHidden;
    }
    if (dos & kDosSystem) {
        bits |= kSystem;
    }
    return bits;
}

Status FileSystem::setNormal(std::string_view path)
{
    auto loc = locateExisting(*this, path);
    if (!loc) {
        return loc.error();
    }
    if (S_ISLNK(loc->st.st_mode)) {
        return {};  // a link has no attributes of its own
    }
    if ((loc->st.st_mode & S_IWUSR) == 0 &&
        ::fchmodat(loc->folder.get(), loc->name.c_str(), (loc->st.st_mode & 07777) | S_IWUSR, 0) != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    const std::string value = readDosAttribute(loc->host);
    bool wellFormed = false;
    const unsigned bits = parseDosBits(value, &wellFormed);
    if (!wellFormed || (bits & (kDosHidden | kDosSystem)) == 0) {
        return {};
    }
    const unsigned left = bits & ~(kDosHidden | kDosSystem);
    int rc = 0;
    if (left == 0) {
        rc = ::lremovexattr(loc->host.c_str(), kDosAttributeName);
    } else {
        char text[16];
        const int n = std::snprintf(text, sizeof text, "0x%x", left);
        rc = ::lsetxattr(loc->host.c_str(), kDosAttributeName, text, static_cast<std::size_t>(n), 0);
    }
    if (rc != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    return {};
}

Status FileSystem::removeFile(std::string_view path)
{
    auto loc = locateExisting(*this, path);
    if (!loc) {
        return loc.error();
    }
    if (S_ISDIR(loc->st.st_mode)) {
        return errorFromErrno(std::string(path), EISDIR);
    }
    if (::unlinkat(loc->folder.get(), loc->name.c_str(), 0) != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    return {};
}

Status FileSystem::removeDirectory(std::string_view path)
{
    auto loc = locateExisting(*this, path);
    if (!loc) {
        return loc.error();
    }
    if (!S_ISDIR(loc->st.st_mode)) {
        return errorFromErrno(std::string(path), ENOTDIR);
    }
    if (loc->name == ".") {
        return Error{std::string(path), EBUSY, "a drive's root is never removed"};
    }
    if (::unlinkat(loc->folder.get(), loc->name.c_str(), AT_REMOVEDIR) != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    return {};
}

namespace {

// Opens an existing file for reading: a link to a file is read as that file. A directory, device or pipe
// is refused before anything blocks on it.
Result<Fd> openRegularForReading(std::string_view path, const Location& loc)
{
    if (!loc.found) {
        return errorFromErrno(std::string(path), ENOENT);
    }
    Fd fd(::openat(loc.folder.get(), loc.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) {
        return errorFromErrno(std::string(path), errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return errorFromErrno(std::string(path), EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        return Error{std::string(path), EINVAL, "not an ordinary file"};
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    return fd;
}

// Permissions and owner for a file written under a temporary name. Without them the new file gets the
// usual permissions (0666 less the umask) and the writer as owner.
struct NewFileMode {
    bool setMode = false;
    mode_t mode = 0;
    bool setOwner = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

// Replaces `loc`'s entry with a new file written by `write` (which returns 0 or an errno): a temporary in
// the same folder, synced, renamed into place, the folder synced. On failure the temporary goes and the old
// file stays.
template <typename Write>
Status replaceAtomically(std::string_view path, const Location& loc, const NewFileMode& mode, Write&& write)
{
    if (loc.found && S_ISDIR(loc.st.st_mode)) {
        return errorFromErrno(std::string(path), EISDIR);
    }
    thread_local std::mt19937_64 random(std::random_device{}());
    std::string temporary;
    Fd fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".morvane-%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xffffffffffffULL));
        temporary = name;
        fd.reset(::openat(loc.folder.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) {
            return errorFromErrno(std::string(path), errno);
        }
    }
    if (!fd.valid()) {
        return errorFromErrno(std::string(path), EEXIST);
    }
    int code = write(fd.get());
    if (code == 0 && mode.setOwner && (mode.uid != ::geteuid() || mode.gid != ::getegid())) {
        // Only an administrator may give a file away; anyone else's copy simply stays theirs.
        (void)::fchown(fd.get(), mode.uid, mode.gid);
    }
    if (code == 0 && mode.setMode && ::fchmod(fd.get(), mode.mode) != 0) {
        code = errno;
    }
    if (code == 0 && ::fsync(fd.get()) != 0) {
        code = errno;
    }
    if (::close(fd.release()) != 0 && code == 0) {
        code = errno;
    }
    if (code == 0 && ::renameat(loc.folder.get(), temporary.c_str(), loc.folder.get(), loc.name.c_str()) != 0) {
        code = errno;
    }
    if (code != 0) {
        ::unlinkat(loc.folder.get(), temporary.c_str(), 0);
        return errorFromErrno(std::string(path), code);
    }
    // The rename is durable once the folder is synced; an O_PATH descriptor cannot be synced, so reopen.
    Fd folder(::openat(loc.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid() && ::fsync(folder.get()) != 0 && errno != EINVAL) {
        return errorFromErrno(std::string(path), errno);
    }
    return {};
}

}  // namespace

Status FileSystem::copyFile(std::string_view from, std::string_view to)
{
    PathResolver resolver(*this);
    auto source = resolver.locate(from);
    if (!source) {
        return source.error();
    }
    auto in = openRegularForReading(from, *source);
    if (!in) {
        return in.error();
    }
    struct stat st {};
    if (::fstat(in->get(), &st) != 0) {
        return errorFromErrno(std::string(from), errno);
    }
    auto target = resolver.locate(to);
    if (!target) {
        return target.error();
    }
    // A copy onto the file itself would "succeed" without making a second file, and a move would then delete
    // the only one.
    if (target->found && target->st.st_dev == st.st_dev && target->st.st_ino == st.st_ino) {
        return Error{std::string(to), EINVAL, "the source and the target are the same file"};
    }
    int readFailure = 0;
    NewFileMode mode;
    mode.setMode = true;
    mode.mode = st.st_mode & 0777;
    Status written = replaceAtomically(to, *target, mode, [&](int out) {
        std::vector<char> buffer(kTextBufferSize);
        for (;;) {
            const ssize_t n = ::read(in->get(), buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                readFailure = errno;
                return readFailure;
            }
            if (n == 0) {
                return 0;
            }
            if (const int code = writeAll(out, buffer.data(), static_cast<std::size_t>(n)); code != 0) {
                return code;
            }
        }
    });
    if (!written && readFailure != 0) {
        return errorFromErrno(std::string(from), readFailure);
    }
    return written;
}

Result<std::unique_ptr<LineWriter>> FileSystem::createForWriting(std::string_view path, CreateMode mode)
{
    auto loc = PathResolver(*this).locate(path);
    if (!loc) {
        return loc.error();
    }
    if (loc->found && S_ISDIR(loc->st.st_mode)) {
        return errorFromErrno(std::string(path), mode == CreateMode::Exclusive ? EEXIST : EISDIR);
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    flags |= mode == CreateMode::Exclusive ? O_EXCL : O_TRUNC;
    const int fd = ::openat(loc->folder.get(), loc->name.c_str(), flags, 0666);
    if (fd < 0) {
        return errorFromErrno(std::string(path), errno);
    }
    // A record file created here must still be there after a crash: finish() syncs its folder as well.
    const int folder = loc->found ? -1 : ::openat(loc->folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return makeFdLineWriter(fd, std::string(path), folder);
}

Result<std::unique_ptr<LineReader>> FileSystem::openForReading(std::string_view path) const
{
    auto loc = PathResolver(*this).locate(path);
    if (!loc) {
        return loc.error();
    }
    auto fd = openRegularForReading(path, *loc);
    if (!fd) {
        return fd.error();
    }
    return makeFdLineReader(fd->release(), std::string(path));
}

Result<std::vector<std::string>> FileSystem::readLines(std::string_view path) const
{
    auto reader = openForReading(path);
    if (!reader) {
        return reader.error();
    }
    std::vector<std::string> lines;
    std::string line;
    while ((*reader)->readLine(line)) {
        lines.push_back(line);
    }
    if (Status s = (*reader)->status(); !s) {
        return s.error();
    }
    return lines;
}

Status FileSystem::writeLinesAtomic(std::string_view path, const std::vector<std::string>& lines)
{
    auto loc = PathResolver(*this).locate(path);
    if (!loc) {
        return loc.error();
    }
    // A replaced file keeps its permissions and owner; a new one gets the usual ones.
    NewFileMode mode;
    if (loc->found && S_ISREG(loc->st.st_mode)) {
        mode.setMode = true;
        mode.mode = loc->st.st_mode & 0777;
        mode.setOwner = true;
        mode.uid = loc->st.st_uid;
        mode.gid = loc->st.st_gid;
    }
    return replaceAtomically(path, *loc, mode, [&](int fd) {
        std::string buffer;
        buffer.reserve(kTextBufferSize);
        for (const auto& line : lines) {
            if (buffer.size() + line.size() + 2 > kTextBufferSize && !buffer.empty()) {
                if (const int code = writeAll(fd, buffer.data(), buffer.size()); code != 0) {
                    return code;
                }
                buffer.clear();
            }
            buffer += line;
            buffer += "\r\n";
        }
        return writeAll(fd, buffer.data(), buffer.size());
    });
}

// ---------------------------------------------------------------------------------------------------------
// Folders of the program

std::string executableDirectory()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return "./";
    }
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

namespace {

void makeFolders(const std::string& path)
{
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            ::mkdir(path.substr(0, pos).c_str(), 0700);
        }
    }
}

// Where an installed Morvane keeps its manual, seen from the folder of its executable (bin/).
constexpr const char* kInstalledManual = "../share/morvane/ZELK.TXT";

std::string withSlash(const std::string& dir)
{
    return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

bool isRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string chooseDataFolder(const std::string& exeDir)
{
    const std::string dir = withSlash(exeDir);
    // An installed copy never keeps its records beside itself, even when it may write there (run as root).
    if (!dir.empty() && !isRegularFile(dir + kInstalledManual) && ::access(dir.c_str(), W_OK) == 0) {
        return dir;
    }
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        std::string home;
        if (const char* h = std::getenv("HOME"); h && *h) {
            home = h;
        } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
            home = pw->pw_dir;
        } else {
            home = "/tmp";
        }
        base = joinHost(home, ".local/share");
    }
    std::string folder = joinHost(base, "morvane");
    makeFolders(folder);
    return folder + "/";
}

std::string shippedManualPath(const std::string& exeDir)
{
    const std::string dir = withSlash(exeDir);
    if (isRegularFile(dir + kInstalledManual)) {
        return dir + kInstalledManual;
    }
    if (isRegularFile(dir + "ZELK.TXT")) {
        return dir + "ZELK.TXT";
    }
    return {};
}

}  // namespace morvane
