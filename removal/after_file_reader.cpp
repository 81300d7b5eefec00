#include "removal/after_file_reader.h"

#include "changes/normalize.h"

namespace morvane {

namespace {
constexpr std::string_view kAutoexecHeader = "*AUTOEXEC*";

std::string Tagged(std::string_view prefix, std::string_view tag)
{
    std::string text(prefix);
    text += tag;
    text += '*';
    return text;
}
}  // namespace

Result<std::unique_ptr<AfterFileReader>> AfterFileReader::open(const FileSystem& fs, const std::string& path)
{
    auto reader = fs.openForReading(path);
    if (!reader) {
        const Error& error = reader.error();
        return Error{path, error.code, "Unable to read the AFTER file " + path + ": " + error.reason + "."};
    }
    return std::unique_ptr<AfterFileReader>(new AfterFileReader(path, std::move(*reader)));
}

Error AfterFileReader::failure(std::string message) const
{
    return Error{m_path, 0, std::move(message)};
}

Error AfterFileReader::endsBefore(std::string_view section) const
{
    if (m_readError) {
        return *m_readError;
    }
    return failure("The AFTER file " + m_path + " ends before its " + std::string(section) + " section.");
}

Error AfterFileReader::endsInside(std::string_view tag) const
{
    if (m_readError) {
        return *m_readError;
    }
    return failure("The AFTER file " + m_path + " ends inside its " + std::string(tag) + " section.");
}

std::optional<std::string> AfterFileReader::next()
{
    if (m_readError) {
        return std::nullopt;
    }
    std::string line;
    if (m_reader->readLine(line)) {
        return line;
    }
    const Status status = m_reader->status();
    if (!status) {
        m_readError = Error{m_path, status.error().code,
                            "Unable to read the AFTER file " + m_path + ": " + status.error().reason + "."};
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
    return readLine("drive");
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
        if (*letterLine == kAutoexecHeader) {
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
            drive.directories.push_back(std::move(*line));
            continue;
        }
        inDirectories = false;
        if (*line == kAutoexecHeader) {
            m_drivesDone = true;
            return std::optional<AfterDrive>(std::move(drive));
        }
        if (IsDriveLine(*line)) {
            m_nextLetter = (*line)[0];
            return std::optional<AfterDrive>(std::move(drive));
        }
        drive.files.push_back(std::move(*line));
    }
}

Status AfterFileReader::skipHeader(std::string_view tag)
{
    auto line = readLine(tag);
    return line.status();
}

Result<ConfigSection> AfterFileReader::readConfigSection(std::string_view tag)
{
    const std::string newMarker = Tagged("*NEW ", tag);
    const std::string endMarker = Tagged("*END ", tag);
    ConfigSection section;

    // Old lines, up to "*NEW tag*"; "~NO CHANGE~" is recognised on any line before that marker.
    for (;;) {
        auto line = next();
        if (!line) {
            return endsInside(tag);
        }
        const std::string_view trimmed = TrimSpaces(*line);
        if (trimmed == "~NO CHANGE~") {
            if (!next()) {
                return endsInside(tag);
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
            return endsInside(tag);
        }
        if (TrimSpaces(*line) == endMarker) {
            return section;
        }
        section.newLines.push_back(std::move(*line));
    }
}

void ReportAfterFileError(Prompts& prompts, const Error& error)
{
    prompts.messageBox(error.reason, Buttons::Ok, Icon::Exclamation, "Error");
}

}  // namespace morvane
