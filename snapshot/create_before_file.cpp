#include "snapshot/create_before_file.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/helpers.h"
#include "core/wine_prefix.h"
#include "platform/letter_case.h"
#include "records/before_file_writer.h"
#include "records/first_line.h"
#include "records/record_format.h"
#include "snapshot/directory_tree.h"
#include "wine/companion.h"
#include "wine/prefix_state.h"

namespace morvane {
namespace {

constexpr const char* kErrorTitle = "Error";
constexpr std::string_view kNamePrompt = "Name of new program being installed (no name aborts operation)?";
constexpr std::string_view kDrivePrompt =
    "Input the drive or drives the program is being installed on. If the program will be spread out over several "
    "drives, input the letters of all the drives the program will be installed on, such as DE. The default is just "
    "C.";

void showError(const Context& ctx, Notice notice, const std::string& text)
{
    ctx.prompts.messageBox(notice, text, Buttons::Ok, Icon::Exclamation, kErrorTitle);
}

// The characters of the answer from `at` that form one character on screen: a whole UTF-8 sequence, so that
// the message names "é" rather than half of it.
std::string characterAt(const std::string& text, std::size_t at)
{
    std::size_t end = at + 1;
    if (static_cast<unsigned char>(text[at]) >= 0xC0) {
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            ++end;
        }
    }
    return text.substr(at, end - at);
}

// Whether every character of the drive letters (already in upper case) is a readable drive letter; the first
// that is not is reported.
bool drivesAccepted(const Context& ctx, const std::string& letters)
{
    for (std::size_t i = 0; i < letters.size(); ++i) {
        const char c = letters[i];
        if (c < 'A' || c > 'Z') {
            showError(ctx, Notice::InvalidDriveLetter, characterAt(letters, i) + " is not a valid drive designation.");
            return false;
        }
        if (!DriveReadable(ctx.fs, c)) {
            showError(ctx, Notice::NoSuchDrive, std::string("You do not have a drive ") + c);
            return false;
        }
    }
    return true;
}

// Asks for the drives until every character of the answer is a readable drive letter. The letters, upper case
// and in the order typed (repeats kept), or empty when the user gives no answer.
std::string askForDrives(const Context& ctx)
{
    for (;;) {
        const std::string answer =
            UpperAscii(ctx.prompts.inputBox(Notice::DriveLettersInput, kDrivePrompt, "Drive Letter", "C"));
        if (answer.empty() || drivesAccepted(ctx, answer)) {
            return answer;
        }
    }
}

// Hides Form3, blanks its lines 1 to 10 and shows its Ok button again, however the command ends.
class PanelCleanup {
public:
    explicit PanelCleanup(Panel& panel) : m_panel(panel) {}
    ~PanelCleanup()
    {
        m_panel.hide();
        m_panel.blank(1, 10);
        m_panel.setOkVisible(true);
    }
    PanelCleanup(const PanelCleanup&) = delete;
    PanelCleanup& operator=(const PanelCleanup&) = delete;

private:
    Panel& m_panel;
};

class BeforeFileRun {
public:
    BeforeFileRun(const Context& ctx, std::unique_ptr<LineWriter> out, std::string path)
        : m_ctx(ctx), m_out(std::move(out)), m_record(*m_out), m_path(std::move(path))
    {}

    // Records the drives and the system files, then closes the file. False when the command was abandoned:
    // the file is deleted by then, the user has been told why, and the result says how it ended.
    bool run(const std::string& letters);

