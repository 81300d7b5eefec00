// An AFTER file as the selection, the report and the deletion read it: ReadAfterRecord checks a whole file
// before a command acts on any of it. Whatever the bytes: no crash, no reading past the end, every path it
// accepts lies strictly below its drive's root, and an accepted record written out again in the record
// format reads back as the same record.
#include "fuzz/memory_lines.h"
#include "records/after_file_reader.h"
#include "records/normalize.h"
#include "records/record_format.h"

using namespace morvane;

namespace {

void Append(std::string& out, std::string_view line)
{
    out.append(line);
    out.append("\r\n");
}

std::string Write(const AfterRecord& record)
{
    std::string out;
    Append(out, record.programName);
    for (const AfterDrive& drive : record.drives) {
        Append(out, std::string(1, drive.letter));
        for (const RecordPath& d : drive.directories) {
            Append(out, d.text());
        }
        for (const RecordPath& f : drive.files) {
            Append(out, f.text());
        }
    }
    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        const std::string_view name = kConfigFiles[k].section;
        const ConfigSection& section = record.sections[k];
        Append(out, SectionHeader(name));
        if (!section.changed) {
            Append(out, kNoChange);
        } else {
            for (const auto& line : section.oldLines) {
                Append(out, line);
            }
            Append(out, NewMarker(name));
            for (const auto& line : section.newLines) {
                Append(out, line);
            }
        }
        Append(out, EndMarker(name));
    }
    return out;
}

bool SameRecord(const AfterRecord& a, const AfterRecord& b)
{
    if (a.programName != b.programName || a.drives.size() != b.drives.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.drives.size(); ++i) {
        if (a.drives[i].letter != b.drives[i].letter || a.drives[i].directories != b.drives[i].directories ||
            a.drives[i].files != b.drives[i].files) {
            return false;
        }
    }
    for (std::size_t k = 0; k < a.sections.size(); ++k) {
        if (a.sections[k].changed != b.sections[k].changed || a.sections[k].oldLines != b.sections[k].oldLines ||
            a.sections[k].newLines != b.sections[k].newLines) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::MemoryFileSystem fs(bytes);
    auto record = ReadAfterRecord(fs, "/data/AFTER1.DAT");
    if (!record) {
        // The message names the file.
        MORVANE_FUZZ_CHECK(record.error().reason.find("/data/AFTER1.DAT") != std::string::npos);
        return 0;
    }
    // A record that reads as good has every line a writer puts in it, the last one included (what follows
    // that line is never read).
    bool ended = false;
    for (const std::string& line : fuzz::SplitLines(bytes)) {
        ended = ended || TrimSpaces(line) == EndMarker("SYSTEM");
    }
    MORVANE_FUZZ_CHECK(ended);
    for (const AfterDrive& drive : record->drives) {
        MORVANE_FUZZ_CHECK(drive.letter >= 'A' && drive.letter <= 'Z');
        for (const RecordPath& d : drive.directories) {
            MORVANE_FUZZ_CHECK(d.isDirectory() && d.text().size() >= 3 && RecordPath::directory(d.text()));
        }
        for (const RecordPath& f : drive.files) {
            MORVANE_FUZZ_CHECK(!f.isDirectory() && f.text().size() >= 2 && RecordPath::file(f.text()));
        }
    }
    for (const ConfigSection& section : record->sections) {
        MORVANE_FUZZ_CHECK(section.changed || (section.oldLines.empty() && section.newLines.empty()));
    }
    const std::string again = Write(*record);
    fuzz::MemoryFileSystem fs2(again);
    auto reread = ReadAfterRecord(fs2, "/data/AFTER1.DAT");
    MORVANE_FUZZ_CHECK(reread && SameRecord(*record, *reread));
    return 0;
}
