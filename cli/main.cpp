// morvane-cli: the commands of Morvane's main window for a terminal. It calls the same engine commands as the
// windows, with their inputs from the command line, and acts on the results they return; the questions they
// still ask are answered by notice (cli/terminal.h).

#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/startup.h"
#include "changes/create_after_file.h"
#include "cli/command_table.h"
#include "cli/terminal.h"
#include "core/context.h"
#include "core/helpers.h"
#include "help/manual_text.h"
#include "maintenance/record_maintenance.h"
#include "morvane_version.h"
#include "platform/file_system.h"
#include "platform/folder_options.h"
#include "records/after_file_reader.h"
#include "records/first_line.h"
#include "records/record_format.h"
#include "removal/delete_program.h"
#include "report/show_report.h"
#include "snapshot/create_before_file.h"

namespace morvane::cli {

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

// The answers of --restore, in the order of its choices.
constexpr RestoreAnswer kRestoreAnswers[] = {RestoreAnswer::Ask, RestoreAnswer::Keep, RestoreAnswer::Replace,
                                             RestoreAnswer::Merge};

int usageError(const std::string& message)
{
    std::fprintf(stderr, "morvane-cli: %s See morvane-cli --help.\n", message.c_str());
    return kUsage;
}

// N: the number of an AFTER file, digits only.
std::optional<long> programNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stol(text);
}

// What is wrong with the command's arguments, if anything.
std::optional<std::string> wrongArguments(const CommandLine& line)
{
    const std::string operand = FindCommand(line.command)->operand;
    if (operand == "NAME") {
        if (line.operands.size() != 1 || line.operands[0].empty()) {
            return line.command + " takes the program's name.";
        }
    } else if (operand == "N") {
        if (line.operands.size() != 1 || !programNumber(line.operands[0])) {
            return line.command + " takes the number of a program.";
        }
    } else if (!line.operands.empty()) {
        return line.command + " takes no arguments.";
    }
    return std::nullopt;
}

// Everything one command runs with.
class Session {
public:
    Session(std::unique_ptr<FileSystem> fs, Terminal& terminal)
        : m_fs(std::move(fs)), m_terminal(terminal), m_prompts(terminal), m_panel(terminal), m_events(m_panel)
    {}

    Context ctx() { return Context{m_state, *m_fs, m_prompts, m_panel, m_main, m_events}; }
    State& state() { return m_state; }
    FileSystem& fs() { return *m_fs; }
    TerminalPrompts& prompts() { return m_prompts; }
    TerminalPanel& panel() { return m_panel; }
    Terminal& terminal() { return m_terminal; }

private:
    State m_state;
    std::unique_ptr<FileSystem> m_fs;
    Terminal& m_terminal;
    TerminalPrompts m_prompts;
    TerminalPanel m_panel;
    TerminalEvents m_events;
    TerminalMainWindow m_main;
};

std::string beforePath(Session& s)
{
    return s.state().DataFolder + std::string(kBeforeFileName);
}

// The exit status once the command has run: a question left unanswered, or a message that says something
// failed, fail the command.
int finish(Session& s, bool done)
{
    if (!s.terminal().missing().empty()) {
        return kFailed;
    }
    return done && !s.terminal().trouble() ? 0 : kFailed;
}

int noSuchProgram(long number)
{
    std::fprintf(stderr, "morvane-cli: no such program: %ld (see morvane-cli list)\n", number);
    return kFailed;
}

// What a record holds, for the line that says it was made.
struct RecordNumbers {
    long directories = 0;
    long files = 0;
    std::string drives;  // the letters
};

