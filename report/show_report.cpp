#include "report/show_report.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/wine_prefix.h"
#include "records/after_file_reader.h"
#include "report/list_system_file_changes.h"
#include "wine/companion.h"
#include "wine/registry.h"
#include "wine/registry_names.h"

namespace morvane {

namespace {

// A companion that cannot be read, as the message for the user: a damaged one says why itself.
Error CompanionError(Error error)
{
    error.reason = CompanionErrorText(error);
    return error;
}

struct Category {
    const char* listTitle;
    const char* printHeading;
};

// Indexed by ReportChoice 1..6, 9 and 10.
constexpr std::size_t kCategoryCount = 11;
constexpr std::array<Category, kCategoryCount> kCategories = {{
    {"", ""},
    {"Directories added", "Directories added by "},
    {"Files added", "Files added by "},
    {"AUTOEXEC.BAT changes", "Changes in AUTOEXEC.BAT made by "},
    {"CONFIG.SYS changes", "Changes in CONFIG.SYS made by "},
    {"WIN.INI changes", "Changes in WIN.INI made by "},
    {"SYSTEM.INI changes", "Changes in SYSTEM.INI made by "},
    {"", ""},
    {"", ""},
    {"Registry changes", "Registry changes made by "},
    {"Desktop entries added", "Desktop entries added by "},
}};
using CategoryEntries = std::array<std::vector<std::string>, kCategoryCount>;

bool IsListCategory(int choice)
{
    return (choice >= kReportDirectories && choice <= kReportSystem) || choice == kReportRegistry ||
           choice == kReportDesktop;
}

// The rows of a Wine prefix, filled from the record's companion; their entries are left in `entries`.
void FillPrefixRows(const wine::PrefixChanges& changes, ReportWindow& window, CategoryEntries& entries)
{
    entries[kReportRegistry] = RegistryChangeLines(changes);
    window.setResult(kReportRegistry, ReportResultText(!changes.registry.empty()), ResultColour::WindowText);
    window.setDetailsVisible(kReportRegistry, !changes.registry.empty());
    entries[kReportDesktop] = DesktopEntryLines(changes);
    window.setDesktopEntryCount(static_cast<long>(changes.desktop.size()));
    window.setDetailsVisible(kReportDesktop, !entries[kReportDesktop].empty());
    window.repaint();
}

// Reads the AFTER file into the window row by row. The entries of every category are left in `entries`.
Status FillReport(AfterFileReader& after, ReportWindow& window, CategoryEntries& entries)
{
    std::vector<std::string>& directories = entries[kReportDirectories];
    std::vector<std::string>& files = entries[kReportFiles];

    for (;;) {
        auto drive = after.readDrive();
        if (!drive) {
            return drive.error();
        }
        if (!drive->has_value()) {
            break;
        }
        const AfterDrive& section = **drive;
        for (const RecordPath& path : section.directories) {
            directories.push_back(path.onDrive(section.letter));
        }
        const auto numDirs = static_cast<long>(directories.size());
        window.setDirectoryCount(numDirs);
        if (numDirs > 0) {
            window.setDetailsVisible(kReportDirectories, true);
        }
        window.repaint();
        for (const RecordPath& path : section.files) {
            files.push_back(path.onDrive(section.letter));
        }
    }
    window.setFileCount(static_cast<long>(files.size()));
    if (!files.empty()) {
        window.setDetailsVisible(kReportFiles, true);
    }
    window.repaint();

    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        const int category = kReportAutoexec + static_cast<int>(k);
        if (k > 0) {
            const Status header = after.skipHeader(kConfigFiles[k].section);
            if (!header) {
                return header;
            }
        }
        window.setResult(category, "Working. Please wait.", ResultColour::Working);
        window.repaint();

        bool changed = false;
        std::vector<std::string> listing(1);
        const Status read = ListSystemFileChanges(after, kConfigFiles[k].section, changed, listing);
        if (!read) {
            return read;
        }
        if (changed) {
            window.setDetailsVisible(category, true);
        }
        window.setResult(category, ReportResultText(changed), ResultColour::WindowText);
        window.repaint();
        entries[category] = std::move(listing);
    }
    return {};
}

}  // namespace

