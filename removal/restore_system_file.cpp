#include "removal/restore_system_file.h"

#include <cerrno>
#include <optional>

#include "core/helpers.h"
#include "records/normalize.h"
#include "platform/letter_case.h"

namespace morvane {

namespace {

bool HasEquals(const std::string& line)
{
    return line.find('=') != std::string::npos;
}

// The text before the first "=", trailing spaces removed, as LinesMatch compares it.
std::string_view KeyOf(const std::string& line)
{
    std::string_view key(line);
    key = key.substr(0, key.find('='));
    while (!key.empty() && key.back() == ' ') {
        key.remove_suffix(1);
    }
    return key;
}

// The key rule: a line the installation put in takes back the pre-installation line with the same key, or,
// for a PATH line, the one it extends.
bool KeyRuleApplies(const std::string& line, const std::string& missing)
{
    if (!HasEquals(line) || !HasEquals(missing)) {
        return false;
    }
    if (KeyOf(line) == KeyOf(missing)) {
        return true;
    }
    return UpperAscii(missing).starts_with("PATH") && line.find(missing) != std::string::npos;
}

// The REM rule: "REM " followed by the pre-installation line (letter case aside) takes it back.
bool RemRuleApplies(const std::string& line, const std::string& missing)
{
    if (missing.empty() || line.size() < 4 || UpperAscii(line.substr(0, 4)) != "REM ") {
        return false;
    }
    std::string_view rest(line);
    rest.remove_prefix(4);
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    return UpperAscii(rest) == UpperAscii(missing);
}

std::vector<std::string> NormalizeAll(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const auto& line : lines) {
        out.push_back(NormalizeLine(line));
    }
    return out;
}

void ReportError(Prompts& prompts, Notice notice, const std::string& text)
{
    prompts.messageBox(notice, text, Buttons::Ok, Icon::Exclamation, "Error");
}

std::string UnchangedQuestion(const std::string& path, const std::string& programName)
{
    return "Considering restoring original " + path + " file." + " " + "\n" + path +
           " was changed during installation of " + programName + ", but has not been changed since. " + path +
           " can be easily restored by replacing original file. " + "\n" + "Proceed";
}

std::string AttentionText(const SystemFile& file)
{
    return "Attention! Some line(s) from the original file could not be found in the " +
           std::string("existing file and could not be safely replaced. They have been placed in ") + "the file " +
           file.missingFile + " for safe keeping." + "\n" + "You may wish to manually add them to " + file.path + "." +
           "\n" + "You can use " + file.safetyCopy + " as a guide " + "by looking for lines in " + file.safetyCopy +
           " " + "that are similar to the missing lines.";
}

// What is on disk under the system file's path.
enum class CurrentFile { Read, Absent, Refused };

// Reads the system file into lines.CurrentLines. A missing file has no lines. A file that is there but cannot
// be read as an ordinary file (hidden or system, a directory, a path through a link, a read error) is
// reported and refused: taking it for an empty file would let a restoration overwrite it blindly.
CurrentFile ReadCurrentFile(const Context& ctx, const SystemFile& file, RestoreLines& lines)
{
    auto attributes = ctx.fs.attributes(file.path);
    if (!attributes) {
        if (attributes.error().kind == ErrorKind::NotFound) {
            return CurrentFile::Absent;
        }
        ReportError(ctx.prompts, Notice::ConfigurationFileUnreachable,
                    "The file " + file.path + " cannot be reached: " + attributes.error().reason +
                        ". It has been left unchanged.");
        return CurrentFile::Refused;
    }
    if (*attributes & kDirectory) {
        ReportError(ctx.prompts, Notice::ConfigurationFileUnreachable,
                    "The file " + file.path + " cannot be reached: it is a directory. It has been left unchanged.");
        return CurrentFile::Refused;
    }
    if (*attributes & kLink) {
        // Writing would replace the link by a file of its own and leave the file it points to stale.
        ReportError(ctx.prompts, Notice::ConfigurationFileIsLink,
                    "The file " + file.path +
                        " is a symbolic link, so it has not been read and has been left unchanged, "
                        "with the file it points to. Restore it by hand if it needs it.");
        return CurrentFile::Refused;
    }
    if (*attributes & (kHidden | kSystem)) {
        ReportError(ctx.prompts, Notice::ConfigurationFileRefused,
                    "The file " + file.path +
                        " is a hidden or system file, so it has not been read and has been left "
                        "unchanged. Restore it by hand if it needs it.");
        return CurrentFile::Refused;
    }
    auto read = ctx.fs.readLines(file.path);
    if (!read) {
        ReportError(
            ctx.prompts, Notice::ConfigurationFileUnreadable,
            "The file " + file.path + " could not be read: " + read.error().reason + ". It has been left unchanged.");
        return CurrentFile::Refused;
    }
    lines.readCurrent(*read);
    return CurrentFile::Read;
}

// Everything that must hold before the system file may change: it is not read-only, and its safety copy
// (the file as it stands, normalised) is complete on disk.
bool PrepareToReplace(const Context& ctx, const SystemFile& file, const RestoreLines& lines, DeletionPlan* plan)
{
    if (auto attributes = ctx.fs.attributes(file.path); attributes && (*attributes & kReadOnly)) {
        ReportError(ctx.prompts, Notice::ConfigurationFileNotWritten,
                    "The file " + file.path + " could not be written: it is read-only. It has been left unchanged.");
        return false;
    }
    if (plan) {
        plan->writeFile(file.safetyCopy, lines.CurrentLines);
        return true;
    }
    if (Status s = ctx.fs.writeLinesAtomic(file.safetyCopy, lines.CurrentLines); !s) {
        ReportError(ctx.prompts, Notice::SafetyCopyNotWritten,
                    "The safety copy " + file.safetyCopy + " could not be written: " + s.error().reason + ". " +
                        file.path + " has been left unchanged.");
        return false;
    }
    return true;
}

bool WriteSystemFile(const Context& ctx, const SystemFile& file, const std::vector<std::string>& content,
                     DeletionPlan* plan)
{
    if (plan) {
        plan->writeFile(file.path, content);
        return true;
    }
    if (Status s = ctx.fs.writeLinesAtomic(file.path, content); !s) {
        ReportError(
            ctx.prompts, Notice::ConfigurationFileNotWritten,
            "The file " + file.path + " could not be written: " + s.error().reason + ". It has been left unchanged.");
        return false;
    }
    return true;
}

bool Replace(const Context& ctx, const SystemFile& file, const RestoreLines& lines, DeletionPlan* plan)
{
    return PrepareToReplace(ctx, file, lines, plan) && WriteSystemFile(ctx, file, lines.OriginalLines, plan);
}

bool Merge(const Context& ctx, const SystemFile& file, RestoreLines& lines, DeletionPlan* plan)
{
    if (!PrepareToReplace(ctx, file, lines, plan)) {
        return false;
    }
    const std::vector<std::string> merged = lines.merge();
    const std::vector<std::string> unplaced = lines.unplacedLines();
    // The unplaced lines are kept before the file changes: once it has, they exist nowhere else but in the
    // AFTER file, which the deletion removes.
    if (!unplaced.empty() && plan) {
        plan->writeFile(file.missingFile, unplaced);
    } else if (!unplaced.empty()) {
        if (Status s = ctx.fs.writeLinesAtomic(file.missingFile, unplaced); !s) {
            ReportError(ctx.prompts, Notice::MissingLinesNotWritten,
                        "The file " + file.missingFile + " could not be written: " + s.error().reason + ". " +
                            file.path + " has been left unchanged.");
            return false;
        }
    }
    if (!WriteSystemFile(ctx, file, merged, plan)) {
        return false;
    }
    if (!unplaced.empty() && !plan) {
        ctx.prompts.messageBox(Notice::LinesPlacedAside, AttentionText(file), Buttons::Ok, Icon::Information,
                               "Attention");
        ctx.panel.blankCentred(1, Panel::kLines);
    }
    return true;
}

// The lines of a file the restoration wrote before (safety copy, missing-line file); nothing when there is none.
std::optional<std::vector<std::string>> EarlierCopy(const Context& ctx, const std::string& path)
{
    if (!ctx.fs.exists(path)) {
        return std::nullopt;
    }
    auto lines = ctx.fs.readLines(path);
    return lines ? std::optional(std::move(*lines)) : std::nullopt;
}

}  // namespace

