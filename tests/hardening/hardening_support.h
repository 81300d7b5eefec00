#pragma once

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace morvane::test {

// Runs `operation` in a child process traced system call by system call, and stops it with SIGKILL on entry
// to its `stopAt`-th system call, counted from 0 after the child has started (that call is not made). With a
// negative `stopAt` the operation runs to its end. Returns how many system calls were entered before the
// stop or the end; -1 when this machine does not allow tracing.
inline long RunKilledAt(const std::function<void()>& operation, long stopAt)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            ::_exit(77);
        }
        ::raise(SIGSTOP);
        operation();
        ::_exit(0);  // no exit handlers: the child shares the test's temporary folders
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) {
        return -1;
    }
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    long calls = 0;
    int pending = 0;
    for (;;) {
        if (::ptrace(PTRACE_SYSCALL, pid, nullptr, pending) != 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        pending = 0;
        if (::waitpid(pid, &status, 0) != pid) {
            return -1;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            return calls;
        }
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            pending = WSTOPSIG(status);  // a signal of the child's own: delivered as it would be
            continue;
        }
        __ptrace_syscall_info info{};
        if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info) <= 0 || info.op != PTRACE_SYSCALL_INFO_ENTRY) {
            continue;
        }
        if (calls == stopAt) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return calls;
        }
        ++calls;
    }
}

// `count` stop points spread evenly over a run of `calls` system calls, the first and the last included.
inline std::vector<long> SpreadStops(long calls, long count)
{
    std::vector<long> stops;
    if (calls <= count) {
        for (long i = 0; i < calls; ++i) {
            stops.push_back(i);
        }
        return stops;
    }
    for (long i = 0; i < count; ++i) {
        stops.push_back(i * (calls - 1) / (count - 1));
    }
    return stops;
}

// Runs `body` in a child process with its own mount namespace in which a tmpfs of `sizeKb` is mounted on
// `folder`. Returns body's exit code, 77 when mounting is not allowed here, -1 when the child did not exit.
inline int WithSmallDisk(const std::string& folder, int sizeKb, const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string options = "size=" + std::to_string(sizeKb) + "k";
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("morvane-full", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            ::_exit(77);
        }
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Fills the file system of `folder` with a file `name` in it until about `freeBytes` are left.
inline void FillDisk(const std::string& folder, const std::string& name, long freeBytes)
{
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) {
        return;
    }
    const long available = static_cast<long>(st.f_bavail * st.f_frsize);
    const long fill = available - freeBytes;
    const int fd = ::open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> zeros(4096, 0);
    for (long written = 0; fd >= 0 && written < fill;) {
        const ssize_t n = ::write(fd, zeros.data(), static_cast<std::size_t>(std::min<long>(4096, fill - written)));
        if (n <= 0) {
            break;
        }
        written += n;
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

}  // namespace morvane::test
