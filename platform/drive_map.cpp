#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <set>

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
    m_roots[UpperAscii(letter)] = std::move(hostRoot);
}

const std::string* DriveMap::root(char letter) const
{
    const auto it = m_roots.find(UpperAscii(letter));
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

const LeftOutNode* LeftOutNode::child(std::string_view childName) const
{
    const auto it = std::lower_bound(children.begin(), children.end(), childName,
                                     [](const LeftOutNode& node, std::string_view name) { return node.name < name; });
    return it != children.end() && it->name == childName ? &*it : nullptr;
}

void DriveMap::leaveOut(char letter, const std::vector<std::string>& relativePaths)
{
    LeftOutNode& root = m_leftOut[UpperAscii(letter)];
    for (const std::string& path : relativePaths) {
        LeftOutNode* node = &root;
        std::size_t pos = 0;
        while (pos < path.size()) {
            const std::size_t slash = std::min(path.find('/', pos), path.size());
            const std::string_view name = std::string_view(path).substr(pos, slash - pos);
            pos = slash + 1;
            if (name.empty()) {
                continue;
            }
            auto it = std::lower_bound(node->children.begin(), node->children.end(), name,
                                       [](const LeftOutNode& child, std::string_view n) { return child.name < n; });
            if (it == node->children.end() || it->name != name) {
                it = node->children.insert(it, LeftOutNode{std::string(name), false, {}});
            }
            node = &*it;
        }
        // An empty path names the drive root, which a drive never leaves out.
        if (node != &root) {
            node->whole = true;
        }
    }
}

const LeftOutNode* DriveMap::leftOut(char letter) const
{
    const auto it = m_leftOut.find(UpperAscii(letter));
    return it == m_leftOut.end() ? nullptr : &it->second;
}

Result<DriveMap> DriveMap::fromPrefix(const std::string& prefix)
{
    DriveMap map;
    const std::string absolute = cleanAbsolute(prefix);
    if (absolute.empty()) {
        return errorFromErrno(prefix, errno);
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
        map.leaveOut('C', VolatileFolders());
        return map;
    }
    map.setPrefix(absolute);
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
        const std::string root = cleanAbsolute(link[0] == '/' ? std::string(link) : joinHost(devices, link));
        struct stat st {};
        if (::stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            map.set(entry[0], root);
        }
    }
    return map;
}

std::vector<std::string> VolatileFolders()
{
    std::vector<std::string> out = {"tmp", "var/tmp", "var/cache", "var/log", "var/spool", "run", "proc", "sys", "dev"};
    std::set<std::string> seen;
    const auto addCacheOf = [&](const char* home) {
        if (!home || home[0] != '/') {
            return;
        }
        // "/" as a home folder gives "/.cache"; "/home/alice/" and "/home//alice" are one folder.
        std::string cache = cleanAbsolute(joinHost(home, ".cache")).substr(1);
        if (seen.insert(cache).second) {
            out.push_back(std::move(cache));
        }
    };
    ::setpwent();
    while (const passwd* pw = ::getpwent()) {
        addCacheOf(pw->pw_dir);
    }
    ::endpwent();
    const std::string home = homeFolder();
    addCacheOf(home.c_str());
    return out;
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
