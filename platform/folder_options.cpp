#include "platform/folder_options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/file_system.h"
#include "platform/path_resolver.h"

namespace morvane {

namespace {

bool isFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// mkdir -p: every missing folder of the path, outermost first.
bool makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!isFolder(part) && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return isFolder(path);
        }
    }
}

}  // namespace

Result<std::string> PrefixOption(const std::string& given)
{
    const std::string path = host::cleanAbsolute(given);
    if (given.empty() || !isFolder(path)) {
        return Error{given, ENOTDIR, "The Wine prefix '" + given + "' is not a folder."};
    }
    return path;
}

Result<std::string> DataFolderOption(const std::string& given)
{
    const std::string path = host::cleanAbsolute(given);
    struct stat info {};
    const bool exists = !given.empty() && stat(path.c_str(), &info) == 0;
    if (given.empty() || (exists && !isFolder(path))) {
        return Error{given, ENOTDIR, "The data folder '" + given + "' is not a folder."};
    }
    if (!exists && !makeFolders(path)) {
        return Error{given, errno, "Unable to create the data folder '" + given + "'."};
    }
    return path.back() == '/' ? path : path + "/";
}

}  // namespace morvane
