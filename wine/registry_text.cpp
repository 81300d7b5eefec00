#include "wine/registry_text.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace morvane::wine::text {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// The value of each byte as a hexadecimal digit, -1 for the others.
constexpr std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<std::size_t>(c)] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                                                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                                             : -1);
    }
    return table;
}();

int HexValue(char c)
{
    return kHexValues[static_cast<unsigned char>(c)];
}

bool IsOctal(char16_t c)
{
    return c >= u'0' && c <= u'7';
}

bool IsHexDigit(char16_t c)
{
    return c < 0x80 && HexValue(static_cast<char>(c)) >= 0;
}

// The code units of one UTF-8 sequence at the start of `s` (its first byte is above 127) into `out`; the number of
// bytes it took, or 0 when they are not UTF-8 (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8(std::string_view s, std::u16string& out)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (b0 >= 0xc2 && b0 <= 0xdf) {
        length = 2;
        cp = b0 & 0x1f;
        least = 0x80;
    } else if (b0 >= 0xe0 && b0 <= 0xef) {
        length = 3;
        cp = b0 & 0x0f;
        least = 0x800;
    } else if (b0 >= 0xf0 && b0 <= 0xf4) {
        length = 4;
        cp = b0 & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(s[k]);
        if ((b & 0xc0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3f);
    }
    if (cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
        return 0;
    }
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xd800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xdc00 + (cp & 0x3ff)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
    return length;
}

Problem At(std::size_t line, std::string what)
{
    return Problem{line, std::move(what)};
}

// Decimal or hexadecimal digits at the start of `s`, at most `maxDigits` of them, taken off `s`. False when there
// are none or more than that.
bool ReadNumber(std::string_view& s, int base, std::size_t maxDigits, std::uint64_t& number)
{
    std::size_t i = 0;
    number = 0;
    for (; i < s.size(); ++i) {
        const int digit = base == 16 ? HexValue(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (digit < 0) {
            break;
        }
        number = number * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (i + 1 > maxDigits) {
            return false;
        }
    }
    s.remove_prefix(i);
    return i > 0;
}

void AppendUnitsAsBytes(std::string& data, std::u16string_view units)
{
    const std::size_t at = data.size();
    data.resize(at + 2 * units.size());
    char* p = data.data() + at;
    for (const char16_t u : units) {
        *p++ = static_cast<char>(u & 0xff);
        *p++ = static_cast<char>(u >> 8);
    }
}

// Bytes of hex data ("aa,bb,...") from `s` on, through the lines it continues on (a line ending in "\").
bool ReadHexBytes(Lines& lines, std::string_view s, std::string& data, Problem& problem)
{
    for (;;) {
        // Bytes as Wine writes them, two digits and a comma each, taken three characters at a time.
        std::size_t i = 0;
        while (i + 3 <= s.size()) {
            const int high = HexValue(s[i]);
            const int low = HexValue(s[i + 1]);
            if ((high | low) < 0 || s[i + 2] != ',') {
                break;
            }
            data.push_back(static_cast<char>(high * 16 + low));
            i += 3;
        }
        s = SkipSpace(s.substr(i));
        if (s.empty()) {
            return true;
        }
        if (s[0] == '\\') {
            if (!IsBlank(s.substr(1))) {
                problem = At(lines.number(), "unexpected text after \"\\\" in the hex data");
                return false;
            }
            if (!lines.next()) {
                problem = At(lines.number(), "the hex data goes on after \"\\\" but the file ends here");
                return false;
            }
            s = lines.line();
            continue;
        }
        const int high = HexValue(s[0]);
        if (high < 0) {
            problem = At(lines.number(), "expected a byte of two hexadecimal digits in the hex data");
            return false;
        }
        const int low = s.size() > 1 ? HexValue(s[1]) : -1;
        data.push_back(static_cast<char>(low < 0 ? high : high * 16 + low));
        s.remove_prefix(low < 0 ? 1 : 2);
        s = SkipSpace(s);
        if (s.empty()) {
            return true;
        }
        if (s[0] == ',') {
            s.remove_prefix(1);
        } else if (s[0] != '\\') {
            problem = At(lines.number(), "expected \",\" between the bytes of the hex data");
            return false;
        }
    }
}

}  // namespace

