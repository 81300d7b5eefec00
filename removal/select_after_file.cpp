#include "removal/select_after_file.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "core/helpers.h"
#include "platform/letter_case.h"
#include "records/first_line.h"
#include "records/record_format.h"
#include "wine/companion.h"

namespace morvane {

namespace {

void ShowError(Prompts& prompts, Notice notice, const std::string& text)
{
    prompts.messageBox(notice, text, Buttons::Ok, Icon::Exclamation, "Error");
}

}  // namespace

void SelectAfterFile(const Context& ctx, AfterFileList& window, AfterSelection& selection)
{
    FileSystem& fs = ctx.fs;
    const std::string pattern = ctx.state.DataFolder + std::string(kAfterFilePattern);
    // Files left out of every later pass, or the selection would report the same file for ever: corrupted
    // files that could not be deleted or are kept by a dry run, and files that cannot be opened or read.
    std::set<std::string> leftOut;

    for (;;) {
        auto listing = fs.list(pattern, kNormal);
        if (!listing) {
            // A data folder that cannot be read is not the same as one without records.
            selection.AfterCount = 0;
            ShowError(ctx.prompts, Notice::AfterFolderUnreadable,
                      "Unable to read the folder " + ctx.state.DataFolder +
                          " for AFTER files: " + listing.error().reason + ".");
            return;
        }
        std::vector<std::string> names;
        for (const std::string& name : listing->names) {
            if (!leftOut.contains(name)) {
                names.push_back(name);
            }
        }

        selection.AfterCount = static_cast<long>(names.size());
        if (selection.AfterCount == 0) {
            ctx.prompts.beep();
            ShowError(ctx.prompts, Notice::NoAfterFiles, "No AFTER files found.");
            return;
        }

        const std::size_t slots = names.size() + 2;
        selection.AfterNames.assign(slots, std::string());
        selection.AfterNumbers.assign(slots, 0);
        selection.AfterFileNames.assign(slots, std::string());
        selection.AfterNames[0] = pattern;
        for (std::size_t i = 0; i < names.size(); ++i) {
            selection.AfterNames[i + 1] = names[i];
            selection.AfterFileNames[i + 1] = names[i];
        }

        bool startAgain = false;
        for (std::size_t i = 1; i <= names.size(); ++i) {
            const std::string& fileName = selection.AfterFileNames[i];
            selection.AfterNumbers[i] = ReadLeadingNumber(std::string_view(fileName).substr(5));

            const std::string path = ctx.state.DataFolder + fileName;
            auto programName = ReadFirstLine(fs, path);
            if (!programName) {
                // No permission, an I/O error: the file may well be a good record, so it is kept.
                leftOut.insert(fileName);
                ShowError(ctx.prompts, Notice::UnreadableRecordLeftOut,
                          "The AFTER file " + fileName + " cannot be read: " + programName.error().reason +
                              ". It has been kept, and it is left out of this list.");
                startAgain = true;
                break;
            }
            if (!programName->has_value() && selection.LeaveCorrupted) {
                ctx.prompts.messageBox(
                    Notice::CorruptedRecordLeftOut,
                    "The AFTER file " + fileName + " appears to be corrupted. It is left out and kept as it is.",
                    Buttons::Ok, Icon::Exclamation, "ATTENTION");
                leftOut.insert(fileName);
                startAgain = true;
                break;
            }
            if (!programName->has_value()) {
                ctx.prompts.messageBox(Notice::CorruptedRecordDeleted,
                                       "The AFTER file " + fileName +
                                           " appears to be corrupted. It is useless and is interferring with ZELK "
                                           "operations. It will now be deleted.",
                                       Buttons::Ok, Icon::Exclamation, "ATTENTION");
                const Status removed = fs.removeFile(path);
                if (removed) {
                    (void)fs.removeFile(wine::CompanionOf(path));  // of no use without its record
                }
                if (!removed) {
                    leftOut.insert(fileName);
                    ShowError(ctx.prompts, Notice::CorruptedRecordNotDeleted,
                              "The AFTER file " + path + " could not be deleted: " + removed.error().reason + ".");
                }
                startAgain = true;
                break;
            }
            selection.AfterNames[i] = **programName;
        }
        if (startAgain) {
            continue;
        }

        selection.ChosenEntry = window.ChooseFrom(selection);
        return;
    }
}

std::optional<std::string> ChosenAfterFilePath(const Context& ctx, const AfterSelection& selection)
{
    const long position = selection.ChosenEntry + 1;
    if (selection.nothingChosen() || position < 1 || position > selection.AfterCount ||
        static_cast<std::size_t>(position) >= selection.AfterNumbers.size()) {
        return std::nullopt;
    }
    const std::string listedName = static_cast<std::size_t>(position) < selection.AfterFileNames.size()
                                       ? selection.AfterFileNames[position]
                                       : std::string();
    const std::string builtName = AfterFileName(selection.AfterNumbers[position]);

    // The number must lead back to the file that was listed; otherwise it would open another program's record.
    // The letter case of the listed name is kept, so after2.dat opens after2.dat and not an AFTER2.DAT beside it.
    if (!EqualsIgnoringCase(builtName, listedName)) {
        ShowError(
            ctx.prompts, Notice::RecordNameWithoutNumber,
            "The record " + listedName + " cannot be opened: its name does not carry the number of an AFTER file.");
        return std::nullopt;
    }
    const std::string path = ctx.state.DataFolder + listedName;
    auto listing = ctx.fs.list(path, kNormal);
    if (!listing || listing->names.empty()) {
        const std::string reason = listing ? std::string("No such file or directory") : listing.error().reason;
        ShowError(ctx.prompts, Notice::ChosenRecordUnreadable,
                  "Unable to read the AFTER file " + path + ": " + reason + ".");
        return std::nullopt;
    }
    return path;
}

}  // namespace morvane