void ShowReport(const Context& ctx, AfterFileList& list, ReportWindow& window, Printer& printer)
{
    list.setPrompt("Select installed program to report on");
    AfterSelection selection;
    selection.ChosenEntry = 0;
    SelectAfterFile(ctx, list, selection);

    MainWindowHidden hidden(ctx.main);
    if (selection.nothingChosen()) {
        return;
    }
    const std::optional<std::string> path = ChosenAfterFilePath(ctx, selection);
    if (!path) {
        return;
    }

    CategoryEntries entries;
    {
        auto opened = AfterFileReader::open(ctx.fs, *path);
        if (!opened) {
            ReportAfterFileError(ctx.prompts, Notice::ReportRecordUnreadable, opened.error());
            return;
        }
        AfterFileReader& after = **opened;
        auto programName = after.readProgramName();
        if (!programName) {
            ReportAfterFileError(ctx.prompts, Notice::ReportRecordUnreadable, programName.error());
            return;
        }
        ctx.state.ProgramName = *programName;
        // The companion is read whole before the window shows, which then has the rows of the prefix from the
        // start; one that cannot be read is reported as a record that cannot be.
        auto prefix = wine::ReadCompanionOfAfterFile(ctx.fs, *path);
        if (!prefix) {
            ReportAfterFileError(ctx.prompts, Notice::ReportRecordUnreadable, CompanionError(prefix.error()));
            return;
        }

        window.setCaption(ReportCaption(ctx.state.ProgramName));
        window.setPrefixRowsVisible(prefix->has_value());
        window.show();
        const Status filled = FillReport(after, window, entries);
        if (!filled) {
            // The half-filled report goes away before the message: nothing waits for it any more.
            window.close();
            ReportAfterFileError(ctx.prompts, Notice::ReportRecordUnreadable, filled.error());
            return;
        }
        if (*prefix) {
            FillPrefixRows(**prefix, window, entries);
        }
    }  // the AFTER file is closed here, before the user is waited for

    int shown = 0;
    for (;;) {
        const short choice = window.waitForChoice();
        if (IsListCategory(choice)) {
            shown = choice;
            window.setPrintEnabled(true);
            window.setListTitle(kCategories[choice].listTitle);
            window.setList(entries[choice]);
        } else if (choice == kReportPrint) {
            if (shown == 0) {
                continue;
            }
            std::vector<std::string> lines;
            lines.reserve(entries[shown].size() + 2);
            lines.push_back(kCategories[shown].printHeading + ctx.state.ProgramName + ":");
            lines.emplace_back();
            lines.insert(lines.end(), entries[shown].begin(), entries[shown].end());
            printer.printLines(lines);
        } else {
            // Ok, a close from the frame, or anything unknown ends the report.
            window.close();
            return;
        }
    }
}

Result<ProgramReport> ReadProgramReport(const FileSystem& fs, const std::string& afterPath)
{
    auto record = ReadAfterRecord(fs, afterPath);
    if (!record) {
        return record.error();
    }
    ProgramReport report;
    report.programName = record->programName;
    for (const AfterDrive& drive : record->drives) {
        for (const RecordPath& path : drive.directories) {
            report.directories.push_back(path.onDrive(drive.letter));
        }
    }
    for (const AfterDrive& drive : record->drives) {
        for (const RecordPath& path : drive.files) {
            report.files.push_back(path.onDrive(drive.letter));
        }
    }
    for (std::size_t k = 0; k < report.configuration.size(); ++k) {
        const ConfigSection& section = record->sections[k];
        report.configuration[k].changed = section.changed;
        if (section.changed) {
            report.configuration[k].lines = AddedAndRemovedLines(section.oldLines, section.newLines);
        }
    }
    auto companion = wine::ReadCompanionOfAfterFile(fs, afterPath);
    if (!companion) {
        return CompanionError(companion.error());
    }
    report.prefix = std::move(*companion);
    return report;
}

