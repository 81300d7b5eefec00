// The prefix's state for its records: the registry files and the files Wine's menu builder writes outside the
// prefix (see prefix_state.h).

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "wine/prefix_state.h"

namespace morvane::wine {

const char* HiveFileName(Hive hive)
{
    switch (hive) {
    case Hive::System: return "system.reg";
    case Hive::User: return "user.reg";
    case Hive::UserDefault: return "userdef.reg";
    }
    return "";
}

const char* HiveDisplayName(Hive hive)
{
    switch (hive) {
    case Hive::System: return "HKEY_LOCAL_MACHINE";
    case Hive::User: return "HKEY_CURRENT_USER";
    case Hive::UserDefault: return "HKEY_USERS\\.Default";
    }
    return "";
}

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    // A relative path in these variables counts as unset, as the desktop base directories rule it.
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The target of the link at `path`, made absolute against the link's folder; empty when it is no link.
std::string LinkTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return {};
    }
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
        return {};
    }
    target.resize(static_cast<std::size_t>(n));
    if (target[0] != '/') {
        target = path.substr(0, path.rfind('/') + 1) + target;
    }
    return WithoutTrailingSlashes(std::move(target));
}

bool EndsWithNoCase(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// Gathers files and folders of the menu builder's locations into a snapshot.
class StateReader {
public:
    StateReader(const FileSystem& fs, PrefixSnapshot& snapshot) : m_fs(fs), m_snapshot(snapshot) {}

    // The folder's contents; nothing when it is not there (a missing folder is an empty one), an error when it
    // is there but cannot be read.
    Result<std::optional<DirectoryContents>> read(const std::string& folder)
    {
        auto contents = m_fs.readDirectory(folder);
        if (!contents) {
            if (IsAbsent(contents.error())) {
                return std::optional<DirectoryContents>();
            }
            return contents.error();
        }
        return std::optional<DirectoryContents>(std::move(*contents));
    }

    // A file, with the hash of its contents. A symbolic link is never followed: its hash is that of "link -> " and
    // the text of its target, which tells later whether it still points where it did without reading through it.
    Status addFile(const std::string& path)
    {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            // Gone since the listing: as if it had never been there.
            return errno == ENOENT ? Status() : Status(errorFromErrno(path, errno));
        }
        if (S_ISLNK(st.st_mode)) {
            std::string target(4096, '\0');
            const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
            if (n < 0) {
                return errorFromErrno(path, errno);
            }
            target.resize(static_cast<std::size_t>(n));
            m_snapshot.desktop.push_back({path, ContentHash("link -> " + target)});
            return {};
        }
        if (!S_ISREG(st.st_mode)) {
            // A pipe or device the menu builder never makes: listed with the hash of nothing, never opened.
            m_snapshot.desktop.push_back({path, ContentHash("")});
            return {};
        }
        auto bytes = m_fs.readFile(path);
        if (!bytes) {
            if (IsAbsent(bytes.error())) {
                return {};
            }
            return bytes.error();
        }
        m_snapshot.desktop.push_back({path, ContentHash(*bytes)});
        return {};
    }

    // The folder itself when it is there, and the files of it whose names `wanted` accepts.
    template <typename Wanted>
    Status addFolder(const std::string& folder, Wanted wanted, bool listFolder = true)
    {
        auto contents = read(folder);
        if (!contents) {
            return contents.error();
        }
        if (!*contents) {
            return {};
        }
        if (listFolder) {
            m_snapshot.desktopFolders.push_back(folder);
        }
        for (const std::string& name : (*contents)->files) {
            if (wanted(name)) {
                if (Status s = addFile(folder + "/" + name); !s) {
                    return s;
                }
            }
        }
        return {};
    }

    // The folder, everything in it, and everything below it.
    Status addTree(const std::string& folder)
    {
        auto contents = read(folder);
        if (!contents) {
            return contents.error();
        }
        if (!*contents) {
            return {};
        }
        m_snapshot.desktopFolders.push_back(folder);
        for (const std::string& name : (*contents)->files) {
            if (Status s = addFile(folder + "/" + name); !s) {
                return s;
            }
        }
        for (const std::string& name : (*contents)->subdirectories) {
            if (Status s = addTree(folder + "/" + name); !s) {
                return s;
            }
        }
        return {};
    }

    // The folder when it is there, with no look inside.
    Status addFolderOnly(const std::string& folder)
    {
        return addFolder(folder, [](const std::string&) { return false; });
    }

private:
    const FileSystem& m_fs;
    PrefixSnapshot& m_snapshot;
};

