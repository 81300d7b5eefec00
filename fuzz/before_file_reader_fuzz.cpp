// BEFORE.DAT as AFTER file creation reads it: the header, then drive block after drive block up to
// "*AUTOEXEC*". Whatever the bytes, the reader ends (with the blocks or an error) without reading past the
// end, and what it hands on has the shape the comparison relies on.
#include "fuzz/memory_lines.h"
#include "records/before_file_reader.h"
#include "records/record_format.h"

using namespace morvane;
using morvane::fuzz::MemoryLineReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> all = fuzz::SplitLines(bytes);
    MemoryLineReader lines(bytes);
    BeforeFileReader reader(lines);

    std::string programName;
    char drive = 0;
    const Status header = reader.readHeader(programName, drive);
    if (!header) {
        MORVANE_FUZZ_CHECK(header.error().kind == ErrorKind::Damaged);
        MORVANE_FUZZ_CHECK(all.size() < 2 || !IsDriveLine(all[1]));
        return 0;
    }
    MORVANE_FUZZ_CHECK(all.size() >= 2 && programName == all[0] && IsDriveLine(all[1]) && drive == all[1][0]);

    std::size_t consumed = 2;  // lines read so far
    while (drive != 0) {
        LineStore directories;
        const Status dirs = reader.readDirectories(drive, directories);
        consumed += directories.size();
        if (!dirs) {
            MORVANE_FUZZ_CHECK(dirs.error().kind == ErrorKind::Damaged);
            return 0;
        }
        // The list ends with the root line, which appears nowhere before it.
        MORVANE_FUZZ_CHECK(!directories.empty() && directories[directories.size() - 1] == "\\");
        for (std::size_t i = 0; i + 1 < directories.size(); ++i) {
            MORVANE_FUZZ_CHECK(directories[i] != "\\" && !IsDriveLine(directories[i]) && directories[i] != kDrivesEnd);
            MORVANE_FUZZ_CHECK(directories[i] == all[consumed - directories.size() + i]);
        }

        LineStore files;
        char next = 0;
        const Status fileLines = reader.readFiles(drive, files, next);
        consumed += files.size();
        if (!fileLines) {
            MORVANE_FUZZ_CHECK(fileLines.error().kind == ErrorKind::Damaged);
            MORVANE_FUZZ_CHECK(consumed == all.size());  // damaged only when the file ran out
            return 0;
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            MORVANE_FUZZ_CHECK(!IsDriveLine(files[i]) && files[i] != kDrivesEnd);
            MORVANE_FUZZ_CHECK(files[i] == all[consumed - files.size() + i]);
        }
        // The terminator was consumed and is what `next` says.
        MORVANE_FUZZ_CHECK(consumed < all.size());
        const std::string& terminator = all[consumed];
        ++consumed;
        MORVANE_FUZZ_CHECK(next == 0 ? terminator == kDrivesEnd : IsDriveLine(terminator) && terminator[0] == next);
        drive = next;
    }
    // Positioned just after "*AUTOEXEC*": the next line read is the one after it.
    std::string line;
    const bool more = reader.lines().readLine(line);
    MORVANE_FUZZ_CHECK(more == (consumed < all.size()));
    MORVANE_FUZZ_CHECK(!more || line == all[consumed]);
    return 0;
}
