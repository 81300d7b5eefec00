#include "wine/companion.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace morvane::wine {

namespace {

constexpr std::string_view kMagic = "MORVANE WINE 1 ";
constexpr std::string_view kHexDigits = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at the start of `s` that encodes a character from U+00A0 on (no
// control character, no surrogate, no overlong form), and that character; 0 when there is none.
std::size_t Utf8Sequence(std::string_view s, char32_t& c)
{
    if (s.empty()) {
        return 0;
    }
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t n = 0;
    if (b0 >= 0xc2 && b0 <= 0xdf) {
        n = 2;
        c = b0 & 0x1f;
    } else if (b0 >= 0xe0 && b0 <= 0xef) {
        n = 3;
        c = b0 & 0x0f;
    } else if (b0 >= 0xf0 && b0 <= 0xf4) {
        n = 4;
        c = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < n) {
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xc0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (b & 0x3f);
    }
    const char32_t least = n == 2 ? 0xa0 : n == 3 ? 0x800 : 0x10000;
    if (c < least || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) {
        return 0;
    }
    return n;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (c >> 6)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    }
    out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
}

bool IsPlain(unsigned c)
{
    return c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
}

// A path's bytes between quotes: UTF-8 as it is, any other byte that is a control character or not UTF-8 as \xHH.
void AppendQuotedBytes(std::string& out, std::string_view bytes)
{
    out.push_back('"');
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        char32_t c = 0;
        if (IsPlain(b)) {
            out.push_back(static_cast<char>(b));
            ++i;
        } else if (b == '"' || b == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(b));
            ++i;
        } else if (const std::size_t n = Utf8Sequence(bytes.substr(i), c); n > 0) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            out += "\\x";
            out.push_back(kHexDigits[b >> 4]);
            out.push_back(kHexDigits[b & 15]);
            ++i;
        }
    }
    out.push_back('"');
}

// A name's code units between quotes: characters as UTF-8, control characters and lone surrogates as \uHHHH.
void AppendQuotedUnits(std::string& out, std::u16string_view units)
{
    out.push_back('"');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (IsPlain(u)) {
            out.push_back(static_cast<char>(u));
        } else if (u == '"' || u == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(u));
        } else if (u >= 0xd800 && u <= 0xdbff && i + 1 < units.size() && units[i + 1] >= 0xdc00 &&
                   units[i + 1] <= 0xdfff) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xd800) << 10) + (units[i + 1] - 0xdc00));
            ++i;
        } else if (u < 0xa0 || (u >= 0xd800 && u <= 0xdfff)) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out.push_back(kHexDigits[(u >> shift) & 15]);
            }
        } else {
            AppendUtf8(out, u);
        }
    }
    out.push_back('"');
}

void AppendData(std::string& out, const RecordedData& data)
{
    out += std::to_string(data.type);
    out.push_back(':');
    for (const char c : data.data) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(kHexDigits[b >> 4]);
        out.push_back(kHexDigits[b & 15]);
    }
}

const char* KindWord(RegistryChange::Kind kind)
{
    switch (kind) {
    case RegistryChange::Kind::KeyAdded: return "key-added";
    case RegistryChange::Kind::KeyDeleted: return "key-deleted";
    case RegistryChange::Kind::ValueAdded: return "value-added";
    case RegistryChange::Kind::ValueChanged: return "value-changed";
    case RegistryChange::Kind::ValueDeleted: return "value-deleted";
    }
    return "";
}

