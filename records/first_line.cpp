#include "records/first_line.h"

namespace morvane {

Result<std::optional<std::string>> ReadFirstLine(LineReader& lines)
{
    std::string line;
    if (lines.readLine(line)) {
        return std::optional<std::string>(std::move(line));
    }
    if (const Status status = lines.status(); !status) {
        return status.error();
    }
    return std::optional<std::string>();
}

Result<std::optional<std::string>> ReadFirstLine(const FileSystem& fs, const std::string& path)
{
    auto reader = fs.openForReading(path);
    if (!reader) {
        return reader.error();
    }
    return ReadFirstLine(**reader);
}

std::string ProgramNameOr(const FileSystem& fs, const std::string& path, std::string_view fallback)
{
    auto name = ReadFirstLine(fs, path);
    if (!name || !name->has_value()) {
        return std::string(fallback);
    }
    return std::move(**name);
}

}  // namespace morvane
