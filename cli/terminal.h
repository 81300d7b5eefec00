#pragma once

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/main_window.h"
#include "core/panel.h"
#include "core/windowless.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/printer.h"
#include "platform/prompts.h"
#include "removal/deletion_plan.h"
#include "removal/restore_system_file.h"
#include "removal/select_after_file.h"
#include "report/list_system_file_changes.h"
#include "report/report_window.h"
#include "report/show_report.h"

namespace morvane::cli {

// How the restoration questions are answered: on the terminal, or in advance from --restore.
enum class RestoreAnswer { Ask, Keep, Replace, Merge };

// The terminal the commands talk through: results on standard output, messages and questions on standard error,
// answers from standard input. Questions are asked only when standard input is a terminal; otherwise the answer
// must come from an option, and a question without one is answered No and remembered as missing.
class Terminal {
public:
    Terminal(bool yes, RestoreAnswer restore, bool quiet);
    // A terminal on other streams: answers are read from the file descriptor `input`, messages and questions
    // written to `messages`, and questions asked only when `interactive`. It shows no progress line.
    Terminal(bool yes, RestoreAnswer restore, bool quiet, bool interactive, int input, std::FILE* messages);

    bool interactive() const { return m_interactive; }
    bool quiet() const { return m_quiet; }
    bool yes() const { return m_yes; }
    RestoreAnswer restore() const { return m_restore; }
    bool progressShown() const { return m_progress; }

    // A message for the user on standard error, on a line of its own.
    void message(std::string_view text) const;
    // Replaces the progress line on standard error; clearProgress() takes it away.
    void progress(std::string_view text) const;
    void clearProgress() const;
    // Asks on the terminal until one of the choices (their first letters or whole words, any case) is typed.
    // The position of the choice, or -1 at the end of the input or on an interrupt.
    int ask(std::string_view question, const std::vector<std::string>& choices) const;
    // The question could not be asked: says which option answers it, and remembers that.
    void missingAnswer(std::string_view question, std::string_view option);
    const std::string& missing() const { return m_missing; }
    // A message that says something failed was shown.
    void noteTrouble() { m_trouble = true; }
    bool trouble() const { return m_trouble; }

    // A dry run asks nothing, on a terminal or not: the terminal answers every question for it (see
    // TerminalPrompts and TerminalRestoreOptions).
    void answerForDryRun() { m_dryRun = true; }
    bool dryRun() const { return m_dryRun; }
    // A restoration question was answered for the dry run without --restore: the file it is about is the next
    // one the run keeps, and the plan shows it as a question that would be asked.
    void noteRestorationUnanswered() { m_restorationUnanswered = true; }
    bool takeRestorationUnanswered() { return std::exchange(m_restorationUnanswered, false); }

private:
    bool m_yes;
    RestoreAnswer m_restore;
    bool m_quiet;
    bool m_interactive;
    bool m_progress = false;
    int m_input;
    std::FILE* m_messages;
    std::string m_missing;
    bool m_trouble = false;
    bool m_dryRun = false;
    bool m_restorationUnanswered = false;
    mutable bool m_progressOnScreen = false;
};

// The interrupt from the terminal (Ctrl-C), and the hang-up and termination signals. While a record is being
// made they only ask the command to stop, so that the command can delete its partial record; at any other time
// they end the program as usual.
class Interrupt {
public:
    // Catches the interrupt until the object goes.
    Interrupt();
    ~Interrupt();
    Interrupt(const Interrupt&) = delete;
    Interrupt& operator=(const Interrupt&) = delete;

    static bool requested();
    // Ends the program as the signal received would have, so that a calling shell sees it.
    [[noreturn]] static void endProgram();
};

// The path on disk of a Windows path, found with `lookup` as the command that acts on it finds it; a host path
// (the data folder's files) is its own. An entry that is not there, or whose folders are not, still has the
// path it would have: that of its deepest folder that is there, and the rest of its names as spelled. Empty for
// a drive this machine does not have.
std::string DiskPath(const FileSystem& fs, std::string_view path, Lookup lookup);

// Message boxes and input boxes on the terminal. What each notice is to the terminal (a failure, information,
// a question and the option that answers it) is decided by the notice alone; the texts are only shown. On a
// dry run nothing is asked: a file in an older directory is deleted without asking for each (as the windows do
// when the user does not want to confirm each one), a restoration is answered by --restore or left as a
// question that would be asked, and the confirmations are answered Yes.
class TerminalPrompts : public Prompts {
public:
    explicit TerminalPrompts(Terminal& terminal) : m_terminal(terminal) {}

    Answer messageBox(Notice notice, std::string_view text, Buttons buttons, Icon icon,
                      std::string_view title) override;
    std::string inputBox(Notice notice, std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;
    void beep() override;

private:
    // The answer to a question on a dry run, which asks nothing; nothing for a notice that asks nothing.
    std::optional<Answer> dryRunAnswer(Notice notice, const std::string& shown);
    // A Yes/No question no option answered: asked on the terminal. Without a terminal it is remembered as
    // missing `option` and answered `safe`, as it is at the end of the terminal's input.
    Answer askYesNo(std::string_view question, std::string_view option, Answer safe);
    Terminal& m_terminal;
};

// Form3 on the terminal: the progress of a long command on one line of standard error (only when that is a
// terminal), and the lines the command waits on (the installation report) on standard output.
class TerminalPanel : public Panel {
public:
    explicit TerminalPanel(Terminal& terminal) : m_terminal(terminal) {}