RestoreOptionsText RestoreOptionsTexts(const std::string& path, const std::string& programName, bool linesMissing)
{
    RestoreOptionsText texts;
    texts.caption = "Considering restoring original " + path + " file.";
    texts.lines[0] = path + " was changed during installation of";
    texts.lines[1] = programName + ", and has been changed since.";
    if (linesMissing) {
        texts.lines[2] = "Warning! File was severely modified during installation process!";
        texts.lines[3] = "There is a possibility that the original file cannot be completely";
        texts.lines[4] = "restored to its original form while trying to save recent changes.";
    } else {
        texts.lines[2] = "There is a high probability that the original file can be";
        texts.lines[3] = "restored while maintaining recent changes.";
    }
    texts.optionsHeading = "Your options are:";
    texts.options = {"Do not attempt to restore file", "Replace file with original file",
                     "Attempt to restore file while maintaining recent changes"};
    return texts;
}

std::size_t FindLine(const std::vector<std::string>& list, const std::string& line)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (LinesMatch(list[i], line)) {
            return i + 1;
        }
    }
    // The list's free room holds empty entries.
    return line.empty() ? list.size() + 1 : 0;
}

void RestoreLines::readSection(const ConfigSection& section)
{
    OriginalLines = NormalizeAll(section.oldLines);
    InstalledLines = NormalizeAll(section.newLines);
    MissingLines.clear();
    for (const auto& line : OriginalLines) {
        if (FindLine(InstalledLines, line) == 0) {
            MissingLines.push_back(line);
        }
    }
}

