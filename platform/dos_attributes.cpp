#include "platform/dos_attributes.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_system.h"
#include "platform/path_resolver.h"

namespace morvane {

namespace host {

// The bits of user.DOSATTRIB ("0x22"), 0 when the attribute is missing or not in that form.
unsigned parseDosBits(std::string_view text, bool* wellFormed)
{
    if (wellFormed) {
        *wellFormed = false;
    }
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return 0;
    }
    unsigned value = 0;
    std::size_t i = 2;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            break;
        }
        value = (value << 4) | digit;
    }
    if (i == 2) {
        return 0;
    }
    if (wellFormed) {
        *wellFormed = true;
    }
    return value;
}

// Reads user.DOSATTRIB of a host path without following a link; empty when there is none.
std::string readDosAttribute(const std::string& hostPath)
{
    char buffer[256];
    const ssize_t n = ::lgetxattr(hostPath.c_str(), kDosAttributeName, buffer, sizeof buffer);
    if (n > 0) {
        return std::string(buffer, static_cast<std::size_t>(n));
    }
    if (n < 0 && errno == ERANGE) {
        const ssize_t size = ::lgetxattr(hostPath.c_str(), kDosAttributeName, nullptr, 0);
        if (size > 0) {
            std::string value(static_cast<std::size_t>(size), '\0');
            const ssize_t got = ::lgetxattr(hostPath.c_str(), kDosAttributeName, value.data(), value.size());
            if (got >= 0) {
                value.resize(static_cast<std::size_t>(got));
                return value;
            }
        }
    }
    return {};
}

unsigned dosBits(const std::string& hostPath)
{
    return parseDosBits(readDosAttribute(hostPath));
}

// openat2 with RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH; falls back (returns -1 with ENOSYS) on kernels

}  // namespace host

using namespace host;

Result<unsigned> FileSystem::attributes(std::string_view path, Lookup lookup) const
{
    auto loc = locateExisting(*this, path, lookup);
    if (!loc) {
        return loc.error();
    }
    unsigned bits = kNormal;
    if (S_ISDIR(loc->st.st_mode)) {
        bits |= kDirectory;
    }
    if (S_ISLNK(loc->st.st_mode)) {
        bits |= kLink;
    }
    if ((loc->st.st_mode & S_IWUSR) == 0) {
        bits |= kReadOnly;
    }
    const unsigned dos = dosBits(loc->host);
    if (loc->name[0] == '.' && loc->name != ".") {
        bits |= kHidden;
    }
    if (dos & kDosHidden) {
        bits |= kHidden;
    }
    if (dos & kDosSystem) {
        bits |= kSystem;
    }
    return bits;
}

Status FileSystem::setNormal(std::string_view path, Lookup lookup)
{
    auto loc = locateExisting(*this, path, lookup);
    if (!loc) {
        return loc.error();
    }
    if (S_ISLNK(loc->st.st_mode)) {
        return {};  // a link has no attributes of its own
    }
    if ((loc->st.st_mode & S_IWUSR) == 0 &&
        ::fchmodat(loc->folder.get(), loc->name.c_str(), (loc->st.st_mode & 07777) | S_IWUSR, 0) != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    const std::string value = readDosAttribute(loc->host);
    bool wellFormed = false;
    const unsigned bits = parseDosBits(value, &wellFormed);
    if (!wellFormed || (bits & (kDosHidden | kDosSystem)) == 0) {
        return {};
    }
    const unsigned left = bits & ~(kDosHidden | kDosSystem);
    int rc = 0;
    if (left == 0) {
        rc = ::lremovexattr(loc->host.c_str(), kDosAttributeName);
    } else {
        char text[16];
        const int n = std::snprintf(text, sizeof text, "0x%x", left);
        rc = ::lsetxattr(loc->host.c_str(), kDosAttributeName, text, static_cast<std::size_t>(n), 0);
    }
    if (rc != 0) {
        return errorFromErrno(std::string(path), errno);
    }
    return {};
}

}  // namespace morvane
