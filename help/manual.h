#pragma once

#include <string>

#include "core/context.h"
#include "platform/desktop.h"

namespace morvane {

// The window that shows the manual when no text editor can be started (DocDisplay on the Qt side).
class ManualWindow {
public:
    virtual ~ManualWindow() = default;
    // Puts the text into the window and shows it, not modal: the caller returns at once and the window stays
    // until it is closed.
    virtual void showManualText(const std::string& text) = 0;
};

// Opens the manual, DataFolder & "ZELK.TXT", in the desktop's text editor; when the desktop does not accept
// that, shows it in the window instead. Nothing is reported in either case.
void ShowManual(const Context& ctx, Desktop& desktop, ManualWindow& window);

// Reads the manual whole and shows it in the window. A manual that cannot be read shows nothing and reports
// nothing; an empty one gives an empty window.
void ShowManualInWindow(const Context& ctx, ManualWindow& window);

}  // namespace morvane