void RestoreLines::readCurrent(const std::vector<std::string>& fileLines)
{
    CurrentLines = NormalizeAll(fileLines);
}

bool RestoreLines::changedSinceInstallation() const
{
    if (InstalledLines.size() != CurrentLines.size()) {
        return true;
    }
    for (std::size_t i = 0; i < InstalledLines.size(); ++i) {
        if (!LinesMatch(InstalledLines[i], CurrentLines[i])) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> RestoreLines::merge()
{
    std::vector<std::string> written;
    written.reserve(CurrentLines.size());
    for (const std::string& current : CurrentLines) {
        std::string line = current;
        const bool inOriginal = FindLine(OriginalLines, line) > 0;
        const bool inInstalled = FindLine(InstalledLines, line) > 0;
        // Kept: it was there before the installation, or the user added or edited it since.
        bool keep = inOriginal || !inInstalled;
        // A line takes at most one missing line, the first that fits, so that two lines of one key that the
        // installation replaced come back in their original order (DEVICE=HIMEM.SYS before DEVICE=EMM386.EXE).
        for (std::string& missing : MissingLines) {
            // A line that was there before the installation is never overwritten by the key rule: with two
            // DEVICE= lines of which one was removed, the survivor stays and the removed one is reported.
            const bool byKey = !inOriginal && inInstalled && KeyRuleApplies(line, missing);
            if (byKey || RemRuleApplies(line, missing)) {
                line = std::move(missing);
                missing.clear();
                keep = true;
                break;
            }
        }
        if (keep) {
            written.push_back(std::move(line));
        }
    }
    return written;
}

std::vector<std::string> RestoreLines::unplacedLines() const
{
    std::vector<std::string> out;
    for (const auto& line : MissingLines) {
        if (!line.empty()) {
            out.push_back(line);
        }
    }
    return out;
}

bool RestoreLines::alreadyRestored(const std::vector<std::string>* safetyCopy,
                                   const std::vector<std::string>* missingFile) const
{
    if (CurrentLines == OriginalLines) {
        return true;
    }
    if (!safetyCopy) {
        return false;
    }
    RestoreLines again = *this;
    again.readCurrent(*safetyCopy);
    if (again.merge() != CurrentLines) {
        return false;
    }
    const std::vector<std::string> unplaced = again.unplacedLines();
    return unplaced.empty() || (missingFile && *missingFile == unplaced);
}

Restoration RestoreSystemFile(const Context& ctx, RestoreOptions& form4, const ConfigSection& section,
                              const SystemFile& file, DeletionPlan* plan)
{
    if (!section.changed) {
        return Restoration::NothingToDo;
    }
    RestoreLines lines;
    lines.readSection(section);
    if (ReadCurrentFile(ctx, file, lines) == CurrentFile::Refused) {
        return Restoration::Failed;
    }
    // A Delete program that stopped halfway, or kept the record because another file could not be restored,
    // may have restored this one already: restoring it again would overwrite its safety copy with the
    // restored file.
    {
        const auto safetyCopy = EarlierCopy(ctx, file.safetyCopy);
        const auto missingFile = safetyCopy ? EarlierCopy(ctx, file.missingFile) : std::nullopt;
        if (lines.alreadyRestored(safetyCopy ? &*safetyCopy : nullptr, missingFile ? &*missingFile : nullptr)) {
            return Restoration::NothingToDo;
        }
    }

    // Changed since the installation: the user chooses in Form4 how to restore; else a yes or no will do.
    const bool SectionChanged = lines.changedSinceInstallation();

    auto outcome = [](bool written) { return written ? Restoration::Done : Restoration::Failed; };
    if (!SectionChanged) {
        if (AskYesNo(ctx.prompts, Notice::RestoreUnchanged, UnchangedQuestion(file.path, ctx.state.ProgramName))) {
            return outcome(Replace(ctx, file, lines, plan));
        }
        if (plan) {
            plan->keepFile(file.path);
        }
        return Restoration::LeftByUser;
    }

    const bool linesMissing = !lines.MissingLines.empty();
    if (linesMissing) {
        ctx.prompts.beep();
    }
    const int choice = form4.ShowRestoreOptions(file.path, ctx.state.ProgramName, linesMissing);
    if (choice == 2) {
        return outcome(Replace(ctx, file, lines, plan));
    }
    if (choice == 3) {
        return outcome(Merge(ctx, file, lines, plan));
    }
    if (plan) {
        plan->keepFile(file.path);
    }
    return Restoration::LeftByUser;
}

}  // namespace morvane
