#include "records/after_file_reader.h"

#include "records/first_line.h"
#include "records/normalize.h"

namespace morvane {

Result<std::unique_ptr<AfterFileReader>> AfterFileReader::open(const FileSystem& fs, const std::string& path)
{
    auto reader = fs.openForReading(path);
    if (!reader) {
        const Error& error = reader.error();
        return Error{path, error.code, "Unable to read the AFTER file " + path + ": " + error.reason + ".", error.kind};
    }
    return std::unique_ptr<AfterFileReader>(new AfterFileReader(path, std::move(*reader)));
}

Error AfterFileReader::readError(const Error& error) const
{
    return Error{m_path, error.code, "Unable to read the AFTER file " + m_path + ": " + error.reason + ".", error.kind};
}

Error AfterFileReader::failure(std::string message) const
{
    return Error{m_path, 0, std::move(message), ErrorKind::Damaged};
}

Error AfterFileReader::endsBefore(std::string_view section) const
{
    if (m_readError) {
        return *m_readError;
    }
    return failure("The AFTER file " + m_path + " ends before its " + std::string(section) + " section.");
}

Error AfterFileReader::endsInside(std::string_view name) const
{
    if (m_readError) {
        return *m_readError;
    }
    return failure("The AFTER file " + m_path + " ends inside its " + std::string(name) + " section.");
}

Error AfterFileReader::badLine(const std::string& line, std::string_view what) const
{
    return failure("The AFTER file " + m_path + " is damaged: line " + std::to_string(m_lineNumber) + " \"" + line +
                   "\" is not " + std::string(what) + ".");
}

std::optional<std::string> AfterFileReader::next()
{
    if (m_readError) {
        return std::nullopt;
    }
    std::string line;
    if (m_reader->readLine(line)) {
        ++m_lineNumber;
        return line;
    }
    if (const Status status = m_reader->status(); !status) {
        m_readError = readError(status.error());
    }
    return std::nullopt;
}

Result<std::string> AfterFileReader::readLine(std::string_view section)
{
    auto line = next();
    if (!line) {
        return endsBefore(section);
    }
    return std::move(*line);
}

Result<std::string> AfterFileReader::readProgramName()
{
    auto name = ReadFirstLine(*m_reader);
    if (!name) {
        m_readError = readError(name.error());
        return *m_readError;
    }
    if (!name->has_value()) {
        return endsBefore("drive");
    }
    ++m_lineNumber;
    return std::move(**name);
}

Result<std::optional<AfterDrive>> AfterFileReader::readDrive()
{
    if (m_drivesDone) {
        return std::optional<AfterDrive>();
    }
    AfterDrive drive;
    if (m_firstDrive) {
        m_firstDrive = false;
        auto letterLine = readLine("drive");
        if (!letterLine) {
            return letterLine.error();
        }
        if (*letterLine == kDrivesEnd) {
            m_drivesDone = true;
            return std::optional<AfterDrive>();
        }
        if (!IsDriveLine(*letterLine)) {
            return failure("The AFTER file " + m_path + " is damaged: its second line \"" + *letterLine +
                           "\" is not a drive letter.");
        }
        drive.letter = (*letterLine)[0];
    } else {
        drive.letter = m_nextLetter;
    }

    // Directory lines come first; the first line that does not end in '\' begins the file lines.
    bool inDirectories = true;
    for (;;) {
        auto line = next();
        if (!line) {
            return endsBefore("AUTOEXEC");
        }
        if (inDirectories && !line->empty() && line->back() == '\\') {
            auto path = RecordPath::directory(*line);
            if (!path) {
                return badLine(*line, "a directory below the drive's root");
            }
            drive.directories.push_back(std::move(*path));
            continue;
        }
        inDirectories = false;
        if (*line == kDrivesEnd) {
            m_drivesDone = true;
            return std::optional<AfterDrive>(std::move(drive));
        }
        if (IsDriveLine(*line)) {
            m_nextLetter = (*line)[0];
            return std::optional<AfterDrive>(std::move(drive));
        }
        auto path = RecordPath::file(*line);
        if (!path) {
            return badLine(*line, "a file path, a drive letter or \"*AUTOEXEC*\"");
        }
        drive.files.push_back(std::move(*path));
    }
}

Status AfterFileReader::skipHeader(std::string_view name)
{
    auto line = readLine(name);
    return line.status();
}

Status AfterFileReader::readHeader(std::string_view name)
{
    auto line = readLine(name);
    if (!line) {
        return line.error();
    }
    const std::string header = SectionHeader(name);
    if (TrimSpaces(*line) != header) {
        return badLine(*line, "the header \"" + header + "\"");
    }
    return {};
}

Result<ConfigSection> AfterFileReader::readConfigSection(std::string_view name)
{
    const std::string newMarker = NewMarker(name);
    const std::string endMarker = EndMarker(name);
    ConfigSection section;

    // Old lines, up to "*NEW name*". "~NO CHANGE~" is the marker only as the section's first line: further
    // down it is a line of the configuration file like any other.
    for (bool first = true;; first = false) {
        auto line = next();
        if (!line) {
            return endsInside(name);
        }
        const std::string_view trimmed = TrimSpaces(*line);
        if (first && trimmed == kNoChange) {
            // The writer puts the end line right after "~NO CHANGE~"; anything else there is a file cut short
            // inside that line (or damaged), not a finished record.
            auto end = next();
            if (!end) {
                return endsInside(name);
            }
            if (TrimSpaces(*end) != endMarker) {
                return badLine(*end, "the end line \"" + endMarker + "\"");
            }
            return ConfigSection{};
        }
        if (trimmed == newMarker) {
            break;
        }
        section.oldLines.push_back(std::move(*line));
    }
    section.changed = true;
    for (;;) {
        auto line = next();
        if (!line) {
            return endsInside(name);
        }
        if (TrimSpaces(*line) == endMarker) {
            return section;
        }
        section.newLines.push_back(std::move(*line));
    }
}

Result<AfterRecord> ReadAfterRecord(const FileSystem& fs, const std::string& path)
{
    auto opened = AfterFileReader::open(fs, path);
    if (!opened) {
        return opened.error();
    }
    AfterFileReader& after = **opened;
    AfterRecord record;
    auto name = after.readProgramName();
    if (!name) {
        return name.error();
    }
    record.programName = std::move(*name);
    for (;;) {
        auto drive = after.readDrive();
        if (!drive) {
            return drive.error();
        }
        if (!drive->has_value()) {
            break;
        }
        record.drives.push_back(std::move(**drive));
    }
    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        // "*AUTOEXEC*" ended the drive blocks; each later section has its own header.
        if (k > 0) {
            if (const Status header = after.readHeader(kConfigFiles[k].section); !header) {
                return header.error();
            }
        }
        auto section = after.readConfigSection(kConfigFiles[k].section);
        if (!section) {
            return section.error();
        }
        record.sections[k] = std::move(*section);
    }
    return record;
}

void ReportAfterFileError(Prompts& prompts, Notice notice, const Error& error)
{
    prompts.messageBox(notice, error.reason, Buttons::Ok, Icon::Exclamation, "Error");
}

}  // namespace morvane
