#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/path_resolver.h"

namespace morvane {

using namespace host;

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

Result<std::string> chooseDataFolder(const std::string& exeDir)
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
        const std::string home = homeFolder();
        if (home.empty()) {
            return errorWithReason("$HOME", ENOENT, "there is no home folder for the per-user data folder");
        }
        base = joinHost(home, ".local/share");
    }
    std::string folder = joinHost(base, "morvane");
    makeFolders(folder);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        return errorFromErrno(folder + "/", errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return errorFromErrno(folder + "/", ENOTDIR);
    }
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
