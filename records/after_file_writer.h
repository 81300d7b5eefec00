#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text_file.h"

namespace morvane {

// Writes the lines of an AFTER file (see record_format.h), one method per kind of line or block, in the file's
// order:
//
//   programName                                  once, first
//   per drive block of BEFORE.DAT: driveLetter, every new directory, then every new file
//   per configuration file, in the order of kConfigFiles: configHeader, then unchangedSection or
//   changedSection, either of which ends the section
//
// The header stands apart from the body because it goes out before the comparison that decides the body. The
// writer decides nothing; write errors are kept by the LineWriter and returned by its finish().
class AfterFileWriter {
public:
    explicit AfterFileWriter(LineWriter& out) : m_out(out) {}

    void programName(std::string_view name) { m_out.writeLine(name); }

    // The drive letter line: "C".
    void driveLetter(char letter) { m_out.writeLine(std::string_view(&letter, 1)); }

    // A directory the installation created: "\APP\BIN\".
    void newDirectory(std::string_view path) { m_out.writeLine(path); }

    // A file the installation added to an older directory: the directory's line directly followed by the name,
    // written in two parts as they are ("\WINDOWS\" and "NEW.DLL" give "\WINDOWS\NEW.DLL").
    void newFile(std::string_view directory, std::string_view name) { m_out.writeLine(directory, name); }

    // "*" & section & "*" ("*AUTOEXEC*"); the first one also ends the drive blocks.
    void configHeader(std::string_view section);

    // "~NO CHANGE~" and "*END " & section & "*".
    void unchangedSection(std::string_view section);

    // The lines before the installation, "*NEW " & section & "*", the lines right after it, and
    // "*END " & section & "*". The lines are written as given.
    void changedSection(std::string_view section, const std::vector<std::string>& oldLines,
                        const std::vector<std::string>& newLines);

private:
    LineWriter& m_out;
};

}  // namespace morvane
