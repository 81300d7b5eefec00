#pragma once

#include <sys/stat.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

namespace morvane::test {

// Drive C: in a temporary folder, with nothing in it.
class PlatformWorld {
public:
    PlatformWorld()
    {
        makeDirs(root());
        DriveMap map;
        map.set('C', root());
        fs = std::make_unique<FileSystem>(std::move(map));
    }

    std::string root() const { return tmp / "c"; }
    // The host path of a path below C:'s root, written with '/'.
    std::string at(std::string_view relative) const { return root() + "/" + std::string(relative); }

    TempDir tmp;
    std::unique_ptr<FileSystem> fs;
};

// Sets user.DOSATTRIB; false when the file system refuses user extended attributes.
inline bool setDosAttribute(const std::string& path, const std::string& value)
{
    return ::lsetxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) == 0;
}

inline std::string dosAttribute(const std::string& path)
{
    char buffer[64];
    const ssize_t n = ::lgetxattr(path.c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
    return n < 0 ? std::string("<none>") : std::string(buffer, static_cast<std::size_t>(n));
}

inline mode_t modeOf(const std::string& path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Runs `body` in a child process and returns its exit code (-1 when it did not exit normally). For what
// must not leak into the test program: dropped capabilities, private mounts.
inline int runInChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace morvane::test
