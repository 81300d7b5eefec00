#include "wine/wineserver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/fd.h"

namespace morvane::wine {

namespace {

using host::Fd;

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The name Debian's Wine keeps in the prefix's file "wineserver" (the folder it made in $TMPDIR); empty when there
// is no such file or it holds no plain name.
std::string DebianFolderName(const std::string& prefix)
{
    Fd fd(::open((prefix + "/wineserver").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) {
        return {};
    }
    char buffer[256];
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n <= 0 || n == static_cast<ssize_t>(sizeof buffer)) {
        return {};
    }
    std::string name(buffer, static_cast<std::size_t>(n));
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r' || name.back() == ' ')) {
        name.pop_back();
    }
    if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string("/\0", 2)) != name.npos) {
        return {};
    }
    return name;
}

// The process that holds a write lock on the file, 0 when none does; -1 with errno when the file cannot be opened
// or asked.
pid_t LockHolder(const std::string& lockFile)
{
    Fd fd(::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) {
        return -1;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    if (::fcntl(fd.get(), F_GETLK, &lock) != 0) {
        return -1;
    }
    return lock.l_type == F_UNLCK ? 0 : lock.l_pid;
}

Error ServerRuns(const std::string& prefix, pid_t pid)
{
    return Error{prefix, 0,
                 "a wineserver runs for this prefix (process " + std::to_string(pid) +
                     "); end its programs, or run \"wineserver -k\", and try again",
                 ErrorKind::Other};
}

// Makes a folder as Wine makes its server folders: owner only. One that is there already is taken as it is.
bool MakeFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

Result<std::vector<std::string>> ServerFolders(const std::string& prefix)
{
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0) {
        return errorFromErrno(prefix, errno);
    }
    char server[64];
    std::snprintf(server, sizeof server, "/server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    const std::string uid = std::to_string(::getuid());
    std::vector<std::string> folders;
    if (const std::string name = DebianFolderName(prefix); !name.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        const std::string tmpDir = tmp && *tmp ? tmp : "/tmp";
        folders.push_back(tmpDir + "/" + name + server);
    }
    if (IsDirectory("/run/user/" + uid)) {
        folders.push_back("/run/user/" + uid + "/wine" + server);
    }
    folders.push_back("/tmp/.wine-" + uid + server);
    return folders;
}

Result<std::optional<pid_t>> RunningServer(const std::string& prefix)
{
    auto folders = ServerFolders(prefix);
    if (!folders) {
        return folders.error();
    }
    for (const std::string& folder : *folders) {
        const std::string lockFile = folder + "/lock";
        const pid_t holder = LockHolder(lockFile);
        if (holder > 0) {
            return std::optional<pid_t>(holder);
        }
        // A folder or lock file that is not there means no server runs from it.
        if (holder < 0 && errno != ENOENT && errno != ENOTDIR) {
            return errorFromErrno(lockFile, errno);
        }
    }
    return std::optional<pid_t>();
}

Result<std::unique_ptr<ServerLock>> ServerLock::take(const std::string& prefix)
{
    auto folders = ServerFolders(prefix);
    if (!folders) {
        return folders.error();
    }
    std::vector<int> fds;
    auto fail = [&](Error error) -> Result<std::unique_ptr<ServerLock>> {
        for (const int fd : fds) {
            ::close(fd);
        }
        return error;
    };
    for (const std::string& folder : *folders) {
        // The parent (/tmp/.wine-<uid>, /run/user/<uid>/wine or Debian's folder) and the server folder, as Wine
        // would make them, so that a wineserver starting now finds the lock held.
        const std::string parent = folder.substr(0, folder.rfind('/'));
        if (!MakeFolder(parent) || !MakeFolder(folder)) {
            return fail(errorFromErrno(folder, errno));
        }
        const std::string lockFile = folder + "/lock";
        const int fd = ::open(lockFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            return fail(errorFromErrno(lockFile, errno));
        }
        fds.push_back(fd);
        // The byte Wine's server locks, its first, with a lock of the open file rather than of the process: Wine's
        // process lock conflicts with it all the same, and closing another descriptor of the same file somewhere
        // in this process (RunningServer does) does not let it go.
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0;
        lock.l_len = 1;
        if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            const int code = errno;
            if (code == EACCES || code == EAGAIN) {
                const pid_t holder = LockHolder(lockFile);
                return fail(ServerRuns(prefix, holder > 0 ? holder : 0));
            }
            return fail(errorFromErrno(lockFile, code));
        }
    }
    return std::unique_ptr<ServerLock>(new ServerLock(std::move(fds)));
}

ServerLock::~ServerLock()
{
    for (const int fd : m_fds) {
        ::close(fd);
    }
}

}  // namespace morvane::wine