// Lines gathered and handed to the file's sink a large piece at a time.
class Output {
public:
    explicit Output(const FileSystem::ByteSink& sink) : m_sink(sink) {}
    std::string& line()
    {
        ++m_lines;
        return m_buffer;
    }
    void end()
    {
        m_buffer.push_back('\n');
        if (m_buffer.size() >= 1 << 16) {
            flush();
        }
    }
    // Bytes as they are, straight to the file.
    void raw(std::string_view bytes)
    {
        flush();
        m_sink(bytes);
    }
    void finish()
    {
        m_buffer += "end " + std::to_string(m_lines - 1) + "\n";
        flush();
    }

private:
    void flush()
    {
        if (!m_buffer.empty()) {
            m_sink(m_buffer);
            m_buffer.clear();
        }
    }
    const FileSystem::ByteSink& m_sink;
    std::string m_buffer;
    std::size_t m_lines = 0;
};

void WriteDesktop(Output& out, const std::vector<DesktopEntry>& files, const std::vector<std::string>& folders)
{
    for (const DesktopEntry& entry : files) {
        std::string& line = out.line();
        line += "file ";
        line += entry.hash;
        line.push_back(' ');
        AppendQuotedBytes(line, entry.path);
        out.end();
    }
    for (const std::string& folder : folders) {
        std::string& line = out.line();
        line += "folder ";
        AppendQuotedBytes(line, folder);
        out.end();
    }
}

// Reads a companion's text line by line, checking each.
class Parser {
public:
    Parser(std::string_view text, const std::string& path) : m_text(text), m_path(path) {}

    Error fail(std::string_view what) const
    {
        return Error{m_path, 0, "line " + std::to_string(m_number) + ": " + std::string(what), ErrorKind::Damaged};
    }

    // The next line, without its LF; false at the end. A last line without its LF is one cut short.
    bool next()
    {
        if (m_pos >= m_text.size()) {
            return false;
        }
        const std::size_t stop = m_text.find('\n', m_pos);
        ++m_number;
        if (stop == m_text.npos) {
            m_line = m_text.substr(m_pos);
            m_pos = m_text.size();
            m_cut = true;
            return true;
        }
        m_line = m_text.substr(m_pos, stop - m_pos);
        m_pos = stop + 1;
        ++m_count;
        return true;
    }
    bool cut() const { return m_cut; }
    std::string_view line() const { return m_line; }
    std::size_t count() const { return m_count; }

    // `length` bytes after the current line, then a LF; their offset in the text.
    std::optional<std::size_t> block(std::size_t length)
    {
        if (length >= m_text.size() - m_pos) {
            return std::nullopt;
        }
        const std::size_t at = m_pos;
        if (m_text[at + length] != '\n') {
            return std::nullopt;
        }
        m_number +=
            static_cast<std::size_t>(std::count(m_text.begin() + static_cast<std::ptrdiff_t>(at),
                                                m_text.begin() + static_cast<std::ptrdiff_t>(at + length), '\n')) +
            1;
        m_pos = at + length + 1;
        return at;
    }

private:
    std::string_view m_text;
    const std::string& m_path;
    std::string_view m_line;
    std::size_t m_pos = 0;
    std::size_t m_number = 0;
    std::size_t m_count = 0;  // lines read, a hive's bytes not counted
    bool m_cut = false;
};

// The fields of one line, taken from its start.
class Fields {
public:
    explicit Fields(std::string_view line) : m_rest(line) {}

    bool word(std::string_view& out)
    {
        if (m_rest.empty() || m_rest[0] == ' ') {
            return false;
        }
        const std::size_t stop = m_rest.find(' ');
        out = m_rest.substr(0, stop);
        m_rest = stop == m_rest.npos ? std::string_view() : m_rest.substr(stop);
        return true;
    }
    // A single space before the next field.
    bool space()
    {
        if (m_rest.size() < 2 || m_rest[0] != ' ') {
            return false;
        }
        m_rest.remove_prefix(1);
        return true;
    }
    bool end() const { return m_rest.empty(); }
    bool literal(std::string_view word)
    {
        std::string_view got;
        return space() && this->word(got) && got == word;
    }

