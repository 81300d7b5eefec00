#include "app/startup.h"

#include <string>
#include <vector>

#include "core/helpers.h"
#include "records/record_format.h"

namespace morvane {

namespace {

// Copies then deletes; the source goes only once its copy is complete.
void moveRecord(const Context& ctx, const std::string& from, const std::string& to)
{
    Status status = ctx.fs.copyFile(from, to);
    if (status) {
        status = ctx.fs.removeFile(from);
    }
    if (!status) {
        ctx.prompts.messageBox("Unable to move " + from + " to " + to + ": " + status.error().reason + ".",
                               Buttons::Ok, Icon::Exclamation, "Error");
    }
}

}  // namespace

void InitFolders(const Context& ctx, const std::string& dataFolder, const std::string& shippedManual,
                 std::string_view embeddedManual)
{
    InitDataFolder(ctx.state, ctx.fs, dataFolder);
    const std::string manual = ctx.state.DataFolder + "ZELK.TXT";
    if (ctx.fs.exists(manual)) {
        return;
    }
    Status written;
    if (!shippedManual.empty()) {
        if (shippedManual == manual) {
            return;
        }
        written = ctx.fs.copyFile(shippedManual, manual);
    } else if (!embeddedManual.empty()) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < embeddedManual.size()) {
            std::size_t end = embeddedManual.find('\n', start);
            if (end == std::string_view::npos) {
                end = embeddedManual.size();
            }
            std::string_view line = embeddedManual.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            lines.emplace_back(line);
            start = end + 1;
        }
        written = ctx.fs.writeLinesAtomic(manual, lines);
    }
    if (!written) {
        ctx.prompts.messageBox("Unable to copy the manual to " + manual + ": " + written.error().reason + ".",
                               Buttons::Ok, Icon::Exclamation, "Error");
    }
}

void MoveRecordsFromWinDir(const Context& ctx)
{
    const State& s = ctx.state;
    const std::string before(kBeforeFileName);
    if (ctx.fs.exists(s.WinDir + before)) {
        moveRecord(ctx, s.WinDir + before, s.DataFolder + before);
    }
    auto listing = ctx.fs.list(s.WinDir + std::string(kAfterFilePattern), kNormal);
    if (!listing) {
        return;  // no Windows directory, or none to read: nothing to move
    }
    for (const std::string& name : listing->names) {
        if (ReadLeadingNumber(std::string_view(name).substr(5)) > 0) {
            moveRecord(ctx, s.WinDir + name, s.DataFolder + name);
        }
    }
}

void OfferPendingAfterFile(const Context& ctx, const std::function<void()>& createAfterFile)
{
    if (!ctx.fs.exists(ctx.state.DataFolder + std::string(kBeforeFileName))) {
        return;
    }
    const Answer answer = ctx.prompts.messageBox(
        "Warning. You have not yet created the AFTER file for the most recent BEFORE file. Create this AFTER "
        "file now?",
        Buttons::YesNo, Icon::Exclamation, kAppTitle);
    if (answer == Answer::Yes) {
        createAfterFile();
    }
}

}  // namespace morvane
