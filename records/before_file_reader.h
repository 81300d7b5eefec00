#pragma once

#include <string>
#include <string_view>

#include "platform/result.h"
#include "platform/text_file.h"
#include "records/line_store.h"

namespace morvane {

// BEFORE.DAT read in one forward pass, in the order AFTER file creation needs it:
//
//   program name
//   per drive block: the letter line ("C"), the directory lines ending with the root line "\", the file lines
//   "*AUTOEXEC*" ... the four configuration copies (read by CompareSystemFileSection)
//
// A file that lacks this shape where a list has to end is reported as damaged instead of being read past its
// end: such an error is of the kind Damaged, and its reason says what is wrong ("the directory lines of drive C
// end without the line "\""). A read error of the file itself carries the system's reason.
class BeforeFileReader {
public:
    explicit BeforeFileReader(LineReader& lines) : m_lines(lines) {}

    // Line 1, the program name, and line 2, the letter of the first drive.
    Status readHeader(std::string& programName, char& firstDrive);

    // The block's directory lines, up to and including the first line that is exactly "\".
    Status readDirectories(char drive, LineStore& directories);

    // The block's file lines, up to the next drive letter line or "*AUTOEXEC*", which is consumed: `nextDrive`
    // is then that letter, or 0 when the configuration copies follow.
    Status readFiles(char drive, LineStore& files, char& nextDrive);

    LineReader& lines() { return m_lines; }

private:
    // The next line, or false at the end of the file; `status` holds a read error.
    bool next(std::string& line, Status& status);

    LineReader& m_lines;
};

// An error for a BEFORE.DAT that lacks its shape (kind Damaged).
Error DamagedBefore(std::string whatIsWrong);

}  // namespace morvane
