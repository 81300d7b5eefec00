#include "wine/registry_reader.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/memory.h"
#include "wine/registry_names.h"
#include "wine/registry_nodes.h"
#include "wine/registry_text.h"

namespace morvane::wine {

// Builds a Registry from its text: checks every line, makes a key for each path, and gives each key its blocks.
class RegistryBuilder {
public:
    static Result<Registry> parse(std::string text, std::string_view name)
    {
        Registry registry;
        if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
            return Error{std::string(name), 0, "larger than 4 GiB, which no registry file is", ErrorKind::Damaged};
        }
        registry.m_text = std::move(text);
        registry.m_preambleEnd = 0;
        // Room for a key per "[" and for the keys their paths imply, and for their names: reserved, not touched.
        const auto brackets = static_cast<std::size_t>(std::count(registry.m_text.begin(), registry.m_text.end(), '['));
        registry.m_nodes.reserve(brackets + brackets / 4 + 1);
        registry.m_names.reserve(registry.m_text.size() / 8);
        AdviseHugePages(registry.m_nodes.data(), registry.m_nodes.capacity() * sizeof(Registry::Node));
        AdviseHugePages(registry.m_names.data(), registry.m_names.capacity() * sizeof(char16_t));
        if (Status s = RegistryBuilder(registry, name).run(); !s) {
            return s.error();
        }
        return registry;
    }

private:
    RegistryBuilder(Registry& registry, std::string_view name) : m_registry(registry), m_name(name) {}

    Status run()
    {
        const std::string_view text = m_registry.m_text;
        text::Lines lines(text);
        if (!lines.next() || lines.line() != "WINE REGISTRY Version 2") {
            return fail(1, "not a Wine registry file: the first line must be \"WINE REGISTRY Version 2\"");
        }
        std::uint32_t current = Registry::kNoNode;
        std::size_t blockBegin = 0;
        bool exactPath = true;
        std::size_t blankRun = kNone;  // where the blank lines just before this line begin
        text::KeyHeader header;
        text::KeyOption option;
        text::Problem problem;
        RegistryValue value;
        while (lines.next()) {
            const std::string_view line = text::SkipSpace(lines.line());
            if (line.empty()) {
                if (blankRun == kNone) {
                    blankRun = lines.begin();
                }
                continue;
            }
            const std::size_t lead = blankRun == kNone ? lines.begin() : blankRun;
            blankRun = kNone;
            switch (line[0]) {
            case '[':
                if (Status s = close(current, blockBegin, lead, exactPath, lines.number()); !s) {
                    return s;
                }
                if (!text::ReadKeyHeader(line, lines.number(), header, problem)) {
                    return fail(problem);
                }
                current = resolve(header.path, exactPath);
                if (current == Registry::kNoNode) {
                    return fail(lines.number(), "the key's path has an empty part");
                }
                blockBegin = lead;
                break;
            case '"':
            case '@':
                if (current == Registry::kNoNode) {
                    return fail(lines.number(), "a value before the first key");
                }
                if (!text::ReadValue(lines, line, value, problem)) {
                    return fail(problem);
                }
                break;
            case '#':
                // Before the first key: "#arch=" and any other option, which Wine reads or passes over.
                if (current != Registry::kNoNode && !text::ReadKeyOption(line, lines.number(), option, problem)) {
                    return fail(problem);
                }
                break;
            case ';': break;
            default:
                return fail(lines.number(),
                            "expected a key \"[...]\", a value \"name\"=... or @=..., an option \"#...\" or a comment "
                            "\";...\"");
            }
        }
        return close(current, blockBegin, text.size(), exactPath, lines.number());
    }

    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

    Status fail(std::size_t line, std::string_view what) const
    {
        return Error{std::string(m_name), 0, "line " + std::to_string(line) + ": " + std::string(what),
                     ErrorKind::Damaged};
    }
    Status fail(const text::Problem& problem) const { return fail(problem.line, problem.what); }

    // Ends the current key's block at `end`, or the preamble when there is no key yet.
    Status close(std::uint32_t node, std::size_t begin, std::size_t end, bool exactPath, std::size_t lineNumber)
    {
        if (node == Registry::kNoNode) {
            m_registry.m_preambleEnd = end;
            return {};
        }
        if (end - begin >= (std::size_t{1} << 31)) {
            return fail(lineNumber, "a key's lines take 2 GiB or more");
        }
        Registry::Block block;
        block.begin = static_cast<std::uint32_t>(begin);
        block.length = static_cast<std::uint32_t>(end - begin);
        block.exactPath = exactPath ? 1 : 0;
        Registry::Node& n = m_registry.m_nodes[node];
        if (!n.hasBlock) {
            n.block = block;
            n.hasBlock = true;
        } else {
            if (!n.moreBlocks) {
                n.moreBlocks = std::make_unique<std::vector<Registry::Block>>();
            }
            n.moreBlocks->push_back(block);
        }
        return {};
    }

    // The key of a header's path, made with its parents when missing; kNoNode when a part is empty. `exact` tells
    // whether every part is spelled as the key is stored (the first spelling read).
    std::uint32_t resolve(std::u16string_view path, bool& exact)
    {
        exact = true;
        std::uint32_t node = 0;
        if (path.empty()) {
            m_lastPath.clear();
            return node;
        }
        std::size_t depth = 0;
        std::size_t start = 0;
        for (;;) {
            const std::size_t stop = path.find(u'\\', start);
            const std::u16string_view part = path.substr(start, stop == path.npos ? path.npos : stop - start);
            if (part.empty()) {
                m_lastPath.clear();
                return Registry::kNoNode;
            }
            // Consecutive keys mostly share their first parts: those are the keys of the last path.
            std::uint32_t child = Registry::kNoNode;
            if (depth < m_lastPath.size()) {
                if (NamesEqual(m_registry.nameOf(m_lastPath[depth]), part)) {
                    child = m_lastPath[depth];
                } else {
                    m_lastPath.resize(depth);
                }
            }
            if (child == Registry::kNoNode) {
                std::size_t at = 0;
                child = m_registry.findChild(node, part, &at);
                if (child == Registry::kNoNode) {
                    child = m_registry.addChild(node, part, at);
                }
                m_lastPath.push_back(child);
            }
            exact = exact && m_registry.nameOf(child) == part;
            node = child;
            ++depth;
            if (stop == path.npos) {
                break;
            }
            start = stop + 1;
        }
        m_lastPath.resize(depth);
        return node;
    }

    Registry& m_registry;
    std::string_view m_name;
    std::vector<std::uint32_t> m_lastPath;
};

Result<Registry> ParseRegistry(std::string text, std::string_view name)
{
    return RegistryBuilder::parse(std::move(text), name);
}

Result<Registry> ReadRegistryFile(const FileSystem& files, std::string_view path)
{
    auto bytes = files.readFile(path);
    if (!bytes) {
        return bytes.error();
    }
    return ParseRegistry(std::move(*bytes), path);
}

}  // namespace morvane::wine
