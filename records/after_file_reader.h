#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/prompts.h"
#include "platform/result.h"
#include "records/record_format.h"
#include "records/record_path.h"

namespace morvane {

// One drive block of an AFTER file: the letter line, then the directories the installation created (deepest
// first) and the files it added to older directories.
struct AfterDrive {
    char letter = 'C';
    std::vector<RecordPath> directories;
    std::vector<RecordPath> files;
};

// The body of one configuration file's section. Lines are as stored (not trimmed, not normalised).
struct ConfigSection {
    bool changed = false;               // the section holds old and new lines, not "~NO CHANGE~"
    std::vector<std::string> oldLines;  // before the installation
    std::vector<std::string> newLines;  // right after it
};

// Reads an open AFTER file front to back, in the order its blocks are written (see record_format.h).
//
// Nothing is ever read past the end, and every line is checked for the shape its place asks for: a file that
// ends early, cannot be read, or holds a line of the wrong shape gives an error value whose reason is the
// complete message for the user, naming the file and, for a bad line, its number and text.
class AfterFileReader {
public:
    // Opens the AFTER file at a host path. A missing or unreadable file is an error.
    static Result<std::unique_ptr<AfterFileReader>> open(const FileSystem& fs, const std::string& path);

    const std::string& path() const { return m_path; }

    // Line 1 (ReadFirstLine), read before anything else. A file without it ends before its drive section.
    Result<std::string> readProgramName();

    // The next drive block, from its letter line to its last file line; nothing once the drive blocks have
    // ended with "*AUTOEXEC*", which is then consumed. The first call reads line 2 as the first drive's letter.
    // Directory lines come first, up to the first line that does not end with "\"; each must be a directory
    // path below the drive's root (RecordPath), each file line a file path.
    Result<std::optional<AfterDrive>> readDrive();

    // Skips the header line of the section `name` ("*CONFIG*"); its text is not examined.
    Status skipHeader(std::string_view name);
    // Reads the header line of the section `name` and checks that it is "*" & name & "*" (spaces trimmed).
    Status readHeader(std::string_view name);

    // Reads one section's body after its header, up to and including its end line "*END " & name & "*".
    // Markers are recognised with the spaces at both ends of a line removed. After "~NO CHANGE~" the next line
    // must be the section's end line.
    Result<ConfigSection> readConfigSection(std::string_view name);

    // The next line as stored. At the end of the file: the error that the file ends before `section`
    // ("The AFTER file ... ends before its AUTOEXEC section.").
    Result<std::string> readLine(std::string_view section);

    // The error "The AFTER file <path> ends inside its <name> section.".
    Error endsInside(std::string_view name) const;

private:
    AfterFileReader(std::string path, std::unique_ptr<LineReader> reader)
        : m_path(std::move(path)), m_reader(std::move(reader))
    {}
    // The next line; nothing at the end of the file. A read error is kept in m_readError.
    std::optional<std::string> next();
    Error failure(std::string message) const;
    // A read error of the file, as the message for the user.
    Error readError(const Error& error) const;
    Error endsBefore(std::string_view section) const;
    // The error for the line just read: "The AFTER file <path> is damaged: line <n> "<line>" is not <what>."
    Error badLine(const std::string& line, std::string_view what) const;

    std::string m_path;
    std::unique_ptr<LineReader> m_reader;
    std::optional<Error> m_readError;
    long m_lineNumber = 0;
    bool m_firstDrive = true;
    bool m_drivesDone = false;
    char m_nextLetter = 0;
};

// A whole AFTER file, read and checked before a command acts on any of it.
struct AfterRecord {
    std::string programName;
    std::vector<AfterDrive> drives;
    std::array<ConfigSection, 4> sections;  // in the order of kConfigFiles
};

// Reads and checks a whole AFTER file: every line in its place has its shape, the four section headers are
// where they belong, and nothing is missing at the end. Any fault is an error naming the file (and the first
// bad line); then none of the record is used.
Result<AfterRecord> ReadAfterRecord(const FileSystem& fs, const std::string& path);

// Shows an AFTER-file error as `notice`: its message, the exclamation icon and the title "Error".
void ReportAfterFileError(Prompts& prompts, Notice notice, const Error& error);

}  // namespace morvane
