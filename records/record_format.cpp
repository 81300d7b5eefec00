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

std::string InFolderOf(const State& state, const ConfigFile& file, std::string_view name)
{
    std::string path = file.inWindowsDirectory ? state.WinDir : state.BootDrive + "\\";
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
    return name == kBeforeFileName || (name.starts_with("AFTER") && name.ends_with(".DAT"));
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

std::string ConfigFilePath(const State& state, const ConfigFile& file)
{
    return InFolderOf(state, file, file.fileName);
}

std::string SafetyCopyPath(const State& state, const ConfigFile& file)
{
    return InFolderOf(state, file, file.safetyName);
}

std::string MissingFilePath(const State& state, const ConfigFile& file)
{
    return InFolderOf(state, file, file.missingName);
}

SystemFile SystemFileOf(const State& state, const ConfigFile& file)
{
    return SystemFile{ConfigFilePath(state, file), std::string(file.section), SafetyCopyPath(state, file),
                      MissingFilePath(state, file)};
}

}  // namespace morvane