// "2 directories, 1 file on drives C and D", with `what` after the files.
std::string numbersText(const RecordNumbers& numbers, const std::string& what)
{
    const auto count = [](long n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string drives;
    for (std::size_t k = 0; k < numbers.drives.size(); ++k) {
        drives += (k == 0 ? "" : k + 1 == numbers.drives.size() ? " and " : ", ") + std::string(1, numbers.drives[k]);
    }
    return count(numbers.directories, "directory", "directories") + ", " + count(numbers.files, "file", "files") +
           what + (numbers.drives.size() == 1 ? " on drive " : " on drives ") + drives;
}

// ", 12 registry changes and 3 desktop entries in the Wine prefix /p" for an AFTER file with a companion.
std::string prefixText(const AfterResult& result)
{
    if (result.prefix.empty()) {
        return {};
    }
    return ", " + std::to_string(result.registryChanges) +
           (result.registryChanges == 1 ? " registry change and " : " registry changes and ") +
           std::to_string(result.desktopEntries) +
           (result.desktopEntries == 1 ? " desktop entry" : " desktop entries") + " in the Wine prefix " +
           result.prefix;
}

// The one-line result of a command that made a record, on standard error unless -q.
void tellResult(Session& s, const std::string& text)
{
    if (!s.terminal().quiet()) {
        s.terminal().message("morvane-cli: " + text);
    }
}

int runBefore(Session& s, const CommandLine& line)
{
    const BeforeRequest request{line.operands[0], line.value(Option::Drives, "C")};
    BeforeResult result;
    {
        Interrupt interrupt;
        result = CreateBeforeFile(s.ctx(), request);
        if (Interrupt::requested()) {
            s.terminal().message("morvane-cli: stopped; no BEFORE file was made.");
            Interrupt::endProgram();
        }
    }
    if (result.done()) {
        tellResult(s, "BEFORE file made for " + request.programName + ": " +
                          numbersText({result.directories, result.files, result.drives}, "") +
                          (result.prefix.empty()
                               ? ""
                               : ", and the registry and desktop entries of the Wine prefix " + result.prefix));
    }
    return finish(s, result.done());
}

int runAfter(Session& s)
{
    AfterResult result;
    {
        Interrupt interrupt;
        result = CreateAfterFile(s.ctx());
        if (Interrupt::requested() && !result.done()) {
            s.terminal().message("morvane-cli: stopped; no AFTER file was made and the BEFORE file is kept.");
            Interrupt::endProgram();
        }
    }
    // A directory that could not be read was reported but does not undo the record.
    if (result.done()) {
        const std::string name = result.record.substr(result.record.find_last_of('/') + 1);
        tellResult(s, name + " made for " + result.programName + ": " +
                          numbersText({result.directories, result.files, result.drives}, " added") +
                          prefixText(result));
    }
    return s.terminal().missing().empty() && result.done() ? 0 : kFailed;
}

int runList(Session& s)
{
    const Context c = s.ctx();
    std::string out;
    // Without AFTER files there is nothing to select from: an empty list, not an error.
    if (CountFiles(s.fs(), s.state().DataFolder + std::string(kAfterFilePattern)) > 0) {
        NumberedAfterFileList list;
        AfterSelection selection;
        SelectAfterFile(c, list, selection);
        for (const std::string& entry : list.lines()) {
            out += entry + "\n";
        }
    }
    if (s.fs().exists(beforePath(s))) {
        out += "pending\t" + ProgramNameOr(s.fs(), beforePath(s), "") + "\n";
    }
    std::fputs(out.c_str(), stdout);
    return finish(s, true);
}

// The record of program `number`; nothing (and a message) when the data folder holds none of that number.
std::optional<std::string> recordOf(Session& s, long number)
{
    std::string path = s.state().DataFolder + AfterFileName(number);
    if (!s.fs().exists(path)) {
        noSuchProgram(number);
        return std::nullopt;
    }
    return path;
}

int runReport(Session& s, const CommandLine& line)
{
    const long number = *programNumber(line.operands[0]);
    const auto path = recordOf(s, number);
    if (!path) {
        return kFailed;
    }
    auto report = ReadProgramReport(s.fs(), *path);
    if (!report) {
        ReportAfterFileError(s.prompts(), Notice::ReportRecordUnreadable, report.error());
        return kFailed;
    }
    const bool json = line.has(Option::Json);
    const std::string out =
        json ? ReportJson(number, *report, s.fs()) : ReportText(*report, json || line.has(Option::Details), s.fs());
    std::fputs(out.c_str(), stdout);
    return finish(s, true);
}

// Without a terminal every answer must be given before anything is deleted: the confirmation by --yes, and the
// restoration of a configuration file the installation changed by --restore. A dry run needs none of them.
bool answersGiven(Session& s, long number)
{
    Terminal& t = s.terminal();
    if (t.interactive() || t.dryRun()) {
        return true;
    }
    auto record = ReadAfterRecord(s.fs(), s.state().DataFolder + AfterFileName(number));
    if (!record) {
        return true;  // the command itself reports a missing or damaged record
    }
    if (!t.yes()) {
        t.missingAnswer(YesNoText(ConfirmDeletionQuestion(record->programName)), "--yes");
        return false;
    }
    for (const AfterDrive& drive : record->drives) {
        if (!t.yes() && !drive.files.empty()) {
            t.missingAnswer(YesNoText(kConfirmEachFileQuestion), "--yes");
            return false;
        }
    }
    if (t.restore() != RestoreAnswer::Ask) {
        return true;
    }
    for (std::size_t k = 0; k < kConfigFiles.size(); ++k) {
        if (record->sections[k].changed) {
            t.missingAnswer("How is " + std::string(kConfigFiles[k].fileName) + " to be restored?", "--restore");
            return false;
        }
    }
    return true;
}

int runRemove(Session& s, const CommandLine& line)
{
    const long number = *programNumber(line.operands[0]);
    const bool dryRun = line.has(Option::DryRun);
    if (dryRun) {
        s.terminal().answerForDryRun();
    }
    if (!recordOf(s, number) || !answersGiven(s, number)) {
        return kFailed;
    }
    TerminalRestoreOptions form4(s.terminal());
    PrintedPlan plan(s.fs(), s.terminal());
    const DeletionResult result = DeleteProgram(s.ctx(), number, form4, dryRun ? &plan : nullptr);
    return finish(s, result.done());
}

int runForget(Session& s, const CommandLine& line)
{
    const long number = *programNumber(line.operands[0]);
    if (!recordOf(s, number)) {
        return kFailed;
    }
    return finish(s, DeleteAfterFile(s.ctx(), number).done());
}

int runForgetBefore(Session& s)
{
    return finish(s, DeleteBeforeFile(s.ctx()).done());
}

int runForgetSafety(Session& s)
{
    return finish(s, DeleteSafetyFiles(s.ctx()).done());
}

}  // namespace