Status ReadDesktopState(const FileSystem& fs, const DesktopLocations& at, PrefixSnapshot& snapshot)
{
    StateReader reader(fs, snapshot);
    auto startsAndEnds = [](std::string_view prefix, std::string_view suffix) {
        return [prefix, suffix](const std::string& name) {
            return name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) && name.ends_with(suffix);
        };
    };
    // The desktop folder may be the home folder itself (Wine links Desktop to $HOME when there is no desktop
    // folder of its own): only the launchers there are taken, the menu builder's .desktop files and the
    // shortcuts (.lnk) that installers save through the prefix's Desktop link, never the folder or anything else.
    if (!at.desktop.empty()) {
        if (Status s = reader.addFolder(
                at.desktop,
                [](const std::string& name) { return name.ends_with(".desktop") || EndsWithNoCase(name, ".lnk"); },
                false);
            !s) {
            return s;
        }
    }
    const std::string& data = at.data;
    const std::string applications = data + "/applications";
    if (Status s = reader.addFolder(applications, startsAndEnds("wine-extension-", ".desktop")); !s) {
        return s;
    }
    if (Status s = reader.addTree(applications + "/wine"); !s) {
        return s;
    }
    if (Status s = reader.addFolder(data + "/desktop-directories", startsAndEnds("wine-", ".directory")); !s) {
        return s;
    }
    // Icons: DATA/icons/hicolor/<W>x<H>/apps/<ID>.png.
    const std::string hicolor = data + "/icons/hicolor";
    if (Status s = reader.addFolderOnly(data + "/icons"); !s) {
        return s;
    }
    auto sizes = reader.read(hicolor);
    if (!sizes) {
        return sizes.error();
    }
    if (*sizes) {
        snapshot.desktopFolders.push_back(hicolor);
        for (const std::string& size : (*sizes)->subdirectories) {
            if (Status s = reader.addFolderOnly(hicolor + "/" + size); !s) {
                return s;
            }
            if (Status s = reader.addFolder(hicolor + "/" + size + "/apps", [](const std::string&) { return true; });
                !s) {
                return s;
            }
        }
    }
    if (Status s = reader.addFolderOnly(data + "/mime"); !s) {
        return s;
    }
    if (Status s = reader.addFolder(data + "/mime/packages", startsAndEnds("x-wine-extension-", ".xml")); !s) {
        return s;
    }
    const std::string menusParent = at.menus.substr(0, at.menus.rfind('/'));
    if (Status s = reader.addFolderOnly(menusParent); !s) {
        return s;
    }
    if (Status s = reader.addFolder(at.menus, startsAndEnds("wine-", ".menu")); !s) {
        return s;
    }
    return {};
}

}  // namespace

DesktopLocations FindDesktopLocations(const FileSystem& fs, const std::string& prefix)
{
    DesktopLocations at;
    const std::string home = WithoutTrailingSlashes(Environment("HOME"));
    const std::string dataHome = WithoutTrailingSlashes(Environment("XDG_DATA_HOME"));
    const std::string configHome = WithoutTrailingSlashes(Environment("XDG_CONFIG_HOME"));
    at.data = !dataHome.empty() ? dataHome : home + "/.local/share";
    at.menus = (!configHome.empty() ? configHome : home + "/.config") + "/menus/applications-merged";

    // The user folders of the prefix whose Desktop is a link: the Unix user's own first, as Wine names it.
    const std::string users = WithoutTrailingSlashes(prefix) + "/drive_c/users";
    std::vector<std::string> names;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) {
        names.emplace_back(pw->pw_name);
    }
    if (const char* user = std::getenv("USER"); user && *user) {
        names.emplace_back(user);
    }
    if (auto listing = fs.subdirectories(users)) {
        names.insert(names.end(), listing->names.begin(), listing->names.end());
    }
    for (const std::string& name : names) {
        if (name.empty() || name.find('/') != name.npos || name == "." || name == "..") {
            continue;
        }
        if (std::string target = LinkTarget(users + "/" + name + "/Desktop"); !target.empty()) {
            at.desktop = std::move(target);
            break;
        }
    }
    return at;
}

Result<PrefixSnapshot> ReadPrefixState(const FileSystem& fs, const std::string& prefix)
{
    PrefixSnapshot snapshot;
    snapshot.prefix = WithoutTrailingSlashes(prefix);
    for (const Hive hive : kHives) {
        auto text = fs.readFile(snapshot.prefix + "/" + HiveFileName(hive));
        if (text) {
            snapshot.hives[static_cast<int>(hive)] = std::move(*text);
        } else if (text.error().kind != ErrorKind::NotFound) {
            return text.error();
        }
    }
    if (Status s = ReadDesktopState(fs, FindDesktopLocations(fs, snapshot.prefix), snapshot); !s) {
        return s.error();
    }
    std::sort(snapshot.desktop.begin(), snapshot.desktop.end(),
              [](const DesktopEntry& a, const DesktopEntry& b) { return a.path < b.path; });
    std::sort(snapshot.desktopFolders.begin(), snapshot.desktopFolders.end());
    return snapshot;
}

}  // namespace morvane::wine