    // What was recorded, or why not.
    BeforeResult& result() { return m_result; }

private:
    bool recordDrive(char letter);
    bool copySystemFile(const ConfigFile& file, const std::string& path);
    // Deletes the unfinished file. Should that fail, the user is told: the unfinished file would otherwise pass
    // for a pending BEFORE file.
    void abandon(Outcome outcome = Outcome::Cancelled, ErrorKind kind = ErrorKind::Other)
    {
        m_result.outcome = outcome;
        m_result.error = kind;
        m_out.reset();
        const Status removed = m_ctx.fs.removeFile(m_path);
        if (!removed && removed.error().kind != ErrorKind::NotFound) {
            showError(m_ctx, Notice::UnfinishedBeforeFileNotDeleted,
                      "Unable to delete the unfinished BEFORE file " + m_path + ": " + removed.error().reason +
                          ". Delete it before you create another BEFORE file.");
        }
    }
    void reportWriteFailure(const Error& error)
    {
        showError(m_ctx, Notice::BeforeFileNotWritten,
                  "Unable to write the BEFORE file " + m_path + ": " + error.reason + ".");
    }

    const Context& m_ctx;
    std::unique_ptr<LineWriter> m_out;
    BeforeFileWriter m_record;  // writes to m_out; unused once abandon() has closed it
    std::string m_path;
    ScanCounts m_counts;
    BeforeResult m_result;
};

bool BeforeFileRun::run(const std::string& letters)
{
    State& state = m_ctx.state;
    m_record.programName(state.ProgramName);
    for (char letter : letters) {
        if (!recordDrive(letter)) {
            return false;
        }
        if (m_ctx.events.stopRequested()) {
            abandon();
            return false;
        }
    }

    for (const ConfigFile& file : kConfigFiles) {
        if (!copySystemFile(file, ConfigFilePath({state.BootDrive, state.WinDir}, file))) {
            return false;
        }
    }

    if (m_ctx.events.stopRequested()) {
        abandon();
        return false;
    }
    const Status finished = m_out->finish();
    if (!finished) {
        abandon(Outcome::Failed, finished.error().kind);
        reportWriteFailure(finished.error());
        return false;
    }
    m_out.reset();
    m_result.outcome = Outcome::Done;
    m_result.record = m_path;
    m_result.drives = letters;
    m_result.passedOver = m_counts.skipped;
    return true;
}

bool BeforeFileRun::recordDrive(char letter)
{
    State& state = m_ctx.state;
    Panel& panel = m_ctx.panel;
    const std::string drive(1, letter);
    while (!DriveReadable(m_ctx.fs, letter)) {
        const Answer answer = m_ctx.prompts.messageBox(
            Notice::DriveNotReadyToRead,
            "Drive " + drive + " is not ready to read. Fix and click on Ok, or select Cancel to abort operation.",
            Buttons::OkCancel, Icon::Exclamation, kErrorTitle);
        if (answer == Answer::Cancel) {
            abandon();
            return false;
        }
    }
    m_record.driveLetter(letter);

    panel.setOkVisible(false);
    panel.show();
    panel.setLine(1, "Creating BEFORE file for");
    panel.setLine(2, state.ProgramName);
    panel.setAlignment(4, Alignment::Centre);
    panel.setLine(4, "Reading subdirectory names.");
    panel.repaint();

    // The list and the file names are this drive's alone and go when it is recorded: memory holds one drive's
    // at a time.
    DirectoryFiles files;
    Result<DirList> scanned = ReadDirectoryTree(m_ctx, drive + ":\\", &m_counts, &files);
    if (!scanned) {
        if (StoppedByUser(scanned.error())) {
            abandon();
            return false;
        }
        abandon(Outcome::Failed, scanned.error().kind);
        // The failing directory as it stood in the list, drive included: "C:\TEMP\".
        showError(m_ctx, Notice::BeforeDirectoryUnreadable,
                  "An error has occurred reading directory " + scanned.error().path + ". " +
                      ReasonSentence(scanned.error()) +
                      ". It is too dangerous to continue making the BEFORE file. Check to see if anything is "
                      "unusual about this directory.");
        return false;
    }

    DirList& directories = *scanned;

    panel.progress(5, "Sorting subdirectory names");
    // Where each sorted entry came from, so that each directory still finds the file names the scan stored for it.
    const std::vector<std::size_t> order = SortDirListByLength(directories);
    const auto count = static_cast<std::size_t>(directories.DirCount());

    panel.progress(6, "Saving subdirectory names to BEFORE file.");
    for (std::size_t k = 1; k <= count; ++k) {
        m_record.directory(directories[k]);
    }
    m_result.directories += static_cast<long>(count);

    panel.progress(7, "Saving file names to disk.");
    constexpr std::size_t kRangesAhead = 16;
    constexpr std::size_t kNamesAhead = 4;
    for (std::size_t k = 1; k <= count; ++k) {
        if (k + kRangesAhead <= count) {
            files.prefetchPlace(static_cast<long>(order[k + kRangesAhead - 1] + 1));
        }
        if (k + kNamesAhead <= count) {
            files.prefetchNames(static_cast<long>(order[k + kNamesAhead - 1] + 1));
        }
        const std::string& directory = directories[k];
        for (std::string_view name : files.of(static_cast<long>(order[k - 1] + 1))) {
            if (!IsRecordFileName(name)) {
                m_record.file(directory, name);
                ++m_result.files;
            }
        }
    }
    return true;
}

bool BeforeFileRun::copySystemFile(const ConfigFile& file, const std::string& path)
{
    m_record.configHeader(file.section);
    // Absent is a listing that finds nothing or a folder that is not there; a folder that cannot be read is a
    // failure, never an empty section (that would later restore the file as empty).
    const Result<Listing> found = m_ctx.fs.list(path, kNormal);
    if (!found && !IsAbsent(found.error())) {
        abandon(Outcome::Failed, found.error().kind);
        showError(m_ctx, Notice::ConfigurationFileNotCopied,
                  "Unable to copy " + path + " into the BEFORE file: " + found.error().reason + ".");
        return false;
    }
    if (found && !found->names.empty()) {
        auto in = m_ctx.fs.openForReading(path);
        Status read = in.status();
        if (!in && VanishedMeanwhile(in.error())) {
            // Removed between the listing and the opening: absent, when a second listing no longer finds it (a
            // link to nothing is still listed, and stays a failure to read).
            const Result<Listing> again = m_ctx.fs.list(path, kNormal);
            if (again && again->names.empty()) {
                read = Status();
            }
        }
        if (in) {
            std::string line;
            while ((*in)->readLine(line)) {
                m_record.configLine(line);
            }
            read = (*in)->status();
        }
        if (!read) {
            // A copy cut short would later read as lines the installation removed.
            if (m_ctx.events.stopRequested()) {
                abandon();
                return false;  // the user stopped a copy that was waiting for its file: no error of the file's
            }
            abandon(Outcome::Failed, read.error().kind);
            showError(m_ctx, Notice::ConfigurationFileNotCopied,
                      "Unable to copy " + path + " into the BEFORE file: " + read.error().reason + ".");
            return false;
        }
    }
    m_record.configEnd(file.section);
    return true;
}

bool HasControlCharacter(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 32) {
            return true;
        }
    }
    return false;
}

}  // namespace

