#include "records/record_format.h"

namespace morvane {

namespace {

std::string Tagged(std::string_view prefix, std::string_view name)
{
    std::string text(prefix);
    text += name;
    text += '*';
    return text;
}

std::string InFolderOf(SystemFolders folders, const ConfigFile& file, std::string_view name)
{
    std::string path;
    if (file.inWindowsDirectory) {
        path = folders.winDir;
    } else {
        path = folders.bootDrive;
        path += '\\';
    }
    path += name;
    return path;
}

}  // namespace

std::string AfterFileName(long number)
{
    return "AFTER" + std::to_string(number) + ".DAT";
}

bool IsRecordFileName(std::string_view name)
{
    return name == kBeforeFileName || name == "BEFORE.WINE" ||
           (name.starts_with("AFTER") && (name.ends_with(".DAT") || name.ends_with(".WINE")));
}

std::string SectionHeader(std::string_view name)
{
    return Tagged("*", name);
}

std::string NewMarker(std::string_view name)
{
    return Tagged("*NEW ", name);
}

std::string EndMarker(std::string_view name)
{
    return Tagged("*END ", name);
}

std::string ConfigFilePath(SystemFolders folders, const ConfigFile& file)
{
    return InFolderOf(folders, file, file.fileName);
}

std::string SafetyCopyPath(SystemFolders folders, const ConfigFile& file)
{
    return InFolderOf(folders, file, file.safetyName);
}

std::string MissingFilePath(SystemFolders folders, const ConfigFile& file)
{
    return InFolderOf(folders, file, file.missingName);
}

SystemFile SystemFileOf(SystemFolders folders, const ConfigFile& file)
{
    return SystemFile{ConfigFilePath(folders, file), std::string(file.section), SafetyCopyPath(folders, file),
                      MissingFilePath(folders, file)};
}

}  // namespace morvane
