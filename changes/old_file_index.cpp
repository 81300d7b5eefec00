#include "changes/old_file_index.h"

#include <algorithm>

namespace morvane {

namespace {

// Runs up to this size are compared line by line; larger ones get a hash set of their names.
constexpr std::size_t kLinearRun = 16;

// The directory part of a file line: everything up to and including its last "\" (empty without one).
std::string_view DirectoryPart(std::string_view line)
{
    const auto cut = line.rfind('\\');
    return cut == std::string_view::npos ? std::string_view() : line.substr(0, cut + 1);
}

bool LiesDirectlyIn(std::string_view line, std::string_view directory)
{
    return line.starts_with(directory) && line.find('\\', directory.size()) == std::string_view::npos;
}

std::string_view TrimTrailingSpaces(std::string_view text)
{
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

OldFileIndex::OldFileIndex(const LineStore& files) : m_files(files)
{
    std::string_view previous;
    bool havePrevious = false;
    std::vector<Run>* current = nullptr;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string_view key = DirectoryPart(files[i]);
        if (havePrevious && key == previous) {
            current->back().end = i + 1;
            continue;
        }
        current = &m_runs[key];
        current->push_back(Run{i, i + 1});
        previous = key;
        havePrevious = true;
    }
}

void OldFileIndex::enterDirectory(std::string_view directory)
{
    std::size_t from = 0;
    if (!m_first && m_begin != m_end && m_begin + 1 != m_files.size()) {
        from = m_begin;
    }
    m_first = false;
    m_nameOffset = directory.size();
    m_setBuilt = false;
    m_names.clear();
    locate(directory, from);
}

void OldFileIndex::locate(std::string_view directory, std::size_t from)
{
    m_begin = m_end = 0;
    if (directory.empty() || directory.back() != '\\') {
        // Not a directory line as BEFORE files write them: no index key stands for it, so search the list.
        std::size_t i = from;
        while (i < m_files.size() && !LiesDirectlyIn(m_files[i], directory)) {
            ++i;
        }
        if (i == m_files.size()) {
            return;
        }
        std::size_t end = i + 1;
        while (end < m_files.size() && LiesDirectlyIn(m_files[end], directory)) {
            ++end;
        }
        m_begin = i;
        m_end = end;
        return;
    }
    // For a line ending in "\", lying directly in it means having it as directory part.
    const auto found = m_runs.find(directory);
    if (found == m_runs.end()) {
        return;
    }
    const std::vector<Run>& runs = found->second;
    const auto run = std::upper_bound(runs.begin(), runs.end(), from,
                                      [](std::size_t position, const Run& r) { return position < r.end; });
    if (run == runs.end()) {
        return;
    }
    m_begin = std::max(run->begin, from);
    m_end = run->end;
}

void OldFileIndex::buildNameSet() const
{
    m_names.reserve(2 * (m_end - m_begin));
    for (std::size_t i = m_begin; i < m_end; ++i) {
        const std::string_view name = m_files[i].substr(m_nameOffset);
        m_names.insert(name);
        m_names.insert(TrimTrailingSpaces(name));
    }
    m_setBuilt = true;
}

bool OldFileIndex::isOld(std::string_view name) const
{
    if (m_end - m_begin <= kLinearRun) {
        for (std::size_t i = m_begin; i < m_end; ++i) {
            const std::string_view recorded = m_files[i].substr(m_nameOffset);
            if (recorded == name || TrimTrailingSpaces(recorded) == name) {
                return true;
            }
        }
        return false;
    }
    if (!m_setBuilt) {
        buildNameSet();
    }
    return m_names.contains(name);
}

}  // namespace morvane
