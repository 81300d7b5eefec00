#include "records/before_file_reader.h"

#include "records/record_format.h"

namespace morvane {

namespace {

std::string DriveText(char drive)
{
    return std::string(1, drive);
}

}  // namespace

Error DamagedBefore(std::string whatIsWrong)
{
    return Error{std::string(), 0, std::move(whatIsWrong), ErrorKind::Damaged};
}

bool BeforeFileReader::next(std::string& line, Status& status)
{
    if (m_lines.readLine(line)) {
        return true;
    }
    status = m_lines.status();
    return false;
}

Status BeforeFileReader::readHeader(std::string& programName, char& firstDrive)
{
    Status status;
    if (!next(programName, status)) {
        return status.ok() ? DamagedBefore("it is empty") : status;
    }
    std::string line;
    if (!next(line, status)) {
        return status.ok() ? DamagedBefore("it ends after the program name") : status;
    }
    if (!IsDriveLine(line)) {
        return DamagedBefore("its second line is not a drive letter");
    }
    firstDrive = line[0];
    return {};
}

Status BeforeFileReader::readDirectories(char drive, LineStore& directories)
{
    Status status;
    std::string line;
    while (next(line, status)) {
        directories.append(line);
        if (line == "\\") {
            return {};
        }
        // Directory lines begin with "\": a drive letter or the first configuration marker here means the
        // block lost its root line, and reading on would take the next block for this one.
        if (IsDriveLine(line) || line == kDrivesEnd) {
            break;
        }
    }
    if (!status) {
        return status;
    }
    return DamagedBefore("the directory lines of drive " + DriveText(drive) + " end without the line \"\\\"");
}

Status BeforeFileReader::readFiles(char drive, LineStore& files, char& nextDrive)
{
    Status status;
    std::string line;
    while (next(line, status)) {
        if (line == kDrivesEnd) {
            nextDrive = 0;
            return {};
        }
        if (IsDriveLine(line)) {
            nextDrive = line[0];
            return {};
        }
        files.append(line);
    }
    if (!status) {
        return status;
    }
    return DamagedBefore("the file lines of drive " + DriveText(drive) +
                         " end without a next drive letter or the line \"*AUTOEXEC*\"");
}

}  // namespace morvane
