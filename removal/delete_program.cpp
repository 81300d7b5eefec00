#include "removal/delete_program.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/helpers.h"
#include "core/wine_prefix.h"
#include "records/after_file_reader.h"
#include "wine/companion.h"
#include "wine/prefix_state.h"
#include "wine/registry_reader.h"
#include "wine/wineserver.h"

namespace morvane {

namespace {

constexpr const char* kProblemTitle = "We got a problem!";
constexpr const char* kNothingDeleted = " Nothing has been deleted; the AFTER file is kept.";

void ShowError(const Context& ctx, Notice notice, const std::string& text)
{
    ctx.prompts.messageBox(notice, text, Buttons::Ok, Icon::Exclamation, "Error");
}

// An error that says the recorded entry is not there (any more): removed meanwhile, a file where a folder was,
// or another file system mounted where it was, which is not part of the drive.
bool IsGone(const Error& error)
{
    return error.kind == ErrorKind::NotFound || error.kind == ErrorKind::NotDirectory ||
           error.kind == ErrorKind::OtherFileSystem;
}

// The first recorded path whose folders now pass through a symbolic link: following the record there would act
// outside the recorded tree. The message names the AFTER file and the line.
std::optional<std::string> PathThroughLink(const FileSystem& fs, const AfterRecord& record, const std::string& path)
{
    long line = 2;  // the first drive letter line
    for (std::size_t d = 0; d < record.drives.size(); ++d) {
        const AfterDrive& drive = record.drives[d];
        line += d > 0 ? 1 : 0;
        for (const auto* entries : {&drive.directories, &drive.files}) {
            for (const RecordPath& entry : *entries) {
                ++line;
                auto host = fs.toHost(entry.entryOnDrive(drive.letter), Lookup::Exact);
                if (!host && host.error().kind == ErrorKind::ThroughLink) {
                    return "The AFTER file " + path + " cannot be used: line " + std::to_string(line) + " \"" +
                           entry.text() + "\" now leads through a symbolic link on drive " + drive.letter + ":.";
                }
            }
        }
    }
    return std::nullopt;
}

// The closing message of a run that left configuration files unrestored: which files, and that the record stays
// so that a second run can offer them again.
std::string NotRestoredText(const std::vector<std::string>& files, const std::string& afterFile)
{
    std::string names;
    for (std::size_t k = 0; k < files.size(); ++k) {
        names += (k == 0 ? "" : k + 1 == files.size() ? " and " : ", ") + files[k];
    }
    return "Not restored: " + names + ". The AFTER file " + afterFile +
           " is kept, because it holds the lines from before the installation. Run Delete program again once " +
           (files.size() == 1 ? "the file can" : "the files can") + " be restored.";
}

// Why the registry files of the prefix cannot be taken back as the companion recorded them: one that is now a
// link, cannot be read or is not in Wine's format, or is for another architecture. Nothing when all can.
std::optional<std::string> PrefixFilesUnusable(const FileSystem& fs, const wine::PrefixChanges& changes)
{
    for (const wine::Hive hive : wine::kHives) {
        const std::string& arch = changes.arch[static_cast<int>(hive)];
        if (arch.empty()) {
            continue;  // the file was not there after the installation
        }
        const std::string path = changes.prefix + "/" + wine::HiveFileName(hive);
        const auto attributes = fs.attributes(path, Lookup::Exact);
        if (attributes && (*attributes & kLink) != 0) {
            return "The registry file " + path + " is a symbolic link, so it has not been read.";
        }
        const auto registry = wine::ReadRegistryFile(fs, path);
        if (!registry) {
            return registry.error().kind == ErrorKind::Damaged
                       ? "The registry file " + path + " is not one Wine can read: " + registry.error().reason + "."
                       : "Unable to read the registry file " + registry.error().describe() + ".";
        }
        if (registry->arch() != arch) {
            return "The registry file " + path + " is for \"#arch=" + registry->arch() +
                   "\", but the installation was recorded in one for \"#arch=" + arch + "\".";
        }
    }
    return std::nullopt;
}

// The closing message of a run that left some of a prefix's changes in place.
std::string NotRevertedText(const std::vector<std::string>& steps, const std::string& afterFile)
{
    std::string text = "Not taken back in the Wine prefix:";
    for (const std::string& step : steps) {
        text += "\n  " + step;
    }
    return text + "\nThe AFTER file " + afterFile +
           " and its companion are kept. Run Delete program again to try again.";
}

class ProgramDeletion {
public:
    ProgramDeletion(const Context& ctx, RestoreOptions& form4, DeletionPlan* plan)
        : m_ctx(ctx), m_form4(form4), m_plan(plan)
    {}

