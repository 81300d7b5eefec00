#pragma once

#include <optional>
#include <string>

namespace morvane {

// Other programs of the desktop: the text editor and the web browser.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Asks the desktop to open a host file in its text editor. True when the desktop accepted the request
    // (the opener's exit status), false when nothing could be started.
    virtual bool openInEditor(const std::string& hostPath) = 0;

    // Asks the desktop to open a web address. Nothing on success, otherwise an error code for the message
    // (the opener's exit status, or the errno of a failed start).
    virtual std::optional<int> openUrl(const std::string& url) = 0;
};

}  // namespace morvane
