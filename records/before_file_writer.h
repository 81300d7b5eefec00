#pragma once

#include <string_view>

#include "platform/text_file.h"

namespace morvane {

// Writes the lines of BEFORE.DAT (see record_format.h), one method per kind of line, in the file's order:
//
//   programName                                  once, first
//   per drive: driveLetter, every directory, then every file
//   per configuration file, in the order of kConfigFiles: configHeader, configLine for each of its lines as
//   read, configEnd
//
// The writer decides nothing: the scan chooses what goes in and in which order. Write errors are kept by the
// LineWriter and returned by its finish().
class BeforeFileWriter {
public:
    explicit BeforeFileWriter(LineWriter& out) : m_out(out) {}

    void programName(std::string_view name) { m_out.writeLine(name); }

    // The drive letter line: "C".
    void driveLetter(char letter) { m_out.writeLine(std::string_view(&letter, 1)); }

    // A directory line: "\" for the root, "\A\B\" below it.
    void directory(std::string_view path) { m_out.writeLine(path); }

    // A file line: its directory's line directly followed by its name ("\A\B\" and "NAME" give "\A\B\NAME"). The
    // two parts go to the writer as they are, so that a million file lines build no joined string each.
    void file(std::string_view directory, std::string_view name) { m_out.writeLine(directory, name); }

    // "*" & section & "*" ("*AUTOEXEC*").
    void configHeader(std::string_view section);
    // A line of the configuration file, as it was read.
    void configLine(std::string_view line) { m_out.writeLine(line); }
    // "*END " & section & "*".
    void configEnd(std::string_view section);

private:
    LineWriter& m_out;
};

}  // namespace morvane
