#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace morvane::test {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/morvane-test-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir()
{
    // Make every folder writable and searchable first, so that tests may leave unreadable folders behind.
    nftw(
        m_path.c_str(),
        [](const char* p, const struct stat* st, int type, struct FTW*) {
            if (type == FTW_D || type == FTW_DNR) {
                chmod(p, (st->st_mode & 07777) | S_IRWXU);
            }
            return 0;
        },
        32, FTW_PHYS);
    nftw(
        m_path.c_str(),
        [](const char* p, const struct stat*, int type, struct FTW*) {
            if (type == FTW_DP || type == FTW_DNR) {
                rmdir(p);
            } else {
                unlink(p);
            }
            return 0;
        },
        32, FTW_DEPTH | FTW_PHYS);
}

void makeDirs(const std::string& path)
{
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            mkdir(path.substr(0, pos).c_str(), 0755);
        }
    }
}

void writeFile(const std::string& path, std::string_view bytes)
{
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        makeDirs(path.substr(0, slash));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool pathExists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::map<std::string, std::string> folderState(const std::string& root)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> state;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string path = it->path().string();
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) {
            continue;
        }
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        std::string entry;
        if (S_ISLNK(st.st_mode)) {
            entry = "l -> " + fs::read_symlink(path, ec).string();
        } else if (S_ISDIR(st.st_mode)) {
            entry = std::string("d ") + mode;
        } else {
            entry = std::string("f ") + mode + " " + readFile(path);
        }
        char dos[64];
        const ssize_t n = lgetxattr(path.c_str(), "user.DOSATTRIB", dos, sizeof dos);
        if (n > 0) {
            entry += " dos=" + std::string(dos, static_cast<std::size_t>(n));
        }
        state[path.substr(root.size())] = entry;
    }
    return state;
}

std::string crlf(std::initializer_list<std::string_view> lines)
{
    std::string out;
    for (auto line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string crlf(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

}  // namespace morvane::test
