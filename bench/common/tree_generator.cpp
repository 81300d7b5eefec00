#include "bench/common/tree_generator.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

#include "platform/letter_case.h"

namespace morvane::bench {
namespace {

// splitmix64: small, fast, and the same sequence with every compiler and standard library (the distributions of
// <random> are not).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }

private:
    std::uint64_t m_state;
};

std::uint64_t mix(std::uint64_t a, std::uint64_t b)
{
    Rng r(a * 0x2545F4914F6CDD1Dull ^ b);
    return r.next();
}

[[noreturn]] void fail(const std::string& what, const std::string& path, int code)
{
    throw std::runtime_error(what + " " + path + ": " + std::strerror(code));
}

// Names a scan leaves out of BEFORE.DAT; the generator never makes them, so every generated file is listed.
bool recordName(const std::string& upperName)
{
    return upperName == "BEFORE.DAT" || (upperName.rfind("AFTER", 0) == 0 && upperName.size() >= 4 &&
                                         upperName.compare(upperName.size() - 4, 4, ".DAT") == 0);
}

std::string randomName(Rng& rng)
{
    static constexpr char kFirst[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static constexpr char kInner[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnop_- .";
    static constexpr char kExt[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr std::size_t nFirst = sizeof kFirst - 1;
    constexpr std::size_t nInner = sizeof kInner - 1;
    constexpr std::size_t nExt = sizeof kExt - 1;

    // 3 to 30 bytes, short names more often than long ones, as on a real disk.
    const std::size_t length = 3 + std::min(rng.below(28), rng.below(28));
    std::string name;
    name.reserve(length);
    const bool dot = rng.chance(2);
    name += dot ? '.' : kFirst[rng.below(nFirst)];
    const bool extension = !dot && length >= 6 && rng.chance(60);
    const std::size_t stem = extension ? length - 4 : length;
    while (name.size() < stem) {
        char c = kInner[rng.below(nInner)];
        if (name.size() + 1 == stem && (c == ' ' || c == '.')) {
            c = kFirst[rng.below(nFirst)];
        }
        name += c;
    }
    if (extension) {
        name += '.';
        while (name.size() < length) {
            name += kExt[rng.below(nExt)];
        }
    }
    return name;
}

// A name not yet taken in a folder (compared without letter case).
std::string freshName(Rng& rng, std::unordered_set<std::string>& taken)
{
    for (;;) {
        std::string name = randomName(rng);
        std::string key = UpperAscii(name);
        if (!recordName(key) && taken.insert(std::move(key)).second) {
            return name;
        }
    }
}

void createFileAt(int dirFd, const std::string& dirPath, const std::string& name)
{
    const int fd = openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("cannot create", dirPath + "/" + name, errno);
    }
    close(fd);
}

void makeDir(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) != 0) {
        fail("cannot create", path, errno);
    }
}

std::string markerPath(const std::string& root)
{
    return root + ".tree";
}

std::string markerText(const TreeSpec& spec)
{
    std::ostringstream out;
    out << "morvane bench tree: directories " << spec.directories << " files " << spec.files << " seed " << spec.seed
        << " depth " << spec.maxDepth << "\n";
    return out.str();
}

void writeMarker(const std::string& root, const std::string& text)
{
    std::ofstream marker(markerPath(root), std::ios::binary | std::ios::trunc);
    marker << text;
    if (!marker.flush()) {
        fail("cannot write", markerPath(root), errno);
    }
}

}  // namespace

std::string TreeLayout::relativePath(std::size_t index) const
{
    std::vector<std::size_t> chain;
    for (std::size_t i = index; i != 0; i = directories[i].parent) {
        chain.push_back(i);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) {
            path += '/';
        }
        path += directories[*it].name;
    }
    return path;
}

int TreeLayout::deepest() const
{
    int d = 0;
    for (const Directory& dir : directories) {
        d = std::max(d, dir.depth);
    }
    return d;
}

TreeLayout PlanTree(const TreeSpec& spec)
{
    TreeLayout layout;
    layout.spec = spec;
    const std::size_t count = std::max<std::size_t>(spec.directories, 1);
    const int maxDepth = std::max(spec.maxDepth, 0);
    layout.directories.reserve(count);
    layout.directories.push_back({0, 0, {}, 0});

    Rng rng(mix(spec.seed, 1));
    std::vector<std::vector<std::size_t>> byDepth(static_cast<std::size_t>(maxDepth) + 1);
    byDepth[0].push_back(0);
    // How often a new directory lands at each depth (1..12): most at 3 to 7 levels, a few at the limit.
    static constexpr unsigned kWeights[] = {2, 5, 9, 12, 13, 12, 10, 8, 6, 4, 3, 2};
    std::unordered_set<std::string> taken;  // parent index, '/', upper-case name

    while (layout.directories.size() < count && maxDepth > 0) {
        int reachable = 1;
        while (reachable < maxDepth && !byDepth[static_cast<std::size_t>(reachable)].empty()) {
            ++reachable;
        }
        unsigned total = 0;
        for (int d = 1; d <= reachable; ++d) {
            total += kWeights[std::min(d, 12) - 1];
        }
        std::size_t pick = rng.below(total);
        int depth = 1;
        while (pick >= kWeights[std::min(depth, 12) - 1]) {
            pick -= kWeights[std::min(depth, 12) - 1];
            ++depth;
        }
        const auto& parents = byDepth[static_cast<std::size_t>(depth) - 1];
        const std::size_t parent = parents[rng.below(parents.size())];
        std::string name;
        for (;;) {
            name = randomName(rng);
            const std::string key = std::to_string(parent) + '/' + UpperAscii(name);
            if (!recordName(UpperAscii(name)) && taken.insert(key).second) {
                break;
            }
        }
        byDepth[static_cast<std::size_t>(depth)].push_back(layout.directories.size());
        layout.directories.push_back({parent, depth, std::move(name), 0});
    }

    // Files: most spread evenly, a fifth crowded into every 64th directory, as program and system folders are.
    const std::size_t n = layout.directories.size();
    const std::size_t busy = (n + 63) / 64;
    for (std::size_t f = 0; f < spec.files; ++f) {
        const std::size_t dir = rng.chance(20) ? rng.below(busy) * 64 : rng.below(n);
        ++layout.directories[std::min(dir, n - 1)].files;
    }
    return layout;
}