namespace {

// The BEFORE file must not replace one that waits for its AFTER file: says so when there is one.
bool beforeFileWaiting(const Context& ctx, const std::string& beforePath)
{
    if (!ctx.fs.exists(beforePath)) {
        return false;
    }
    // Named as Delete BEFORE file names it when its first line cannot be read.
    const std::string name = ProgramNameOr(ctx.fs, beforePath, "*CORRUPTED BEFORE FILE*");
    ctx.prompts.beep();
    showError(ctx, Notice::BeforeFileExists,
              "A BEFORE file for " + name +
                  " already exists. You cannot create another BEFORE file until you have created an AFTER "
                  "file for the program described in the existing BEFORE file.");
    return true;
}

// A control character (a pasted line feed above all) would split or bend line 1 of BEFORE.DAT, and the record
// would be found damaged only after the installation: such a name is refused.
bool nameAccepted(const Context& ctx, const std::string& name)
{
    if (!HasControlCharacter(name)) {
        return true;
    }
    showError(ctx, Notice::ProgramNameRefused,
              "The program name may not contain line breaks, tabs or other control characters. Type "
              "the name again on one line.");
    return false;
}

BeforeResult Failed(ErrorKind kind)
{
    BeforeResult result;
    result.error = kind;
    return result;
}

// Records the drives into BEFORE.DAT once the name and the letters have been accepted.
BeforeResult recordBefore(const Context& ctx, const std::string& programName, const std::string& letters)
{
    const std::string beforePath = ctx.state.DataFolder + std::string(kBeforeFileName);
    ctx.state.ProgramName = programName;
    // In a Wine prefix the registry and the desktop entries are kept beside the record, read while no wineserver
    // can change them. Their file is written first and goes again with an unfinished record.
    const std::string prefix = RecordedPrefix(ctx.fs);
    std::string companion;
    if (!prefix.empty()) {
        if (!WaitUntilNoWineserver(ctx, prefix)) {
            BeforeResult cancelled;
            cancelled.outcome = Outcome::Cancelled;
            return cancelled;
        }
        const auto snapshot = wine::ReadPrefixState(ctx.fs, prefix);
        if (!snapshot) {
            showError(ctx, Notice::PrefixNotRead,
                      "Unable to read the Wine prefix " + prefix + ": " + snapshot.error().describe() +
                          ". No BEFORE file has been made.");
            return Failed(snapshot.error().kind);
        }
        companion = wine::CompanionOf(beforePath);
        if (const Status written = wine::WriteBeforeCompanion(ctx.fs, companion, *snapshot); !written) {
            (void)ctx.fs.removeFile(companion);
            showError(ctx, Notice::CompanionNotWritten,
                      "Unable to write " + written.error().describe() + ". No BEFORE file has been made.");
            return Failed(written.error().kind);
        }
    }
    PanelCleanup cleanup(ctx.panel);
    auto out = ctx.fs.createForWriting(beforePath, FileSystem::CreateMode::Truncate);
    if (!out) {
        if (!companion.empty()) {
            (void)ctx.fs.removeFile(companion);
        }
        showError(ctx, Notice::BeforeFileNotWritten,
                  "Unable to write the BEFORE file " + beforePath + ": " + out.error().reason + ".");
        return Failed(out.error().kind);
    }
    BeforeFileRun run(ctx, std::move(*out), beforePath);
    if (!run.run(letters)) {
        if (!companion.empty()) {
            (void)ctx.fs.removeFile(companion);
        }
        return run.result();
    }
    run.result().prefix = prefix;
    ctx.events.processEvents();
    SetBeforePairs(ctx.main, true);
    ReportSkippedNames(ctx.prompts, run.result().passedOver);
    return run.result();
}

}  // namespace