std::string RegistryDataText(const wine::RecordedData& data)
{
    using namespace wine;
    RegistryValue value;
    value.type = data.type;
    value.data = data.data;
    const auto units = value.units();
    const auto quoted = [](std::u16string_view text) {
        std::string out = "\"";
        for (const char c : Utf8FromUtf16(text)) {
            if (c == '"' || c == '\\') {
                out += '\\';
            }
            out += c;
        }
        return out + "\"";
    };
    switch (data.type) {
    case kRegSz:
    case kRegExpandSz:
        // Text ends in its NUL, which units() leaves out; data without one is shown as bytes, as Wine writes it.
        if (units && data.data.size() >= 2 && data.data.ends_with(std::string_view("\0\0", 2))) {
            return (data.type == kRegExpandSz ? "expandable " : "") + quoted(*units);
        }
        break;
    case kRegMultiSz:
        if (units) {
            std::string out = "list (";
            std::u16string_view rest(*units);
            bool first = true;
            while (!rest.empty() && rest.front() != u'\0') {
                const std::size_t end = std::min(rest.find(u'\0'), rest.size());
                out += (first ? "" : ", ") + quoted(rest.substr(0, end));
                first = false;
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
            return out + ")";
        }
        break;
    case kRegDword:
        if (data.data.size() == 4) {
            std::uint32_t n = 0;
            for (int i = 3; i >= 0; --i) {
                n = (n << 8) | static_cast<unsigned char>(data.data[static_cast<std::size_t>(i)]);
            }
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08x", n);
            return std::string("number ") + hex + " (" + std::to_string(n) + ")";
        }
        break;
    default: break;
    }
    std::string out = "type " + std::to_string(data.type) + " bytes";
    static const char* const kDigits = "0123456789abcdef";
    for (const char c : data.data) {
        const auto b = static_cast<unsigned char>(c);
        out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return data.data.empty() ? out + " (none)" : out;
}

std::vector<std::string> RegistryChangeLines(const wine::PrefixChanges& changes)
{
    using Kind = wine::RegistryChange::Kind;
    std::vector<std::string> lines;
    for (const wine::RegistryChange& change : changes.registry) {
        switch (change.kind) {
        case Kind::KeyAdded: lines.push_back("Key added: " + RegistryKeyName(change.hive, change.key)); break;
        case Kind::KeyDeleted: lines.push_back("Key deleted: " + RegistryKeyName(change.hive, change.key)); break;
        case Kind::ValueAdded:
            lines.push_back("Value added: " + RegistryValueName(change.hive, change.key, change.value) + " = " +
                            (change.after ? RegistryDataText(*change.after) : std::string()));
            break;
        case Kind::ValueChanged:
            lines.push_back("Value changed: " + RegistryValueName(change.hive, change.key, change.value) + ": " +
                            (change.before ? RegistryDataText(*change.before) : std::string()) + " -> " +
                            (change.after ? RegistryDataText(*change.after) : std::string()));
            break;
        case Kind::ValueDeleted:
            lines.push_back("Value deleted: " + RegistryValueName(change.hive, change.key, change.value) + " = " +
                            (change.before ? RegistryDataText(*change.before) : std::string()));
            break;
        }
    }
    return lines;
}

std::string ReportCaption(const std::string& programName)
{
    return "Changes for " + programName;
}

std::string ReportCountLabel(int category)
{
    return category == kReportDirectories ? "Directories added:" : "Files Added:";
}

std::string ReportResultText(bool changed)
{
    return changed ? "Yes" : "No";
}

std::string ReportListTitle(int category)
{
    return IsListCategory(category) ? kCategories[static_cast<std::size_t>(category)].listTitle : "";
}

std::vector<std::string> DesktopEntryLines(const wine::PrefixChanges& changes)
{
    std::vector<std::string> lines;
    for (const wine::DesktopEntry& entry : changes.desktop) {
        lines.push_back(entry.path);
    }
    for (const std::string& folder : changes.desktopFolders) {
        lines.push_back(folder.ends_with('/') ? folder : folder + "/");
    }
    return lines;
}

}  // namespace morvane
