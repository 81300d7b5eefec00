#include "cli/terminal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/json_text.h"
#include "core/wine_prefix.h"
#include "platform/letter_case.h"
#include "wine/registry.h"

namespace morvane::cli {

namespace {

// Ctrl-C, and the end of the session (a closed terminal or ssh connection, a kill): each stops the record.
constexpr int kStopSignals[] = {SIGINT, SIGHUP, SIGTERM};
volatile std::sig_atomic_t g_interruptRequested = 0;  // the signal received, 0 for none
struct sigaction g_previous[3]{};

void onInterrupt(int number)
{
    if (g_interruptRequested) {
        // A second signal while the first is being dealt with ends the program at once.
        signal(number, SIG_DFL);
        raise(number);
        return;
    }
    g_interruptRequested = number;
}

void put(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

// Message texts break lines with CR or LF; on the terminal every break is a newline.
std::string terminalText(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c == '\r') {
            c = '\n';
        }
    }
    return out;
}

// One line of the input, read a byte at a time so that an interrupt ends the wait. False at the end of the
// input or on an interrupt.
bool readAnswer(int input, std::string& line)
{
    line.clear();
    for (;;) {
        char c = 0;
        const ssize_t got = read(input, &c, 1);
        if (got == 1) {
            if (c == '\n') {
                return true;
            }
            line += c;
            continue;
        }
        if (got < 0 && errno == EINTR && !Interrupt::requested()) {
            continue;
        }
        return false;
    }
}

// Categories 3..6 of the report.

// What a notice is to the terminal.
enum class Role {
    Failure,       // says that something failed: shown, and the command fails
    Aside,         // about another record than the one at hand: shown, even with -q, and the command goes on
    Information,   // shown unless -q
    Retry,         // OK tries again, Cancel gives up: the command fails; Cancel when no answer can be had
    Confirmation,  // a Yes/No question that --yes answers; No when no answer can be had
    Problem,       // a file that resists deletion: the command fails; --yes, or no answer, gives up on its
                   // directory (Yes) rather than trying again for ever
    Restoration,   // putting back a configuration file: --restore answers it; No when no answer can be had
    Input,         // an input box: answered from the command line
};

Role RoleOf(Notice notice)
{
    switch (notice) {
    case Notice::CorruptedRecordLeftOut:
    case Notice::CorruptedRecordDeleted: return Role::Aside;

    case Notice::NamesPassedOver:
    case Notice::LinesPlacedAside:
    case Notice::PrefixEntriesKept: return Role::Information;

    case Notice::DriveNotReadyToRead:
    case Notice::DriveNotReadyToWrite: return Role::Retry;

    case Notice::PendingAfterFile:
    case Notice::ConfirmDeletion:
    case Notice::ConfirmEachFile:
    case Notice::DeleteThisFile:
    case Notice::ConfirmAfterFileDeletion:
    case Notice::ConfirmBeforeFileDeletion:
    case Notice::ConfirmSafetyFilesDeletion: return Role::Confirmation;

    case Notice::ProblemDeletingFile: return Role::Problem;

    case Notice::RestoreUnchanged: return Role::Restoration;

    case Notice::ProgramNameInput:
    case Notice::DriveLettersInput: return Role::Input;

    case Notice::DrivesUnreadable:
    case Notice::DataFolderUnusable:
    case Notice::ManualNotCopied:
    case Notice::RecordNotMoved:
    case Notice::RecordLeftInPlace:
    case Notice::WebPageNotOpened:
    case Notice::BeforeFileExists:
    case Notice::ProgramNameRefused:
    case Notice::InvalidDriveLetter:
    case Notice::NoSuchDrive:
    case Notice::BeforeDirectoryUnreadable:
    case Notice::ConfigurationFileNotCopied:
    case Notice::BeforeFileNotWritten:
    case Notice::UnfinishedBeforeFileNotDeleted:
    case Notice::NoBeforeFile:
    case Notice::BeforeFileDamaged:
    case Notice::AfterFileReadFailed:
    case Notice::AfterFileNotCreated:
    case Notice::AfterFileNotWritten:
    case Notice::AfterDirectoryUnreadable:
    case Notice::PartialAfterFileNotDeleted:
    case Notice::BeforeFileNotDeleted:
    case Notice::AfterFolderUnreadable:
    case Notice::NoAfterFiles:
    case Notice::UnreadableRecordLeftOut:
    case Notice::CorruptedRecordNotDeleted:
    case Notice::RecordNameWithoutNumber:
    case Notice::ChosenRecordUnreadable:
    case Notice::ReportRecordUnreadable:
    case Notice::DeletionRecordUnreadable:
    case Notice::RecordUnusable:
    case Notice::DirectoryNotRemoved:
    case Notice::NotRestored:
    case Notice::AfterFileNotDeleted:
    case Notice::ConfigurationFileUnreachable:
    case Notice::ConfigurationFileIsLink:
    case Notice::ConfigurationFileRefused:
    case Notice::ConfigurationFileUnreadable:
    case Notice::ConfigurationFileNotWritten:
    case Notice::SafetyCopyNotWritten:
    case Notice::MissingLinesNotWritten:
    case Notice::BeforeFolderUnreadable:
    case Notice::NoBeforeFileToDelete:
    case Notice::SafetyFolderUnreadable:
    case Notice::NoSafetyFiles:
    case Notice::FileNotDeleted:
    // A running wineserver is not waited for: the message says how to end it, and the command fails.
    case Notice::WineserverRunning:
    case Notice::PrefixNotRead:
    case Notice::CompanionNotWritten:
    case Notice::PrefixRecordUnusable:
    case Notice::PrefixNotReverted: return Role::Failure;
    }
    return Role::Failure;
}

// The answer of --restore to the question whether to put back a configuration file the user has not changed
// since the installation; nothing for ask. Replacing is the only restoration this question offers.
std::optional<Answer> restorationAnswer(RestoreAnswer restore)
{
    switch (restore) {
    case RestoreAnswer::Keep: return Answer::No;
    case RestoreAnswer::Replace:
    case RestoreAnswer::Merge: return Answer::Yes;
    case RestoreAnswer::Ask: break;
    }
    return std::nullopt;
}

}  // namespace

