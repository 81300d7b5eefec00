#include "changes/create_after_file.h"

#include <sys/stat.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "changes/compare_system_file_section.h"
#include "changes/new_directories.h"
#include "changes/old_file_index.h"
#include "changes/string_index.h"
#include "core/helpers.h"
#include "core/wine_prefix.h"
#include "records/after_file_writer.h"
#include "records/before_file_reader.h"
#include "records/line_store.h"
#include "records/record_format.h"
#include "snapshot/directory_tree.h"
#include "wine/companion.h"
#include "wine/prefix_state.h"

namespace morvane {

namespace {

constexpr const char* kNoBeforeFile = "No BEFORE file found.\rCannot create an AFTER file without a BEFORE file.";
constexpr const char* kNothingCreated = " No AFTER file was created; the BEFORE file is kept.";

// The smallest n from 1 up for which the data folder holds no AFTER<n>.DAT.
std::string FreeAfterPath(const Context& ctx)
{
    for (long n = 1;; ++n) {
        std::string path = ctx.state.DataFolder + AfterFileName(n);
        if (!ctx.fs.exists(path)) {
            return path;
        }
    }
}

// Lets a progress line that changes per directory be repainted 25 times a second at most: a repaint per
// directory would cost more than reading the directory.
class ProgressGate {
public:
    bool due()
    {
        if (++m_calls < kCheckEvery && m_started) {
            return false;
        }
        m_calls = 0;
        const auto now = Clock::now();
        if (m_started && now - m_last < kInterval) {
            return false;
        }
        m_started = true;
        m_last = now;
        return true;
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kCheckEvery = 16;
    static constexpr auto kInterval = std::chrono::milliseconds(40);
    Clock::time_point m_last;
    int m_calls = 0;
    bool m_started = false;
};

// One run of the command, from the opened BEFORE.DAT to the closing of the panel.
class AfterFileCreation {
public:
    AfterFileCreation(const Context& ctx, std::string beforePath, std::string afterPath)
        : m_ctx(ctx), m_beforePath(std::move(beforePath)), m_afterPath(std::move(afterPath))
    {}

    // Makes the record; the result says how it ended, and what the record holds.
    AfterResult run();

private:
    enum class Step { Done, Cancelled, Failed };

    Step processDrive(char letter, char& nextDrive);
    bool waitUntilReadable(char letter);
    void findNewFiles(char letter, const LineStore& oldDirectories, const LineStore& oldFiles, const DirList& current,
                      const DirectoryFiles& currentFiles);
    void considerFile(std::string_view directory, std::string_view name, const OldFileIndex& index);
    Step compareSystemFiles();
    // What the installation changed in the Wine prefix, when the BEFORE file has a companion; false when the
    // command ended here (told and closed).
    bool findPrefixChanges();

    // A message and its notice, and the kind of failure behind it.
    struct Failure {
        Notice notice;
        std::string text;
        ErrorKind kind = ErrorKind::Other;
    };

    // Ends the command without a record: closes both files, deletes the partial AFTER file and says why.
    void fail(const Failure& why);
    // Why reading stopped: a damaged BEFORE file, or a file that could not be read.
    Failure readFailure(const Error& error) const;
    void cancel();
    std::string removePartialAfterFile();
    void showReport();
    void close();
    // The AFTER file's lines, written to m_after while it is open.
    AfterFileWriter record() { return AfterFileWriter(*m_after); }

    const Context& m_ctx;
    std::string m_beforePath;
    std::string m_afterPath;
    std::unique_ptr<LineReader> m_before;
    std::unique_ptr<LineWriter> m_after;

