#include "help/manual.h"

namespace morvane {

namespace {

// The host path of the manual. The layer finds the file in whatever letter case it has on disk (zelk.txt
// serves as well as ZELK.TXT).
std::string manualPath(const Context& ctx)
{
    const std::string path = ctx.state.DataFolder + "ZELK.TXT";
    auto host = ctx.fs.toHost(path);
    return host ? host.value() : path;
}

}  // namespace

void ShowManual(const Context& ctx, Desktop& desktop, ManualWindow& window)
{
    if (!desktop.openInEditor(manualPath(ctx))) {
        ShowManualInWindow(ctx, window);
    }
}

void ShowManualInWindow(const Context& ctx, ManualWindow& window)
{
    auto lines = ctx.fs.readLines(manualPath(ctx));
    if (!lines) {
        return;
    }
    std::string text;
    // The lines go back together with plain line feeds, the line breaks the text box knows.
    for (std::size_t i = 0; i < lines->size(); ++i) {
        if (i > 0) {
            text += '\n';
        }
        text += (*lines)[i];
    }
    window.showManualText(text);
}

}  // namespace morvane