Terminal::Terminal(bool yes, RestoreAnswer restore, bool quiet)
    : Terminal(yes, restore, quiet, isatty(STDIN_FILENO) != 0, STDIN_FILENO, stderr)
{
    m_progress = !quiet && isatty(STDERR_FILENO) != 0;
}

Terminal::Terminal(bool yes, RestoreAnswer restore, bool quiet, bool interactive, int input, std::FILE* messages)
    : m_yes(yes), m_restore(restore), m_quiet(quiet), m_interactive(interactive), m_input(input), m_messages(messages)
{}

void Terminal::progress(std::string_view text) const
{
    put(m_messages, "\r" + std::string(text) + "\x1b[K");
    std::fflush(m_messages);
    m_progressOnScreen = true;
}

void Terminal::clearProgress() const
{
    if (m_progressOnScreen) {
        put(m_messages, "\r\x1b[K");
        std::fflush(m_messages);
        m_progressOnScreen = false;
    }
}

void Terminal::message(std::string_view text) const
{
    clearProgress();
    std::string line = terminalText(text);
    line += '\n';
    put(m_messages, line);
}

int Terminal::ask(std::string_view question, const std::vector<std::string>& choices) const
{
    std::string menu;
    for (const std::string& choice : choices) {
        menu += (menu.empty() ? "[" : "/") + choice;
    }
    menu += "] ";
    clearProgress();
    for (;;) {
        put(m_messages, terminalText(question) + " " + menu);
        std::fflush(m_messages);
        std::string answer;
        if (!readAnswer(m_input, answer)) {
            put(m_messages, "\n");
            return -1;
        }
        answer = LowerAscii(answer);
        for (std::size_t i = 0; i < choices.size(); ++i) {
            const std::string choice = LowerAscii(choices[i]);
            if (!answer.empty() && (answer == choice || answer == choice.substr(0, 1))) {
                return static_cast<int>(i);
            }
        }
    }
}

