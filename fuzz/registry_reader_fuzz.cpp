// Wine's registry files as the registry reader takes them. Whatever the bytes, the reader ends with a registry or
// with an error of the kind Damaged that names a line of the input. A registry read is written back, and:
// - read again, it is the same registry, and written again, the same bytes;
// - with every key touched (so that each is written anew as Wine writes keys), it is pure ASCII after the lines
//   before the first key, and read again, the same registry;
// - with the first subkey of the top key deleted, read again, the same registry.
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/memory_lines.h"
#include "wine/registry_reader.h"
#include "wine/registry_writer.h"

using namespace morvane;
using namespace morvane::wine;

namespace {

// Every key's path, the top key's first, depth first.
std::vector<std::u16string> AllPaths(const Registry& registry)
{
    std::vector<std::u16string> paths;
    std::vector<std::u16string> pending{u""};
    while (!pending.empty()) {
        std::u16string path = pending.back();
        pending.pop_back();
        const auto names = registry.subkeys(path);
        MORVANE_FUZZ_CHECK(names.ok());
        for (const std::u16string& name : *names) {
            pending.push_back(path.empty() ? name : path + u"\\" + name);
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

// The same registry read from what `registry` writes.
void CheckWrittenAndReadBack(const Registry& registry)
{
    const std::string written = FormatRegistry(registry);
    auto again = ParseRegistry(written);
    MORVANE_FUZZ_CHECK(again.ok());
    MORVANE_FUZZ_CHECK(*again == registry);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    auto registry = ParseRegistry(bytes, "fuzz.reg");
    if (!registry) {
        const Error& error = registry.error();
        MORVANE_FUZZ_CHECK(error.kind == ErrorKind::Damaged && error.path == "fuzz.reg");
        MORVANE_FUZZ_CHECK(error.reason.rfind("line ", 0) == 0);
        const long line = std::strtol(error.reason.c_str() + 5, nullptr, 10);
        std::size_t lines = 0;
        for (const char c : bytes) {
            lines += c == '\n' ? 1 : 0;
        }
        lines += bytes.empty() || bytes.back() != '\n' ? 1 : 0;
        MORVANE_FUZZ_CHECK(line >= 1 && static_cast<std::size_t>(line) <= lines);
        return 0;
    }

    // Written back unchanged and read again: the same registry, and the same bytes once more.
    const std::string once = FormatRegistry(*registry);
    auto again = ParseRegistry(once);
    MORVANE_FUZZ_CHECK(again.ok());
    MORVANE_FUZZ_CHECK(*again == *registry);
    MORVANE_FUZZ_CHECK(FormatRegistry(*again) == once);

    // Every key touched, its values left as they are.
    const std::vector<std::u16string> paths = AllPaths(*again);
    again->setChangeTime(FileTimeFromUnix(1800000000));
    for (const std::u16string& path : paths) {
        const auto values = again->values(path);
        MORVANE_FUZZ_CHECK(values.ok());
        if (values->empty()) {
            MORVANE_FUZZ_CHECK(again->setValue(path, RegistryValue::dword(u"fuzz", 1)).ok());
            MORVANE_FUZZ_CHECK(again->deleteValue(path, u"fuzz").ok());
        } else {
            MORVANE_FUZZ_CHECK(again->deleteValue(path, values->front().name).ok());
            MORVANE_FUZZ_CHECK(again->setValue(path, values->front()).ok());
        }
        MORVANE_FUZZ_CHECK(again->values(path).value() == *values);
    }
    const std::string touched = FormatRegistry(*again);
    const std::size_t preamble = again->preamble().size();
    MORVANE_FUZZ_CHECK(touched.compare(0, preamble, again->preamble()) == 0);
    for (std::size_t i = preamble; i < touched.size(); ++i) {
        MORVANE_FUZZ_CHECK(static_cast<unsigned char>(touched[i]) < 0x80);
    }
    CheckWrittenAndReadBack(*again);

    // A key deleted with everything below it.
    const auto top = registry->subkeys(u"");
    if (!top->empty()) {
        registry->setChangeTime(FileTimeFromUnix(1800000000));
        MORVANE_FUZZ_CHECK(registry->deleteKey(top->front()).ok());
        MORVANE_FUZZ_CHECK(!registry->findKey(top->front()).has_value());
        CheckWrittenAndReadBack(*registry);
    }
    return 0;
}
