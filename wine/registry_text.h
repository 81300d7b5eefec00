#pragma once

// The pieces of a registry file's text that the reader, the model and the writer share: lines, quoted strings,
// key headers, key options and values, read and written. The format is described in wine/registry_reader.h.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wine/registry.h"

namespace morvane::wine::text {

// The lines of a text, one at a time. A line ends at LF; a CR just before the LF is part of the ending. A last line
// without an ending still counts.
class Lines {
public:
    // Lines from the offset `from`, which begins a line; `firstNumber` is that line's number.
    explicit Lines(std::string_view text, std::size_t from = 0, std::size_t firstNumber = 1)
        : m_text(text), m_next(from), m_number(firstNumber - 1)
    {}

    // Moves to the next line; false at the end of the text.
    bool next();
    std::string_view line() const { return m_line; }  // without its ending
    std::size_t begin() const { return m_begin; }     // offset of the line in the text
    std::size_t end() const { return m_next; }        // offset just after its ending
    std::size_t number() const { return m_number; }   // 1 for the first line of the text

private:
    std::string_view m_text;
    std::string_view m_line;
    std::size_t m_begin = 0;
    std::size_t m_next = 0;
    std::size_t m_number = 0;
};

// White space as Wine skips it at the start of a line: space, tab, CR, LF, vertical tab and form feed.
constexpr bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline std::string_view SkipSpace(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) {
        ++i;
    }
    return s.substr(i);
}

inline bool IsBlank(std::string_view s)
{
    return SkipSpace(s).empty();
}

// A failure to read a line, said for a message "line N: <what>".
struct Problem {
    std::size_t line = 0;
    std::string what;
};

// Reads escaped text from the start of `s` up to the unescaped `close` and takes it, the delimiter included, off
// `s`. UTF-8 sequences become their code units; the escapes are \\ \" \[ \] (any other character after a backslash
// stands for itself), \a \b \e \f \n \r \t \v, an octal \ooo of one to three digits and \x with one to four
// hexadecimal digits (\x with none stands for x). Fails when the line ends first or holds a NUL byte or bytes that
// are not UTF-8, with the reason in `why`, which names the string as `what` ("the value's name").
bool ReadQuoted(std::string_view& s, char close, std::u16string& out, const char* what, std::string& why);

// A key's header line, from its "[": the path's code units (parts joined by single backslashes) and the offset in
// `s` just after the closing "]".
struct KeyHeader {
    std::u16string path;
    std::size_t pathEnd = 0;
    std::optional<std::uint32_t> seconds;
};
bool ReadKeyHeader(std::string_view s, std::size_t lineNumber, KeyHeader& header, Problem& problem);

// A key's option line, from its "#".
struct KeyOption {
    enum Kind { Time, Class, Link, Other } kind = Other;
    FileTime time = 0;
    std::u16string className;
};
bool ReadKeyOption(std::string_view s, std::size_t lineNumber, KeyOption& option, Problem& problem);

// A value, from the line's '"' or '@' (`lines` stands on that line) through the continuation lines of its hex data,
// after which `lines` stands on the value's last line.
bool ReadValue(Lines& lines, std::string_view s, RegistryValue& value, Problem& problem);

// Escaped code units as Wine writes them: pure ASCII, with a backslash before "\" and before the delimiters (`open`
// and `close`: the quote of a string, the brackets of a key's path), C escapes for the control characters that have
// one, octal for the others, \x for code units above 127. An octal or \x escape takes three or four digits when the
// next code unit could be read as one more digit, else as few as it needs. With `terminated`, the last code unit is
// the terminating NUL and is not written.
void AppendEscaped(std::string& out, std::u16string_view units, char open, char close, bool terminated = false);

// A value's line(s) as Wine writes them, with the ending: "name"= or @=, then a string ("...", str(2):"...",
// str(7):"...") when the data is whole code units ending in a NUL, dword:xxxxxxxx for four bytes of a kRegDword,
// else hex: (kRegBinary) or hex(type): with the bytes, continued on the next line after ",\" once a line would
// pass 76 characters.
void AppendValue(std::string& out, const RegistryValue& value);

}  // namespace morvane::wine::text
