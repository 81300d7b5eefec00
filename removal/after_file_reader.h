#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/prompts.h"
#include "platform/result.h"

namespace morvane {

// One drive section of an AFTER file: the letter line, then the directories the installation created (lines
// ending in '\', deepest first) and the files it added to older directories, all stored without drive letter.
struct AfterDrive {
    char letter = 'C';
    std::vector<std::string> directories;
    std::vector<std::string> files;
};

// The body of one configuration file's section. Lines are as stored (not trimmed, not normalised).
struct ConfigSection {
    bool changed = false;               // the section holds old and new lines, not "~NO CHANGE~"
    std::vector<std::string> oldLines;  // before the installation
    std::vector<std::string> newLines;  // right after it
};

// Reads an open AFTER file front to back, in the order its sections are written:
//
//   program name
//   drive letter line                  one character A..Z
//     directory lines                  end in '\'
//     file lines                       until the next drive letter line or "*AUTOEXEC*"
//   ... more drive sections ...
//   *AUTOEXEC*  body  *END AUTOEXEC*   body: "~NO CHANGE~", or old lines, "*NEW AUTOEXEC*", new lines
//   *CONFIG*    body  *END CONFIG*
//   *WIN*       body  *END WIN*
//   *SYSTEM*    body  *END SYSTEM*
//
// Nothing is ever read past the end: a file that ends early, or cannot be read, gives an error value whose
// reason is the complete message for the user, naming the file (the path is in `path` too).
class AfterFileReader {
public:
    // Opens the AFTER file at a host path. A missing or unreadable file is an error.
    static Result<std::unique_ptr<AfterFileReader>> open(const FileSystem& fs, const std::string& path);

    const std::string& path() const { return m_path; }

    // Line 1.
    Result<std::string> readProgramName();

    // The next drive section, from its letter line to its last file line; nothing once the drive sections have
    // ended with "*AUTOEXEC*", which is then consumed. The first call reads line 2 as the first drive's letter.
    Result<std::optional<AfterDrive>> readDrive();

    // Skips the header line of the section `tag` ("*CONFIG*"); its text is not examined.
    Status skipHeader(std::string_view tag);

    // Reads one section's body after its header, up to and including its end line "*END " & tag & "*".
    // Markers are recognised with the spaces at both ends of a line removed. After "~NO CHANGE~" the next line
    // is the section's end and is consumed without being examined.
    Result<ConfigSection> readConfigSection(std::string_view tag);

    // The next line as stored. At the end of the file: the error that the file ends before `section`
    // ("The AFTER file ... ends before its AUTOEXEC section.").
    Result<std::string> readLine(std::string_view section);

    // The error "The AFTER file <path> ends inside its <tag> section.".
    Error endsInside(std::string_view tag) const;

private:
    AfterFileReader(std::string path, std::unique_ptr<LineReader> reader)
        : m_path(std::move(path)), m_reader(std::move(reader))
    {
    }
    // The next line; nothing at the end of the file. A read error is kept in m_readError.
    std::optional<std::string> next();
    Error failure(std::string message) const;
    Error endsBefore(std::string_view section) const;

    std::string m_path;
    std::unique_ptr<LineReader> m_reader;
    std::optional<Error> m_readError;
    bool m_firstDrive = true;
    bool m_drivesDone = false;
    char m_nextLetter = 0;
};

// Shows an AFTER-file error: its message, the exclamation icon and the title "Error".
void ReportAfterFileError(Prompts& prompts, const Error& error);

// A drive letter line: exactly one character from "A" to "Z".
inline bool IsDriveLine(std::string_view line)
{
    return line.size() == 1 && line[0] >= 'A' && line[0] <= 'Z';
}

}  // namespace morvane