    bool bytes(std::string& out)
    {
        out.clear();
        if (m_rest.empty() || m_rest[0] != '"') {
            return false;
        }
        std::size_t i = 1;
        while (i < m_rest.size() && m_rest[i] != '"') {
            const auto b = static_cast<unsigned char>(m_rest[i]);
            char32_t c = 0;
            if (IsPlain(b)) {
                out.push_back(static_cast<char>(b));
                ++i;
            } else if (b == '\\') {
                if (i + 1 >= m_rest.size()) {
                    return false;
                }
                const char e = m_rest[i + 1];
                if (e == '\\' || e == '"') {
                    out.push_back(e);
                    i += 2;
                } else if (e == 'x') {
                    const int value = Hex(m_rest.substr(i + 2), 2);
                    if (value < 0) {
                        return false;
                    }
                    out.push_back(static_cast<char>(value));
                    i += 4;
                } else {
                    return false;
                }
            } else if (const std::size_t n = Utf8Sequence(m_rest.substr(i), c); n > 0) {
                out.append(m_rest.substr(i, n));
                i += n;
            } else {
                return false;
            }
        }
        if (i >= m_rest.size()) {
            return false;
        }
        m_rest.remove_prefix(i + 1);
        return true;
    }

    bool units(std::u16string& out)
    {
        out.clear();
        if (m_rest.empty() || m_rest[0] != '"') {
            return false;
        }
        std::size_t i = 1;
        while (i < m_rest.size() && m_rest[i] != '"') {
            const auto b = static_cast<unsigned char>(m_rest[i]);
            char32_t c = 0;
            if (IsPlain(b)) {
                out.push_back(static_cast<char16_t>(b));
                ++i;
            } else if (b == '\\') {
                if (i + 1 >= m_rest.size()) {
                    return false;
                }
                const char e = m_rest[i + 1];
                if (e == '\\' || e == '"') {
                    out.push_back(static_cast<char16_t>(e));
                    i += 2;
                } else if (e == 'u') {
                    const int value = Hex(m_rest.substr(i + 2), 4);
                    if (value < 0) {
                        return false;
                    }
                    out.push_back(static_cast<char16_t>(value));
                    i += 6;
                } else {
                    return false;
                }
            } else if (const std::size_t n = Utf8Sequence(m_rest.substr(i), c); n > 0) {
                if (c >= 0x10000) {
                    out.push_back(static_cast<char16_t>(0xd800 + ((c - 0x10000) >> 10)));
                    out.push_back(static_cast<char16_t>(0xdc00 + ((c - 0x10000) & 0x3ff)));
                } else {
                    out.push_back(static_cast<char16_t>(c));
                }
                i += n;
            } else {
                return false;
            }
        }
        if (i >= m_rest.size()) {
            return false;
        }
        m_rest.remove_prefix(i + 1);
        return true;
    }

    // "<type>:<hex>": the type in decimal without leading zeros, the bytes in lower-case hex.
    bool data(RecordedData& out)
    {
        std::string_view field;
        if (!word(field)) {
            return false;
        }
        const std::size_t colon = field.find(':');
        if (colon == field.npos || !Decimal(field.substr(0, colon), out.type)) {
            return false;
        }
        const std::string_view hex = field.substr(colon + 1);
        if (hex.size() % 2 != 0) {
            return false;
        }
        out.data.clear();
        out.data.reserve(hex.size() / 2);
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const int value = Hex(hex.substr(i), 2);
            if (value < 0) {
                return false;
            }
            out.data.push_back(static_cast<char>(value));
        }
        return true;
    }

    // A decimal number without sign or leading zeros, within `T`.
    template <typename T>
    static bool Decimal(std::string_view s, T& out)
    {
        if (s.empty() || (s.size() > 1 && s[0] == '0')) {
            return false;
        }
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), out);
        return error == std::errc() && end == s.data() + s.size();
    }

