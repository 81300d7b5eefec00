#include "report/list_system_file_changes.h"

#include <unordered_set>

#include "records/normalize.h"
#include "platform/letter_case.h"

namespace morvane {

namespace {

std::vector<std::string> Normalised(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const std::string& line : lines) {
        out.push_back(NormalizeLine(line));
    }
    return out;
}

std::unordered_set<std::string> UpperCaseSet(const std::vector<std::string>& lines)
{
    std::unordered_set<std::string> set;
    set.reserve(lines.size());
    for (const std::string& line : lines) {
        set.insert(UpperAscii(line));
    }
    return set;
}

// The lines of `from` that `others` does not hold.
std::vector<std::string> Missing(const std::vector<std::string>& from, const std::unordered_set<std::string>& others)
{
    std::vector<std::string> out;
    for (const std::string& line : from) {
        if (!others.contains(UpperAscii(line))) {
            out.push_back(line);
        }
    }
    return out;
}

}  // namespace

LineChanges AddedAndRemovedLines(const std::vector<std::string>& oldLines, const std::vector<std::string>& newLines)
{
    const std::vector<std::string> oldNormal = Normalised(oldLines);
    const std::vector<std::string> newNormal = Normalised(newLines);
    // Sets instead of the double loop over both lists: the same answer, and no slowdown for long files.
    return LineChanges{Missing(newNormal, UpperCaseSet(oldNormal)), Missing(oldNormal, UpperCaseSet(newNormal))};
}

std::vector<std::string> ListLineChanges(const std::vector<std::string>& oldLines,
                                         const std::vector<std::string>& newLines)
{
    LineChanges changes = AddedAndRemovedLines(oldLines, newLines);
    std::vector<std::string> out;
    // Each list under its header; a list without lines has no header either.
    const auto append = [&out](std::string_view header, std::vector<std::string>& lines) {
        if (!lines.empty()) {
            out.emplace_back(header);
            out.insert(out.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
        }
    };
    append(kAddedHeader, changes.added);
    append(kRemovedHeader, changes.removed);
    if (out.empty()) {
        out.emplace_back();
    }
    return out;
}

Status ListSystemFileChanges(AfterFileReader& after, std::string_view tag, bool& changed,
                             std::vector<std::string>& lines)
{
    changed = false;
    auto section = after.readConfigSection(tag);
    if (!section) {
        return section.error();
    }
    if (!section->changed) {
        return {};
    }
    changed = true;
    lines = ListLineChanges(section->oldLines, section->newLines);
    return {};
}

}  // namespace morvane