TreeSummary WriteTree(const std::string& root, const TreeLayout& layout)
{
    if (mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        fail("cannot create", root, errno);
    }
    if (DIR* d = opendir(root.c_str())) {
        bool empty = true;
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
                empty = false;
                break;
            }
        }
        closedir(d);
        if (!empty) {
            throw std::runtime_error("the tree folder " + root + " is not empty");
        }
    } else {
        fail("cannot open", root, errno);
    }
    // Marked before the first folder is made, so that a run cut short leaves a tree RemoveTree may clear.
    writeMarker(root, "morvane bench tree: incomplete\n");

    const std::size_t n = layout.directories.size();
    std::vector<std::string> paths(n);
    std::vector<std::vector<std::size_t>> children(n);
    paths[0] = root;
    TreeSummary summary;
    summary.directories = n;
    for (std::size_t i = 1; i < n; ++i) {
        const auto& dir = layout.directories[i];
        paths[i] = paths[dir.parent] + "/" + dir.name;
        children[dir.parent].push_back(i);
        makeDir(paths[i]);
        summary.dotNames += dir.name[0] == '.';
    }
    for (std::size_t i = 0; i < n; ++i) {
        const auto& dir = layout.directories[i];
        summary.deepest = std::max(summary.deepest, dir.depth);
        if (dir.files == 0) {
            continue;
        }
        std::unordered_set<std::string> taken;
        for (std::size_t c : children[i]) {
            taken.insert(UpperAscii(layout.directories[c].name));
        }
        const int fd = open(paths[i].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            fail("cannot open", paths[i], errno);
        }
        // Each folder has a generator of its own, so its names do not depend on the other folders.
        Rng rng(mix(layout.spec.seed, 1000003ull + i));
        for (std::size_t f = 0; f < dir.files; ++f) {
            const std::string name = freshName(rng, taken);
            summary.dotNames += name[0] == '.';
            createFileAt(fd, paths[i], name);
        }
        close(fd);
        summary.files += dir.files;
    }

    writeMarker(root, markerText(layout.spec));
    return summary;
}

bool TreeMatches(const std::string& root, const TreeSpec& spec)
{
    std::ifstream marker(markerPath(root), std::ios::binary);
    std::stringstream text;
    text << marker.rdbuf();
    struct stat st {};
    return marker && text.str() == markerText(spec) && stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void RemoveTree(const std::string& root)
{
    // Only a folder this generator filled: a mistyped --tree must never empty someone's folder.
    struct stat st {};
    if (lstat(markerPath(root).c_str(), &st) != 0) {
        return;
    }
    unlink(markerPath(root).c_str());
    nftw(
        root.c_str(),
        [](const char* path, const struct stat*, int type, FTW*) {
            if (type == FTW_DP) {
                rmdir(path);
            } else {
                unlink(path);
            }
            return 0;
        },
        64, FTW_DEPTH | FTW_PHYS);
}

Addition AddToTree(const std::string& root, const TreeLayout& layout, std::size_t directories, std::size_t files,
                   std::uint64_t seed)
{
    Rng rng(mix(seed, 7));
    Addition added;
    std::unordered_set<std::string> taken;  // relative folder path, upper-case name
    auto addPlus = [&](std::string name) {
        name.insert(name.begin() + static_cast<std::ptrdiff_t>(1 + rng.below(name.size() - 1)), '+');
        return name;
    };
    auto freshIn = [&](const std::string& folder) {
        for (;;) {
            std::string name = addPlus(randomName(rng));
            if (taken.insert(folder + UpperAscii(name)).second) {
                return name;
            }
        }
    };
    auto existingFolder = [&]() {
        const std::string rel = layout.relativePath(rng.below(layout.directories.size()));
        return rel.empty() ? std::string() : rel + "/";
    };

    for (std::size_t d = 0; d < directories; ++d) {
        // Half the new folders nest in a folder the installation made, as a program's folder tree does.
        const std::string parent = !added.directories.empty() && rng.chance(50)
                                       ? added.directories[rng.below(added.directories.size())]
                                       : existingFolder();
        std::string path = parent + freshIn(parent) + "/";
        makeDir(root + "/" + path.substr(0, path.size() - 1));
        added.directories.push_back(std::move(path));
    }
    for (std::size_t f = 0; f < files; ++f) {
        const std::string folder = !added.directories.empty() && rng.chance(50)
                                       ? added.directories[rng.below(added.directories.size())]
                                       : existingFolder();
        std::string path = folder + freshIn(folder);
        const int fd = open((root + "/" + path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            fail("cannot create", root + "/" + path, errno);
        }
        close(fd);
        added.files.push_back(std::move(path));
    }
    return added;
}

}  // namespace morvane::bench