bool Lines::next()
{
    if (m_next >= m_text.size()) {
        return false;
    }
    m_begin = m_next;
    const char* start = m_text.data() + m_begin;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', m_text.size() - m_begin));
    std::size_t length = newline ? static_cast<std::size_t>(newline - start) : m_text.size() - m_begin;
    m_next = m_begin + length + (newline ? 1 : 0);
    if (newline && length > 0 && start[length - 1] == '\r') {
        --length;
    }
    m_line = std::string_view(start, length);
    ++m_number;
    return true;
}

bool ReadQuoted(std::string_view& s, char close, std::u16string& out, const char* what, std::string& why)
{
    out.clear();
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == close) {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\0') {
            why = std::string("a NUL byte in ") + what;
            return false;
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            const std::size_t taken = DecodeUtf8(s.substr(i), out);
            if (taken == 0) {
                why = std::string("bytes that are not UTF-8 in ") + what;
                return false;
            }
            i += taken;
            continue;
        }
        if (c != '\\') {
            // A run of plain ASCII characters at once.
            std::size_t stop = i + 1;
            while (stop < s.size()) {
                const char d = s[stop];
                if (d == close || d == '\\' || d == '\0' || static_cast<unsigned char>(d) >= 0x80) {
                    break;
                }
                ++stop;
            }
            out.append(s.begin() + static_cast<std::ptrdiff_t>(i), s.begin() + static_cast<std::ptrdiff_t>(stop));
            i = stop;
            continue;
        }
        if (i + 1 >= s.size()) {
            break;
        }
        const char e = s[i + 1];
        i += 2;
        switch (e) {
        case 'a': out.push_back(u'\a'); break;
        case 'b': out.push_back(u'\b'); break;
        case 'e': out.push_back(u'\x1b'); break;
        case 'f': out.push_back(u'\f'); break;
        case 'n': out.push_back(u'\n'); break;
        case 'r': out.push_back(u'\r'); break;
        case 't': out.push_back(u'\t'); break;
        case 'v': out.push_back(u'\v'); break;
        case 'x': {
            unsigned value = 0;
            std::size_t digits = 0;
            while (digits < 4 && i < s.size() && HexValue(s[i]) >= 0) {
                value = value * 16 + static_cast<unsigned>(HexValue(s[i]));
                ++i;
                ++digits;
            }
            out.push_back(digits == 0 ? u'x' : static_cast<char16_t>(value));
            break;
        }
        case '\0': why = std::string("a NUL byte in ") + what; return false;
        default:
            if (e >= '0' && e <= '7') {
                unsigned value = static_cast<unsigned>(e - '0');
                for (int digits = 1; digits < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++digits, ++i) {
                    value = value * 8 + static_cast<unsigned>(s[i] - '0');
                }
                out.push_back(static_cast<char16_t>(value));
            } else if (static_cast<unsigned char>(e) >= 0x80) {
                const std::size_t taken = DecodeUtf8(s.substr(i - 1), out);
                if (taken == 0) {
                    why = std::string("bytes that are not UTF-8 in ") + what;
                    return false;
                }
                i += taken - 1;
            } else {
                out.push_back(static_cast<char16_t>(e));
            }
            break;
        }
    }
    why = std::string(what) + " has no closing " + close + " before the end of the line";
    return false;
}

bool ReadKeyHeader(std::string_view s, std::size_t lineNumber, KeyHeader& header, Problem& problem)
{
    std::string_view rest = s.substr(1);
    std::string why;
    if (!ReadQuoted(rest, ']', header.path, "the key's path", why)) {
        problem = At(lineNumber, std::move(why));
        return false;
    }
    header.pathEnd = s.size() - rest.size();
    header.seconds.reset();
    rest = SkipSpace(rest);
    if (rest.empty()) {
        return true;
    }
    std::uint64_t seconds = 0;
    if (!ReadNumber(rest, 10, 10, seconds) || seconds > 0xffffffffULL || !IsBlank(rest)) {
        problem = At(lineNumber, "expected the key's time after \"]\": seconds, a decimal number below 4294967296");
        return false;
    }
    header.seconds = static_cast<std::uint32_t>(seconds);
    return true;
}