private:
    // `digits` lower-case hexadecimal digits from the start of `s`; -1 when they are not there.
    static int Hex(std::string_view s, std::size_t digits)
    {
        if (s.size() < digits) {
            return -1;
        }
        int value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            const std::size_t d = kHexDigits.find(s[i]);
            if (d == kHexDigits.npos) {
                return -1;
            }
            value = value * 16 + static_cast<int>(d);
        }
        return value;
    }

    std::string_view m_rest;
};

// An absolute host path without empty, "." or ".." parts and without NUL.
bool IsCleanPath(std::string_view path)
{
    if (path.size() < 2 || path[0] != '/' || path.find('\0') != path.npos) {
        return false;
    }
    std::size_t start = 1;
    for (;;) {
        const std::size_t stop = path.find('/', start);
        const std::string_view part = path.substr(start, stop == path.npos ? path.npos : stop - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        if (stop == path.npos) {
            return true;
        }
        start = stop + 1;
    }
}

// A key's path: parts separated by single backslashes, none empty; the top key (empty) only where `topAllowed`.
bool IsCleanKey(std::u16string_view key, bool topAllowed)
{
    if (key.empty()) {
        return topAllowed;
    }
    return key.front() != u'\\' && key.back() != u'\\' && key.find(u"\\\\") == key.npos;
}

std::optional<Hive> HiveNamed(std::string_view name)
{
    for (const Hive hive : kHives) {
        if (name == HiveFileName(hive)) {
            return hive;
        }
    }
    return std::nullopt;
}

bool IsHash(std::string_view hash)
{
    return hash.size() == 64 && hash.find_first_not_of(kHexDigits) == hash.npos;
}

// The parts both companions share: the first line, the prefix, the desktop lines and the last line.
class CompanionReader {
public:
    CompanionReader(std::string_view text, const std::string& path, std::string_view kind)
        : m_parser(text, path), m_kind(kind)
    {}

    Parser& parser() { return m_parser; }
    Error fail(std::string_view what) const { return m_parser.fail(what); }

    Result<std::string> start()
    {
        if (!m_parser.next() || m_parser.line() != std::string(kMagic) + std::string(m_kind)) {
            return fail("not the companion of " + std::string(m_kind == std::string_view("AFTER") ? "an " : "a ") +
                        std::string(m_kind) + " file: the first line must be \"" + std::string(kMagic) +
                        std::string(m_kind) + "\"");
        }
        if (!m_parser.next() || m_parser.cut()) {
            return fail("the file ends here: it was cut short");
        }
        Fields f(m_parser.line());
        std::string_view word;
        std::string prefix;
        if (!f.word(word) || word != "prefix" || !f.space() || !f.bytes(prefix) || !f.end()) {
            return fail("expected the prefix: prefix \"/path\"");
        }
        if (!IsCleanPath(prefix)) {
            return fail("the prefix is not an absolute path without \".\", \"..\" or empty parts");
        }
        return prefix;
    }

    // Reads the next line; an error when there is none or it was cut short.
    Status next()
    {
        if (!m_parser.next() || m_parser.cut()) {
            return fail("the file ends here: it was cut short");
        }
        return {};
    }

    // A "file", "folder" or "end" line, the current one; true after "end".
    Result<bool> desktopLine(std::vector<DesktopEntry>& files, std::vector<std::string>& folders)
    {
        Fields f(m_parser.line());
        std::string_view word;
        if (!f.word(word)) {
            return fail("expected a line \"file\", \"folder\" or \"end\"");
        }
        if (word == "end") {
            std::size_t count = 0;
            if (!f.space() || !f.word(word) || !Fields::Decimal(word, count) || !f.end()) {
                return fail("expected the last line: end <number of lines>");
            }
            if (count != m_parser.count() - 2) {
                return fail("the last line's count of lines does not match the lines before it");
            }
            if (m_parser.next()) {
                return fail("text after the last line");
            }
            return true;
        }
        if (word == "file") {
            if (!folders.empty()) {
                return fail("a file after the folders");
            }
            DesktopEntry entry;
            if (!f.space() || !f.word(word) || !IsHash(word) || !f.space() || !f.bytes(entry.path) || !f.end()) {
                return fail("expected: file <64 lower-case hex digits> \"/path\"");
            }
            if (!IsCleanPath(entry.path)) {
                return fail("the file's path is not an absolute path without \".\", \"..\" or empty parts");
            }
            entry.hash = std::string(word);
            files.push_back(std::move(entry));
            return false;
        }
        if (word == "folder") {
            std::string folder;
            if (!f.space() || !f.bytes(folder) || !f.end()) {
                return fail("expected: folder \"/path\"");
            }
            if (!IsCleanPath(folder)) {
                return fail("the folder's path is not an absolute path without \".\", \"..\" or empty parts");
            }
            folders.push_back(std::move(folder));
            return false;
        }
        return fail("expected a line \"file\", \"folder\" or \"end\"");
    }

private:
    Parser m_parser;
    std::string_view m_kind;
};

Result<std::string> ReadWhole(const FileSystem& fs, const std::string& path)
{
    return fs.readFile(path);
}

}  // namespace

