#pragma once

#include "core/context.h"
#include "platform/printer.h"
#include "removal/select_after_file.h"
#include "report/report_window.h"

namespace morvane {

// Display Report: the user picks an installed program; ReportForm shows how many directories and files its
// installation added and whether each configuration file changed; Details lists a category and Print prints
// the listed one. Reads the AFTER file only, never changes a file.
void ShowReport(const Context& ctx, AfterFileList& list, ReportWindow& window, Printer& printer);

}  // namespace morvane
