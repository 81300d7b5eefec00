#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/context.h"
#include "platform/printer.h"
#include "removal/select_after_file.h"
#include "report/list_system_file_changes.h"
#include "report/report_window.h"

namespace morvane {

// Display Report: the user picks an installed program; ReportForm shows how many directories and files its
// installation added and whether each configuration file changed; Details lists a category and Print prints
// the listed one. Reads the AFTER file only, never changes a file.
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
};

// Reads a whole AFTER file into the report's values, through the same reader as Delete program. A record that
// cannot be read or is damaged is an error whose reason is the message for the user.
Result<ProgramReport> ReadProgramReport(const FileSystem& fs, const std::string& afterPath);

// The report window's caption for a program ("Changes for <name>"), and the title of the list of one of its
// categories, kReportDirectories to kReportSystem ("Directories added", "WIN.INI changes").
std::string ReportCaption(const std::string& programName);
// The report window's labels before its two counts: "Directories added:" (kReportDirectories) and "Files Added:"
// (kReportFiles).
std::string ReportCountLabel(int category);
// Whether a configuration file changed, as the window's result for it says it: "Yes" or "No".
std::string ReportResultText(bool changed);
std::string ReportListTitle(int category);

}  // namespace morvane
