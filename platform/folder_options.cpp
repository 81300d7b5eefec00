#include "platform/folder_options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/file_system.h"

namespace morvane {

namespace {

// The absolute form of a path, its "." and ".." components resolved as text; "/" for the root.
std::string absoluteClean(const std::string& given)
{
    std::string whole = given;
    if (whole.empty() || whole.front() != '/') {
        std::vector<char> buffer(4096);
        while (getcwd(buffer.data(), buffer.size()) == nullptr && errno == ERANGE) {
            buffer.resize(buffer.size() * 2);
        }
        whole = std::string(buffer.data()) + "/" + whole;
    }
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= whole.size()) {
        const std::size_t slash = std::min(whole.find('/', at), whole.size());
        const std::string part = whole.substr(at, slash - at);
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
    for (const std::string& part : parts) {
        clean += "/" + part;
    }
    return clean.empty() ? "/" : clean;
}

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
    const std::string path = absoluteClean(given);
    if (given.empty() || !isFolder(path)) {
        return Error{given, ENOTDIR, "The Wine prefix '" + given + "' is not a folder."};
    }
    return path;
}

Result<std::string> DataFolderOption(const std::string& given)
{
    const std::string path = absoluteClean(given);
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
