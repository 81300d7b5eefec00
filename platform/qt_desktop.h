#pragma once

#include "platform/desktop.h"

namespace morvane {

// Opens files and addresses through xdg-open and checks its exit status.
//
// On a desktop xdg-open hands the file to the desktop's opener and exits at once. Without one it may run the
// program itself (an editor in a terminal) and exit only when that ends: an xdg-open still running after
// `answerMs` has started the program, and counts as accepted.
class QtDesktop : public Desktop {
public:
    explicit QtDesktop(int answerMs = 3000) : m_answerMs(answerMs) {}
    bool openInEditor(const std::string& hostPath) override;
    std::optional<int> openUrl(const std::string& url) override;

private:
    int run(const std::string& target) const;

    int m_answerMs;
};

}  // namespace morvane