void Terminal::missingAnswer(std::string_view question, std::string_view option)
{
    message("morvane-cli: standard input is not a terminal, so this question was not asked: " + terminalText(question));
    message("morvane-cli: give " + std::string(option) + " to answer it.");
    if (m_missing.empty()) {
        m_missing = option;
    }
}

Interrupt::Interrupt()
{
    g_interruptRequested = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a question waiting for its answer ends at once
    for (int k = 0; k < 3; ++k) {
        sigaction(kStopSignals[k], &action, &g_previous[k]);
    }
}

Interrupt::~Interrupt()
{
    for (int k = 0; k < 3; ++k) {
        sigaction(kStopSignals[k], &g_previous[k], nullptr);
    }
}

bool Interrupt::requested()
{
    return g_interruptRequested != 0;
}

void Interrupt::endProgram()
{
    std::fflush(stdout);
    std::fflush(stderr);
    const int number = g_interruptRequested != 0 ? static_cast<int>(g_interruptRequested) : SIGINT;
    signal(number, SIG_DFL);
    raise(number);
    std::_Exit(128 + number);
}

std::string DiskPath(const FileSystem& fs, std::string_view path, Lookup lookup)
{
    if (auto host = fs.toHost(path, lookup)) {
        return *host;
    }
    if (path.starts_with('/')) {
        return std::string(path);
    }
    // Below the deepest folder that is there. A directory's path ends in '\'; a drive root ("C:\") ends the climb.
    std::string_view entry = path;
    if (entry.size() > 3 && entry.ends_with('\\')) {
        entry.remove_suffix(1);
    }
    const std::size_t cut = entry.rfind('\\');
    if (entry.size() <= 3 || cut == std::string_view::npos) {
        return {};
    }
    const std::string folder = DiskPath(fs, entry.substr(0, cut + 1), lookup);
    if (folder.empty()) {
        return {};
    }
    return folder + (folder.ends_with('/') ? "" : "/") + std::string(entry.substr(cut + 1));
}

Answer TerminalPrompts::messageBox(Notice notice, std::string_view text, Buttons, Icon, std::string_view title)
{
    const std::string shown = std::string(title) + ": " + std::string(text);
    if (m_terminal.dryRun()) {
        if (const auto answer = dryRunAnswer(notice, shown)) {
            return *answer;
        }
    }
    switch (const Role role = RoleOf(notice)) {
    case Role::Input:  // never a message box; shown as a failure should one come
    case Role::Failure:
        m_terminal.noteTrouble();
        m_terminal.message(shown);
        return Answer::Ok;
    case Role::Aside: m_terminal.message(shown); return Answer::Ok;
    case Role::Information:
        if (!m_terminal.quiet()) {
            m_terminal.message(shown);
        }
        return Answer::Ok;
    case Role::Retry:
        m_terminal.noteTrouble();
        if (!m_terminal.interactive()) {
            m_terminal.message(shown);
            return Answer::Cancel;
        }
        return m_terminal.ask(shown, {"ok", "cancel"}) == 0 ? Answer::Ok : Answer::Cancel;
    case Role::Problem:
    case Role::Confirmation:
        if (role == Role::Problem) {
            m_terminal.noteTrouble();
        }
        if (m_terminal.yes()) {
            if (!m_terminal.quiet()) {
                m_terminal.message(std::string(text) + " yes (--yes)");
            }
            return Answer::Yes;
        }
        return askYesNo(text, "--yes", role == Role::Problem ? Answer::Yes : Answer::No);
    case Role::Restoration:
        if (const auto given = restorationAnswer(m_terminal.restore())) {
            return *given;
        }
        return askYesNo(text, "--restore", Answer::No);
    }
    return Answer::Cancel;
}

