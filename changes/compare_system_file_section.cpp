#include "changes/compare_system_file_section.h"

#include <string>
#include <vector>

#include "records/before_file_reader.h"
#include "records/normalize.h"
#include "records/record_format.h"

namespace morvane {

namespace {

std::string_view FileNameOf(std::string_view path)
{
    const auto cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// The file's lines, normalised; none when it is not found as an ordinary file. A folder that is not there (or
// is reached only through a link) holds no such file; one that cannot be read is an error, not a missing file:
// recorded as gone, the file's lines would all be put back by a restoration into a file that is still there.
Status ReadNowList(const Context& ctx, std::string_view path, std::vector<std::string>& now)
{
    const auto listing = ctx.fs.list(path, kNormal);
    if (!listing) {
        return IsAbsent(listing.error()) ? Status() : Status(listing.error());
    }
    if (listing->names.empty()) {
        return {};
    }
    auto reader = ctx.fs.openForReading(path);
    if (!reader) {
        return reader.error();
    }
    std::string line;
    while ((*reader)->readLine(line)) {
        now.push_back(NormalizeLine(line));
    }
    Status status = (*reader)->status();
    reader->reset();  // closed before window events run
    if (!status) {
        Error error = status.error();
        if (error.path.empty()) {
            error.path = std::string(path);
        }
        return error;
    }
    ctx.events.processEvents();
    return {};
}

}  // namespace

Result<bool> CompareSystemFileSection(const Context& ctx, LineReader& before, AfterFileWriter& after,
                                      std::string_view path, std::string_view name)
{
    const std::string endMarker = EndMarker(name);
    after.configHeader(name);

    std::vector<std::string> beforeList;
    beforeList.reserve(1000);
    std::string line;
    bool ended = false;
    while (before.readLine(line)) {
        if (TrimSpaces(line) == endMarker) {
            ended = true;
            break;
        }
        beforeList.push_back(NormalizeLine(line));
    }
    if (!ended) {
        if (Status status = before.status(); !status) {
            return status.error();
        }
        return DamagedBefore("the copy of " + std::string(FileNameOf(path)) + " ends without the line \"" + endMarker +
                             "\"");
    }

    std::vector<std::string> nowList;
    nowList.reserve(1000);
    if (Status status = ReadNowList(ctx, path, nowList); !status) {
        return status.error();
    }

    bool SectionChanged = beforeList.size() != nowList.size();
    for (std::size_t i = 0; !SectionChanged && i < beforeList.size(); ++i) {
        SectionChanged = !LinesMatch(beforeList[i], nowList[i]);
    }

    if (SectionChanged) {
        after.changedSection(name, beforeList, nowList);
    } else {
        after.unchangedSection(name);
    }
    return SectionChanged;
}

}  // namespace morvane
