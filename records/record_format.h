#pragma once

#include <array>
#include <string>
#include <string_view>

namespace morvane {

// What the record files are made of. BEFORE.DAT and each AFTER<n>.DAT live in the data folder; both are plain
// text with CR LF after every line:
//
//   program name
//   drive letter line                  exactly one character "A".."Z"
//     directory lines                  begin and end with "\", no drive letter
//     file lines                       a directory path followed directly by the file name
//   ... more drive blocks ...
//   "*AUTOEXEC*"                       the drive blocks end here; the four configuration sections follow
//   "*CONFIG*" ... "*WIN*" ... "*SYSTEM*" ...
//
// A configuration section of an AFTER file is "~NO CHANGE~" or the lines before the installation, the marker
// "*NEW " & name & "*" and the lines right after it; "*END " & name & "*" closes it either way.

inline constexpr std::string_view kBeforeFileName = "BEFORE.DAT";
inline constexpr std::string_view kAfterFilePattern = "AFTER*.DAT";
inline constexpr std::string_view kNoChange = "~NO CHANGE~";
// The header of the first configuration section, which ends the drive blocks.
inline constexpr std::string_view kDrivesEnd = "*AUTOEXEC*";

// "AFTER" & number & ".DAT".
std::string AfterFileName(long number);

// BEFORE.DAT and AFTER*.DAT, and their companions BEFORE.WINE and AFTER*.WINE: the program's own records, which
// the scans never count as installed.
bool IsRecordFileName(std::string_view name);

// "*" & name & "*", "*NEW " & name & "*" and "*END " & name & "*".
std::string SectionHeader(std::string_view name);
std::string NewMarker(std::string_view name);
std::string EndMarker(std::string_view name);

// A drive letter line: exactly one character from "A" to "Z".
inline bool IsDriveLine(std::string_view line)
{
    return line.size() == 1 && line[0] >= 'A' && line[0] <= 'Z';
}

// A directory line: begins and ends with "\" (the root is "\").
inline bool IsDirectoryLine(std::string_view line)
{
    return !line.empty() && line.front() == '\\' && line.back() == '\\';
}

// One of the four start-up configuration files, with its safety copy and missing-line file beside it.
struct ConfigFile {
    std::string_view section;      // the name in the record's markers: "AUTOEXEC"
    std::string_view fileName;     // "AUTOEXEC.BAT"
    bool inWindowsDirectory;       // WinDir, or the root of the boot drive
    std::string_view safetyName;   // "AUTOEXEC.QRV"
    std::string_view missingName;  // "AUTOEXEC.MIS"
};

// In the order the records hold them.
inline constexpr std::array<ConfigFile, 4> kConfigFiles = {{
    {"AUTOEXEC", "AUTOEXEC.BAT", false, "AUTOEXEC.QRV", "AUTOEXEC.MIS"},
    {"CONFIG", "CONFIG.SYS", false, "CONFIG.QRV", "CONFIG.MIS"},
    {"WIN", "WIN.INI", true, "WIN.QRV", "WIN.MIS"},
    {"SYSTEM", "SYSTEM.INI", true, "SYSTEM.QRV", "SYSTEM.MIS"},
}};

// A configuration file on this machine, and where its safety copy and missing-line file go.
struct SystemFile {
    std::string path;         // "C:\AUTOEXEC.BAT"
    std::string section;      // "AUTOEXEC"
    std::string safetyCopy;   // "C:\AUTOEXEC.QRV"
    std::string missingFile;  // "C:\AUTOEXEC.MIS"
};

// Where the configuration files lie on this machine: the root of the boot drive ("C:") holds AUTOEXEC.BAT and
// CONFIG.SYS, the Windows directory ("C:\WINDOWS\", ending in "\") WIN.INI and SYSTEM.INI. The functions below
// read the views during the call only.
struct SystemFolders {
    std::string_view bootDrive;
    std::string_view winDir;
};

SystemFile SystemFileOf(SystemFolders folders, const ConfigFile& file);

// The Windows paths of a configuration file, its safety copy and its missing-line file: the boot drive & "\" or
// the Windows directory, then the name ("C:\AUTOEXEC.BAT", "C:\WINDOWS\WIN.QRV").
std::string ConfigFilePath(SystemFolders folders, const ConfigFile& file);
std::string SafetyCopyPath(SystemFolders folders, const ConfigFile& file);
std::string MissingFilePath(SystemFolders folders, const ConfigFile& file);

}  // namespace morvane
