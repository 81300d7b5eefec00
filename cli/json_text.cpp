#include "cli/json_text.h"

#include <cstdio>

#include "wine/registry_names.h"

namespace morvane::cli {

namespace {

bool isContinuation(unsigned char byte)
{
    return (byte & 0xc0) == 0x80;
}

// The length of the valid UTF-8 sequence that starts at `at`, or 0 when none does there: no overlong forms, no
// surrogates, nothing above U+10FFFF.
std::size_t sequenceLength(std::string_view bytes, std::size_t at)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[at + k]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte
    unsigned char high = 0xbf;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (!isContinuation(byte(k))) {
            return 0;
        }
    }
    return length;
}

void appendEscape(std::string& out, unsigned code)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    out += escape;
}

}  // namespace

std::string JsonString(std::string_view bytes)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < bytes.size();) {
        const char c = bytes[at];
        const std::size_t length = sequenceLength(bytes, at);
        if (length == 0) {
            appendEscape(out, 0xdc00 + static_cast<unsigned char>(c));
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            appendEscape(out, static_cast<unsigned char>(c));
        } else {
            out.append(bytes.substr(at, length));
        }
        at += length;
    }
    return out + "\"";
}

std::string JsonStringOfUnits(std::u16string_view units)
{
    std::string out = "\"";
    std::size_t run = 0;  // the start of the well-formed text not yet written
    const auto flush = [&](std::size_t end) {
        const std::string text = JsonString(wine::Utf8FromUtf16(units.substr(run, end - run)));
        out.append(text, 1, text.size() - 2);  // without its quotes
    };
    for (std::size_t at = 0; at < units.size(); ++at) {
        const char16_t unit = units[at];
        const bool high = unit >= 0xd800 && unit <= 0xdbff;
        const bool low = unit >= 0xdc00 && unit <= 0xdfff;
        if (high && at + 1 < units.size() && units[at + 1] >= 0xdc00 && units[at + 1] <= 0xdfff) {
            ++at;  // a pair: well-formed
        } else if (high || low) {
            flush(at);
            appendEscape(out, unit);
            run = at + 1;
        }
    }
    flush(units.size());
    return out + "\"";
}

std::string JsonList(const std::vector<std::string>& entries)
{
    std::string out = "[";
    for (std::size_t k = 0; k < entries.size(); ++k) {
        out += (k == 0 ? "" : ", ") + JsonString(entries[k]);
    }
    return out + "]";
}

}  // namespace morvane::cli
