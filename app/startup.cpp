#include "app/startup.h"

#include <string>
#include <vector>

#include "core/helpers.h"
#include "records/record_format.h"
#include "wine/companion.h"

namespace morvane {

namespace {

// Copies then deletes; the source goes only once its copy is complete. A companion beside the record (BEFORE.WINE,
// AFTER<n>.WINE) goes with it, first, so that a record never arrives without it.
void moveRecord(const Context& ctx, const std::string& from, const std::string& to)
{
    Status status;
    const std::string companion = wine::CompanionOf(from);
    if (ctx.fs.attributes(companion, Lookup::Exact)) {
        status = ctx.fs.copyFile(companion, wine::CompanionOf(to));
        if (status) {
            status = ctx.fs.removeFile(companion);
        }
    }
    if (status) {
        status = ctx.fs.copyFile(from, to);
    }
    if (status) {
        status = ctx.fs.removeFile(from);
    }
    if (!status) {
        ctx.prompts.messageBox(Notice::RecordNotMoved,
                               "Unable to move " + from + " to " + to + ": " + status.error().reason + ".", Buttons::Ok,
                               Icon::Exclamation, "Error");
    }
}

// The host path of a Windows or host path with doubled separators removed, to tell whether two paths name
// the same file; empty when it cannot be translated.
std::string hostPathOf(const FileSystem& fs, const std::string& path)
{
    auto host = fs.toHost(path);
    if (!host) {
        return std::string();
    }
    std::string out;
    for (const char c : *host) {
        if (c != '/' || out.empty() || out.back() != '/') {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string DrivesUnreadableText(const Error& error)
{
    return "Unable to read the drives of the Wine prefix: " + error.describe() + ".";
}

std::string DataFolderUnusableText(const Error& error)
{
    return "Unable to use the data folder: " + error.describe() + ".";
}

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
        ctx.prompts.messageBox(Notice::ManualNotCopied,
                               "Unable to copy the manual to " + manual + ": " + written.error().reason + ".",
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
        if (ReadLeadingNumber(std::string_view(name).substr(5)) <= 0) {
            continue;
        }
        // An AFTER file of that name in the data folder is another program's record (any file there of that
        // name, hidden or not): moving would replace it, so the old one stays where it is.
        const std::string target = s.DataFolder + name;
        const std::string source = s.WinDir + name;
        if (ctx.fs.attributes(target) && hostPathOf(ctx.fs, target) != hostPathOf(ctx.fs, source)) {
            ctx.prompts.messageBox(Notice::RecordLeftInPlace,
                                   source + " has been left where it is: " + target +
                                       " already exists, and moving it would replace that record. Rename one of "
                                       "the two files to keep both.",
                                   Buttons::Ok, Icon::Exclamation, "Error");
            continue;
        }
        moveRecord(ctx, source, target);
    }
}

void RemoveOrphanCompanions(const Context& ctx)
{
    auto listing = ctx.fs.list(ctx.state.DataFolder + "*.WINE", kNormal | kHidden | kSystem);
    if (!listing) {
        return;
    }
    for (const std::string& name : listing->names) {
        if (!IsRecordFileName(name) || !name.ends_with(".WINE")) {
            continue;
        }
        const std::string record = name.substr(0, name.size() - 5) + ".DAT";
        const auto found = ctx.fs.attributes(ctx.state.DataFolder + record, Lookup::Exact);
        if (!found && found.error().kind == ErrorKind::NotFound) {
            (void)ctx.fs.removeFile(ctx.state.DataFolder + name, Lookup::Exact);
        }
    }
}

void OfferPendingAfterFile(const Context& ctx, const std::function<void()>& createAfterFile)
{
    if (!ctx.fs.exists(ctx.state.DataFolder + std::string(kBeforeFileName))) {
        return;
    }
    const Answer answer = ctx.prompts.messageBox(
        Notice::PendingAfterFile,
        "Warning. You have not yet created the AFTER file for the most recent BEFORE file. Create this AFTER "
        "file now?",
        Buttons::YesNo, Icon::Exclamation, kAppTitle);
    if (answer == Answer::Yes) {
        createAfterFile();
    }
}

}  // namespace morvane