std::optional<Answer> TerminalPrompts::dryRunAnswer(Notice notice, const std::string& shown)
{
    switch (const Role role = RoleOf(notice)) {
    case Role::Retry:
    case Role::Problem:
        // Shown, since the command fails for it; a drive is not waited for, and a folder that cannot be read
        // is given up (as --yes does).
        m_terminal.noteTrouble();
        m_terminal.message(shown);
        return role == Role::Retry ? Answer::Cancel : Answer::Yes;
    case Role::Confirmation:
        // Not confirming each file of an older directory deletes them all.
        return notice == Notice::ConfirmEachFile ? Answer::No : Answer::Yes;
    case Role::Restoration:
        if (const auto given = restorationAnswer(m_terminal.restore())) {
            return *given;
        }
        m_terminal.noteRestorationUnanswered();
        return Answer::No;
    case Role::Input:
    case Role::Failure:
    case Role::Aside:
    case Role::Information: break;
    }
    return std::nullopt;  // asks nothing: as on any other run
}

Answer TerminalPrompts::askYesNo(std::string_view question, std::string_view option, Answer safe)
{
    if (!m_terminal.interactive()) {
        m_terminal.missingAnswer(question, option);
        return safe;
    }
    const int choice = m_terminal.ask(question, {"yes", "no"});
    return choice < 0 ? safe : choice == 0 ? Answer::Yes : Answer::No;
}

std::string TerminalPrompts::inputBox(Notice, std::string_view, std::string_view, std::string_view)
{
    // The terminal's commands take their inputs from the command line and hand them to the engine; an input box
    // that is shown all the same answers empty, which ends its command.
    return {};
}

void TerminalPrompts::beep()
{
    // The beep comes before a question; a dry run asks none.
    if (m_terminal.progressShown() && !m_terminal.dryRun()) {
        put(stderr, "\a");
    }
}

void TerminalPanel::setLine(int index, std::string_view text)
{
    if (index < 1 || index > Panel::kLines) {
        return;
    }
    m_lines[static_cast<std::size_t>(index)] = text;
    // Lines 4 to 8 name the step being taken while a record is made.
    if (index >= 4 && index <= 8 && !text.empty()) {
        m_step = text;
    }
}

void TerminalPanel::show()
{
    m_shown = std::chrono::steady_clock::now();
}

void TerminalPanel::hide()
{
    m_terminal.clearProgress();
}

void TerminalPanel::showProgress()
{
    if (!m_terminal.progressShown() || m_step.empty()) {
        return;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_shown).count();
    const long directories = m_directoriesDone + m_directories;
    const long files = m_filesDone + m_files;
    char figures[160];
    std::snprintf(figures, sizeof figures, "  %ld directories, %ld files, %.0f/s, %.1f s", directories, files,
                  seconds > 0 ? static_cast<double>(directories + files) / seconds : 0.0, seconds);
    m_terminal.progress(m_step + figures);
}

void TerminalPanel::scanned(long directories, long files)
{
    if (directories < m_directories) {
        m_directoriesDone += m_directories;
        m_filesDone += m_files;
    }
    m_directories = directories;
    m_files = files;
}

void TerminalPanel::waitForOk()
{
    m_terminal.clearProgress();
    m_waited = true;
    int last = 0;
    for (int i = 1; i <= Panel::kLines; ++i) {
        if (!m_lines[static_cast<std::size_t>(i)].empty()) {
            last = i;
        }
    }
    std::string out;
    for (int i = 1; i <= last; ++i) {
        out += m_lines[static_cast<std::size_t>(i)] + "\n";
    }
    put(stdout, out);
}

int NumberedAfterFileList::ChooseFrom(const AfterSelection& selection)
{
    // The window shows the names up to the first empty one.
    for (long i = 1; i <= selection.AfterCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (selection.AfterNames[at].empty()) {
            break;
        }
        m_lines.push_back(std::to_string(selection.AfterNumbers[at]) + "\t" + selection.AfterNames[at]);
    }
    return -1;
}