    long m_directoryCount = 0;
    long m_fileCount = 0;
    std::size_t m_skippedNames = 0;
    bool m_changed[4] = {false, false, false, false};
    std::string m_drives;
    std::optional<wine::PrefixChanges> m_prefixChanges;
    AfterResult m_result;
};

AfterResult AfterFileCreation::run()
{
    State& state = m_ctx.state;
    Panel& panel = m_ctx.panel;

    auto opened = m_ctx.fs.openForReading(m_beforePath);
    if (!opened) {
        m_ctx.prompts.messageBox(Notice::AfterFileReadFailed,
                                 "Unable to read " + opened.error().describe() + "." + kNothingCreated, Buttons::Ok,
                                 Icon::Exclamation, "Error");
        m_result.error = opened.error().kind;
        return m_result;
    }
    m_before = std::move(*opened);
    BeforeFileReader before(*m_before);
    char drive = 0;
    if (Status header = before.readHeader(state.ProgramName, drive); !header) {
        m_before.reset();
        const Failure why = readFailure(header.error());
        m_ctx.prompts.messageBox(why.notice, why.text + kNothingCreated, Buttons::Ok, Icon::Exclamation, "Error");
        m_result.error = why.kind;
        return m_result;
    }

    if (!findPrefixChanges()) {
        return m_result;
    }

    panel.setOkVisible(false);
    panel.show();
    panel.blankCentred(1, 19);
    panel.setLine(1, "Creating file " + m_afterPath + " for");
    panel.setLine(2, state.ProgramName);
    panel.setLine(4, "Loading in old subdirectory names.");
    panel.repaint();

    // Exclusive: a file of that name that the existence test could not see (a hidden one) is never replaced.
    auto created = m_ctx.fs.createForWriting(m_afterPath, FileSystem::CreateMode::Exclusive);
    if (!created) {
        m_before.reset();
        m_ctx.prompts.messageBox(
            Notice::AfterFileNotCreated,
            "Unable to create the AFTER file " + created.error().describe() + ". The BEFORE file is kept.", Buttons::Ok,
            Icon::Exclamation, "Error");
        close();
        m_result.error = created.error().kind;
        return m_result;
    }
    m_after = std::move(*created);
    record().programName(state.ProgramName);

    while (drive != 0) {
        char nextDrive = 0;
        const Step step = processDrive(drive, nextDrive);
        if (step == Step::Cancelled) {
            cancel();
            return m_result;
        }
        if (step == Step::Failed) {
            return m_result;
        }
        drive = nextDrive;
        if (m_ctx.events.stopRequested()) {
            cancel();
            return m_result;
        }
    }

    if (compareSystemFiles() == Step::Failed) {
        return m_result;
    }
    // The last moment a stop leaves no record: from here on the AFTER file is completed and replaces the BEFORE
    // file.
    if (m_ctx.events.stopRequested()) {
        cancel();
        return m_result;
    }

    // The companion first: an AFTER file that is complete has its companion by then.
    if (m_prefixChanges) {
        if (const Status written =
                wine::WriteAfterCompanion(m_ctx.fs, wine::CompanionOf(m_afterPath), *m_prefixChanges);
            !written) {
            fail({Notice::CompanionNotWritten, "Unable to write " + written.error().describe() + ".",
                  written.error().kind});
            return m_result;
        }
    }
    // The record must be complete on disk before the snapshot it replaces goes.
    const Status finished = m_after->finish();
    m_after.reset();
    m_before.reset();
    if (!finished) {
        fail({Notice::AfterFileNotWritten, "Unable to write the AFTER file " + finished.error().describe() + ".",
              finished.error().kind});
        return m_result;
    }
    m_ctx.events.processEvents();

    const Status removed = m_ctx.fs.removeFile(m_beforePath);
    if (removed) {
        // Its companion is of no use without it; one left by a failure here is replaced by the next BEFORE file.
        (void)m_ctx.fs.removeFile(wine::CompanionOf(m_beforePath));
    }
    if (!removed) {
        // The AFTER file is complete and synced: it is the record of the installation and stays. Deleting it
        // too would discard a good record, and usually fails for the same reason anyway.
        m_ctx.prompts.messageBox(
            Notice::BeforeFileNotDeleted,
            "The AFTER file " + m_afterPath + " was created, but the BEFORE file could not be deleted: " +
                removed.error().describe() + ". Delete the BEFORE file before you create another AFTER file.",
            Buttons::Ok, Icon::Exclamation, "Error");
    }
    ReportSkippedNames(m_ctx.prompts, m_skippedNames);

    m_result.outcome = Outcome::Done;
    m_result.record = m_afterPath;
    m_result.programName = state.ProgramName;
    m_result.drives = m_drives;
    m_result.directories = m_directoryCount;
    m_result.files = m_fileCount;
    for (std::size_t k = 0; k < m_result.changed.size(); ++k) {
        m_result.changed[k] = m_changed[k];
    }
    m_result.passedOver = m_skippedNames;
    m_result.beforeFileKept = !removed;
    if (m_prefixChanges) {
        m_result.prefix = m_prefixChanges->prefix;
        m_result.registryChanges = static_cast<long>(m_prefixChanges->registry.size());
        m_result.desktopEntries = static_cast<long>(m_prefixChanges->desktop.size());
    }

    showReport();
    if (removed) {
        SetBeforePairs(m_ctx.main, false);
    } else {
        UpdateBeforePairs(m_ctx);
    }
    close();
    return m_result;
}

AfterFileCreation::Step AfterFileCreation::processDrive(char letter, char& nextDrive)
{
    Panel& panel = m_ctx.panel;
    BeforeFileReader before(*m_before);

    record().driveLetter(letter);
    m_drives += letter;
    if (!waitUntilReadable(letter)) {
        return Step::Cancelled;
    }

    LineStore oldDirectories;
    if (Status read = before.readDirectories(letter, oldDirectories); !read) {
        fail(readFailure(read.error()));
        return Step::Failed;
    }
    m_ctx.events.processEvents();

    panel.progress(5, "Loading in current subdirectory names.");
    // The walk keeps each directory's file names, so that the old directories are not read a second time.
    ScanCounts counts;
    DirectoryFiles currentFiles;
    const Result<DirList> scanned = ReadDirectoryTree(m_ctx, std::string(1, letter) + ":\\", &counts, &currentFiles);
    if (!scanned) {
        if (StoppedByUser(scanned.error())) {
            return Step::Cancelled;
        }
        fail(readFailure(scanned.error()));
        return Step::Failed;
    }
    m_skippedNames += counts.skipped;
    const DirList& current = *scanned;

    panel.progress(6, "Identifying and saving new subdirectory names.");
    std::vector<std::string> fresh;
    if (!currentFiles.anyVanished()) {
        fresh = FindNewDirectories(oldDirectories, current.slots(), current.DirCount());
    } else {
        // A directory that was gone when the walk came to read it is not on the drive now: it is never recorded
        // as new, or deleting the program would later remove whatever then stands under its name.
        std::vector<std::string> present(1);
        for (std::size_t entry = 1; entry < current.slots().size(); ++entry) {
            if (!currentFiles.vanished(static_cast<long>(entry))) {
                present.push_back(current[entry]);
            }
        }
        fresh = FindNewDirectories(oldDirectories, present, static_cast<long>(present.size()) - 1);
    }
    if (!fresh.empty()) {
        ExchangeSortByLength(fresh, 0, fresh.size() - 1);
    }
    AfterFileWriter out = record();
    for (const std::string& directory : fresh) {
        out.newDirectory(directory);
    }
    m_directoryCount += static_cast<long>(fresh.size());
    fresh = {};

    panel.progress(7, "Loading old file names.");
    LineStore oldFiles;
    if (Status read = before.readFiles(letter, oldFiles, nextDrive); !read) {
        fail(readFailure(read.error()));
        return Step::Failed;
    }

    panel.progress(8, "Identifying and saving new file names in directory:");
    findNewFiles(letter, oldDirectories, oldFiles, current, currentFiles);
    panel.setLine(9, {});
    panel.repaint();
    return Step::Done;
}

bool AfterFileCreation::waitUntilReadable(char letter)
{
    while (!DriveReadable(m_ctx.fs, letter)) {
        const Answer answer = m_ctx.prompts.messageBox(
            Notice::DriveNotReadyToRead,
            "Drive " + std::string(1, letter) +
                " is not ready to read. Fix and click on Ok, or select Cancel to abort operation.",
            Buttons::OkCancel, Icon::Exclamation, "Error");
        if (answer == Answer::Cancel) {
            return false;
        }
    }
    return true;
}

void AfterFileCreation::findNewFiles(char letter, const LineStore& oldDirectories, const LineStore& oldFiles,
                                     const DirList& current, const DirectoryFiles& currentFiles)
{
    // Where each directory of the drive as it is now stands in the walk, to find the names read there.
    const auto entryText = [&current](std::uint32_t entry) { return std::string_view(current[entry]); };
    StringIndex walked(current.slots().size(), entryText);
    for (std::size_t entry = 1; entry < current.slots().size(); ++entry) {
        walked.put(static_cast<std::uint32_t>(entry));
    }

    Panel& panel = m_ctx.panel;
    ProgressGate gate;
    OldFileIndex index(oldFiles);
    for (std::size_t d = 0; d < oldDirectories.size(); ++d) {
        const std::string_view directory = oldDirectories[d];
        panel.setLine(9, directory);
        if (gate.due()) {
            panel.repaint();
        }
        index.enterDirectory(directory);

        DirectoryFiles::Names names(nullptr, nullptr);
        if (const std::uint32_t found = walked.find(directory); found != walked.kAbsent) {
            names = currentFiles.of(found);
        } else {
            // Not on the drive under this exact path (removed, or renamed in letter case only): list it the
            // ordinary way, which says whether it is still there and can be read.
            auto listing =
                m_ctx.fs.list(std::string(1, letter) + ":" + std::string(directory) + "*.*", kHidden | kSystem);
            if (!listing && VanishedMeanwhile(listing.error())) {
                continue;  // gone, or no longer a directory of the drive: it holds no new files
            }
            if (!listing) {
                m_ctx.prompts.messageBox(Notice::AfterDirectoryUnreadable,
                                         "Unable to read directory " + std::string(1, letter) + ":" +
                                             std::string(directory) + ". " + ReasonSentence(listing.error()) +
                                             ".\nClick on Ok to continue creation of AFTER file.",
                                         Buttons::Ok, Icon::None, kAppTitle);
                continue;
            }
            m_skippedNames += listing->skipped;
            for (const std::string& name : listing->names) {
                considerFile(directory, name, index);
            }
            continue;
        }
        for (const std::string_view name : names) {
            considerFile(directory, name, index);
        }
    }
}

void AfterFileCreation::considerFile(std::string_view directory, std::string_view name, const OldFileIndex& index)
{
    if (IsRecordFileName(name) || index.isOld(name)) {
        return;
    }
    record().newFile(directory, name);
    ++m_fileCount;
}

AfterFileCreation::Step AfterFileCreation::compareSystemFiles()
{
    const State& state = m_ctx.state;
    std::string marker;
    for (int i = 0; i < 4; ++i) {
        if (m_ctx.events.stopRequested()) {
            return Step::Cancelled;  // run() ends as a Cancel does
        }
        // The reader stands after "*AUTOEXEC*" for the first copy; each later copy's start marker is skipped.
        if (i > 0 && !m_before->readLine(marker)) {
            const Status status = m_before->status();
            fail(readFailure(status
                                 ? DamagedBefore("it ends before the copy of " + std::string(kConfigFiles[i].fileName))
                                 : status.error()));
            return Step::Failed;
        }
        AfterFileWriter out = record();
        const Result<bool> SectionChanged = CompareSystemFileSection(
            m_ctx, *m_before, out, ConfigFilePath({state.BootDrive, state.WinDir}, kConfigFiles[i]),
            kConfigFiles[i].section);
        if (!SectionChanged) {
            fail(readFailure(SectionChanged.error()));
            return Step::Failed;
        }
        m_changed[i] = *SectionChanged;
    }
    return Step::Done;
}

bool AfterFileCreation::findPrefixChanges()
{
    const std::string companion = wine::CompanionOf(m_beforePath);
    struct stat st {};
    const std::string prefix = RecordedPrefix(m_ctx.fs);
    if (prefix.empty() || ::lstat(companion.c_str(), &st) != 0) {
        return true;  // made without a prefix's registry, or where C: is the root file system
    }
    const auto fail = [&](Notice notice, const std::string& text, ErrorKind kind) {
        m_before.reset();
        m_ctx.prompts.messageBox(notice, text + kNothingCreated, Buttons::Ok, Icon::Exclamation, "Error");
        m_result.outcome = Outcome::Failed;
        m_result.error = kind;
        return false;
    };
    auto before = wine::ReadBeforeCompanion(m_ctx.fs, companion);
    if (!before) {
        return fail(before.error().kind == ErrorKind::Damaged ? Notice::BeforeFileDamaged : Notice::AfterFileReadFailed,
                    CompanionErrorText(before.error()), before.error().kind);
    }
    if (before->prefix != prefix) {
        return true;  // the drives come from another prefix now: its registry is not the one recorded
    }
    if (!WaitUntilNoWineserver(m_ctx, prefix)) {
        m_before.reset();
        m_result.outcome = Outcome::Cancelled;
        return false;
    }
    const auto now = wine::ReadPrefixState(m_ctx.fs, prefix);
    if (!now) {
        return fail(Notice::PrefixNotRead,
                    "Unable to read the Wine prefix " + prefix + ": " + now.error().describe() + ".", now.error().kind);
    }
    auto changes = wine::FindPrefixChanges(*before, *now);
    if (!changes) {
        return fail(Notice::PrefixNotRead,
                    "Unable to read the Wine prefix " + prefix + ": " + changes.error().describe() + ".",
                    changes.error().kind);
    }
    m_prefixChanges = std::move(*changes);
    return true;
}

std::string AfterFileCreation::removePartialAfterFile()
{
    if (m_prefixChanges) {
        (void)m_ctx.fs.removeFile(wine::CompanionOf(m_afterPath));
    }
    if (const Status removed = m_ctx.fs.removeFile(m_afterPath); !removed) {
        return " The partial AFTER file could not be deleted: " + removed.error().describe() + ".";
    }
    return {};
}

AfterFileCreation::Failure AfterFileCreation::readFailure(const Error& error) const
{
    if (error.kind == ErrorKind::Damaged) {
        return {Notice::BeforeFileDamaged, "The BEFORE file " + m_beforePath + " is damaged: " + error.reason + ".",
                error.kind};
    }
    return {Notice::AfterFileReadFailed, "Unable to read " + error.describe() + ".", error.kind};
}

void AfterFileCreation::fail(const Failure& why)
{
    m_result.outcome = Outcome::Failed;
    m_result.error = why.kind;
    m_before.reset();
    m_after.reset();
    const std::string leftOver = removePartialAfterFile();
    m_ctx.prompts.messageBox(why.notice, why.text + kNothingCreated + leftOver, Buttons::Ok, Icon::Exclamation,
                             "Error");
    close();
}

void AfterFileCreation::cancel()
{
    m_result.outcome = Outcome::Cancelled;
    m_before.reset();
    m_after.reset();
    m_ctx.events.processEvents();
    if (const std::string leftOver = removePartialAfterFile(); !leftOver.empty()) {
        m_ctx.prompts.messageBox(Notice::PartialAfterFileNotDeleted, leftOver.substr(1), Buttons::Ok, Icon::Exclamation,
                                 "Error");
    }
    close();
}

void AfterFileCreation::showReport()
{
    Panel& panel = m_ctx.panel;
    panel.blank(1, 10);
    panel.setLine(1, "Installation Report");
    panel.setLine(3, "Number of subdirectories created during installation: " + std::to_string(m_directoryCount));
    panel.setLine(4, "Number of files installed in old subdirectories: " + std::to_string(m_fileCount));
    static const char* const kModified[] = {"AUTOEXEC.BAT was modified.", "CONFIG.SYS was modified.",
                                            "WIN.INI was modified.", "SYSTEM.INI was modified."};
    int line = 5;
    for (int i = 0; i < 4; ++i) {
        if (m_changed[i]) {
            panel.setLine(line++, kModified[i]);
        }
    }
    panel.waitForOk();
}

void AfterFileCreation::close()
{
    Panel& panel = m_ctx.panel;
    panel.hide();
    panel.blank(1, 20);
    panel.setOkVisible(true);
    m_ctx.main.showMain();
    UpdateAfterPairs(m_ctx);
}

}  // namespace

AfterResult CreateAfterFile(const Context& ctx)
{
    MainWindowHidden hidden(ctx.main);
    const std::string beforePath = ctx.state.DataFolder + std::string(kBeforeFileName);
    if (!ctx.fs.exists(beforePath)) {
        ctx.prompts.beep();
        ctx.prompts.messageBox(Notice::NoBeforeFile, kNoBeforeFile, Buttons::Ok, Icon::Exclamation, "Error");
        AfterResult none;
        none.error = ErrorKind::NotFound;
        return none;
    }
    AfterFileCreation creation(ctx, beforePath, FreeAfterPath(ctx));
    return creation.run();
}

}  // namespace morvane
