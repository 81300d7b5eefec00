#include "wine/registry.h"

#include <time.h>

#include <algorithm>
#include <utility>

#include "wine/registry_names.h"
#include "wine/registry_nodes.h"
#include "wine/registry_text.h"

namespace morvane::wine {

namespace {

// FileTime of 1970-01-01.
constexpr FileTime kUnixEpoch = 116444736000000000ULL;
constexpr std::string_view kHeaderLine = "WINE REGISTRY Version 2";

// The parts of a path; false when one is empty.
bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>& parts)
{
    parts.clear();
    if (path.empty()) {
        return true;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t stop = path.find(u'\\', start);
        const std::u16string_view part =
            path.substr(start, stop == std::u16string_view::npos ? path.npos : stop - start);
        if (part.empty()) {
            return false;
        }
        parts.push_back(part);
        if (stop == std::u16string_view::npos) {
            return true;
        }
        start = stop + 1;
    }
}

bool PathIsValid(std::u16string_view path)
{
    return path.empty() || (path.front() != u'\\' && path.back() != u'\\' && path.find(u"\\\\") == path.npos);
}

Error KeyError(std::u16string_view path, std::string reason, ErrorKind kind)
{
    return Error{Utf8FromUtf16(path), 0, std::move(reason), kind};
}

Error InvalidPath(std::u16string_view path)
{
    return KeyError(path, "the key's path has an empty part", ErrorKind::Invalid);
}

Error NoSuchKey(std::u16string_view path)
{
    return KeyError(path, "no such key", ErrorKind::NotFound);
}

std::vector<RegistryValue>::iterator FindValue(std::vector<RegistryValue>& values, std::u16string_view name)
{
    const auto at =
        std::lower_bound(values.begin(), values.end(), name,
                         [](const RegistryValue& v, std::u16string_view n) { return CompareNames(v.name, n) < 0; });
    return at != values.end() && NamesEqual(at->name, name) ? at : values.end();
}

}  // namespace

void PutValue(std::vector<RegistryValue>& values, RegistryValue value)
{
    if (values.empty() || CompareNames(values.back().name, value.name) < 0) {
        values.push_back(std::move(value));
        return;
    }
    const auto at = std::lower_bound(
        values.begin(), values.end(), value.name,
        [](const RegistryValue& v, const std::u16string& name) { return CompareNames(v.name, name) < 0; });
    if (at != values.end() && NamesEqual(at->name, value.name)) {
        at->type = value.type;
        at->data = std::move(value.data);
    } else {
        values.insert(at, std::move(value));
    }
}

FileTime FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds)
{
    return static_cast<FileTime>(seconds * 10000000 + nanoseconds / 100) + kUnixEpoch;
}

RegistryValue RegistryValue::text(std::u16string name, std::u16string_view text, std::uint32_t type)
{
    RegistryValue v{std::move(name), type, {}};
    v.data.reserve(2 * text.size() + 2);
    for (const char16_t u : text) {
        v.data.push_back(static_cast<char>(u & 0xff));
        v.data.push_back(static_cast<char>(u >> 8));
    }
    v.data.append(2, '\0');
    return v;
}

RegistryValue RegistryValue::multiText(std::u16string name, const std::vector<std::u16string>& items)
{
    std::u16string all;
    for (const auto& item : items) {
        all += item;
        all.push_back(u'\0');
    }
    return text(std::move(name), all, kRegMultiSz);
}

RegistryValue RegistryValue::dword(std::u16string name, std::uint32_t number)
{
    RegistryValue v{std::move(name), kRegDword, {}};
    for (int shift = 0; shift < 32; shift += 8) {
        v.data.push_back(static_cast<char>((number >> shift) & 0xff));
    }
    return v;
}

RegistryValue RegistryValue::bytes(std::u16string name, std::string data, std::uint32_t type)
{
    return RegistryValue{std::move(name), type, std::move(data)};
}

std::optional<std::u16string> RegistryValue::units() const
{
    if (data.size() % 2 != 0) {
        return std::nullopt;
    }
    std::u16string out(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                       (static_cast<unsigned char>(data[2 * i + 1]) << 8));
    }
    if (!out.empty() && out.back() == u'\0') {
        out.pop_back();
    }
    return out;
}

Registry::Registry() : m_text(std::string(kHeaderLine) + "\n"), m_preambleEnd(m_text.size())
{
    m_nodes.emplace_back();
}

Registry::~Registry() = default;
Registry::Registry(Registry&&) noexcept = default;
Registry& Registry::operator=(Registry&&) noexcept = default;

