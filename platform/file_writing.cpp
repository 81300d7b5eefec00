#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string_view>
#include <vector>

#include "platform/directory_entries.h"
#include "platform/fd.h"
#include "platform/fd_text_file.h"
#include "platform/file_system.h"
#include "platform/memory.h"
#include "platform/path_resolver.h"

namespace morvane {

using namespace host;

Status FileSystem::removeFile(std::string_view path, Lookup lookup)
{
    auto loc = locateExisting(*this, path, lookup);
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

Status FileSystem::removeDirectory(std::string_view path, Lookup lookup)
{
    auto loc = locateExisting(*this, path, lookup);
    if (!loc) {
        return loc.error();
    }
    if (!S_ISDIR(loc->st.st_mode)) {
        return errorFromErrno(std::string(path), ENOTDIR);
    }
    if (loc->name == ".") {
        return errorWithReason(std::string(path), EBUSY, "a drive's root is never removed");
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
        return errorWithReason(std::string(path), EINVAL, "not an ordinary file");
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

// A replaced file keeps its permissions and owner; a new one gets the usual ones.
NewFileMode modeForReplacing(const Location& loc)
{
    NewFileMode mode;
    if (loc.found && S_ISREG(loc.st.st_mode)) {
        mode.setMode = true;
        mode.mode = loc.st.st_mode & 0777;
        mode.setOwner = true;
        mode.uid = loc.st.st_uid;
        mode.gid = loc.st.st_gid;
    }
    return mode;
}

// A temporary name of an atomic write: ".morvane-" and twelve hexadecimal digits, then ".tmp".
constexpr std::string_view kTemporaryPrefix = ".morvane-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryDigits = 12;

bool isTemporaryName(std::string_view name)
{
    if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() ||
        !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) {
        return false;
    }
    for (const char c : name.substr(kTemporaryPrefix.size(), kTemporaryDigits)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// Removes the temporaries that a write stopped by a crash or a kill left in a folder: the next write there is
// the rerun of the one that was stopped, so nothing of Morvane's stays behind in the user's folders.
void removeStaleTemporaries(int folder)
{
    Fd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable.valid()) {
        return;
    }
    std::vector<std::string> stale;
    forEachEntry(readable.get(), [&](std::string_view name, unsigned char type) {
        if ((type == DT_REG || type == DT_UNKNOWN) && isTemporaryName(name)) {
            stale.emplace_back(name);
        }
    });
    for (const std::string& name : stale) {
        ::unlinkat(folder, name.c_str(), 0);
    }
}

// Whether files written without a name can be given one (linkat through /proc/self/fd).
bool canNameUnnamedFiles()
{
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Replaces `loc`'s entry with a new file written by `write` (which returns 0 or an errno): written and synced
// without a name where the file system allows it (so that a crash meanwhile leaves nothing), else under a
// temporary name; then renamed into place and the folder synced. On failure the temporary goes and the old
// file stays.
template <typename Write>
Status replaceAtomically(std::string_view path, const Location& loc, const NewFileMode& mode, Write&& write)
{
    if (loc.found && S_ISDIR(loc.st.st_mode)) {
        return errorFromErrno(std::string(path), EISDIR);
    }
    removeStaleTemporaries(loc.folder.get());
    thread_local std::mt19937_64 random(std::random_device{}());
    auto temporaryName = [] {
        char name[32];
        std::snprintf(name, sizeof name, ".morvane-%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xffffffffffffULL));
        return std::string(name);
    };
    std::string temporary;
    Fd fd;
    bool unnamed = false;
    if (canNameUnnamedFiles()) {
        fd.reset(::openat(loc.folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        unnamed = fd.valid();
        if (!unnamed && errno != EOPNOTSUPP && errno != EISDIR) {
            return errorFromErrno(std::string(path), errno);
        }
    }
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temporary = temporaryName();
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
    // The finished file gets its temporary name only now, one step before the rename.
    for (int attempt = 0; code == 0 && unnamed && temporary.empty() && attempt < 100; ++attempt) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
        std::string name = temporaryName();
        if (::linkat(AT_FDCWD, self.c_str(), loc.folder.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary = std::move(name);
        } else if (errno != EEXIST) {
            code = errno;
        }
    }
    if (code == 0 && temporary.empty()) {
        code = EEXIST;
    }
    if (::close(fd.release()) != 0 && code == 0) {
        code = errno;
    }
    if (code == 0 && ::renameat(loc.folder.get(), temporary.c_str(), loc.folder.get(), loc.name.c_str()) != 0) {
        code = errno;
    }
    if (code != 0) {
        if (!temporary.empty()) {
            ::unlinkat(loc.folder.get(), temporary.c_str(), 0);
        }
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
        return errorWithReason(std::string(to), EINVAL, "the source and the target are the same file");
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
    if (mode == CreateMode::Unnamed) {
        // O_TMPFILE: the file never has a name, so nothing of it can stay behind.
        const int fd = ::openat(loc->folder.get(), loc->name.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0) {
            return errorFromErrno(std::string(path), errno);
        }
        return makeFdLineWriter(fd, std::string(path));
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
    const NewFileMode mode = modeForReplacing(*loc);
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

Result<std::string> FileSystem::readFile(std::string_view path) const
{
    auto loc = PathResolver(*this).locate(path);
    if (!loc) {
        return loc.error();
    }
    auto fd = openRegularForReading(path, *loc);
    if (!fd) {
        return fd.error();
    }
    struct stat st {};
    if (::fstat(fd->get(), &st) != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    std::string bytes;
    // One more than the size, so that a file that has grown meanwhile is still read to its end.
    const std::size_t room = static_cast<std::size_t>(st.st_size) + 1;
    bytes.reserve(room);
    AdviseHugePages(bytes.data(), room);
    bytes.resize(room);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() + kTextBufferSize);
        }
        const ssize_t n = ::read(fd->get(), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errorFromErrno(std::string(path), errno);
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

Status FileSystem::writeFileAtomic(std::string_view path, const std::function<void(const ByteSink&)>& produce)
{
    auto loc = PathResolver(*this).locate(path);
    if (!loc) {
        return loc.error();
    }
    const NewFileMode mode = modeForReplacing(*loc);
    return replaceAtomically(path, *loc, mode, [&](int fd) {
        // The first failure is kept; nothing is written after it.
        int code = 0;
        produce([&](std::string_view bytes) {
            if (code == 0 && !bytes.empty()) {
                code = writeAll(fd, bytes.data(), bytes.size());
            }
        });
        return code;
    });
}

}  // namespace morvane
