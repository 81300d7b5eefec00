// The companion records of a Wine prefix's changes, as Delete program and the report read them. Whatever the bytes,
// the reader ends with the changes or with an error of the kind Damaged whose message names the file. Changes read
// are written again, and read back they are the same changes, written again the same bytes. The same holds for the
// companion of a BEFORE file.
#include <string>

#include "fuzz/memory_lines.h"
#include "wine/companion.h"

using namespace morvane;
using namespace morvane::wine;

namespace {

constexpr const char* kPath = "/data/AFTER1.WINE";

bool SameSnapshot(const PrefixSnapshot& a, const PrefixSnapshot& b)
{
    for (int k = 0; k < 3; ++k) {
        if (a.hives[k] != b.hives[k]) {
            return false;
        }
    }
    return a.prefix == b.prefix && a.desktop == b.desktop && a.desktopFolders == b.desktopFolders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        fuzz::MemoryFileSystem fs(bytes);
        const auto changes = ReadAfterCompanion(fs, kPath);
        if (!changes) {
            MORVANE_FUZZ_CHECK(changes.error().kind == ErrorKind::Damaged ||
                               changes.error().kind == ErrorKind::Invalid);
            MORVANE_FUZZ_CHECK(changes.error().describe().find(kPath) != std::string::npos);
        } else {
            MORVANE_FUZZ_CHECK(WriteAfterCompanion(fs, kPath, *changes).ok());
            const auto again = ReadAfterCompanion(fs, kPath);
            MORVANE_FUZZ_CHECK(again.ok() && *again == *changes);
            const std::string first = *fs.readFile(kPath);
            MORVANE_FUZZ_CHECK(WriteAfterCompanion(fs, kPath, *again).ok());
            MORVANE_FUZZ_CHECK(*fs.readFile(kPath) == first);
        }
    }
    fuzz::MemoryFileSystem fs(bytes);
    const auto snapshot = ReadBeforeCompanion(fs, kPath);
    if (snapshot) {
        MORVANE_FUZZ_CHECK(WriteBeforeCompanion(fs, kPath, *snapshot).ok());
        const auto again = ReadBeforeCompanion(fs, kPath);
        MORVANE_FUZZ_CHECK(again.ok() && SameSnapshot(*again, *snapshot));
    }
    return 0;
}