int TerminalRestoreOptions::ShowRestoreOptions(const std::string& path, const std::string& programName,
                                               bool linesMissing)
{
    switch (m_terminal.restore()) {
    case RestoreAnswer::Keep: return 1;
    case RestoreAnswer::Replace: return 2;
    case RestoreAnswer::Merge: return 3;
    case RestoreAnswer::Ask: break;
    }
    if (m_terminal.dryRun()) {
        m_terminal.noteRestorationUnanswered();
        return 1;
    }
    const RestoreOptionsText texts = RestoreOptionsTexts(path, programName, linesMissing);
    if (!m_terminal.interactive()) {
        m_terminal.missingAnswer(texts.caption, "--restore");
        return 1;
    }
    // The window's caption and lines, then its options numbered as the menu takes them.
    std::string text = texts.caption + "\n";
    for (const std::string& line : texts.lines) {
        if (!line.empty()) {
            text += line + "\n";
        }
    }
    text += texts.optionsHeading;
    for (std::size_t k = 0; k < texts.options.size(); ++k) {
        text += "\n  " + std::to_string(k + 1) + " " + texts.options[k];
    }
    m_terminal.message(text);
    const int choice = m_terminal.ask("Option", {"1", "2", "3"});
    return choice < 0 ? 1 : choice + 1;
}

