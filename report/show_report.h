#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/context.h"
#include "platform/printer.h"
#include "removal/select_after_file.h"
#include "report/list_system_file_changes.h"
#include "report/report_window.h"
#include "wine/prefix_changes.h"

namespace morvane {

// Display Report: the user picks an installed program; ReportForm shows how many directories and files its
// installation added and whether each configuration file changed, and for a record made in a Wine prefix (one
// with a companion) whether the registry changed and how many desktop entries were added; Details lists a
// category and Print prints the listed one. Reads the AFTER file and its companion only, never changes a file.
void ShowReport(const Context& ctx, AfterFileList& list, ReportWindow& window, Printer& printer);

// What the report shows of one record, as values.
struct ConfigurationReport {
    bool changed = false;
    LineChanges lines;  // the lines the installation added and removed
};
struct ProgramReport {
    std::string programName;
    std::vector<std::string> directories;  // the new directories, Windows paths with their drive ("C:\APP\")
    std::vector<std::string> files;        // the new files in older directories
    std::array<ConfigurationReport, 4> configuration;  // in the order of kConfigFiles
    // What the installation changed in a Wine prefix's registry and desktop entries, from the record's companion;
    // nothing for a record without one.
    std::optional<wine::PrefixChanges> prefix;
};

// Reads a whole AFTER file and its companion into the report's values, through the same readers as Delete
// program. A record or companion that cannot be read or is damaged is an error whose reason is the message for the
// user.
Result<ProgramReport> ReadProgramReport(const FileSystem& fs, const std::string& afterPath);

// The report window's caption for a program ("Changes for <name>"), and the title of the list of one of its
// categories, kReportDirectories to kReportSystem, kReportRegistry and kReportDesktop ("Directories added",
// "WIN.INI changes", "Registry changes").
std::string ReportCaption(const std::string& programName);
// The report window's labels before its two counts: "Directories added:" (kReportDirectories) and "Files Added:"
// (kReportFiles).
std::string ReportCountLabel(int category);
// Whether a configuration file changed, as the window's result for it says it: "Yes" or "No".
std::string ReportResultText(bool changed);
std::string ReportListTitle(int category);

// The registry changes as the report lists them, one line each: what happened, the hive's full name and the key,
// the value's name, and its old and new type and data ("Value changed: HKEY_CURRENT_USER\Software\App \"Lang\":
// \"en\" -> \"de\"").
std::vector<std::string> RegistryChangeLines(const wine::PrefixChanges& changes);
// A value's type and data as the report shows them: strings in quotes, numbers in hex and decimal, bytes in hex.
std::string RegistryDataText(const wine::RecordedData& data);
// The desktop entries as the report lists them: each entry's host path, then each folder added for them, with a
// '/' at its end.
std::vector<std::string> DesktopEntryLines(const wine::PrefixChanges& changes);

}  // namespace morvane
