#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/directory_entries.h"
#include "platform/dos_attributes.h"
#include "platform/file_system.h"
#include "platform/names.h"
#include "platform/path_resolver.h"

namespace morvane {

namespace host {

// What an entry is for the listings: a real directory on the drive's device, an entry of another file
// system (a mount point, left out), or anything else (a file; links included). Only directories and
// entries of unknown type cost a stat. -1 for an entry that vanished meanwhile, else 0 or an errno.
int classify(int dirFd, const char* name, unsigned char type, dev_t device, EntryKind& kind)
{
    if (type != DT_DIR && type != DT_UNKNOWN) {
        kind = EntryKind::File;
        return 0;
    }
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) {
        return errno == ENOENT ? -1 : errno;
    }
    if (!S_ISDIR(st.st_mode)) {
        kind = EntryKind::File;
    } else {
        kind = st.st_dev == device ? EntryKind::Directory : EntryKind::Outside;
    }
    return 0;
}

int readEntries(int dirFd, dev_t device, bool wantFiles, EntryNames& out, const LeftOutNode* leftOut)
{
    out.clear();
    int failure = 0;
    const int readError = forEachEntry(dirFd, [&](std::string_view name, unsigned char type) {
        if (failure != 0 || (!wantFiles && type != DT_DIR && type != DT_UNKNOWN)) {
            return;
        }
        EntryKind kind = EntryKind::File;
        if (type == DT_DIR || type == DT_UNKNOWN) {
            // The name lies in the getdents64 buffer followed by its NUL.
            if (const int code = classify(dirFd, name.data(), type, device, kind); code != 0) {
                failure = code > 0 ? code : 0;
                return;
            }
        }
        if (kind == EntryKind::Outside || (kind == EntryKind::File && !wantFiles)) {
            return;
        }
        const bool directory = kind == EntryKind::Directory;
        if (!expressible(name)) {
            // A left-out name is not passed over: it was never part of the drive.
            if (leftOut && leftOut->leavesOut(name)) {
                return;
            }
            ++(directory ? out.skippedDirectories : out.skippedFiles);
            return;
        }
        const EntryNames::Span span{static_cast<std::uint32_t>(out.bytes.size()),
                                    static_cast<std::uint32_t>(name.size())};
        out.bytes.append(name);
        out.bytes.push_back('\0');
        (directory ? out.directories : out.files).push_back(span);
    });
    if (readError != 0 || failure != 0) {
        return readError != 0 ? readError : failure;
    }
    // Looked up once the directory is read, so that a directory without left-out names costs nothing per entry.
    if (leftOut) {
        const auto isLeftOut = [&](EntryNames::Span span) { return leftOut->leavesOut(out.name(span)); };
        std::erase_if(out.files, isLeftOut);
        std::erase_if(out.directories, isLeftOut);
    }
    const auto less = [&out](EntryNames::Span a, EntryNames::Span b) { return listingLess(out.name(a), out.name(b)); };
    std::sort(out.files.begin(), out.files.end(), less);
    std::sort(out.directories.begin(), out.directories.end(), less);
    return 0;
}

}  // namespace host

using namespace host;

namespace {

struct Contents {
    std::vector<std::string> files;
    std::vector<std::string> directories;
    std::size_t skippedFiles = 0;
    std::size_t skippedDirectories = 0;
};

// One pass over an open directory (see readEntries), as strings. 0 or an errno.
int readContents(int dirFd, dev_t device, bool wantFiles, const LeftOutNode* leftOut, Contents& out)
{
    thread_local EntryNames names;
    if (const int code = readEntries(dirFd, device, wantFiles, names, leftOut); code != 0) {
        return code;
    }
    out.files.reserve(names.files.size());
    for (const EntryNames::Span span : names.files) {
        out.files.emplace_back(names.name(span));
    }
    out.directories.reserve(names.directories.size());
    for (const EntryNames::Span span : names.directories) {
        out.directories.emplace_back(names.name(span));
    }
    out.skippedFiles = names.skippedFiles;
    out.skippedDirectories = names.skippedDirectories;
    return 0;
}

// Opens a directory of a drive and reads it in one pass, without the names its drive leaves out. `listed`: the
// names are those a listing gave, taken exactly as spelled, and the directory must still lie on its drive's file
// system.
Result<Contents> readDirectoryAt(const FileSystem& fs, std::string_view directory, bool wantFiles, bool listed)
{
    dev_t device = 0;
    const LeftOutNode* leftOut = nullptr;
    auto dir = PathResolver(fs).openDirectory(directory, device, nullptr, listed, &leftOut);
    if (!dir) {
        return dir.error();
    }
    if (listed) {
        struct stat st {};
        if (::fstat(dir->get(), &st) != 0) {
            return errorFromErrno(std::string(directory), errno);
        }
        if (st.st_dev != device) {
            return errorWithReason(std::string(directory), EXDEV, "another file system is mounted on the directory");
        }
    }
    Contents contents;
    if (const int code = readContents(dir->get(), device, wantFiles, leftOut, contents); code != 0) {
        return errorFromErrno(std::string(directory), code);
    }
    return contents;
}

}  // namespace