std::string_view Registry::preamble() const
{
    return std::string_view(m_text).substr(0, m_preambleEnd);
}

std::string Registry::arch() const
{
    text::Lines lines(preamble());
    while (lines.next()) {
        const std::string_view line = text::SkipSpace(lines.line());
        if (line.starts_with("#arch=")) {
            std::string_view rest = line.substr(6);
            while (!rest.empty() && text::IsSpace(rest.back())) {
                rest.remove_suffix(1);
            }
            return std::string(rest);
        }
    }
    return {};
}

std::uint32_t Registry::findChild(std::uint32_t parent, std::u16string_view name, std::size_t* insertAt) const
{
    const std::vector<std::uint32_t>& children = m_nodes[parent].children;
    std::size_t low = 0;
    std::size_t high = children.size();
    // Keys come in Wine's order in the files it writes: a new one mostly goes last.
    if (high > 0 && CompareNames(nameOf(children[high - 1]), name) < 0) {
        low = high;
    }
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const int order = CompareNames(nameOf(children[middle]), name);
        if (order == 0) {
            return children[middle];
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (insertAt) {
        *insertAt = low;
    }
    return kNoNode;
}

std::uint32_t Registry::addChild(std::uint32_t parent, std::u16string_view name, std::size_t at)
{
    const auto index = static_cast<std::uint32_t>(m_nodes.size());
    Node& node = m_nodes.emplace_back();
    node.nameAt = static_cast<std::uint32_t>(m_names.size());
    node.nameLength = static_cast<std::uint32_t>(name.size());
    node.parent = parent;
    m_names.append(name);
    std::vector<std::uint32_t>& children = m_nodes[parent].children;
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(at), index);
    return index;
}

std::optional<std::uint32_t> Registry::findNode(std::u16string_view path) const
{
    thread_local std::vector<std::u16string_view> parts;
    if (!SplitPath(path, parts)) {
        return std::nullopt;
    }
    std::uint32_t node = 0;
    for (const std::u16string_view part : parts) {
        node = findChild(node, part);
        if (node == kNoNode) {
            return std::nullopt;
        }
    }
    return node;
}

Registry::Content Registry::contentOf(std::uint32_t index) const
{
    const Node& node = m_nodes[index];
    if (node.content) {
        return *node.content;
    }
    Content content;
    auto readBlock = [&](const Block& block) {
        text::Lines lines(m_text, block.begin);
        const std::uint64_t end = block.begin + block.length;
        text::KeyHeader header;
        text::KeyOption option;
        text::Problem problem;
        RegistryValue value;
        // The reader has checked these lines: nothing here can fail.
        while (lines.next() && lines.begin() < end) {
            const std::string_view line = text::SkipSpace(lines.line());
            if (line.empty()) {
                continue;
            }
            switch (line[0]) {
            case '[':
                if (text::ReadKeyHeader(line, lines.number(), header, problem) && header.seconds) {
                    content.time = FileTimeFromUnix(*header.seconds);
                }
                break;
            case '#':
                if (text::ReadKeyOption(line, lines.number(), option, problem)) {
                    if (option.kind == text::KeyOption::Time) {
                        content.time = option.time;
                    } else if (option.kind == text::KeyOption::Class) {
                        content.className = option.className;
                    } else if (option.kind == text::KeyOption::Link) {
                        content.link = true;
                    }
                }
                break;
            case '"':
            case '@':
                if (text::ReadValue(lines, line, value, problem)) {
                    PutValue(content.values, std::move(value));
                }
                break;
            default: break;
            }
        }
    };
    if (node.hasBlock) {
        readBlock(node.block);
    }
    if (node.moreBlocks) {
        for (const Block& block : *node.moreBlocks) {
            readBlock(block);
        }
    }
    return content;
}

Registry::Content Registry::shownContent(std::uint32_t index) const
{
    Content content = contentOf(index);
    const Node& node = m_nodes[index];
    if (node.changed ? !writtenWhenTouched(node) : !node.hasBlock) {
        content.time.reset();
    }
    return content;
}

Registry::Content& Registry::changeable(std::uint32_t index)
{
    if (!m_nodes[index].content) {
        m_nodes[index].content = std::make_unique<Content>(contentOf(index));
    }
    return *m_nodes[index].content;
}

