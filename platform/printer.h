#pragma once

#include <string>
#include <vector>

namespace morvane {

// Prints lines of text on the default printer as one document. Printing errors are not reported: the callers
// ignore them, so the interface has no result.
class Printer {
public:
    virtual ~Printer() = default;
    virtual void printLines(const std::vector<std::string>& lines) = 0;
};

}  // namespace morvane
