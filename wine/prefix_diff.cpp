// FindPrefixChanges: what an installation changed in the registry files and the menu builder's locations.
//
// Each hive is compared as two streams of keys in Wine's order (depth first, each key's subkeys sorted by name as
// registry_names.h says): the order Wine writes its files in. The keys are read straight from the two texts, one
// at a time, with the keys a file only implies (a key with subkeys and nothing else has no lines) put in their
// place, so that nothing but the two texts is held: a key whose lines are the same on both sides but for its time
// is passed over without reading its values. A file whose keys are not in Wine's order (not written by Wine, or a
// key named twice) is read into a Registry instead and walked in the same order, which gives the same changes.

#include <algorithm>
#include <set>
#include <string_view>

#include "wine/prefix_state.h"
#include "wine/registry_names.h"
#include "wine/registry_nodes.h"
#include "wine/registry_reader.h"
#include "wine/registry_text.h"

namespace morvane::wine {

namespace {

// Wine's own housekeeping: keys that Wine rewrites in every session whatever the programs do, found by running a
// program that changes nothing (`wine cmd /c exit`) in a fresh prefix, several times in a row, and comparing the
// files before and after each run. A change at one of these keys or below it is never the installation's.
struct Housekeeping {
    Hive hive;
    std::u16string_view path;
};
constexpr Housekeeping kHousekeeping[] = {
    // The display driver makes its adapter's device keys anew at the start of every session: the adapter's
    // "DriverDateData" holds the time of that start, and the class's default value set by wineboot is gone after
    // the first session.
    {Hive::System, u"System\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}"},
    // The monitors' class, made anew with the display adapter's (its default value is gone after the first
    // session).
    {Hive::System, u"System\\CurrentControlSet\\Control\\Class\\{4D36E96E-E325-11CE-BFC1-08002BE10318}"},
    // The devices found at each start (display, monitors, input devices, disks), made anew every session: they
    // follow the machine, not the programs.
    {Hive::System, u"System\\CurrentControlSet\\Enum"},
    // The interfaces of those devices, made anew with them.
    {Hive::System, u"System\\CurrentControlSet\\Control\\DeviceClasses"},
    // The display driver's view of the screens and their modes, rewritten at each start from the host's display.
    {Hive::System, u"System\\CurrentControlSet\\Control\\Video"},
    // The host's network adapters, made anew from the machine's at each start: the first session after wineboot
    // deleted the empty key wineboot had made.
    {Hive::System, u"Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards"},
    {Hive::System, u"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards"},
};

using Parts = std::vector<std::u16string>;

std::vector<std::u16string_view> SplitParts(std::u16string_view path)
{
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    while (!path.empty()) {
        const std::size_t stop = path.find(u'\\', start);
        parts.push_back(path.substr(start, stop == path.npos ? path.npos : stop - start));
        if (stop == path.npos) {
            break;
        }
        start = stop + 1;
    }
    return parts;
}

bool IsHousekeeping(Hive hive, const Parts& key)
{
    for (const Housekeeping& entry : kHousekeeping) {
        if (entry.hive != hive) {
            continue;
        }
        const auto parts = SplitParts(entry.path);
        if (parts.size() <= key.size() &&
            std::equal(parts.begin(), parts.end(), key.begin(),
                       [](std::u16string_view a, const std::u16string& b) { return NamesEqual(a, b); })) {
            return true;
        }
    }
    return false;
}

// Wine's order of two keys' paths: depth first, a key before its subkeys, siblings by name.
int ComparePaths(const Parts& a, const Parts& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (const int order = CompareNames(a[i], b[i]); order != 0) {
            return order;
        }
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::u16string JoinParts(const Parts& parts)
{
    std::u16string path;
    for (const std::u16string& part : parts) {
        if (!path.empty()) {
            path.push_back(u'\\');
        }
        path += part;
    }
    return path;
}

Error Damaged(std::string_view name, std::size_t line, std::string_view what)
{
    return Error{std::string(name), 0, "line " + std::to_string(line) + ": " + std::string(what), ErrorKind::Damaged};
}

// The keys of a hive, one at a time in Wine's order.
class KeySource {
public:
    enum class Step { Key, End, OutOfOrder };
    virtual ~KeySource() = default;
    // Moves to the next key: the top key first. OutOfOrder when the text's keys are not in Wine's order.
    virtual Result<Step> next() = 0;
    const Parts& parts() const { return m_parts; }
    // The key's lines after its header, for a quick comparison; nullopt when the source has no text.
    virtual std::optional<std::string_view> body() const = 0;
    virtual Result<std::vector<RegistryValue>> values() const = 0;

protected:
    Parts m_parts;
};

// The keys of a registry file's text, read in one pass without copying it.
class TextKeys : public KeySource {
public:
    TextKeys(std::string_view text, std::string name) : m_text(text), m_name(std::move(name)), m_lines(text) {}

    Result<Step> next() override
    {
        if (!m_started) {
            m_started = true;
            if (Status s = readPreamble(); !s) {
                return s.error();
            }
            if (Status s = readHeader(); !s) {
                return s.error();
            }
            m_parts.clear();
            if (m_hasHeader && m_header.empty()) {
                return takeWritten();
            }
            m_body = {};
            return Step::Key;
        }
        if (!m_hasHeader) {
            return Step::End;
        }
        // The next key is the written one, or the first of its parents that has not come yet: implied by it.
        std::size_t common = 0;
        while (common < m_parts.size() && common < m_header.size() && NamesEqual(m_parts[common], m_header[common])) {
            ++common;
        }
        if (common == m_header.size() || (common < m_parts.size() && common < m_header.size() &&
                                          CompareNames(m_parts[common], m_header[common]) > 0)) {
            // The written key is the last one or one of its parents, or sorts before it.
            return Step::OutOfOrder;
        }
        if (common + 1 < m_header.size()) {
            m_parts.resize(common);
            m_parts.push_back(m_header[common]);
            m_body = {};
            return Step::Key;
        }
        return takeWritten();
    }

    std::optional<std::string_view> body() const override { return m_text.substr(m_body.begin, m_body.length); }

    Result<std::vector<RegistryValue>> values() const override
    {
        std::vector<RegistryValue> values;
        text::Lines lines(m_text, m_body.begin, m_body.firstLine);
        const std::size_t end = m_body.begin + m_body.length;
        text::Problem problem;
        RegistryValue value;
        while (lines.begin() < end && lines.next() && lines.begin() < end) {
            const std::string_view line = text::SkipSpace(lines.line());
            if (!line.empty() && (line[0] == '"' || line[0] == '@')) {
                if (!text::ReadValue(lines, line, value, problem)) {
                    return Damaged(m_name, problem.line, problem.what);
                }
                PutValue(values, std::move(value));
            }
        }
        return values;
    }

    // "#arch=" of the lines before the first key; empty when there is none.
    std::string arch() const { return m_arch; }

private:
    struct Body {
        std::size_t begin = 0;
        std::size_t length = 0;
        std::size_t firstLine = 1;
    };

    Status readPreamble()
    {
        if (!m_lines.next() || m_lines.line() != "WINE REGISTRY Version 2") {
            return Damaged(m_name, 1, "not a Wine registry file: the first line must be \"WINE REGISTRY Version 2\"");
        }
        while (m_lines.next()) {
            const std::string_view line = text::SkipSpace(m_lines.line());
            if (line.empty() || line[0] == ';') {
                continue;
            }
            if (line[0] == '[') {
                m_atHeader = true;
                return {};
            }
            if (line[0] == '#') {
                if (line.starts_with("#arch=")) {
                    std::string_view arch = line.substr(6);
                    while (!arch.empty() && text::IsSpace(arch.back())) {
                        arch.remove_suffix(1);
                    }
                    m_arch = std::string(arch);
                }
                continue;
            }
            if (line[0] == '"' || line[0] == '@') {
                return Damaged(m_name, m_lines.number(), "a value before the first key");
            }
            return Damaged(m_name, m_lines.number(), kUnexpected);
        }
        return {};
    }

    // Reads the header the lines stand on, if any, and the lines of its key up to the next header, checking each
    // as Wine would read it (values are read through only when a comparison needs them).
    Status readHeader()
    {
        m_hasHeader = m_atHeader;
        if (!m_atHeader) {
            return {};
        }
        m_atHeader = false;
        text::KeyHeader header;
        text::Problem problem;
        if (!text::ReadKeyHeader(text::SkipSpace(m_lines.line()), m_lines.number(), header, problem)) {
            return Damaged(m_name, problem.line, problem.what);
        }
        m_header.clear();
        for (const std::u16string_view part : SplitParts(header.path)) {
            if (part.empty()) {
                return Damaged(m_name, m_lines.number(), "the key's path has an empty part");
            }
            m_header.emplace_back(part);
        }
        m_next.begin = m_lines.end();
        m_next.firstLine = m_lines.number() + 1;
        bool continued = false;
        text::KeyOption option;
        while (m_lines.next()) {
            std::string_view line = m_lines.line();
            if (continued) {
                continued = EndsInBackslash(line);
                continue;
            }
            line = text::SkipSpace(line);
            if (line.empty() || line[0] == ';') {
                continue;
            }
            if (line[0] == '[') {
                m_atHeader = true;
                break;
            }
            if (line[0] == '"' || line[0] == '@') {
                continued = EndsInBackslash(line);
                continue;
            }
            if (line[0] == '#') {
                if (!text::ReadKeyOption(line, m_lines.number(), option, problem)) {
                    return Damaged(m_name, problem.line, problem.what);
                }
                continue;
            }
            return Damaged(m_name, m_lines.number(), kUnexpected);
        }
        m_next.length = (m_atHeader ? m_lines.begin() : m_text.size()) - m_next.begin;
        return {};
    }

    Result<Step> takeWritten()
    {
        m_parts = std::move(m_header);
        m_header.clear();
        m_body = m_next;
        if (Status s = readHeader(); !s) {
            return s.error();
        }
        return Step::Key;
    }

    static bool EndsInBackslash(std::string_view line)
    {
        while (!line.empty() && text::IsSpace(line.back())) {
            line.remove_suffix(1);
        }
        return !line.empty() && line.back() == '\\';
    }

    static constexpr std::string_view kUnexpected =
        "expected a key \"[...]\", a value \"name\"=... or @=..., an option \"#...\" or a comment \";...\"";

    std::string_view m_text;
    std::string m_name;
    text::Lines m_lines;
    bool m_started = false;
    bool m_atHeader = false;   // the lines stand on a header not read yet
    bool m_hasHeader = false;  // m_header holds the next written key
    Parts m_header;
    Body m_next;  // the lines of the next written key
    Body m_body;  // the lines of the current key; none for a key the text only implies
    std::string m_arch;
};

// The keys of a registry read into memory, walked in the same order.
class RegistryKeys : public KeySource {
public:
    explicit RegistryKeys(const Registry& registry) : m_registry(registry) {}

    Result<Step> next() override
    {
        if (!m_started) {
            m_started = true;
            m_pending.push_back({});
        }
        if (m_pending.empty()) {
            return Step::End;
        }
        m_parts = std::move(m_pending.back());
        m_pending.pop_back();
        m_path = JoinParts(m_parts);
        auto names = m_registry.subkeys(m_path);
        if (!names) {
            return names.error();
        }
        for (auto name = names->rbegin(); name != names->rend(); ++name) {
            Parts child = m_parts;
            child.push_back(*name);
            m_pending.push_back(std::move(child));
        }
        return Step::Key;
    }

    std::optional<std::string_view> body() const override { return std::nullopt; }
    Result<std::vector<RegistryValue>> values() const override { return m_registry.values(m_path); }

private:
    const Registry& m_registry;
    bool m_started = false;
    std::vector<Parts> m_pending;
    std::u16string m_path;
};

// Whether two keys' lines say the same but for the key's time: the same lines in the same order, "#time=" lines,
// blank lines and comments left out.
bool SameLines(std::string_view a, std::string_view b)
{
    if (a == b) {
        return true;
    }
    text::Lines x(a);
    text::Lines y(b);
    auto advance = [](text::Lines& lines) {
        while (lines.next()) {
            const std::string_view line = text::SkipSpace(lines.line());
            if (!line.empty() && line[0] != ';' && !line.starts_with("#time=")) {
                return true;
            }
        }
        return false;
    };
    for (;;) {
        const bool moreX = advance(x);
        const bool moreY = advance(y);
        if (moreX != moreY) {
            return false;
        }
        if (!moreX) {
            return true;
        }
        if (text::SkipSpace(x.line()) != text::SkipSpace(y.line())) {
            return false;
        }
    }
}

RecordedData Recorded(const RegistryValue& value)
{
    return RecordedData{value.type, value.data};
}

class HiveDiff {
public:
    HiveDiff(Hive hive, std::vector<RegistryChange>& out) : m_hive(hive), m_out(out) {}

    // Compares the two sources; OutOfOrder when either is not in Wine's order (nothing is then added to `out`).
    Result<KeySource::Step> run(KeySource& before, KeySource& after)
    {
        const std::size_t start = m_out.size();
        auto fail = [&](auto result) -> Result<KeySource::Step> {
            m_out.resize(start);
            return result;
        };
        auto a = before.next();
        auto b = after.next();
        for (;;) {
            if (!a) {
                return fail(a.error());
            }
            if (!b) {
                return fail(b.error());
            }
            if (*a == KeySource::Step::OutOfOrder || *b == KeySource::Step::OutOfOrder) {
                return fail(KeySource::Step::OutOfOrder);
            }
            const bool hasA = *a == KeySource::Step::Key;
            const bool hasB = *b == KeySource::Step::Key;
            if (!hasA && !hasB) {
                return KeySource::Step::End;
            }
            const int order = !hasA ? 1 : !hasB ? -1 : ComparePaths(before.parts(), after.parts());
            if (order == 0) {
                if (Status s = compare(before, after); !s) {
                    return fail(s.error());
                }
                a = before.next();
                b = after.next();
            } else if (order < 0) {
                if (Status s = whole(before, RegistryChange::Kind::KeyDeleted); !s) {
                    return fail(s.error());
                }
                a = before.next();
            } else {
                if (Status s = whole(after, RegistryChange::Kind::KeyAdded); !s) {
                    return fail(s.error());
                }
                b = after.next();
            }
        }
    }

private:
    // A key on one side only, with its values.
    Status whole(const KeySource& key, RegistryChange::Kind kind)
    {
        if (IsHousekeeping(m_hive, key.parts())) {
            return {};
        }
        auto values = key.values();
        if (!values) {
            return values.error();
        }
        const std::u16string path = JoinParts(key.parts());
        m_out.push_back({kind, m_hive, path, {}, std::nullopt, std::nullopt});
        const bool added = kind == RegistryChange::Kind::KeyAdded;
        for (RegistryValue& value : *values) {
            RegistryChange change{added ? RegistryChange::Kind::ValueAdded : RegistryChange::Kind::ValueDeleted,
                                  m_hive,
                                  path,
                                  std::move(value.name),
                                  std::nullopt,
                                  std::nullopt};
            (added ? change.after : change.before) = RecordedData{value.type, std::move(value.data)};
            m_out.push_back(std::move(change));
        }
        return {};
    }

    // A key on both sides: its values compared.
    Status compare(const KeySource& before, const KeySource& after)
    {
        const auto x = before.body();
        const auto y = after.body();
        if (x && y && SameLines(*x, *y)) {
            return {};
        }
        if (IsHousekeeping(m_hive, after.parts())) {
            return {};
        }
        auto old = before.values();
        if (!old) {
            return old.error();
        }
        auto now = after.values();
        if (!now) {
            return now.error();
        }
        const std::u16string path = JoinParts(after.parts());
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < old->size() || j < now->size()) {
            const int order = i == old->size()   ? 1
                              : j == now->size() ? -1
                                                 : CompareNames((*old)[i].name, (*now)[j].name);
            if (order == 0) {
                const RegistryValue& o = (*old)[i++];
                const RegistryValue& n = (*now)[j++];
                if (o.type != n.type || o.data != n.data) {
                    m_out.push_back(
                        {RegistryChange::Kind::ValueChanged, m_hive, path, n.name, Recorded(o), Recorded(n)});
                }
            } else if (order < 0) {
                const RegistryValue& o = (*old)[i++];
                m_out.push_back({RegistryChange::Kind::ValueDeleted, m_hive, path, o.name, Recorded(o), std::nullopt});
            } else {
                const RegistryValue& n = (*now)[j++];
                m_out.push_back({RegistryChange::Kind::ValueAdded, m_hive, path, n.name, std::nullopt, Recorded(n)});
            }
        }
        return {};
    }

    Hive m_hive;
    std::vector<RegistryChange>& m_out;
};

constexpr std::string_view kEmptyRegistry = "WINE REGISTRY Version 2\n";

Status DiffHive(Hive hive, const std::string& prefix, const std::optional<std::string>& before,
                const std::optional<std::string>& after, PrefixChanges& changes)
{
    const std::string name = prefix + "/" + HiveFileName(hive);
    const std::string_view x = before ? std::string_view(*before) : kEmptyRegistry;
    const std::string_view y = after ? std::string_view(*after) : kEmptyRegistry;
    TextKeys old(x, name);
    TextKeys now(y, name);
    auto result = HiveDiff(hive, changes.registry).run(old, now);
    if (!result) {
        return result.error();
    }
    changes.arch[static_cast<int>(hive)] = now.arch();
    if (*result != KeySource::Step::OutOfOrder) {
        return {};
    }
    auto oldRegistry = ParseRegistry(std::string(x), name);
    if (!oldRegistry) {
        return oldRegistry.error();
    }
    auto nowRegistry = ParseRegistry(std::string(y), name);
    if (!nowRegistry) {
        return nowRegistry.error();
    }
    RegistryKeys oldKeys(*oldRegistry);
    RegistryKeys nowKeys(*nowRegistry);
    return HiveDiff(hive, changes.registry).run(oldKeys, nowKeys).status();
}

std::size_t Depth(const std::string& path)
{
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

}  // namespace

Result<PrefixChanges> FindPrefixChanges(const PrefixSnapshot& before, const PrefixSnapshot& after)
{
    PrefixChanges changes;
    changes.prefix = after.prefix;
    for (const Hive hive : kHives) {
        const int i = static_cast<int>(hive);
        if (Status s = DiffHive(hive, after.prefix, before.hives[i], after.hives[i], changes); !s) {
            return s.error();
        }
    }
    std::set<std::string_view> known;
    for (const DesktopEntry& entry : before.desktop) {
        known.insert(entry.path);
    }
    for (const DesktopEntry& entry : after.desktop) {
        if (!known.contains(entry.path)) {
            changes.desktop.push_back(entry);
        }
    }
    std::sort(changes.desktop.begin(), changes.desktop.end(),
              [](const DesktopEntry& a, const DesktopEntry& b) { return a.path < b.path; });
    const std::set<std::string_view> folders(before.desktopFolders.begin(), before.desktopFolders.end());
    for (const std::string& folder : after.desktopFolders) {
        if (!folders.contains(folder)) {
            changes.desktopFolders.push_back(folder);
        }
    }
    std::sort(changes.desktopFolders.begin(), changes.desktopFolders.end(),
              [](const std::string& a, const std::string& b) {
                  const std::size_t x = Depth(a);
                  const std::size_t y = Depth(b);
                  return x != y ? x > y : a < b;
              });
    return changes;
}

}  // namespace morvane::wine