std::string FileSystem::windowsDirectory() const
{
    std::string best;
    PathResolver resolver(*this);
    dev_t device = 0;
    auto dir = resolver.openDirectory("C:\\", device, nullptr);
    if (dir) {
        forEachEntry(dir->get(), [&](std::string_view name, unsigned char type) {
            if (!EqualsIgnoringCase(name, "windows") || (!best.empty() && !listingLess(name, best))) {
                return;
            }
            EntryKind kind = EntryKind::File;
            const std::string entry(name);
            if (classify(dir->get(), entry.c_str(), type, device, kind) == 0 && kind == EntryKind::Directory) {
                best = entry;
            }
        });
    }
    return "C:\\" + (best.empty() ? std::string("WINDOWS") : best) + "\\";
}

Result<Listing> FileSystem::list(std::string_view pattern, unsigned attributes) const
{
    // The folder is everything up to the last separator; the rest is the pattern of names.
    std::string_view folder;
    std::string_view names;
    if (!pattern.empty() && pattern[0] == '/') {
        const std::size_t slash = pattern.rfind('/');
        folder = slash == 0 ? std::string_view("/") : pattern.substr(0, slash);
        names = pattern.substr(slash + 1);
    } else {
        const std::size_t sep = pattern.rfind('\\');
        if (sep == std::string_view::npos) {
            if (pattern.size() == 2 && pattern[1] == ':') {
                folder = pattern;
            } else {
                return invalidPath(pattern, "not a Windows path (a drive letter, ':' and '\\' expected)");
            }
        } else {
            folder = pattern.substr(0, sep + 1);
            names = pattern.substr(sep + 1);
        }
    }
    if (names.empty()) {
        names = "*";
    }
    const bool wantHidden = (attributes & kHidden) != 0;
    const bool wantSystem = (attributes & kSystem) != 0;
    const bool wantDirectories = (attributes & kDirectory) != 0;
    const bool needBits = !(wantHidden && wantSystem);

    PathResolver resolver(*this);
    dev_t device = 0;
    std::string host;
    auto dir = resolver.openDirectory(folder, device, needBits ? &host : nullptr);
    if (!dir) {
        return Error{std::string(pattern), dir.error().code, dir.error().reason, dir.error().kind};
    }
    Listing out;
    std::string entry;
    int failure = 0;
    const int readError = forEachEntry(dir->get(), [&](std::string_view name, unsigned char type) {
        if (failure != 0 || (type == DT_DIR && !wantDirectories) || !patternMatches(names, name)) {
            return;
        }
        if (!wantHidden && name[0] == '.') {
            return;
        }
        entry.assign(name);
        EntryKind kind = EntryKind::File;
        if (const int code = classify(dir->get(), entry.c_str(), type, device, kind); code != 0) {
            failure = code > 0 ? code : 0;
            return;
        }
        if (kind == EntryKind::Outside || (kind == EntryKind::Directory && !wantDirectories)) {
            return;
        }
        if (needBits) {
            const unsigned bits = dosBits(joinHost(host, entry));
            if (((bits & kDosHidden) && !wantHidden) || ((bits & kDosSystem) && !wantSystem)) {
                return;
            }
        }
        if (!expressible(name)) {
            ++out.skipped;
            return;
        }
        out.names.push_back(entry);
    });
    if (const int code = readError ? readError : failure; code != 0) {
        return errorFromErrno(std::string(pattern), code);
    }
    sortForListing(out.names);
    return out;
}

bool FileSystem::exists(std::string_view path) const
{
    auto listing = list(path, kNormal);
    return listing && !listing->names.empty();
}

Result<Listing> FileSystem::subdirectories(std::string_view directory) const
{
    auto read = readDirectoryAt(*this, directory, false, false);
    if (!read) {
        return read.error();
    }
    Contents& contents = *read;
    Listing out;
    out.names = std::move(contents.directories);
    out.skipped = contents.skippedDirectories;
    return out;
}

Result<DirectoryContents> FileSystem::readDirectory(std::string_view directory) const
{
    auto read = readDirectoryAt(*this, directory, true, true);
    if (!read) {
        return read.error();
    }
    Contents& contents = *read;
    DirectoryContents out;
    out.files = std::move(contents.files);
    out.subdirectories = std::move(contents.directories);
    out.skipped = contents.skippedFiles + contents.skippedDirectories;
    return out;
}

bool VanishedMeanwhile(const Error& error)
{
    return IsAbsent(error) || error.kind == ErrorKind::OtherFileSystem;
}

}  // namespace morvane