namespace {

// The directories or files of a report with their paths on disk, as text lines or as JSON objects.
std::string EntryLine(const std::string& entry, const FileSystem& fs)
{
    return entry + "\t" + DiskPath(fs, entry, Lookup::Exact);
}

std::string EntryObjects(const std::vector<std::string>& entries, const FileSystem& fs)
{
    std::string out = "[";
    for (const std::string& entry : entries) {
        out += out.size() > 1 ? ", " : "";
        out += "{\"path\": " + JsonString(entry) +
               ", \"disk_path\": " + JsonString(DiskPath(fs, entry, Lookup::Exact)) + "}";
    }
    return out + "]";
}

// What a registry change was, as the JSON names it.
const char* ChangeName(wine::RegistryChange::Kind kind)
{
    using Kind = wine::RegistryChange::Kind;
    switch (kind) {
    case Kind::KeyAdded: return "key added";
    case Kind::KeyDeleted: return "key deleted";
    case Kind::ValueAdded: return "value added";
    case Kind::ValueChanged: return "value changed";
    case Kind::ValueDeleted: return "value deleted";
    }
    return "";
}

// The number held by `size` bytes of `data`, low byte first unless `bigEndian`.
std::uint64_t Number(std::string_view data, bool bigEndian)
{
    std::uint64_t n = 0;
    for (std::size_t k = 0; k < data.size(); ++k) {
        const std::size_t at = bigEndian ? k : data.size() - 1 - k;
        n = (n << 8) | static_cast<unsigned char>(data[at]);
    }
    return n;
}

// The items of a multi-string in its one exact form (each item and its NUL, then one more); nothing for data in
// any other form, such as an empty item, which would end the list early, or a missing final NUL.
std::optional<std::vector<std::u16string>> MultiStringItems(const std::string& data)
{
    wine::RegistryValue value;
    value.data = data;
    const auto units = value.units();
    if (!units || data.size() < 2) {
        return std::nullopt;
    }
    std::vector<std::u16string> items;
    std::u16string_view rest(*units);  // without the final NUL
    while (!rest.empty()) {
        const std::size_t end = rest.find(u'\0');
        if (end == 0 || end == std::u16string_view::npos) {
            return std::nullopt;
        }
        items.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    if (wine::RegistryValue::multiText({}, items).data != data) {
        return std::nullopt;
    }
    return items;
}

// A value's data in JSON: a string as text, a multi-string as a list of texts, a number as a number; other data,
// and data not in its type's form, as hexadecimal digits.
std::string DataJson(const wine::RecordedData& recorded)
{
    const std::string& data = recorded.data;
    switch (recorded.type) {
    case wine::kRegSz:
    case wine::kRegExpandSz:
        // Whole code units ending in the NUL: the text before it.
        if (data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0) {
            wine::RegistryValue value;
            value.data = data;
            return JsonStringOfUnits(*value.units());
        }
        break;
    case wine::kRegMultiSz:
        if (const auto items = MultiStringItems(data)) {
            std::string out = "[";
            for (std::size_t k = 0; k < items->size(); ++k) {
                out += (k == 0 ? "" : ", ") + JsonStringOfUnits((*items)[k]);
            }
            return out + "]";
        }
        break;
    case wine::kRegDword:
    case wine::kRegDwordBigEndian:
        if (data.size() == 4) {
            return std::to_string(Number(data, recorded.type == wine::kRegDwordBigEndian));
        }
        break;
    case wine::kRegQword:
        if (data.size() == 8) {
            return std::to_string(Number(data, false));
        }
        break;
    default: break;
    }
    static const char* const kDigits = "0123456789abcdef";
    std::string hex = "\"";
    for (const char c : data) {
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return hex + "\"";
}

std::string RecordedJson(const wine::RecordedData& data)
{
    return "{\"type\": " + std::to_string(data.type) + ", \"data\": " + DataJson(data) + "}";
}

std::string RegistryJson(const std::vector<wine::RegistryChange>& changes)
{
    using Kind = wine::RegistryChange::Kind;
    std::string out = "[";
    for (const wine::RegistryChange& change : changes) {
        out += out.size() > 1 ? ", " : "";
        out += std::string("{\"change\": \"") + ChangeName(change.kind) + "\"";
        out += ", \"hive\": " + JsonString(wine::HiveDisplayName(change.hive));
        out += ", \"key\": " + JsonStringOfUnits(change.key);
        if (change.kind != Kind::KeyAdded && change.kind != Kind::KeyDeleted) {
            out += ", \"value\": " + JsonStringOfUnits(change.value);
        }
        if (change.before) {
            out += ", \"before\": " + RecordedJson(*change.before);
        }
        if (change.after) {
            out += ", \"after\": " + RecordedJson(*change.after);
        }
        out += "}";
    }
    return out + "]";
}

// Whether a desktop entry is on the disk now as the installation left it, hashed as the prefix's state hashes it: a
// symbolic link by its target, never followed; a file by its contents.
std::string DesktopEntryState(const wine::DesktopEntry& entry, const FileSystem& fs)
{
    struct stat st {};
    if (::lstat(entry.path.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? "missing" : "changed";
    }
    std::string hash;
    if (S_ISLNK(st.st_mode)) {
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(entry.path.c_str(), target.data(), target.size());
        target.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
        hash = n < 0 ? std::string() : wine::ContentHash("link -> " + target);
    } else if (S_ISREG(st.st_mode)) {
        const auto bytes = fs.readFile(entry.path);
        hash = bytes ? wine::ContentHash(*bytes) : std::string();
    } else if (!S_ISDIR(st.st_mode)) {
        hash = wine::ContentHash("");
    }
    return !hash.empty() && hash == entry.hash ? "unchanged" : "changed";
}

std::string DesktopJson(const wine::PrefixChanges& changes, const FileSystem& fs)
{
    std::string out = "{\"entries\": [";
    for (std::size_t k = 0; k < changes.desktop.size(); ++k) {
        const wine::DesktopEntry& entry = changes.desktop[k];
        out += k == 0 ? "" : ", ";
        out += "{\"path\": " + JsonString(entry.path) + ", \"disk\": \"" + DesktopEntryState(entry, fs) +
               "\", \"sha256\": " + JsonString(entry.hash) + "}";
    }
    return out + "], \"folders\": " + JsonList(changes.desktopFolders) + "}";
}

}  // namespace

std::string ReportText(const ProgramReport& report, bool details, const FileSystem& fs)
{
    std::string out = ReportCaption(report.programName) + "\n";
    out += ReportCountLabel(kReportDirectories) + " " + std::to_string(report.directories.size()) + "\n";
    out += ReportCountLabel(kReportFiles) + " " + std::to_string(report.files.size()) + "\n";
    for (std::size_t k = 0; k < report.configuration.size(); ++k) {
        out += std::string(kConfigFiles[k].fileName) +
               " changed: " + ReportResultText(report.configuration[k].changed) + "\n";
    }
    if (report.prefix) {
        out += "Registry changed: " + ReportResultText(!report.prefix->registry.empty()) + "\n";
        out += "Desktop entries added: " + std::to_string(report.prefix->desktop.size()) + "\n";
    }
    if (!details) {
        return out;
    }
    for (const auto& [category, entries] :
         {std::pair{kReportDirectories, &report.directories}, std::pair{kReportFiles, &report.files}}) {
        if (!entries->empty()) {
            out += "\n" + ReportListTitle(category) + "\n";
            for (const std::string& entry : *entries) {
                out += EntryLine(entry, fs) + "\n";
            }
        }
    }
    for (std::size_t k = 0; k < report.configuration.size(); ++k) {
        const ConfigurationReport& config = report.configuration[k];
        if (!config.changed) {
            continue;
        }
        out += "\n" + ReportListTitle(kReportAutoexec + static_cast<int>(k)) + "\n";
        for (const std::string& line : config.lines.added) {
            out += "added\t" + line + "\n";
        }
        for (const std::string& line : config.lines.removed) {
            out += "removed\t" + line + "\n";
        }
    }
    if (report.prefix) {
        for (const auto& [category, lines] : {std::pair{kReportRegistry, RegistryChangeLines(*report.prefix)},
                                              std::pair{kReportDesktop, DesktopEntryLines(*report.prefix)}}) {
            if (!lines.empty()) {
                out += "\n" + ReportListTitle(category) + "\n";
                for (const std::string& line : lines) {
                    out += line + "\n";
                }
            }
        }
    }
    return out;
}

std::string ReportJson(long number, const ProgramReport& report, const FileSystem& fs)
{
    std::string out = "{\"number\": " + std::to_string(number) + ", \"program\": " + JsonString(report.programName);
    out += ", \"directories_added\": " + std::to_string(report.directories.size());
    out += ", \"files_added\": " + std::to_string(report.files.size());
    out += ", \"directories\": " + EntryObjects(report.directories, fs);
    out += ", \"files\": " + EntryObjects(report.files, fs);
    out += ", \"configuration\": [";
    for (std::size_t k = 0; k < report.configuration.size(); ++k) {
        const ConfigurationReport& config = report.configuration[k];
        out += k > 0 ? ", {\"file\": " : "{\"file\": ";
        out += JsonString(kConfigFiles[k].fileName);
        out += std::string(", \"changed\": ") + (config.changed ? "true" : "false");
        out += ", \"added\": " + JsonList(config.lines.added);
        out += ", \"removed\": " + JsonList(config.lines.removed) + "}";
    }
    out += "]";
    if (report.prefix) {
        out += ", \"prefix\": " + JsonString(report.prefix->prefix);
        out += ", \"registry\": " + RegistryJson(report.prefix->registry);
        out += ", \"desktop\": " + DesktopJson(*report.prefix, fs);
    }
    out += "}\n";
    return out;
}

void PrintedPlan::step(std::string_view name, const std::string& path, Lookup lookup, std::string_view more)
{
    std::string out(name);
    out += " " + path + "\t" + DiskPath(m_fs, path, lookup) + "\n";
    out += more;
    put(stdout, out);
}

void PrintedPlan::removeFile(const std::string& path)
{
    m_lastRemoved = path;
    step("delete", path, Lookup::Exact);
}

void PrintedPlan::removeDirectory(const std::string& path)
{
    step("rmdir", path, Lookup::Exact);
}

void PrintedPlan::keepFile(const std::string& path)
{
    // A file the record names has its name exactly; a configuration file is found in any letter case, as the
    // restoration finds it.
    const Lookup lookup = m_fs.attributes(path, Lookup::Exact) ? Lookup::Exact : Lookup::AnyCase;
    step(m_terminal.takeRestorationUnanswered() ? "ask" : "keep", path, lookup);
}

void PrintedPlan::prefixStep(const wine::RevertStep& step)
{
    put(stdout, DescribeRevertStep(step) + "\n");
}

void PrintedPlan::writeFile(const std::string& path, const std::vector<std::string>& lines)
{
    std::string content;
    for (const std::string& line : lines) {
        content += "\t" + line + "\n";
    }
    step("write", path, Lookup::AnyCase, content);
}

}  // namespace morvane::cli
