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

// Appends the lines of `from` that `others` does not hold, the header before the first of them.
void AppendMissing(const std::vector<std::string>& from, const std::unordered_set<std::string>& others,
                   std::string_view header, std::vector<std::string>& out)
{
    bool first = true;
    for (const std::string& line : from) {
        if (others.contains(UpperAscii(line))) {
            continue;
        }
        if (first) {
            out.emplace_back(header);
            first = false;
        }
        out.push_back(line);
    }
}

}  // namespace

std::vector<std::string> ListLineChanges(const std::vector<std::string>& oldLines,
                                         const std::vector<std::string>& newLines)
{
    const std::vector<std::string> oldNormal = Normalised(oldLines);
    const std::vector<std::string> newNormal = Normalised(newLines);
    // Sets instead of the double loop over both lists: the same answer, and no slowdown for long files.
    const std::unordered_set<std::string> oldUpper = UpperCaseSet(oldNormal);
    const std::unordered_set<std::string> newUpper = UpperCaseSet(newNormal);

    std::vector<std::string> out;
    AppendMissing(newNormal, oldUpper, kAddedHeader, out);
    AppendMissing(oldNormal, newUpper, kRemovedHeader, out);
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