BeforeResult CreateBeforeFile(const Context& ctx, const BeforeRequest& request)
{
    MainWindowHidden hidden(ctx.main);
    if (beforeFileWaiting(ctx, ctx.state.DataFolder + std::string(kBeforeFileName))) {
        return Failed(ErrorKind::Invalid);
    }
    const std::string letters = UpperAscii(request.drives);
    if (request.programName.empty() || letters.empty()) {
        BeforeResult nothing;
        nothing.outcome = Outcome::Cancelled;
        return nothing;
    }
    if (!nameAccepted(ctx, request.programName) || !drivesAccepted(ctx, letters)) {
        return Failed(ErrorKind::Invalid);
    }
    return recordBefore(ctx, request.programName, letters);
}

void CreateBeforeFile(const Context& ctx)
{
    MainWindowHidden hidden(ctx.main);
    if (beforeFileWaiting(ctx, ctx.state.DataFolder + std::string(kBeforeFileName))) {
        return;
    }
    std::string name;
    for (;;) {
        name = ctx.prompts.inputBox(Notice::ProgramNameInput, kNamePrompt, "Program Name", "");
        ctx.state.ProgramName = name;
        if (name.empty()) {
            return;
        }
        if (nameAccepted(ctx, name)) {
            break;
        }
    }
    const std::string letters = askForDrives(ctx);
    if (!letters.empty()) {
        (void)recordBefore(ctx, name, letters);
    }
}

}  // namespace morvane