std::string CompanionOf(std::string_view recordPath)
{
    const std::size_t slash = recordPath.find_last_of("/\\");
    const std::string_view name = slash == recordPath.npos ? recordPath : recordPath.substr(slash + 1);
    const std::string_view folder = recordPath.substr(0, recordPath.size() - name.size());
    if (name == "BEFORE.DAT") {
        return std::string(folder) + "BEFORE.WINE";
    }
    if (name.size() > 9 && name.starts_with("AFTER") && name.ends_with(".DAT")) {
        const std::string_view number = name.substr(5, name.size() - 9);
        if (number.find_first_not_of("0123456789") == number.npos) {
            return std::string(folder) + "AFTER" + std::string(number) + ".WINE";
        }
    }
    return {};
}

bool IsCompanionFileName(std::string_view name)
{
    if (name == "BEFORE.WINE") {
        return true;
    }
    if (name.size() > 10 && name.starts_with("AFTER") && name.ends_with(".WINE")) {
        const std::string_view number = name.substr(5, name.size() - 10);
        return number.find_first_not_of("0123456789") == number.npos;
    }
    return false;
}

Status WriteBeforeCompanion(FileSystem& fs, const std::string& path, const PrefixSnapshot& snapshot)
{
    return fs.writeFileAtomic(path, [&](const FileSystem::ByteSink& sink) {
        Output out(sink);
        out.line() += std::string(kMagic) + "BEFORE";
        out.end();
        std::string& prefix = out.line();
        prefix += "prefix ";
        AppendQuotedBytes(prefix, snapshot.prefix);
        out.end();
        for (const Hive hive : kHives) {
            const auto& text = snapshot.hives[static_cast<int>(hive)];
            std::string& line = out.line();
            line += "hive ";
            line += HiveFileName(hive);
            line += text ? " " + std::to_string(text->size()) : std::string(" none");
            out.end();
            if (text) {
                out.raw(*text);
                out.raw("\n");
            }
        }
        WriteDesktop(out, snapshot.desktop, snapshot.desktopFolders);
        out.finish();
    });
}

