// morvane-cli: the commands of Morvane's main window for a terminal. It runs the same engine commands as the
// windows, through terminal implementations of the interfaces the windows implement, on the same record files.

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/startup.h"
#include "changes/create_after_file.h"
#include "cli/terminal.h"
#include "core/context.h"
#include "core/helpers.h"
#include "help/manual_text.h"
#include "maintenance/record_maintenance.h"
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

constexpr const char* kHelp =
    "Usage: morvane-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
    "Records what the installation of a program adds to the drives, and deletes the program again.\n"
    "The same records as the windowed program morvane, from a terminal.\n"
    "\n"
    "Commands:\n"
    "  before NAME [--drives LETTERS]   record the drives before NAME is installed (default drive C)\n"
    "  after                            record what the installation added; prints the installation report\n"
    "  list                             the recorded programs: number and name; a pending BEFORE file last\n"
    "  report N [--details] [--json]    what the installation of program N changed\n"
    "  remove N [--yes] [--restore ask|keep|replace|merge] [--dry-run]\n"
    "                                   delete program N and restore its configuration changes\n"
    "  forget N [--yes]                 delete the AFTER file of program N\n"
    "  forget-before [--yes]            delete the BEFORE file\n"
    "  forget-safety [--yes]            delete the safety copies (.QRV) and missing-line files (.MIS)\n"
    "\n"
    "Options:\n"
    "  --prefix DIR     work on the drives of the Wine prefix DIR (instead of $WINEPREFIX or ~/.wine)\n"
    "  --data-dir DIR   keep the record files and the manual in the folder DIR\n"
    "  -q, --quiet      no progress and no informational messages\n"
    "  -h, --help       show this help (or a command's, after the command) and exit\n"
    "  -v, --version    show the version and exit\n"
    "\n"
    "Questions are asked on the terminal. When standard input is not a terminal, nothing is asked: --yes and\n"
    "--restore give the answers, and a command that needs an answer it was not given stops with status 1.\n"
    "Exit status: 0 success, 1 the command failed or was refused, 2 a wrong command line.\n";

const std::map<std::string, std::string> kCommandHelp = {
    {"before",
     "Usage: morvane-cli before NAME [--drives LETTERS]\n"
     "Creates the BEFORE file for the program NAME about to be installed: every directory and file of the drives\n"
     "LETTERS (default C) and copies of AUTOEXEC.BAT, CONFIG.SYS, WIN.INI and SYSTEM.INI. Progress goes to\n"
     "standard error when it is a terminal. Ctrl-C stops the scan and leaves no BEFORE file.\n"},
    {"after",
     "Usage: morvane-cli after\n"
     "Creates the AFTER file of the pending BEFORE file and prints the installation report. The BEFORE file is\n"
     "deleted once the AFTER file is complete. Ctrl-C stops the scan and leaves no AFTER file.\n"},
    {"list",
     "Usage: morvane-cli list\n"
     "Prints the recorded programs, one per line: the number N of the AFTER file, a tab and the program name,\n"
     "in the order of the selection window. A pending BEFORE file follows as 'pending', a tab and its name.\n"},
    {"report",
     "Usage: morvane-cli report N [--details] [--json]\n"
     "Prints what the installation of program N changed: the numbers of directories and files added and\n"
     "whether each configuration file changed. --details adds the directories, the files and the lines added\n"
     "to and removed from the configuration files; --json prints all of it as one JSON document.\n"},
    {"remove",
     "Usage: morvane-cli remove N [--yes] [--restore ask|keep|replace|merge] [--dry-run]\n"
     "Deletes program N: its new directories and files, then restores its configuration files and deletes its\n"
     "AFTER file. --yes answers every confirmation and every per-file question Yes. --restore answers the\n"
     "restoration questions: keep the file, replace it with the original, or merge (keep later changes).\n"
     "--dry-run prints what would be deleted (delete, rmdir), kept (keep) and written (write, with the\n"
     "lines) and changes nothing.\n"},
    {"forget",
     "Usage: morvane-cli forget N [--yes]\n"
     "Deletes the AFTER file of program N; the program stays on the disk.\n"},
    {"forget-before",
     "Usage: morvane-cli forget-before [--yes]\n"
     "Deletes the BEFORE file.\n"},
    {"forget-safety",
     "Usage: morvane-cli forget-safety [--yes]\n"
     "Deletes the safety copies (.QRV) and missing-line files (.MIS) left beside the configuration files.\n"},
};

// The options each command takes besides the common ones.
const std::map<std::string, std::vector<std::string>> kCommandOptions = {
    {"before", {"--drives"}},
    {"after", {}},
    {"list", {}},
    {"report", {"--details", "--json"}},
    {"remove", {"--yes", "--restore", "--dry-run"}},
    {"forget", {"--yes"}},
    {"forget-before", {"--yes"}},
    {"forget-safety", {"--yes"}},
};

struct CommandLine {
    std::string command;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> options;  // name -> value ("" for a flag)
    bool help = false;
    bool version = false;
};

