#include "wine/registry_writer.h"

#include <cstdio>
#include <vector>

#include "wine/registry_nodes.h"
#include "wine/registry_text.h"

namespace morvane::wine {

// Walks the keys depth first and writes each: its blocks when untouched, its content when touched.
class RegistryFormatter {
public:
    RegistryFormatter(const Registry& registry, const std::function<void(std::string_view)>& out)
        : m_registry(registry), m_out(out)
    {
        m_buffer.reserve(kFlushSize + 64 * 1024);
    }

    void run()
    {
        put(m_registry.preamble());
        std::vector<std::uint32_t> pending{0};
        while (!pending.empty()) {
            const std::uint32_t index = pending.back();
            pending.pop_back();
            writeKey(index);
            const std::vector<std::uint32_t>& children = m_registry.m_nodes[index].children;
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
        flush();
    }

private:
    static constexpr std::size_t kFlushSize = 1024 * 1024;

    void writeKey(std::uint32_t index)
    {
        const Registry::Node& node = m_registry.m_nodes[index];
        if (!node.changed) {
            if (node.hasBlock) {
                writeBlock(index, node.block);
            }
            if (node.moreBlocks) {
                for (const Registry::Block& block : *node.moreBlocks) {
                    writeBlock(index, block);
                }
            }
            return;
        }
        if (!Registry::writtenWhenTouched(node)) {
            return;
        }
        const Registry::Content& content = *node.content;
        endLine();
        m_buffer += "\n[";
        appendPath(index);
        const FileTime time = content.time.value_or(0);
        // Wine derives the seconds from the time as a signed number, rounding toward zero, and keeps 32 bits of them.
        const auto sinceUnixEpoch = static_cast<std::int64_t>(time - FileTimeFromUnix(0));
        const auto seconds = static_cast<std::uint32_t>(sinceUnixEpoch / 10000000);
        char line[64];
        const int length = std::snprintf(line, sizeof line, "] %u\n#time=%x%08x\n", unsigned{seconds},
                                         static_cast<unsigned>(time >> 32), static_cast<unsigned>(time & 0xffffffff));
        m_buffer.append(line, static_cast<std::size_t>(length));
        if (content.className) {
            m_buffer += "#class=\"";
            text::AppendEscaped(m_buffer, *content.className, '"', '"');
            m_buffer += "\"\n";
        }
        if (content.link) {
            m_buffer += "#link\n";
        }
        for (const RegistryValue& value : content.values) {
            text::AppendValue(m_buffer, value);
        }
        maybeFlush();
    }

    // A block as it was read; a header that spells a part of the path otherwise than the key is stored gets the
    // stored spelling.
    void writeBlock(std::uint32_t index, const Registry::Block& block)
    {
        const std::string_view text = std::string_view(m_registry.m_text).substr(block.begin, block.length);
        endLine();
        if (block.exactPath) {
            put(text);
            return;
        }
        text::Lines lines(text);
        while (lines.next()) {
            const std::string_view line = text::SkipSpace(lines.line());
            if (line.empty()) {
                continue;
            }
            text::KeyHeader header;
            text::Problem problem;
            (void)text::ReadKeyHeader(line, lines.number(), header, problem);
            const std::size_t bracket = lines.begin() + (lines.line().size() - line.size());
            put(text.substr(0, bracket + 1));
            appendPath(index);
            put(text.substr(bracket + header.pathEnd - 1));
            return;
        }
    }

    // The path of a key below the top key, each part escaped, joined by an escaped backslash.
    void appendPath(std::uint32_t index)
    {
        thread_local std::vector<std::uint32_t> chain;
        chain.clear();
        for (std::uint32_t n = index; n != 0; n = m_registry.m_nodes[n].parent) {
            chain.push_back(n);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            if (it != chain.rbegin()) {
                m_buffer += "\\\\";
            }
            text::AppendEscaped(m_buffer, m_registry.nameOf(*it), '[', ']');
        }
    }

    // What comes next starts on a line of its own, also after a block that was the end of a file without a final
    // line ending.
    void endLine()
    {
        if (!m_buffer.empty() ? m_buffer.back() != '\n' : (m_wroteAny && m_lastByte != '\n')) {
            m_buffer.push_back('\n');
        }
    }

    void put(std::string_view bytes)
    {
        if (bytes.size() >= kFlushSize) {
            flush();
            m_out(bytes);
            m_wroteAny = true;
            m_lastByte = bytes.back();
            return;
        }
        m_buffer += bytes;
        maybeFlush();
    }

    void maybeFlush()
    {
        if (m_buffer.size() >= kFlushSize) {
            flush();
        }
    }

    void flush()
    {
        if (m_buffer.empty()) {
            return;
        }
        m_out(m_buffer);
        m_wroteAny = true;
        m_lastByte = m_buffer.back();
        m_buffer.clear();
    }

    const Registry& m_registry;
    const std::function<void(std::string_view)>& m_out;
    std::string m_buffer;
    bool m_wroteAny = false;
    char m_lastByte = '\n';
};

void WriteRegistry(const Registry& registry, const std::function<void(std::string_view)>& out)
{
    RegistryFormatter(registry, out).run();
}

std::string FormatRegistry(const Registry& registry)
{
    std::string text;
    WriteRegistry(registry, [&](std::string_view piece) { text += piece; });
    return text;
}

Status WriteRegistryFile(FileSystem& files, std::string_view path, const Registry& registry)
{
    return files.writeFileAtomic(path, [&](const FileSystem::ByteSink& sink) { WriteRegistry(registry, sink); });
}

}  // namespace morvane::wine
