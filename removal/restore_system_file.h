#pragma once

#include <string>

#include "core/context.h"
#include "records/after_file_reader.h"
#include "records/record_format.h"

namespace morvane {

// The window Form4 as the restoration sees it.
class RestoreOptions {
public:
    virtual ~RestoreOptions() = default;
    // Fills the caption and Label1..Label5, shows the window, waits until Ok, hides it and returns
    // DialogChoice: 1, 2 or 3. The option selected stays selected for the next showing.
    virtual int ShowRestoreOptions(const std::string& path, const std::string& programName, bool linesMissing) = 0;
};

// Restores one configuration file from its section of the AFTER file.
void RestoreSystemFile(const Context& ctx, RestoreOptions& form4, const ConfigSection& section,
                       const SystemFile& file);

}  // namespace morvane