bool ReadKeyOption(std::string_view s, std::size_t lineNumber, KeyOption& option, Problem& problem)
{
    option.kind = KeyOption::Other;
    if (s.starts_with("#time=")) {
        std::string_view rest = s.substr(6);
        std::uint64_t time = 0;
        if (!ReadNumber(rest, 16, 16, time) || !IsBlank(rest)) {
            problem = At(lineNumber, "expected a hexadecimal number of at most 16 digits after \"#time=\"");
            return false;
        }
        option.kind = KeyOption::Time;
        option.time = time;
        return true;
    }
    if (s.starts_with("#class=")) {
        std::string_view rest = s.substr(7);
        if (rest.empty() || rest[0] != '"') {
            problem = At(lineNumber, "expected a quoted string after \"#class=\"");
            return false;
        }
        rest.remove_prefix(1);
        std::string why;
        if (!ReadQuoted(rest, '"', option.className, "the key's class", why)) {
            problem = At(lineNumber, std::move(why));
            return false;
        }
        if (!IsBlank(rest)) {
            problem = At(lineNumber, "unexpected text after the key's class");
            return false;
        }
        option.kind = KeyOption::Class;
        return true;
    }
    if (s.starts_with("#link") && IsBlank(s.substr(5))) {
        option.kind = KeyOption::Link;
    }
    return true;
}

bool ReadValue(Lines& lines, std::string_view s, RegistryValue& value, Problem& problem)
{
    std::string why;
    std::string_view rest = s.substr(1);
    value.data.clear();
    if (s[0] == '@') {
        value.name.clear();
    } else if (!ReadQuoted(rest, '"', value.name, "the value's name", why)) {
        problem = At(lines.number(), std::move(why));
        return false;
    }
    rest = SkipSpace(rest);
    if (rest.empty() || rest[0] != '=') {
        problem = At(lines.number(), "expected \"=\" after the value's name");
        return false;
    }
    rest = SkipSpace(rest.substr(1));

    struct StringKind {
        std::string_view prefix;
        std::uint32_t type;
    };
    static constexpr StringKind kStrings[] = {
        {"\"", kRegSz}, {"str:\"", kRegSz}, {"str(2):\"", kRegExpandSz}, {"str(7):\"", kRegMultiSz}};
    for (const StringKind& kind : kStrings) {
        if (!rest.starts_with(kind.prefix)) {
            continue;
        }
        rest.remove_prefix(kind.prefix.size());
        thread_local std::u16string units;
        if (!ReadQuoted(rest, '"', units, "the string", why)) {
            problem = At(lines.number(), std::move(why));
            return false;
        }
        if (!IsBlank(rest)) {
            problem = At(lines.number(), "unexpected text after the string's closing \"");
            return false;
        }
        units.push_back(u'\0');
        value.type = kind.type;
        AppendUnitsAsBytes(value.data, units);
        return true;
    }
    if (rest.starts_with("dword:")) {
        rest.remove_prefix(6);
        std::uint64_t number = 0;
        if (!ReadNumber(rest, 16, 8, number) || !IsBlank(rest)) {
            problem = At(lines.number(), "expected at most eight hexadecimal digits after \"dword:\"");
            return false;
        }
        value.type = kRegDword;
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<char>((number >> shift) & 0xff));
        }
        return true;
    }
    if (rest.starts_with("hex:")) {
        value.type = kRegBinary;
        return ReadHexBytes(lines, rest.substr(4), value.data, problem);
    }
    if (rest.starts_with("hex(")) {
        rest.remove_prefix(4);
        std::uint64_t type = 0;
        if (!ReadNumber(rest, 16, 8, type) || !rest.starts_with("):")) {
            problem = At(lines.number(), "expected the type as hexadecimal digits and \"):\" after \"hex(\"");
            return false;
        }
        value.type = static_cast<std::uint32_t>(type);
        return ReadHexBytes(lines, rest.substr(2), value.data, problem);
    }
    problem = At(lines.number(),
                 "expected the value's data after \"=\": \"text\", str(2):\"text\", str(7):\"text\", dword:, hex: or "
                 "hex(type):");
    return false;
}

