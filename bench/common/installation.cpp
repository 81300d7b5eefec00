#include "bench/common/installation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace morvane::bench {
namespace {

void createFile(const std::string& path, bool existingIsFine)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | (existingIsFine ? 0 : O_EXCL) | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    }
    close(fd);
}

}  // namespace

Installation Install(const std::string& root, const TreeLayout& layout)
{
    Installation made;
    made.directories = AddToTree(root, layout, kNewDirectories, 0, 11).directories;
    for (std::size_t i = 0; i < kFilesInNewDirectories; ++i) {
        std::string path = made.directories[i % made.directories.size()] + "inst+" + std::to_string(i) + ".bin";
        createFile(root + "/" + path, false);
        made.filesInNew.push_back(std::move(path));
    }
    made.filesInOld = AddToTree(root, layout, 0, kFilesInOldDirectories, 12).files;
    return made;
}

void Reinstall(const std::string& root, const Installation& made)
{
    for (const std::string& directory : made.directories) {
        const std::string path = root + "/" + directory.substr(0, directory.size() - 1);
        if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
        }
    }
    for (const auto* list : {&made.filesInNew, &made.filesInOld}) {
        for (const std::string& file : *list) {
            createFile(root + "/" + file, true);
        }
    }
}

void Uninstall(const std::string& root, const Installation& made)
{
    for (const auto* list : {&made.filesInOld, &made.filesInNew}) {
        for (const std::string& path : *list) {
            unlink((root + "/" + path).c_str());
        }
    }
    for (auto it = made.directories.rbegin(); it != made.directories.rend(); ++it) {
        rmdir((root + "/" + *it).c_str());
    }
}

}  // namespace morvane::bench