int Main(int argc, char** argv)
{
    CommandLine line;
    if (const auto error = ParseCommandLine(argc, argv, line)) {
        return usageError(*error);
    }
    if (line.has(Option::Help)) {
        const CommandSpec* command = FindCommand(line.command);
        std::fputs((command ? CommandHelpText(*command) : UsageText()).c_str(), stdout);
        return 0;
    }
    if (line.has(Option::Version)) {
        std::printf("morvane-cli %s\n", kProgramVersion);
        return 0;
    }
    if (line.command.empty()) {
        return usageError("No command given.");
    }
    if (const auto wrong = wrongArguments(line)) {
        return usageError(*wrong);
    }

    std::string prefix;
    if (line.has(Option::Prefix)) {
        const Result<std::string> folder = PrefixOption(line.value(Option::Prefix));
        if (!folder) {
            return usageError(folder.error().reason);
        }
        prefix = *folder;
    }
    std::string dataFolder;
    if (line.has(Option::DataDir)) {
        const Result<std::string> folder = DataFolderOption(line.value(Option::DataDir));
        if (!folder) {
            return usageError(folder.error().reason);
        }
        dataFolder = *folder;
    }

    // Without its drives or its data folder the program could only record or delete the wrong things.
    auto drives = prefix.empty() ? DriveMap::fromEnvironment() : DriveMap::fromPrefix(prefix);
    if (!drives) {
        std::fprintf(stderr, "morvane-cli: %s\n", DrivesUnreadableText(drives.error()).c_str());
        return 1;
    }
    const std::string exeDir = executableDirectory();
    if (dataFolder.empty()) {
        auto chosen = chooseDataFolder(exeDir);
        if (!chosen) {
            std::fprintf(stderr, "morvane-cli: %s\n", DataFolderUnusableText(chosen.error()).c_str());
            return 1;
        }
        dataFolder = std::move(*chosen);
    }

    Terminal terminal(line.has(Option::Yes), kRestoreAnswers[line.choice(Option::Restore)], line.has(Option::Quiet));
    Session s(std::make_unique<FileSystem>(std::move(*drives)), terminal);
    // The start-up of the windowed program: the data folder with its manual, and the records older
    // installations kept in the Windows directory.
    const Context c = s.ctx();
    InitFolders(c, dataFolder, shippedManualPath(exeDir), EmbeddedManual());
    MoveRecordsFromWinDir(c);
    RemoveOrphanCompanions(c);
    s.state().BootDrive = "C:";

    const std::string& command = line.command;
    if (command == "before") {
        return runBefore(s, line);
    }
    if (command == "after") {
        return runAfter(s);
    }
    if (command == "list") {
        return runList(s);
    }
    if (command == "report") {
        return runReport(s, line);
    }
    if (command == "remove") {
        return runRemove(s, line);
    }
    if (command == "forget") {
        return runForget(s, line);
    }
    if (command == "forget-before") {
        return runForgetBefore(s);
    }
    return runForgetSafety(s);
}

}  // namespace morvane::cli

int main(int argc, char** argv)
{
    return morvane::cli::Main(argc, argv);
}
