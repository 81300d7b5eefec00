#include "tests/wine/registry_support.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "wine/registry_names.h"

namespace morvane::wine {

void PrintTo(const RegistryValue& value, std::ostream* out)
{
    *out << '"' << Utf8FromUtf16(value.name) << "\" type " << value.type << " data [" << test::Hex(value.data) << ']';
}

void PrintTo(const RegistryKey& key, std::ostream* out)
{
    *out << '"' << Utf8FromUtf16(key.name) << "\" time " << (key.time ? std::to_string(*key.time) : "none") << " class "
         << (key.className ? '"' + Utf8FromUtf16(*key.className) + '"' : "none") << (key.link ? " link" : "");
}

namespace test {

std::string DataFile(std::string_view name)
{
    const std::string path = std::string(MORVANE_WINE_TEST_DATA) + "/" + std::string(name);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FirstDifference(std::string_view expected, std::string_view actual)
{
    if (expected == actual) {
        return {};
    }
    std::size_t line = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i < expected.size() && i < actual.size() && expected[i] == actual[i]; ++i) {
        if (expected[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    auto lineAt = [&](std::string_view text) {
        if (start >= text.size()) {
            return std::string("<end of text>");
        }
        const std::size_t stop = text.find('\n', start);
        return '"' + std::string(text.substr(start, stop == text.npos ? text.npos : stop - start)) + '"';
    };
    return "line " + std::to_string(line) + ": expected " + lineAt(expected) + ", written " + lineAt(actual) +
           " (sizes " + std::to_string(expected.size()) + " and " + std::to_string(actual.size()) + ")";
}

std::string Hex(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        if (!out.empty()) {
            out.push_back(' ');
        }
        out.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        out.push_back(kDigits[static_cast<unsigned char>(c) & 0xf]);
    }
    return out;
}

std::vector<std::u16string> AllKeyPaths(const Registry& registry)
{
    std::vector<std::u16string> paths;
    std::vector<std::u16string> pending{u""};
    while (!pending.empty()) {
        const std::u16string path = pending.back();
        pending.pop_back();
        if (!path.empty()) {
            paths.push_back(path);
        }
        const auto names = registry.subkeys(path);
        if (!names) {
            throw std::runtime_error("no key " + Utf8FromUtf16(path));
        }
        for (auto it = names->rbegin(); it != names->rend(); ++it) {
            pending.push_back(path.empty() ? *it : path + u"\\" + *it);
        }
    }
    return paths;
}

std::string Lines(std::initializer_list<std::string_view> lines)
{
    std::string out;
    for (const std::string_view line : lines) {
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace test
}  // namespace morvane::wine