Status WriteAfterCompanion(FileSystem& fs, const std::string& path, const PrefixChanges& changes)
{
    return fs.writeFileAtomic(path, [&](const FileSystem::ByteSink& sink) {
        Output out(sink);
        out.line() += std::string(kMagic) + "AFTER";
        out.end();
        std::string& prefix = out.line();
        prefix += "prefix ";
        AppendQuotedBytes(prefix, changes.prefix);
        out.end();
        for (const Hive hive : kHives) {
            std::string& line = out.line();
            line += "arch ";
            line += HiveFileName(hive);
            line.push_back(' ');
            AppendQuotedBytes(line, changes.arch[static_cast<int>(hive)]);
            out.end();
        }
        for (const RegistryChange& change : changes.registry) {
            std::string& line = out.line();
            line += KindWord(change.kind);
            line.push_back(' ');
            line += HiveFileName(change.hive);
            line.push_back(' ');
            AppendQuotedUnits(line, change.key);
            if (change.kind != RegistryChange::Kind::KeyAdded && change.kind != RegistryChange::Kind::KeyDeleted) {
                line.push_back(' ');
                AppendQuotedUnits(line, change.value);
                if (change.before) {
                    line += " before ";
                    AppendData(line, *change.before);
                }
                if (change.after) {
                    line += " after ";
                    AppendData(line, *change.after);
                }
            }
            out.end();
        }
        WriteDesktop(out, changes.desktop, changes.desktopFolders);
        out.finish();
    });
}