    // Steps through the record; false when the user cancelled at a drive that cannot be written to.
    bool run(const AfterRecord& record);
    // The configuration files whose restoration was refused or failed.
    const std::vector<std::string>& notRestored() const { return m_notRestored; }

private:
    bool waitUntilWritable(char letter);
    void deleteDirectory(char letter, const RecordPath& directory);
    void planDirectory(char letter, const RecordPath& directory);
    // Deletes one file of a new directory; false when the user gave up on the directory.
    bool deleteNewFile(char letter, const RecordPath& directory, const std::string& path);
    void deleteOldFile(char letter, const RecordPath& file);
    Answer problem(int number, char letter, const RecordPath& directory, const std::string& name);
    void directoryProblem(const std::string& path);

    const Context& m_ctx;
    RestoreOptions& m_form4;
    DeletionPlan* m_plan;
    bool m_asked = false;
    bool m_confirmEach = false;
    std::vector<std::string> m_notRestored;
};

bool ProgramDeletion::run(const AfterRecord& record)
{
    for (const AfterDrive& drive : record.drives) {
        // A dry run writes nothing, not even the drive test's scratch file.
        if (!m_plan && !waitUntilWritable(drive.letter)) {
            return false;
        }
        for (const RecordPath& directory : drive.directories) {
            deleteDirectory(drive.letter, directory);
        }
        for (const RecordPath& file : drive.files) {
            deleteOldFile(drive.letter, file);
        }
    }
    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        const SystemFile file = SystemFileOf({m_ctx.state.BootDrive, m_ctx.state.WinDir}, kConfigFiles[k]);
        if (RestoreSystemFile(m_ctx, m_form4, record.sections[k], file, m_plan) == Restoration::Failed) {
            m_notRestored.push_back(file.path);
        }
    }
    return true;
}

bool ProgramDeletion::waitUntilWritable(char letter)
{
    while (!DriveWritable(m_ctx.fs, letter)) {
        const Answer answer = m_ctx.prompts.messageBox(
            Notice::DriveNotReadyToWrite,
            std::string("Drive ") + letter +
                " is not ready to write to. Fix and click on Ok, or select Cancel to abort operation.",
            Buttons::OkCancel, Icon::Exclamation, "Error");
        if (answer == Answer::Cancel) {
            return false;
        }
    }
    return true;
}

Answer ProgramDeletion::problem(int number, char letter, const RecordPath& directory, const std::string& name)
{
    const std::string folder = directory.onDrive(letter);
    return m_ctx.prompts.messageBox(Notice::ProblemDeletingFile,
                                    "There was a problem #" + std::to_string(number) + " deleting file " + folder +
                                        name +
                                        ". If it still exits, make a note to delete it manually. Abort "
                                        "deleting directory " +
                                        folder,
                                    Buttons::YesNo, Icon::Exclamation, kProblemTitle);
}

void ProgramDeletion::directoryProblem(const std::string& path)
{
    m_ctx.prompts.messageBox(
        Notice::DirectoryNotRemoved,
        "There was a problem deleting directory " + path + ". Please make a note to delete it manually.", Buttons::Ok,
        Icon::None, kAppTitle);
}

void ProgramDeletion::deleteDirectory(char letter, const RecordPath& directory)
{
    FileSystem& fs = m_ctx.fs;
    const std::string entry = directory.entryOnDrive(letter);

    // A directory that is gone has nothing left to delete. One that is now a link or a file, or is reached
    // through a link, is not the directory the installation made: it is never entered.
    auto found = fs.attributes(entry, Lookup::Exact);
    if (!found && IsGone(found.error())) {
        return;
    }
    if ((found && (*found & kDirectory) == 0) || (!found && found.error().kind == ErrorKind::ThroughLink)) {
        directoryProblem(entry);
        return;
    }

    // Every file, hidden and system ones included, read once and deleted in that order. Subdirectories are left
    // to their own lines: the record names each new one, deeper ones first. The read never crosses into another
    // file system mounted here, and a directory removed or replaced meanwhile reads as an empty one.
    const std::string folder = directory.onDrive(letter);
    if (m_plan) {
        planDirectory(letter, directory);
        return;
    }
    std::string name;  // the last file tried, named by the message when a read fails
    for (;;) {
        auto contents = fs.readDirectory(folder);
        if (contents) {
            for (const std::string& file : contents->files) {
                name = file;
                if (!deleteNewFile(letter, directory, folder + file)) {
                    break;
                }
            }
            break;
        }
        if (VanishedMeanwhile(contents.error())) {
            break;
        }
        // Yes gives up on the files and goes on to the directory; No reads it again.
        if (problem(1, letter, directory, name) == Answer::Yes) {
            break;
        }
    }

    auto still = fs.attributes(entry, Lookup::Exact);
    if (!still) {
        return;
    }
    if ((*still & kDirectory) != 0 && fs.removeDirectory(entry, Lookup::Exact)) {
        return;
    }
    if (fs.attributes(entry, Lookup::Exact)) {
        directoryProblem(entry);
    }
}

void ProgramDeletion::planDirectory(char letter, const RecordPath& directory)
{
    const std::string folder = directory.onDrive(letter);
    for (;;) {
        auto contents = m_ctx.fs.readDirectory(folder);
        if (contents) {
            for (const std::string& file : contents->files) {
                m_plan->removeFile(folder + file);
            }
            break;
        }
        if (VanishedMeanwhile(contents.error())) {
            break;
        }
        if (problem(1, letter, directory, {}) == Answer::Yes) {
            break;
        }
    }
    m_plan->removeDirectory(directory.entryOnDrive(letter));
}

bool ProgramDeletion::deleteNewFile(char letter, const RecordPath& directory, const std::string& path)
{
    FileSystem& fs = m_ctx.fs;
    const std::string name = path.substr(directory.onDrive(letter).size());
    for (;;) {
        // Neither the read-only bit nor the hidden and system bits keep a file from being unlinked here, so the
        // attributes are reset only when a first attempt fails: the same outcome for a third of the work.
        const Status first = fs.removeFile(path, Lookup::Exact);
        if (first || IsGone(first.error())) {
            return true;
        }
        (void)fs.setNormal(path, Lookup::Exact);
        if (fs.removeFile(path, Lookup::Exact)) {
            return true;
        }
        // Still there, whatever its attributes: the user decides between giving up on the directory and another
        // attempt.
        if (!fs.attributes(path, Lookup::Exact)) {
            return true;
        }
        if (problem(2, letter, directory, name) == Answer::Yes) {
            return false;
        }
    }
}

void ProgramDeletion::deleteOldFile(char letter, const RecordPath& file)
{
    const std::string path = file.onDrive(letter);
    // Only the file of the recorded name, on the drive's own file system, counts. Hidden and system files are
    // not seen here and are left alone, and so is a file gone meanwhile: none of them is reported.
    const auto found = m_ctx.fs.attributes(path, Lookup::Exact);
    if (!found || (*found & (kDirectory | kHidden | kSystem)) != 0) {
        return;
    }
    if (!m_asked) {
        m_confirmEach = AskYesNo(m_ctx.prompts, Notice::ConfirmEachFile, kConfirmEachFileQuestion);
        m_asked = true;
    }
    if (m_confirmEach && !AskYesNo(m_ctx.prompts, Notice::DeleteThisFile, "Delete " + path)) {
        if (m_plan) {
            m_plan->keepFile(path);
        }
        return;
    }
    if (m_plan) {
        m_plan->removeFile(path);
        return;
    }
    (void)m_ctx.fs.setNormal(path, Lookup::Exact);
    (void)m_ctx.fs.removeFile(path, Lookup::Exact);
}

}  // namespace