FileTime Registry::changeTime() const
{
    if (m_changeTime) {
        return *m_changeTime;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeFromUnix(now.tv_sec, static_cast<std::uint32_t>(now.tv_nsec));
}

void Registry::touch(std::uint32_t index)
{
    changeable(index).time = changeTime();
    m_nodes[index].changed = true;
}

std::optional<RegistryKey> Registry::findKey(std::u16string_view path) const
{
    const auto node = findNode(path);
    if (!node) {
        return std::nullopt;
    }
    Content content = shownContent(*node);
    return RegistryKey{std::u16string(nameOf(*node)), content.time, std::move(content.className), content.link};
}

Result<std::vector<std::u16string>> Registry::subkeys(std::u16string_view path) const
{
    const auto node = findNode(path);
    if (!node) {
        return NoSuchKey(path);
    }
    std::vector<std::u16string> names;
    names.reserve(m_nodes[*node].children.size());
    for (const std::uint32_t child : m_nodes[*node].children) {
        names.emplace_back(nameOf(child));
    }
    return names;
}

Result<std::vector<RegistryValue>> Registry::values(std::u16string_view path) const
{
    const auto node = findNode(path);
    if (!node) {
        return NoSuchKey(path);
    }
    return std::move(contentOf(*node).values);
}

std::optional<RegistryValue> Registry::findValue(std::u16string_view path, std::u16string_view name) const
{
    const auto node = findNode(path);
    if (!node) {
        return std::nullopt;
    }
    Content content = contentOf(*node);
    const auto at = FindValue(content.values, name);
    if (at == content.values.end()) {
        return std::nullopt;
    }
    return std::move(*at);
}

Status Registry::setValue(std::u16string_view path, const RegistryValue& value)
{
    const auto node = findNode(path);
    if (!node) {
        return PathIsValid(path) ? NoSuchKey(path) : InvalidPath(path);
    }
    Content& content = changeable(*node);
    const auto at = FindValue(content.values, value.name);
    if (at != content.values.end() && at->type == value.type && at->data == value.data) {
        return {};
    }
    PutValue(content.values, value);
    touch(*node);
    return {};
}

Status Registry::deleteValue(std::u16string_view path, std::u16string_view name)
{
    const auto node = findNode(path);
    if (!node) {
        return PathIsValid(path) ? NoSuchKey(path) : InvalidPath(path);
    }
    Content& content = changeable(*node);
    const auto at = FindValue(content.values, name);
    if (at == content.values.end()) {
        return KeyError(path, "no such value: " + (name.empty() ? std::string("@") : Utf8FromUtf16(name)),
                        ErrorKind::NotFound);
    }
    content.values.erase(at);
    touch(*node);
    return {};
}

Status Registry::addKey(std::u16string_view path)
{
    std::vector<std::u16string_view> parts;
    if (!SplitPath(path, parts)) {
        return InvalidPath(path);
    }
    std::uint32_t node = 0;
    for (const std::u16string_view part : parts) {
        std::size_t at = 0;
        const std::uint32_t child = findChild(node, part, &at);
        if (child != kNoNode) {
            node = child;
            continue;
        }
        // Wine gives a new key the time of its making and touches its parent.
        touch(node);
        node = addChild(node, part, at);
        m_nodes[node].content = std::make_unique<Content>();
        touch(node);
    }
    return {};
}

Status Registry::deleteKey(std::u16string_view path)
{
    if (!PathIsValid(path)) {
        return InvalidPath(path);
    }
    if (path.empty()) {
        return KeyError(path, "the top key cannot be deleted", ErrorKind::Invalid);
    }
    const auto node = findNode(path);
    if (!node) {
        return NoSuchKey(path);
    }
    const std::uint32_t parent = m_nodes[*node].parent;
    std::vector<std::uint32_t>& siblings = m_nodes[parent].children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), *node));
    std::vector<std::uint32_t> pending{*node};
    while (!pending.empty()) {
        Node& gone = m_nodes[pending.back()];
        pending.pop_back();
        pending.insert(pending.end(), gone.children.begin(), gone.children.end());
        gone = Node();
        gone.removed = true;
    }
    touch(parent);
    return {};
}

bool operator==(const Registry& a, const Registry& b)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pending{{0, 0}};
    while (!pending.empty()) {
        const auto [x, y] = pending.back();
        pending.pop_back();
        const Registry::Node& p = a.m_nodes[x];
        const Registry::Node& q = b.m_nodes[y];
        if (a.nameOf(x) != b.nameOf(y) || p.children.size() != q.children.size() ||
            !(a.shownContent(x) == b.shownContent(y))) {
            return false;
        }
        for (std::size_t i = 0; i < p.children.size(); ++i) {
            pending.emplace_back(p.children[i], q.children[i]);
        }
    }
    return true;
}

}  // namespace morvane::wine
