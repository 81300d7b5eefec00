#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// Many lines kept in one buffer, for the old directory and file lists of a drive block: a million file lines
// cost their bytes plus one offset each instead of one allocation each. Views stay valid until the next
// append.
class LineStore {
public:
    void append(std::string_view line)
    {
        m_bytes.append(line);
        m_ends.push_back(m_bytes.size());
    }
    std::size_t size() const { return m_ends.size(); }
    bool empty() const { return m_ends.empty(); }
    std::string_view operator[](std::size_t i) const
    {
        const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
        return std::string_view(m_bytes).substr(begin, m_ends[i] - begin);
    }
    void clear()
    {
        m_bytes = {};
        m_ends = {};
    }

private:
    std::string m_bytes;
    std::vector<std::size_t> m_ends;
};

}  // namespace morvane