bool takesValue(const std::string& option)
{
    return option == "--prefix" || option == "--data-dir" || option == "--drives" || option == "--restore";
}

bool isOption(const std::string& word)
{
    if (word == "--prefix" || word == "--data-dir" || word == "--quiet") {
        return true;
    }
    for (const auto& [command, options] : kCommandOptions) {
        if (std::find(options.begin(), options.end(), word) != options.end()) {
            return true;
        }
    }
    return false;
}

// Reads the command line; an error message when it is wrong.
std::optional<std::string> parse(int argc, char** argv, CommandLine& line)
{
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--") {
            for (++i; i < argc; ++i) {
                (line.command.empty() ? line.command : line.arguments.emplace_back()) = argv[i];
            }
            break;
        }
        if (word == "-h" || word == "--help") {
            line.help = true;
            continue;
        }
        if (word == "-v" || word == "--version") {
            line.version = true;
            continue;
        }
        if (word == "-q") {
            word = "--quiet";
        }
        if (word.size() > 1 && word[0] == '-' && word != "-") {
            std::string value;
            bool hasValue = false;
            if (const auto equals = word.find('='); equals != std::string::npos && word.starts_with("--")) {
                value = word.substr(equals + 1);
                word = word.substr(0, equals);
                hasValue = true;
            }
            if (!isOption(word)) {
                return "Unknown option '" + word + "'.";
            }
            if (takesValue(word) && !hasValue) {
                if (i + 1 >= argc) {
                    return "Missing value after '" + word + "'.";
                }
                value = argv[++i];
            } else if (!takesValue(word) && hasValue) {
                return "The option '" + word + "' takes no value.";
            }
            line.options[word] = value;
            continue;
        }
        if (line.command.empty()) {
            if (!kCommandOptions.contains(word)) {
                return "Unknown command '" + word + "'.";
            }
            line.command = word;
        } else {
            line.arguments.push_back(word);
        }
    }
    // A command's own options may also come before it.
    for (const auto& [option, value] : line.options) {
        const bool common = option == "--prefix" || option == "--data-dir" || option == "--quiet";
        const auto own = kCommandOptions.find(line.command);
        if (!common && (own == kCommandOptions.end() ||
                        std::find(own->second.begin(), own->second.end(), option) == own->second.end())) {
            return "Unknown option '" + option + "'" + (line.command.empty() ? "" : " for " + line.command) + ".";
        }
    }
    return std::nullopt;
}

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
    const std::string& command = line.command;
    if (command == "before") {
        if (line.arguments.size() != 1 || line.arguments[0].empty()) {
            return "before takes the program's name.";
        }
    } else if (command == "report" || command == "remove" || command == "forget") {
        if (line.arguments.size() != 1 || !programNumber(line.arguments[0])) {
            return command + " takes the number of a program.";
        }
    } else if (!line.arguments.empty()) {
        return command + " takes no arguments.";
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

int runBefore(Session& s, const CommandLine& line)
{
    const auto drives = line.options.find("--drives");
    s.prompts().answerInput(Notice::ProgramNameInput, line.arguments[0]);
    s.prompts().answerInput(Notice::DriveLettersInput, drives == line.options.end() ? "C" : drives->second);
    const bool existed = s.fs().exists(beforePath(s));
    {
        Interrupt interrupt;
        CreateBeforeFile(s.ctx());
        if (Interrupt::requested()) {
            s.terminal().message("morvane-cli: stopped; no BEFORE file was made.");
            Interrupt::endProgram();
        }
    }
    return finish(s, !existed && s.fs().exists(beforePath(s)));
}

int runAfter(Session& s)
{
    {
        Interrupt interrupt;
        CreateAfterFile(s.ctx());
        if (Interrupt::requested() && !s.panel().waitedForOk()) {
            s.terminal().message("morvane-cli: stopped; no AFTER file was made and the BEFORE file is kept.");
            Interrupt::endProgram();
        }
    }
    // The installation report is shown only when the AFTER file was made. A directory that could not be read
    // was reported but does not undo the record.
    return s.terminal().missing().empty() && s.panel().waitedForOk() ? 0 : kFailed;
}

int runList(Session& s)
{
    const Context c = s.ctx();
    std::string out;
    // Without AFTER files there is nothing to select from: an empty list, not an error.
    if (CountFiles(s.fs(), s.state().DataFolder + std::string(kAfterFilePattern)) > 0) {
        NumberedAfterFileList list = NumberedAfterFileList::listing();
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

int runReport(Session& s, const CommandLine& line)
{
    const long number = *programNumber(line.arguments[0]);
    const bool json = line.options.contains("--json");
    NumberedAfterFileList list = NumberedAfterFileList::picking(number);
    TerminalReportWindow window(json || line.options.contains("--details"));
    NoPrinter printer;
    ShowReport(s.ctx(), list, window, printer);
    if (list.offered() && !list.found()) {
        return noSuchProgram(number);
    }
    if (!window.filled()) {
        return kFailed;
    }
    const std::string out = json ? window.json(number, s.state().ProgramName) : window.text();
    std::fputs(out.c_str(), stdout);
    return finish(s, true);
}

std::optional<RestoreAnswer> restoreAnswer(const CommandLine& line)
{
    const auto given = line.options.find("--restore");
    if (given == line.options.end() || given->second == "ask") {
        return RestoreAnswer::Ask;
    }
    static const std::map<std::string, RestoreAnswer> kAnswers = {
        {"keep", RestoreAnswer::Keep}, {"replace", RestoreAnswer::Replace}, {"merge", RestoreAnswer::Merge}};
    const auto found = kAnswers.find(given->second);
    return found == kAnswers.end() ? std::nullopt : std::optional(found->second);
}

// Without a terminal every answer must be given before anything is deleted: the confirmation (unless it is a
// dry run) by --yes, and the restoration of a configuration file the installation changed by --restore.
bool answersGiven(Session& s, long number, bool dryRun)
{
    Terminal& t = s.terminal();
    if (t.interactive()) {
        return true;
    }
    auto record = ReadAfterRecord(s.fs(), s.state().DataFolder + AfterFileName(number));
    if (!record) {
        return true;  // the command itself reports a missing or damaged record
    }
    if (!dryRun && !t.yes()) {
        t.missingAnswer(YesNoText(ConfirmDeletionQuestion(record->programName)), "--yes");
        return false;
    }
    // A dry run asks the per-file questions too, for files added to older directories.
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
    const long number = *programNumber(line.arguments[0]);
    const bool dryRun = line.options.contains("--dry-run");
    if (!answersGiven(s, number, dryRun)) {
        return kFailed;
    }
    NumberedAfterFileList list = NumberedAfterFileList::picking(number);
    TerminalRestoreOptions form4(s.terminal());
    PrintedPlan plan;
    DeleteProgram(s.ctx(), list, form4, dryRun ? &plan : nullptr);
    if (list.offered() && !list.found()) {
        return noSuchProgram(number);
    }
    if (!list.found()) {
        return kFailed;
    }
    const std::string path = s.state().DataFolder + list.chosenFile();
    return finish(s, dryRun ? plan.lastRemoved() == path : !s.fs().exists(path));
}

int runForget(Session& s, const CommandLine& line)
{
    const long number = *programNumber(line.arguments[0]);
    NumberedAfterFileList list = NumberedAfterFileList::picking(number);
    DeleteAfterFile(s.ctx(), list);
    if (list.offered() && !list.found()) {
        return noSuchProgram(number);
    }
    return finish(s, list.found() && !s.fs().exists(s.state().DataFolder + list.chosenFile()));
}

int runForgetBefore(Session& s)
{
    const bool existed = s.fs().exists(beforePath(s));
    DeleteBeforeFile(s.ctx());
    return finish(s, existed && !s.fs().exists(beforePath(s)));
}

int runForgetSafety(Session& s)
{
    DeleteSafetyFiles(s.ctx());
    bool anyLeft = false;
    for (const ConfigFile& file : kConfigFiles) {
        const SystemFile names = SystemFileOf({s.state().BootDrive, s.state().WinDir}, file);
        anyLeft = anyLeft || s.fs().exists(names.safetyCopy) || s.fs().exists(names.missingFile);
    }
    return finish(s, !anyLeft);
}

}  // namespace

int Main(int argc, char** argv)
{
    CommandLine line;
    if (const auto error = parse(argc, argv, line)) {
        return usageError(*error);
    }
    if (line.help) {
        const auto own = kCommandHelp.find(line.command);
        std::fputs(own != kCommandHelp.end() ? own->second.c_str() : kHelp, stdout);
        return 0;
    }
    if (line.version) {
        std::fputs("morvane-cli 4.0\n", stdout);
        return 0;
    }
    if (line.command.empty()) {
        return usageError("No command given.");
    }
    if (const auto wrong = wrongArguments(line)) {
        return usageError(*wrong);
    }
    const auto restore = restoreAnswer(line);
    if (!restore) {
        return usageError("--restore takes ask, keep, replace or merge.");
    }

    std::string prefix;
    if (const auto given = line.options.find("--prefix"); given != line.options.end()) {
        const Result<std::string> folder = PrefixOption(given->second);
        if (!folder) {
            return usageError(folder.error().reason);
        }
        prefix = *folder;
    }
    std::string dataFolder;
    if (const auto given = line.options.find("--data-dir"); given != line.options.end()) {
        const Result<std::string> folder = DataFolderOption(given->second);
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

    Terminal terminal(line.options.contains("--yes"), *restore, line.options.contains("--quiet"));
    Session s(std::make_unique<FileSystem>(std::move(*drives)), terminal);
    // The start-up of the windowed program: the data folder with its manual, and the records older
    // installations kept in the Windows directory.
    const Context c = s.ctx();
    InitFolders(c, dataFolder, shippedManualPath(exeDir), EmbeddedManual());
    MoveRecordsFromWinDir(c);
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
