#include "maintenance/record_maintenance.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/helpers.h"
#include "core/wine_prefix.h"
#include "records/first_line.h"
#include "records/record_format.h"
#include "wine/companion.h"
#include "wine/prefix_state.h"

namespace morvane {

namespace {

void showError(const Context& ctx, Notice notice, const std::string& text)
{
    ctx.prompts.messageBox(notice, text, Buttons::Ok, Icon::Exclamation, "Error");
}

// The folder part of a path or pattern, up to and including its last separator.
std::string folderOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Deletes a file; a failure is reported with the file's name and the system's reason, and returned.
Status deleteReported(const Context& ctx, const std::string& path)
{
    const Status removed = ctx.fs.removeFile(path);
    if (removed) {
        return removed;
    }
    std::string text = "Unable to delete " + path;
    if (!removed.error().reason.empty()) {
        text += ": " + removed.error().reason;
    }
    text += ".";
    showError(ctx, Notice::FileNotDeleted, text);
    return removed;
}

// Deletes a record and then its companion, if it has one: a companion is of no use without its record.
Status deleteRecordReported(const Context& ctx, const std::string& path)
{
    const Status removed = deleteReported(ctx, path);
    if (!removed) {
        return removed;
    }
    const std::string companion = wine::CompanionOf(path);
    if (ctx.fs.attributes(companion, Lookup::Exact)) {
        return deleteReported(ctx, companion);
    }
    return removed;
}

CommandResult Ended(Outcome outcome, ErrorKind kind = ErrorKind::Other)
{
    CommandResult result;
    result.outcome = outcome;
    result.error = kind;
    return result;
}

CommandResult Deleted(const Status& removed)
{
    return removed ? Ended(Outcome::Done) : Ended(Outcome::Failed, removed.error().kind);
}

// Asks before the AFTER file at `path` is forgotten, then deletes it.
CommandResult ForgetAfterFile(const Context& ctx, const std::string& path)
{
    const std::string name = ProgramNameOr(ctx.fs, path, "*CORRUPTED AFTER FILE*");
    if (!AskYesNo(ctx.prompts, Notice::ConfirmAfterFileDeletion, "Delete AFTER file for " + name + "? Are you sure")) {
        return Ended(Outcome::Cancelled);
    }
    const CommandResult result = Deleted(deleteRecordReported(ctx, path));
    UpdateAfterPairs(ctx);
    return result;
}

constexpr const char* kSafetyWarning =
    "You are about to delete safety files used to reconstruct AUTOEXEC.BAT, CONFIG.SYS, WIN.INI, and SYSTEM.INI "
    "files after Morvane has modified them while deleting a program from your disk. You should do this only "
    "after you have verified that your computer, including Windows, is working properly after using Morvane. ";

}  // namespace

void DeleteAfterFile(const Context& ctx, AfterFileList& list)
{
    MainWindowHidden hidden(ctx.main);

    list.setPrompt("Select program to delete AFTER file for");
    AfterSelection selection;
    selection.ChosenEntry = 0;
    SelectAfterFile(ctx, list, selection);
    if (selection.nothingChosen()) {
        return;
    }

    // An entry whose number does not lead back to its own file (AFTER07.DAT gives AFTER7.DAT) is refused with
    // a message, so no other program's record is ever offered or deleted in its place.
    if (const std::optional<std::string> path = ChosenAfterFilePath(ctx, selection)) {
        (void)ForgetAfterFile(ctx, *path);
    }
}

CommandResult DeleteAfterFile(const Context& ctx, long number)
{
    MainWindowHidden hidden(ctx.main);
    return ForgetAfterFile(ctx, ctx.state.DataFolder + AfterFileName(number));
}

CommandResult DeleteBeforeFile(const Context& ctx)
{
    const std::string path = ctx.state.DataFolder + std::string(kBeforeFileName);
    const Result<Listing> found = ctx.fs.list(path, kNormal);
    if (!found && !IsAbsent(found.error())) {
        // A data folder that cannot be read may well hold a BEFORE file: the pairs are left as they are.
        showError(ctx, Notice::BeforeFolderUnreadable,
                  "Unable to read the folder " + ctx.state.DataFolder +
                      " for the BEFORE file: " + found.error().reason + ".");
        return Ended(Outcome::Failed, found.error().kind);
    }
    if (!found || found->names.empty()) {
        ctx.prompts.messageBox(Notice::NoBeforeFileToDelete, "No BEFORE file found.", Buttons::Ok, Icon::None, "Error");
        SetBeforePairs(ctx.main, false);
        return Ended(Outcome::Failed, ErrorKind::NotFound);
    }

    // An unreadable or empty BEFORE.DAT is still offered for deletion, under a name that says what it is.
    const std::string name = ProgramNameOr(ctx.fs, path, "*CORRUPTED BEFORE FILE*");
    if (!AskYesNo(ctx.prompts, Notice::ConfirmBeforeFileDeletion,
                  "Delete BEFORE file for " + name + "? Are you sure")) {
        return Ended(Outcome::Cancelled);
    }
    const CommandResult result = Deleted(deleteRecordReported(ctx, path));
    UpdateBeforePairs(ctx);
    return result;
}

CommandResult DeleteSafetyFiles(const Context& ctx)
{
    MainWindowHidden hidden(ctx.main);
    const State& s = ctx.state;

    // The patterns also find other names with these extensions; only the eight names below are deleted. A folder
    // that is not there holds none; one that cannot be read is reported, never taken for one without any.
    bool found = false;
    std::optional<Error> unreadable;
    for (const std::string& pattern :
         {s.BootDrive + "\\*.QRV", s.BootDrive + "\\*.MIS", s.WinDir + "*.QRV", s.WinDir + "*.MIS"}) {
        const Result<Listing> listing = ctx.fs.list(pattern, kNormal);
        if (listing) {
            found = found || !listing->names.empty();
        } else if (!IsAbsent(listing.error()) && !unreadable) {
            unreadable = listing.error();
            unreadable->path = folderOf(pattern);
        }
    }
    // The safety copies of a Wine prefix's registry files, made before Delete program changed them.
    std::vector<std::string> registryCopies;
    if (const std::string prefix = RecordedPrefix(ctx.fs); !prefix.empty()) {
        for (const wine::Hive hive : wine::kHives) {
            std::string copy = prefix + "/" + wine::SafetyCopyName(hive);
            if (ctx.fs.attributes(copy, Lookup::Exact)) {
                registryCopies.push_back(std::move(copy));
            }
        }
    }
    found = found || !registryCopies.empty();
    ctx.prompts.beep();
    if (unreadable) {
        showError(
            ctx, Notice::SafetyFolderUnreadable,
            "Unable to read the folder " + unreadable->path + " for safety backup files: " + unreadable->reason + ".");
    }
    CommandResult result = unreadable ? Ended(Outcome::Failed, unreadable->kind) : Ended(Outcome::Done);
    if (!found) {
        if (!unreadable) {
            ctx.prompts.messageBox(Notice::NoSafetyFiles, "No safety backup files found.", Buttons::Ok,
                                   Icon::Exclamation, "Error");
            result = Ended(Outcome::Failed, ErrorKind::NotFound);
        }
    } else if (AskYesNo(ctx.prompts, Notice::ConfirmSafetyFilesDeletion,
                        std::string(kSafetyWarning) + "\nProceed with file deletion")) {
        const SystemFolders folders{s.BootDrive, s.WinDir};
        for (const ConfigFile& config : kConfigFiles) {
            for (const std::string& file : {SafetyCopyPath(folders, config), MissingFilePath(folders, config)}) {
                if (!ctx.fs.exists(file)) {
                    continue;
                }
                if (const Status removed = deleteReported(ctx, file); !removed && result.done()) {
                    result = Ended(Outcome::Failed, removed.error().kind);
                }
            }
        }
        for (const std::string& copy : registryCopies) {
            if (const Status removed = deleteReported(ctx, copy); !removed && result.done()) {
                result = Ended(Outcome::Failed, removed.error().kind);
            }
        }
    } else {
        result = Ended(Outcome::Cancelled);
    }
    UpdateSafetyPair(ctx);
    return result;
}

}  // namespace morvane