    void setLine(int index, std::string_view text) override;
    void setAlignment(int, Alignment) override {}
    void setOkVisible(bool) override {}
    void setLabel2(bool, int) override {}
    void show() override;
    void hide() override;
    void repaint() override { showProgress(); }
    void waitForOk() override;

    // Rewrites the progress line: the step being taken, the directories and files scanned so far, the rate and
    // the time since the panel was shown.
    void showProgress();
    // The figures of the scan running; each drive's scan counts from 0 again.
    void scanned(long directories, long files);
    bool waitedForOk() const { return m_waited; }

private:
    Terminal& m_terminal;
    std::array<std::string, Panel::kLines + 1> m_lines;
    std::string m_step;
    std::chrono::steady_clock::time_point m_shown = std::chrono::steady_clock::now();
    long m_directoriesDone = 0;  // by the scans of earlier drives
    long m_filesDone = 0;
    long m_directories = 0;  // by the scan running
    long m_files = 0;
    bool m_waited = false;
};

class TerminalEvents : public EventPump {
public:
    explicit TerminalEvents(TerminalPanel& panel) : m_panel(panel) {}
    void processEvents() override { m_panel.showProgress(); }
    void scanProgress(long directories, long files) override { m_panel.scanned(directories, files); }
    bool stopRequested() override { return Interrupt::requested(); }

private:
    TerminalPanel& m_panel;
};

// The main window has nothing to show on a terminal; the command pairs are kept for whoever asks.
using TerminalMainWindow = WindowlessMainWindow;

// The selection window on the terminal, for the list of programs: it collects the programs the window would
// offer, in its order, and takes none.
class NumberedAfterFileList : public AfterFileList {
public:
    void setPrompt(std::string_view) override {}
    int ShowAfterFileList(const std::vector<std::string>&) override { return -1; }
    int ChooseFrom(const AfterSelection& selection) override;

    // "number<TAB>program name" per program listed.
    const std::vector<std::string>& lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

// Form4 on the terminal: its texts and its three options as a numbered menu, or the answer of --restore.
class TerminalRestoreOptions : public RestoreOptions {
public:
    explicit TerminalRestoreOptions(Terminal& terminal) : m_terminal(terminal) {}
    int ShowRestoreOptions(const std::string& path, const std::string& programName, bool linesMissing) override;

private:
    Terminal& m_terminal;
};

// The report of one program as text: its caption, the counts and whether each configuration file changed (and
// for a record made in a Wine prefix, whether its registry changed and how many desktop entries were added),
// then with `details` each category's title and entries: a directory or file as its Windows path, a tab and its
// path on disk (found in `fs`); a configuration line as "added" or "removed", a tab and the line; a registry
// change as RegistryChangeLines tells it; a desktop entry or folder as its path (DesktopEntryLines).
std::string ReportText(const ProgramReport& report, bool details, const FileSystem& fs);
// The same as one JSON document (see JsonString for the names that are not UTF-8). A record made in a Wine prefix
// adds "prefix", "registry" (each change with its hive, key, value name and the type and data before and after:
// text as strings, a multi-string as a list of them, numbers as numbers, anything else as hexadecimal digits) and
// "desktop" (the entries, each with its path, its state on the disk now, "unchanged", "changed" or "missing", and
// its SHA-256; then the folders).
std::string ReportJson(long number, const ProgramReport& report, const FileSystem& fs);

// What a dry run of Delete program would do, one line per step on standard output: the step, a blank, the
// Windows path, a tab and the path on disk (a file of the data folder, which has no Windows path, shows its
// path on disk twice):
//     delete PATH   a file, or the AFTER file last of all
//     rmdir PATH    a new directory, once its files are gone
//     keep PATH     a file kept: a configuration file the restoration leaves as it is
//     ask PATH      a configuration file whose restoration would be asked, without --restore
//     write PATH    a file written, followed by its lines, each after a tab
// and after the files, each step that takes back a change to a Wine prefix, as DescribeRevertStep tells it
// ("delete value HKEY_CURRENT_USER\Software\App \"Lang\"", "delete /home/u/.local/share/applications/a.desktop").
class PrintedPlan : public DeletionPlan {
public:
    PrintedPlan(const FileSystem& fs, Terminal& terminal) : m_fs(fs), m_terminal(terminal) {}

    void removeFile(const std::string& path) override;
    void removeDirectory(const std::string& path) override;
    void keepFile(const std::string& path) override;
    void writeFile(const std::string& path, const std::vector<std::string>& lines) override;
    void prefixStep(const wine::RevertStep& step) override;

    const std::string& lastRemoved() const { return m_lastRemoved; }

private:
    void step(std::string_view name, const std::string& path, Lookup lookup, std::string_view more = {});

    const FileSystem& m_fs;
    Terminal& m_terminal;
    std::string m_lastRemoved;
};

}  // namespace morvane::cli