std::string ConfirmDeletionQuestion(const std::string& programName)
{
    return "Delete " + programName + "? Are you sure";
}

namespace {

// The companion goes first: once it is gone the prefix's changes are taken back, and a record left by a stop in
// between is finished by another run that deletes only files.
Status RemoveRecordAndCompanion(FileSystem& fs, const std::string& path, const std::string& companion)
{
    if (const Status gone = fs.removeFile(companion); !gone && gone.error().kind != ErrorKind::NotFound) {
        return gone;
    }
    return fs.removeFile(path);
}

// Takes back what the installation changed in the Wine prefix, under the wineserver's lock, or in a dry run tells
// the plan how it would. What is left, and why, goes into the result.
void RevertPrefix(const Context& ctx, const wine::PrefixChanges& changes, DeletionPlan* plan, DeletionResult& result)
{
    ctx.panel.progress(3, "Taking back the changes to the Wine prefix " + changes.prefix);
    std::unique_ptr<wine::ServerLock> lock;
    while (!plan) {
        auto taken = wine::ServerLock::take(changes.prefix);
        if (taken) {
            lock = std::move(*taken);
            break;
        }
        if (!WaitUntilNoWineserver(ctx, changes.prefix)) {
            result.notReverted.push_back("the registry and the desktop entries (a wineserver is running)");
            return;
        }
    }
    const auto now = wine::ReadPrefixState(ctx.fs, changes.prefix);
    if (!now) {
        result.notReverted.push_back("the registry and the desktop entries (" + now.error().describe() + ")");
        return;
    }
    const wine::RevertPlan steps = wine::PlanPrefixRevert(changes, *now);
    std::vector<std::string> kept;
    for (const wine::RevertStep& step : steps.steps) {
        using Kind = wine::RevertStep::Kind;
        if (step.kind == Kind::KeepValue || step.kind == Kind::KeepKey || step.kind == Kind::KeepFile) {
            kept.push_back(DescribeRevertStep(step));
        }
        if (plan) {
            plan->prefixStep(step);
        }
    }
    if (!plan) {
        const wine::RevertOutcome outcome = wine::ApplyPrefixRevert(ctx.fs, changes.prefix, steps);
        for (const auto& [step, error] : outcome.failed) {
            result.notReverted.push_back(DescribeRevertStep(step) + " (" + error.describe() + ")");
        }
    }
    result.keptInPrefix = kept;
    if (!kept.empty()) {
        std::string text = "Changed since the installation, and so kept:";
        for (const std::string& line : kept) {
            text += "\n  " + line;
        }
        ctx.prompts.messageBox(Notice::PrefixEntriesKept, text, Buttons::Ok, Icon::Information, kAppTitle);
    }
}

// Everything after the choice of the record: reads and checks it whole, confirms, deletes, restores, and deletes
// the record last.
DeletionResult RemoveRecordedProgram(const Context& ctx, const std::string& path, RestoreOptions& form4,
                                     DeletionPlan* plan)
{
    DeletionResult result;
    result.record = path;
    // The whole record is read and checked before anything is touched.
    auto record = ReadAfterRecord(ctx.fs, path);
    if (!record) {
        ShowError(ctx, Notice::DeletionRecordUnreadable, record.error().reason + kNothingDeleted);
        result.error = record.error().kind;
        return result;
    }
    if (auto link = PathThroughLink(ctx.fs, *record, path)) {
        ShowError(ctx, Notice::RecordUnusable, *link + kNothingDeleted);
        result.error = ErrorKind::ThroughLink;
        return result;
    }
    auto companion = wine::ReadCompanionOfAfterFile(ctx.fs, path);
    if (!companion) {
        ShowError(ctx, Notice::PrefixRecordUnusable, CompanionErrorText(companion.error()) + kNothingDeleted);
        result.error = companion.error().kind;
        return result;
    }
    const std::optional<wine::PrefixChanges>& prefixChanges = *companion;
    if (prefixChanges) {
        // The record's paths are those of the prefix it was made in: on another prefix's drives, or on the root
        // file system, they would name someone else's files.
        if (const std::string current = RecordedPrefix(ctx.fs); current != prefixChanges->prefix) {
            ShowError(ctx, Notice::PrefixRecordUnusable,
                      "The AFTER file " + path + " was made in the Wine prefix " + prefixChanges->prefix +
                          ", but Morvane now works on " +
                          (current.empty() ? std::string("other drives") : "the Wine prefix " + current) +
                          ". Start Morvane on the prefix the program was installed in (--prefix or WINEPREFIX)." +
                          kNothingDeleted);
            result.error = ErrorKind::Invalid;
            return result;
        }
        if (auto unusable = PrefixFilesUnusable(ctx.fs, *prefixChanges)) {
            ShowError(ctx, Notice::PrefixRecordUnusable, *unusable + kNothingDeleted);
            result.error = ErrorKind::Invalid;
            return result;
        }
        if (!plan && !WaitUntilNoWineserver(ctx, prefixChanges->prefix)) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
    }
    ctx.state.ProgramName = record->programName;
    result.programName = record->programName;
    // A dry run deletes nothing, so there is nothing to confirm.
    if (!plan && !AskYesNo(ctx.prompts, Notice::ConfirmDeletion, ConfirmDeletionQuestion(ctx.state.ProgramName))) {
        result.outcome = Outcome::Cancelled;
        return result;
    }

    Panel& panel = ctx.panel;
    panel.setOkVisible(false);
    panel.show();
    panel.blankCentred(1, 19);
    panel.progress(1, "Deleting all traces of " + ctx.state.ProgramName);

    ProgramDeletion deletion(ctx, form4, plan);
    const bool ran = deletion.run(*record);
    if (ran && prefixChanges) {
        RevertPrefix(ctx, *prefixChanges, plan, result);
    }
    const std::string companionPath = wine::CompanionOf(path);
    if (!ran) {
        result.outcome = Outcome::Cancelled;
    } else if (!deletion.notRestored().empty()) {
        // The record holds the only copy of the lines these files had before the installation.
        ShowError(ctx, Notice::NotRestored, NotRestoredText(deletion.notRestored(), path));
        result.notRestored = deletion.notRestored();
    } else if (!result.notReverted.empty()) {
        // The companion holds what is needed to try again.
        ShowError(ctx, Notice::PrefixNotReverted, NotRevertedText(result.notReverted, path));
    } else if (plan) {
        if (prefixChanges) {
            plan->removeFile(companionPath);
        }
        plan->removeFile(path);
        result.outcome = Outcome::Done;
        result.recordKept = false;
    } else if (const Status removed = RemoveRecordAndCompanion(ctx.fs, path, companionPath); !removed) {
        ShowError(ctx, Notice::AfterFileNotDeleted,
                  "Unable to delete the AFTER file " + path + ": " + removed.error().reason + ".");
        result.error = removed.error().kind;
    } else {
        result.outcome = Outcome::Done;
        result.recordKept = false;
    }

    panel.hide();
    panel.blank(1, 20);
    panel.setOkVisible(true);
    ctx.main.showMain();
    UpdateAfterPairs(ctx);
    UpdateSafetyPair(ctx);
    return result;
}

}  // namespace

void DeleteProgram(const Context& ctx, AfterFileList& list, RestoreOptions& form4, DeletionPlan* plan)
{
    MainWindowHidden hidden(ctx.main);
    list.setPrompt("Select program to delete from disk");
    AfterSelection selection;
    selection.ChosenEntry = 0;
    selection.LeaveCorrupted = plan != nullptr;
    SelectAfterFile(ctx, list, selection);
    list.setPrompt("");
    if (selection.nothingChosen()) {
        return;
    }
    if (const std::optional<std::string> path = ChosenAfterFilePath(ctx, selection)) {
        (void)RemoveRecordedProgram(ctx, *path, form4, plan);
    }
}

DeletionResult DeleteProgram(const Context& ctx, long number, RestoreOptions& form4, DeletionPlan* plan)
{
    MainWindowHidden hidden(ctx.main);
    return RemoveRecordedProgram(ctx, ctx.state.DataFolder + AfterFileName(number), form4, plan);
}

}  // namespace morvane
