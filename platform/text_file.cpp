#include "platform/text_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/fd_text_file.h"

namespace morvane {

int writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

namespace {

// The first CR or LF in [begin, end), or end. Eight bytes are tested at a time: record files run to a hundred
// megabytes.
const char* lineEnd(const char* begin, const char* end)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    const auto holds = [](std::uint64_t word, unsigned char byte) {
        const std::uint64_t x = word ^ (kOnes * byte);
        return ((x - kOnes) & ~x & kHighs) != 0;
    };
    const char* at = begin;
    for (std::uint64_t word; end - at >= 8; at += 8) {
        std::memcpy(&word, at, 8);
        if (holds(word, '\n') || holds(word, '\r')) {
            break;
        }
    }
    while (at != end && *at != '\n' && *at != '\r') {
        ++at;
    }
    return at;
}

class FdLineReader final : public LineReader {
public:
    FdLineReader(int fd, std::string path) : m_fd(fd), m_path(std::move(path)), m_buffer(kTextBufferSize) {}
    ~FdLineReader() override { closeFile(); }

    bool readLine(std::string& line) override
    {
        line.clear();
        bool started = false;  // a byte of this line (or its ending) has been consumed
        for (;;) {
            if (m_pos == m_end && !refill()) {
                // A last line without an ending counts at the end of the file; cut off by a read error, it
                // is no line at all.
                return started && !m_error;
            }
            // The LF of a CR LF whose CR ended the previous line, possibly in the previous buffer.
            if (m_skipLf) {
                m_skipLf = false;
                if (m_buffer[m_pos] == '\n') {
                    ++m_pos;
                    continue;
                }
            }
            const char* begin = m_buffer.data() + m_pos;
            const char* end = m_buffer.data() + m_end;
            const char* stop = lineEnd(begin, end);
            line.append(begin, stop);
            started = true;
            if (stop == end) {
                m_pos = m_end;
                continue;
            }
            m_pos = static_cast<std::size_t>(stop - m_buffer.data()) + 1;
            m_skipLf = *stop == '\r';
            return true;
        }
    }

    Status status() const override { return m_error ? Status(*m_error) : Status(); }

private:
    bool refill()
    {
        if (m_fd < 0) {
            return false;
        }
        for (;;) {
            const ssize_t n = ::read(m_fd, m_buffer.data(), m_buffer.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                m_error = errorFromErrno(m_path, errno);
            }
            if (n <= 0) {
                closeFile();
                return false;
            }
            m_pos = 0;
            m_end = static_cast<std::size_t>(n);
            return true;
        }
    }

    void closeFile()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    int m_fd;
    std::string m_path;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_skipLf = false;
    std::optional<Error> m_error;
};

class FdLineWriter final : public LineWriter {
public:
    FdLineWriter(int fd, std::string path, int folderFd) : m_fd(fd), m_folderFd(folderFd), m_path(std::move(path))
    {
        m_buffer.reserve(kTextBufferSize);
    }
    ~FdLineWriter() override
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (m_folderFd >= 0) {
            ::close(m_folderFd);
        }
    }

    void writeLine(std::string_view line) override
    {
        if (m_error || m_fd < 0) {
            return;
        }
        if (m_buffer.size() + line.size() + 2 > kTextBufferSize) {
            flush();
            // A line longer than the buffer goes out directly.
            if (!m_error && line.size() + 2 > kTextBufferSize) {
                keep(writeAll(m_fd, line.data(), line.size()));
                if (!m_error) {
                    keep(writeAll(m_fd, "\r\n", 2));
                }
                return;
            }
        }
        m_buffer.append(line);
        m_buffer.append("\r\n", 2);
    }

    void writeLine(std::string_view first, std::string_view second) override
    {
        if (m_buffer.size() + first.size() + second.size() + 2 > kTextBufferSize) {
            LineWriter::writeLine(first, second);  // through a flush, as any long line
            return;
        }
        if (!m_error && m_fd >= 0) {
            m_buffer.append(first).append(second).append("\r\n", 2);
        }
    }

    Status finish() override
    {
        if (m_fd < 0) {
            return m_error ? Status(*m_error) : Status();  // already finished
        }
        flush();
        if (!m_error && ::fsync(m_fd) != 0) {
            keep(errno);
        }
        if (::close(m_fd) != 0 && !m_error) {
            keep(errno);
        }
        m_fd = -1;
        if (m_folderFd >= 0) {
            // Some file systems cannot sync a folder (EINVAL); the file's own data is safe all the same.
            if (!m_error && ::fsync(m_folderFd) != 0 && errno != EINVAL) {
                keep(errno);
            }
            ::close(m_folderFd);
            m_folderFd = -1;
        }
        return m_error ? Status(*m_error) : Status();
    }

private:
    void flush()
    {
        if (!m_error && !m_buffer.empty()) {
            keep(writeAll(m_fd, m_buffer.data(), m_buffer.size()));
        }
        m_buffer.clear();
    }

    void keep(int code)
    {
        if (code != 0 && !m_error) {
            m_error = errorFromErrno(m_path, code);
        }
    }

    int m_fd;
    int m_folderFd;
    std::string m_path;
    std::string m_buffer;
    std::optional<Error> m_error;
};

}  // namespace

std::unique_ptr<LineReader> makeFdLineReader(int fd, std::string path)
{
    return std::make_unique<FdLineReader>(fd, std::move(path));
}

std::unique_ptr<LineWriter> makeFdLineWriter(int fd, std::string path, int folderFd)
{
    return std::make_unique<FdLineWriter>(fd, std::move(path), folderFd);
}

}  // namespace morvane
