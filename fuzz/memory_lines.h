#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/text_file.h"

namespace morvane::fuzz {

// A LineReader over bytes in memory, splitting lines as the file reader does: at CR LF, LF or a lone CR; a
// last line without an ending counts; no bytes give no lines.
class MemoryLineReader final : public LineReader {
public:
    explicit MemoryLineReader(std::string_view bytes) : m_bytes(bytes) {}

    bool readLine(std::string& line) override
    {
        line.clear();
        if (m_pos >= m_bytes.size()) {
            return false;
        }
        const std::size_t stop = m_bytes.find_first_of("\r\n", m_pos);
        if (stop == std::string_view::npos) {
            line.assign(m_bytes.substr(m_pos));
            m_pos = m_bytes.size();
            return true;
        }
        line.assign(m_bytes.substr(m_pos, stop - m_pos));
        m_pos = stop + 1;
        if (m_bytes[stop] == '\r' && m_pos < m_bytes.size() && m_bytes[m_pos] == '\n') {
            ++m_pos;
        }
        return true;
    }

    Status status() const override { return {}; }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

// Every line of `bytes`, split as above.
inline std::vector<std::string> SplitLines(std::string_view bytes)
{
    MemoryLineReader reader(bytes);
    std::vector<std::string> lines;
    std::string line;
    while (reader.readLine(line)) {
        lines.push_back(line);
    }
    return lines;
}

// A file system whose every file opened for reading holds the same bytes in memory: the AFTER-file reader
// opens its file through the file system and is fed from the fuzzer's input this way.
class MemoryFileSystem final : public FileSystem {
public:
    explicit MemoryFileSystem(std::string_view bytes) : FileSystem(DriveMap()), m_bytes(bytes) {}

    Result<std::unique_ptr<LineReader>> openForReading(std::string_view) const override
    {
        return std::unique_ptr<LineReader>(std::make_unique<MemoryLineReader>(m_bytes));
    }

    Result<std::string> readFile(std::string_view) const override { return std::string(m_bytes); }

    // A file written whole is kept in memory, and what is read from then on.
    Status writeFileAtomic(std::string_view, const std::function<void(const ByteSink&)>& produce) override
    {
        m_written.clear();
        produce([&](std::string_view bytes) { m_written.append(bytes); });
        m_bytes = m_written;
        return {};
    }

private:
    std::string_view m_bytes;
    std::string m_written;
};

// Stops the run with the fuzzer's crash report when an invariant does not hold.
#define MORVANE_FUZZ_CHECK(condition)                                     \
    do {                                                                  \
        if (!(condition)) {                                               \
            ::morvane::fuzz::CheckFailed(#condition, __FILE__, __LINE__); \
        }                                                                 \
    } while (false)

[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);

}  // namespace morvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
