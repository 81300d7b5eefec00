#include "records/record_path.h"

namespace morvane {

namespace {

// Every component of "\A\B" (a directory path without its final "\") is a name a listing could give.
bool ComponentsAreNames(std::string_view path)
{
    if (path.size() < 2 || path.front() != '\\') {
        return false;
    }
    std::size_t start = 1;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        const std::string_view name = path.substr(start, end == std::string_view::npos ? end : end - start);
        if (name.empty() || name == "." || name == "..") {
            return false;
        }
        for (const char c : name) {
            // A '/' would separate names on the host (and on Windows): "\A/..\" names the root.
            if (static_cast<unsigned char>(c) < 32 || c == '/') {
                return false;
            }
        }
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

}  // namespace

std::optional<RecordPath> RecordPath::directory(std::string_view line)
{
    if (line.empty() || line.back() != '\\' || !ComponentsAreNames(line.substr(0, line.size() - 1))) {
        return std::nullopt;
    }
    return RecordPath(std::string(line));
}

std::optional<RecordPath> RecordPath::file(std::string_view line)
{
    if (line.empty() || line.back() == '\\' || !ComponentsAreNames(line)) {
        return std::nullopt;
    }
    return RecordPath(std::string(line));
}

std::string RecordPath::onDrive(char letter) const
{
    std::string path(1, letter);
    path += ':';
    path += m_text;
    return path;
}

std::string RecordPath::entryOnDrive(char letter) const
{
    std::string path = onDrive(letter);
    if (isDirectory()) {
        path.pop_back();
    }
    return path;
}

}  // namespace morvane
