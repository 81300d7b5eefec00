#pragma once

#include "platform/desktop.h"

namespace morvane {

// Opens files and addresses through xdg-open and checks its exit status.
class QtDesktop : public Desktop {
public:
    bool openInEditor(const std::string& hostPath) override;
    std::optional<int> openUrl(const std::string& url) override;
};

}  // namespace morvane
