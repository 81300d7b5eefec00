// The line handling of a restoration: normalisation, matching, the section's lines, the file on disk, the
// decision whether it changed since the installation and the merge. The input holds the lines before the
// installation, the lines right after it and the file now, separated by NUL bytes. Invariants:
// - normalising twice gives what normalising once gives; a normalised line has no space at either end and
//   none beside an "="; LinesMatch is reflexive and symmetric;
// - the missing lines are exactly the pre-installation lines that match no line right after the installation;
// - a file that still holds the lines right after the installation has not changed since;
// - every line the merge writes comes from the file now or from the pre-installation lines;
// - every missing line the merge does not place is in the missing-line list, and every one it takes out of
//   that list is written.
#include <map>

#include "fuzz/memory_lines.h"
#include "records/after_file_reader.h"
#include "records/normalize.h"
#include "removal/restore_system_file.h"

using namespace morvane;

namespace {

bool NormalisedShape(const std::string& line)
{
    if (!line.empty() && (line.front() == ' ' || line.back() == ' ')) {
        return false;
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '=' && ((i > 0 && line[i - 1] == ' ') || (i + 1 < line.size() && line[i + 1] == ' '))) {
            return false;
        }
    }
    return true;
}

bool Contains(const std::vector<std::string>& list, const std::string& line)
{
    for (const auto& entry : list) {
        if (entry == line) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t first = bytes.find('\0');
    const std::size_t second = first == std::string_view::npos ? first : bytes.find('\0', first + 1);
    if (second == std::string_view::npos) {
        return 0;
    }
    ConfigSection section;
    section.changed = true;
    section.oldLines = fuzz::SplitLines(bytes.substr(0, first));
    section.newLines = fuzz::SplitLines(bytes.substr(first + 1, second - first - 1));
    const std::vector<std::string> onDisk = fuzz::SplitLines(bytes.substr(second + 1));

    for (const std::vector<std::string>* list :
         std::initializer_list<const std::vector<std::string>*>{&section.oldLines, &section.newLines, &onDisk}) {
        for (const auto& raw : *list) {
            const std::string once = NormalizeLine(raw);
            MORVANE_FUZZ_CHECK(NormalizeLine(once) == once);
            MORVANE_FUZZ_CHECK(NormalisedShape(once));
            MORVANE_FUZZ_CHECK(LinesMatch(raw, raw));
            MORVANE_FUZZ_CHECK(TrimSpaces(TrimSpaces(raw)) == TrimSpaces(raw));
        }
    }
    if (!section.oldLines.empty() && !onDisk.empty()) {
        const std::string& x = section.oldLines.front();
        const std::string& y = onDisk.front();
        MORVANE_FUZZ_CHECK(LinesMatch(x, y) == LinesMatch(y, x));
    }

    RestoreLines lines;
    lines.readSection(section);
    MORVANE_FUZZ_CHECK(lines.OriginalLines.size() == section.oldLines.size());
    MORVANE_FUZZ_CHECK(lines.InstalledLines.size() == section.newLines.size());
    std::vector<std::string> expectMissing;
    for (const auto& line : lines.OriginalLines) {
        bool matched = line.empty();
        for (const auto& installed : lines.InstalledLines) {
            matched = matched || LinesMatch(installed, line);
        }
        if (!matched) {
            expectMissing.push_back(line);
        }
    }
    MORVANE_FUZZ_CHECK(lines.MissingLines == expectMissing);

    // The file as it was right after the installation has not changed since.
    lines.readCurrent(section.newLines);
    MORVANE_FUZZ_CHECK(!lines.changedSinceInstallation());

    lines.readCurrent(onDisk);
    MORVANE_FUZZ_CHECK(lines.CurrentLines.size() == onDisk.size());
    lines.changedSinceInstallation();
    const std::vector<std::string> missingAtStart = lines.MissingLines;
    const std::vector<std::string> written = lines.merge();
    const std::vector<std::string> unplaced = lines.unplacedLines();

    MORVANE_FUZZ_CHECK(written.size() <= lines.CurrentLines.size());
    for (const auto& line : written) {
        MORVANE_FUZZ_CHECK(Contains(lines.CurrentLines, line) || Contains(lines.OriginalLines, line));
    }
    // The list keeps its places: an entry is either as it was or emptied.
    MORVANE_FUZZ_CHECK(lines.MissingLines.size() == missingAtStart.size());
    std::map<std::string, long> placed;  // missing lines taken out of the list, by text
    std::vector<std::string> left;
    for (std::size_t k = 0; k < missingAtStart.size(); ++k) {
        if (lines.MissingLines[k].empty()) {
            ++placed[missingAtStart[k]];
        } else {
            MORVANE_FUZZ_CHECK(lines.MissingLines[k] == missingAtStart[k]);
            left.push_back(missingAtStart[k]);
        }
    }
    MORVANE_FUZZ_CHECK(unplaced == left);
    // Each line taken out of the list is written: the merge writes it at least as often as it took it.
    for (const auto& [text, count] : placed) {
        long times = 0;
        for (const auto& line : written) {
            times += line == text ? 1 : 0;
        }
        MORVANE_FUZZ_CHECK(times >= count);
    }
    return 0;
}
