#include "app/startup.h"

#include "core/helpers.h"

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

void InitFolders(const Context& ctx, const std::string& dataFolder, const std::string& shippedManual)
{
    InitDataFolder(ctx.state, ctx.fs, dataFolder);
    const std::string manual = ctx.state.DataFolder + "ZELK.TXT";
    if (!shippedManual.empty() && shippedManual != manual && !ctx.fs.exists(manual)) {
        const Status copied = ctx.fs.copyFile(shippedManual, manual);
        if (!copied) {
            ctx.prompts.messageBox("Unable to copy the manual to " + manual + ": " + copied.error().reason + ".",
                                   Buttons::Ok, Icon::Exclamation, "Error");
        }
    }
}

void MoveRecordsFromWinDir(const Context& ctx)
{
    const State& s = ctx.state;
    if (ctx.fs.exists(s.WinDir + "BEFORE.DAT")) {
        moveRecord(ctx, s.WinDir + "BEFORE.DAT", s.DataFolder + "BEFORE.DAT");
    }
    auto listing = ctx.fs.list(s.WinDir + "AFTER*.DAT", kNormal);
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
    if (!ctx.fs.exists(ctx.state.DataFolder + "BEFORE.DAT")) {
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
