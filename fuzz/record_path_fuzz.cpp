// Record paths: a line that RecordPath accepts names something strictly below its drive's root, whatever
// the line holds. Checked against a model that resolves the path the way a file system could read it:
// "\" and "/" both separate names (the host's separator, and a Windows one), "." stays, ".." climbs.
#include <vector>

#include "fuzz/memory_lines.h"
#include "records/record_path.h"

using namespace morvane;

namespace {

// The depth below the root after every name, or -1 when some prefix of the path leaves the root.
int ModelDepth(std::string_view path, int& lowest)
{
    int depth = 0;
    lowest = 0;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find_first_of("\\/", start);
        const std::string_view name = path.substr(start, end == std::string_view::npos ? end : end - start);
        if (name == "..") {
            --depth;
        } else if (!name.empty() && name != ".") {
            ++depth;
        }
        lowest = std::min(lowest, depth);
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return depth;
}

void CheckAccepted(const std::optional<RecordPath>& path, std::string_view line, bool directory)
{
    if (!path) {
        return;
    }
    MORVANE_FUZZ_CHECK(path->text() == line);
    MORVANE_FUZZ_CHECK(path->isDirectory() == directory);
    int lowest = 0;
    const int depth = ModelDepth(line, lowest);
    MORVANE_FUZZ_CHECK(lowest >= 0);  // never above the root on the way
    MORVANE_FUZZ_CHECK(depth >= 1);   // and never the root itself
    for (const char c : line) {
        MORVANE_FUZZ_CHECK(static_cast<unsigned char>(c) >= 32);
    }
    const std::string onDrive = path->onDrive('C');
    MORVANE_FUZZ_CHECK(onDrive.substr(0, 2) == "C:" && onDrive.substr(2) == line);
    const std::string entry = path->entryOnDrive('C');
    MORVANE_FUZZ_CHECK(entry.back() != '\\' && entry.size() >= 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto directory = RecordPath::directory(line);
    const auto file = RecordPath::file(line);
    MORVANE_FUZZ_CHECK(!(directory && file));
    CheckAccepted(directory, line, true);
    CheckAccepted(file, line, false);
    return 0;
}
