#pragma once

#include <string>
#include <vector>

#include "wine/prefix_state.h"

namespace morvane {

// A run of Delete program that changes nothing (a dry run): every change the run would make is told here
// instead of being made. The questions are asked as in a real run, since the answers decide what is deleted
// and how the configuration files are restored.
class DeletionPlan {
public:
    virtual ~DeletionPlan() = default;
    virtual void removeFile(const std::string& path) = 0;       // a file or link, the AFTER file last of all
    virtual void removeDirectory(const std::string& path) = 0;  // a new directory, once its files are gone
    virtual void keepFile(const std::string& path) = 0;         // a file the user chose to keep
    // A safety copy, missing-line file or configuration file written with these lines.
    virtual void writeFile(const std::string& path, const std::vector<std::string>& lines) = 0;
    // A step that takes back the installation's changes to a Wine prefix's registry or desktop entries.
    virtual void prefixStep(const wine::RevertStep& step) { (void)step; }
};

}  // namespace morvane
