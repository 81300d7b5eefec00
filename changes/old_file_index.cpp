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

std::string_view OldFileIndex::RunKey::operator()(std::uint32_t run) const
{
    return DirectoryPart(index->m_files[index->m_runs[run].begin]);
}

OldFileIndex::OldFileIndex(const LineStore& files) : m_files(files)
{
    static_assert(kNone == StringIndex<RunKey>::kAbsent);
    std::string_view previous;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string_view key = DirectoryPart(files[i]);
        if (!m_runs.empty() && key == previous) {
            m_runs.back().end = i + 1;
            continue;
        }
        const auto run = static_cast<std::uint32_t>(m_runs.size());
        m_runs.push_back(Run{i, i + 1, kNone});
        m_runs.back().previous = m_lastRun.put(run);
        previous = key;
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
    if (m_setBuilt) {
        // A fresh set: clearing one keeps its buckets, and clearing those again for every directory that follows
        // a large one would cost as much as that directory each time.
        std::unordered_set<std::string_view>().swap(m_names);
        m_setBuilt = false;
    }
    locate(directory, from);
    m_next = m_begin;
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
    // For a line ending in "\", lying directly in it means having it as directory part: the first of its runs
    // that ends after `from`.
    const Run* found = nullptr;
    for (std::uint32_t run = m_lastRun.find(directory); run != kNone && m_runs[run].end > from;
         run = m_runs[run].previous) {
        found = &m_runs[run];
    }
    if (found == nullptr) {
        return;
    }
    m_begin = std::max(found->begin, from);
    m_end = found->end;
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
        // The directory is usually listed in the order it was recorded in, so the search starts after the last
        // name found and goes round.
        const std::size_t count = m_end - m_begin;
        std::size_t i = m_next;
        for (std::size_t k = 0; k < count; ++k, i = i + 1 == m_end ? m_begin : i + 1) {
            const std::string_view recorded = m_files[i].substr(m_nameOffset);
            if (recorded == name || TrimTrailingSpaces(recorded) == name) {
                m_next = i + 1 == m_end ? m_begin : i + 1;
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