void AppendEscaped(std::string& out, std::u16string_view units, char open, char close, bool terminated)
{
    // The letters of the C escapes, by control character; '.' for none.
    static constexpr char kEscapes[33] = ".......abtnvfr.............e....";
    const std::size_t n = terminated && !units.empty() ? units.size() - 1 : units.size();
    char buffer[16];
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = units[i];
        // The next code unit in the data, the terminating NUL included.
        const char16_t next = i + 1 < units.size() ? units[i + 1] : u'\0';
        const bool hasNext = i + 1 < units.size();
        if (u > 127) {
            const bool wide = hasNext && IsHexDigit(next);
            const int length = std::snprintf(buffer, sizeof buffer, wide ? "\\x%04x" : "\\x%x", unsigned{u});
            out.append(buffer, static_cast<std::size_t>(length));
        } else if (u < 32) {
            if (kEscapes[u] != '.') {
                out.push_back('\\');
                out.push_back(kEscapes[u]);
            } else {
                const bool wide = hasNext && IsOctal(next);
                const int length = std::snprintf(buffer, sizeof buffer, wide ? "\\%03o" : "\\%o", unsigned{u});
                out.append(buffer, static_cast<std::size_t>(length));
            }
        } else {
            if (u == u'\\' || u == static_cast<char16_t>(open) || u == static_cast<char16_t>(close)) {
                out.push_back('\\');
            }
            out.push_back(static_cast<char>(u));
        }
    }
}

void AppendValue(std::string& out, const RegistryValue& value)
{
    const std::size_t start = out.size();
    if (value.name.empty()) {
        out += "@=";
    } else {
        out.push_back('"');
        AppendEscaped(out, value.name, '"', '"');
        out += "\"=";
    }
    const std::string& data = value.data;
    const std::size_t n = data.size();
    char buffer[32];
    switch (value.type) {
    case kRegSz:
    case kRegExpandSz:
    case kRegMultiSz:
        if (n >= 2 && n % 2 == 0 && data[n - 2] == '\0' && data[n - 1] == '\0') {
            if (value.type != kRegSz) {
                const int length = std::snprintf(buffer, sizeof buffer, "str(%x):", unsigned{value.type});
                out.append(buffer, static_cast<std::size_t>(length));
            }
            thread_local std::u16string units;
            units.resize(n / 2);
            for (std::size_t i = 0; i < n / 2; ++i) {
                units[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                                 (static_cast<unsigned char>(data[2 * i + 1]) << 8));
            }
            out.push_back('"');
            AppendEscaped(out, units, '"', '"', true);
            out += "\"\n";
            return;
        }
        break;
    case kRegDword:
        if (n == 4) {
            std::uint32_t number = 0;
            for (int i = 3; i >= 0; --i) {
                number = (number << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
            }
            const int length = std::snprintf(buffer, sizeof buffer, "dword:%08x\n", unsigned{number});
            out.append(buffer, static_cast<std::size_t>(length));
            return;
        }
        break;
    default: break;
    }
    if (value.type == kRegBinary) {
        out += "hex:";
    } else {
        const int length = std::snprintf(buffer, sizeof buffer, "hex(%x):", unsigned{value.type});
        out.append(buffer, static_cast<std::size_t>(length));
    }
    // Wine counts the characters of the line as it goes and breaks it after the comma that takes it past 76.
    std::size_t count = out.size() - start;
    for (std::size_t i = 0; i < n; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        out.push_back(kHexDigits[byte >> 4]);
        out.push_back(kHexDigits[byte & 0xf]);
        count += 2;
        if (i + 1 < n) {
            out.push_back(',');
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    out.push_back('\n');
}

}  // namespace morvane::wine::text
