#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/directory_entries.h"
#include "platform/fd.h"
#include "platform/file_system.h"
#include "platform/names.h"
#include "platform/path_resolver.h"

namespace morvane {

using namespace host;

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

Result<DriveMap> DriveMap::fromPrefix(const std::string& prefix)
{
    DriveMap map;
    std::string absolute = prefix;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[4096];
        if (!::getcwd(cwd, sizeof cwd)) {
            return errorFromErrno(prefix, errno);
        }
        absolute = joinHost(cwd, prefix);
    }
    const std::string devices = joinHost(absolute, "dosdevices");
    Fd dir(::open(devices.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        // No prefix (or none with drives): the machine has the one drive C:, its root "/". A prefix whose drives
        // cannot be read is an error: scanning "/" instead would record the wrong machine.
        if (errno != ENOENT && errno != ENOTDIR) {
            return errorFromErrno(devices, errno);
        }
        map.set('C', "/");
        return map;
    }
    std::vector<std::string> entries;
    const int readError = forEachEntry(dir.get(), [&](std::string_view name, unsigned char type) {
        if (name.size() == 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])) &&
            (type == DT_LNK || type == DT_UNKNOWN)) {
            entries.emplace_back(name);
        }
    });
    if (readError != 0) {
        return errorFromErrno(devices, readError);
    }
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

Result<DriveMap> DriveMap::fromEnvironment()
{
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix && *prefix) {
        return fromPrefix(prefix);
    }
    const std::string home = homeFolder();
    if (home.empty()) {
        return errorWithReason("$HOME", ENOENT, "there is no home folder for the default Wine prefix");
    }
    return fromPrefix(joinHost(home, ".wine"));
}

}  // namespace morvane
