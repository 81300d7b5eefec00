#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace morvane {

// Many lines kept in large blocks, for the old directory and file lists of a drive block: a million file lines
// cost their bytes plus one view each instead of one allocation each, and the blocks never move, so the views
// stay valid while lines are added (no doubling copy of everything read so far).
class LineStore {
public:
    void append(std::string_view line)
    {
        if (m_free < line.size()) {
            const std::size_t size = std::max(kBlockSize, line.size());
            m_blocks.push_back(std::make_unique<char[]>(size));
            m_next = m_blocks.back().get();
            m_free = size;
        }
        if (!line.empty()) {
            std::memcpy(m_next, line.data(), line.size());
        }
        m_lines.emplace_back(m_next, line.size());
        m_next += line.size();
        m_free -= line.size();
    }
    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    std::string_view operator[](std::size_t i) const { return m_lines[i]; }
    void clear()
    {
        std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
        std::vector<std::string_view>().swap(m_lines);
        m_next = nullptr;
        m_free = 0;
    }

private:
    static constexpr std::size_t kBlockSize = 1 << 20;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::string_view> m_lines;
    char* m_next = nullptr;
    std::size_t m_free = 0;
};

}  // namespace morvane