Result<PrefixSnapshot> ReadBeforeCompanion(const FileSystem& fs, const std::string& path)
{
    auto read = ReadWhole(fs, path);
    if (!read) {
        return read.error();
    }
    std::string text = std::move(*read);
    CompanionReader reader(text, path, "BEFORE");
    PrefixSnapshot snapshot;
    auto prefix = reader.start();
    if (!prefix) {
        return prefix.error();
    }
    snapshot.prefix = std::move(*prefix);
    struct Span {
        std::size_t at = 0;
        std::size_t length = 0;
    };
    std::optional<Span> spans[3];
    for (const Hive hive : kHives) {
        if (Status s = reader.next(); !s) {
            return s.error();
        }
        Fields f(reader.parser().line());
        std::string_view word;
        if (!f.word(word) || word != "hive" || !f.space() || !f.word(word) || HiveNamed(word) != hive || !f.space() ||
            !f.word(word) || !f.end()) {
            return reader.fail(std::string("expected the text of ") + HiveFileName(hive) + ": hive " +
                               HiveFileName(hive) + " <length in bytes> or none");
        }
        if (word == "none") {
            continue;
        }
        std::size_t length = 0;
        if (!Fields::Decimal(word, length)) {
            return reader.fail("the length is not a decimal number");
        }
        const auto at = reader.parser().block(length);
        if (!at) {
            return reader.fail(std::string("the file ends within the text of ") + HiveFileName(hive) +
                               ", or no line feed follows it: it was cut short");
        }
        spans[static_cast<int>(hive)] = Span{*at, length};
    }
    for (;;) {
        if (Status s = reader.next(); !s) {
            return s.error();
        }
        auto done = reader.desktopLine(snapshot.desktop, snapshot.desktopFolders);
        if (!done) {
            return done.error();
        }
        if (*done) {
            break;
        }
    }
    // The registry files' texts: the largest takes the file's own buffer, its bytes moved to its start, so that
    // reading a companion of a 50 MB system.reg holds it once.
    int largest = -1;
    for (int i = 0; i < 3; ++i) {
        if (spans[i] && (largest < 0 || spans[i]->length > spans[largest]->length)) {
            largest = i;
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (spans[i] && i != largest) {
            snapshot.hives[i] = text.substr(spans[i]->at, spans[i]->length);
        }
    }
    if (largest >= 0) {
        const Span span = *spans[largest];
        text.resize(span.at + span.length);
        text.erase(0, span.at);
        snapshot.hives[largest] = std::move(text);
    }
    return snapshot;
}

Result<PrefixChanges> ReadAfterCompanion(const FileSystem& fs, const std::string& path)
{
    auto read = ReadWhole(fs, path);
    if (!read) {
        return read.error();
    }
    const std::string text = std::move(*read);
    CompanionReader reader(text, path, "AFTER");
    PrefixChanges changes;
    auto prefix = reader.start();
    if (!prefix) {
        return prefix.error();
    }
    changes.prefix = std::move(*prefix);
    for (const Hive hive : kHives) {
        if (Status s = reader.next(); !s) {
            return s.error();
        }
        Fields f(reader.parser().line());
        std::string_view word;
        std::string arch;
        if (!f.word(word) || word != "arch" || !f.space() || !f.word(word) || HiveNamed(word) != hive || !f.space() ||
            !f.bytes(arch) || !f.end()) {
            return reader.fail(std::string("expected the architecture of ") + HiveFileName(hive) + ": arch " +
                               HiveFileName(hive) + " \"win64\"");
        }
        if (arch != "" && arch != "win32" && arch != "win64") {
            return reader.fail("the architecture is none of \"win32\", \"win64\" or \"\"");
        }
        changes.arch[static_cast<int>(hive)] = std::move(arch);
    }
    static constexpr RegistryChange::Kind kKinds[] = {
        RegistryChange::Kind::KeyAdded, RegistryChange::Kind::KeyDeleted, RegistryChange::Kind::ValueAdded,
        RegistryChange::Kind::ValueChanged, RegistryChange::Kind::ValueDeleted};
    for (;;) {
        if (Status s = reader.next(); !s) {
            return s.error();
        }
        Fields f(reader.parser().line());
        std::string_view word;
        if (!f.word(word)) {
            return reader.fail("expected a registry change, a line \"file\", \"folder\" or \"end\"");
        }
        const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                       [&](RegistryChange::Kind k) { return word == KindWord(k); });
        if (kind == std::end(kKinds)) {
            break;
        }
        if (!changes.desktop.empty()) {
            return reader.fail("a registry change after the desktop entries");
        }
        RegistryChange change;
        change.kind = *kind;
        const bool isKey = *kind == RegistryChange::Kind::KeyAdded || *kind == RegistryChange::Kind::KeyDeleted;
        std::optional<Hive> hive;
        if (!f.space() || !f.word(word) || !(hive = HiveNamed(word))) {
            return reader.fail("expected the registry file: system.reg, user.reg or userdef.reg");
        }
        change.hive = *hive;
        if (!f.space() || !f.units(change.key) || !IsCleanKey(change.key, !isKey)) {
            return reader.fail("expected the key's path between quotes, its parts separated by one backslash");
        }
        if (!isKey) {
            if (!f.space() || !f.units(change.value)) {
                return reader.fail("expected the value's name between quotes");
            }
            const bool wantBefore = *kind != RegistryChange::Kind::ValueAdded;
            const bool wantAfter = *kind != RegistryChange::Kind::ValueDeleted;
            if (wantBefore) {
                RecordedData data;
                if (!f.literal("before") || !f.space() || !f.data(data)) {
                    return reader.fail("expected the data before: before <type>:<hex bytes>");
                }
                change.before = std::move(data);
            }
            if (wantAfter) {
                RecordedData data;
                if (!f.literal("after") || !f.space() || !f.data(data)) {
                    return reader.fail("expected the data after: after <type>:<hex bytes>");
                }
                change.after = std::move(data);
            }
        }
        if (!f.end()) {
            return reader.fail("unexpected text at the end of the registry change");
        }
        changes.registry.push_back(std::move(change));
    }
    for (;;) {
        auto done = reader.desktopLine(changes.desktop, changes.desktopFolders);
        if (!done) {
            return done.error();
        }
        if (*done) {
            break;
        }
        if (Status s = reader.next(); !s) {
            return s.error();
        }
    }
    return changes;
}

Result<std::optional<PrefixChanges>> ReadCompanionOfAfterFile(const FileSystem& fs, const std::string& afterPath)
{
    const std::string companion = CompanionOf(afterPath);
    if (companion.empty()) {
        return std::optional<PrefixChanges>();
    }
    auto changes = ReadAfterCompanion(fs, companion);
    if (!changes) {
        if (changes.error().kind == ErrorKind::NotFound) {
            return std::optional<PrefixChanges>();
        }
        return changes.error();
    }
    return std::optional<PrefixChanges>(std::move(*changes));
}

}  // namespace morvane::wine
