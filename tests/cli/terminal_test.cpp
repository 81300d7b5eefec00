// morvane-cli's side of the engine's questions and notices, without a terminal: for each notice the terminal
// treats in its own way, the answer it gives, whether the command then fails, which option it names when the
// answer had to come from one, and whether -q hides the message.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "cli/json_text.h"
#include "cli/terminal.h"

namespace morvane::cli {
namespace {

// A terminal on a pipe and a temporary file: what the user would type is in the pipe before the question comes
// (an empty text is the end of the input), and what the user would see is read back from the file.
class PipedTerminal {
public:
    PipedTerminal(const std::string& options, bool interactive, const std::string& typed)
    {
        bool yes = false;
        bool quiet = false;
        bool dryRun = false;
        RestoreAnswer restore = RestoreAnswer::Ask;
        std::istringstream words(options);
        for (std::string word; words >> word;) {
            yes = yes || word == "--yes";
            quiet = quiet || word == "-q";
            dryRun = dryRun || word == "--dry-run";
            restore = word == "--restore=keep"      ? RestoreAnswer::Keep
                      : word == "--restore=replace" ? RestoreAnswer::Replace
                      : word == "--restore=merge"   ? RestoreAnswer::Merge
                                                    : restore;
        }
        int ends[2];
        EXPECT_EQ(0, pipe(ends));
        EXPECT_EQ(static_cast<ssize_t>(typed.size()), write(ends[1], typed.data(), typed.size()));
        close(ends[1]);
        m_input = ends[0];
        m_screen = std::tmpfile();
        terminal = std::make_unique<Terminal>(yes, restore, quiet, interactive, m_input, m_screen);
        if (dryRun) {
            terminal->answerForDryRun();
        }
    }
    ~PipedTerminal()
    {
        close(m_input);
        std::fclose(m_screen);
    }
    PipedTerminal(const PipedTerminal&) = delete;
    PipedTerminal& operator=(const PipedTerminal&) = delete;

    // Everything written so far.
    std::string screen() const
    {
        std::fflush(m_screen);
        std::rewind(m_screen);
        std::string out;
        for (int c; (c = std::fgetc(m_screen)) != EOF;) {
            out += static_cast<char>(c);
        }
        return out;
    }

    std::unique_ptr<Terminal> terminal;

private:
    int m_input = -1;
    std::FILE* m_screen = nullptr;
};

constexpr bool kTerminal = true;
constexpr bool kNoTerminal = false;
constexpr bool kFails = true;
constexpr bool kGoesOn = false;
constexpr bool kShown = true;
constexpr bool kHidden = false;

struct Row {
    Notice notice;
    Buttons buttons;
    const char* options;  // --yes, -q, --restore=keep|replace|merge
    bool interactive;
    const char* typed;  // the user's lines on the terminal
    Answer answer;
    bool trouble;         // the command ends with status 1
    const char* missing;  // the option named for a question that could not be asked
    bool shown;           // the message or question reached the screen
};

const Row kRows[] = {
    // A failure is shown and fails the command, even with -q.
    {Notice::NoAfterFiles, Buttons::Ok, "", kNoTerminal, "", Answer::Ok, kFails, "", kShown},
    {Notice::ConfigurationFileNotWritten, Buttons::Ok, "-q --yes", kTerminal, "", Answer::Ok, kFails, "", kShown},
    {Notice::AfterDirectoryUnreadable, Buttons::Ok, "", kTerminal, "", Answer::Ok, kFails, "", kShown},
    // A corrupted record other than the one at hand: shown even with -q, and the command goes on.
    {Notice::CorruptedRecordLeftOut, Buttons::Ok, "-q", kNoTerminal, "", Answer::Ok, kGoesOn, "", kShown},
    {Notice::CorruptedRecordDeleted, Buttons::Ok, "", kNoTerminal, "", Answer::Ok, kGoesOn, "", kShown},
    // Information: -q hides it.
    {Notice::NamesPassedOver, Buttons::Ok, "", kNoTerminal, "", Answer::Ok, kGoesOn, "", kShown},
    {Notice::NamesPassedOver, Buttons::Ok, "-q", kNoTerminal, "", Answer::Ok, kGoesOn, "", kHidden},
    {Notice::LinesPlacedAside, Buttons::Ok, "-q", kTerminal, "", Answer::Ok, kGoesOn, "", kHidden},
    // A drive that is not ready: retried only when the user says so on a terminal; --yes does not retry.
    {Notice::DriveNotReadyToRead, Buttons::OkCancel, "--yes", kNoTerminal, "", Answer::Cancel, kFails, "", kShown},
    {Notice::DriveNotReadyToWrite, Buttons::OkCancel, "", kTerminal, "ok\n", Answer::Ok, kFails, "", kShown},
    {Notice::DriveNotReadyToWrite, Buttons::OkCancel, "", kTerminal, "", Answer::Cancel, kFails, "", kShown},
    // Questions --yes answers; No without an answer, and --restore is not one.
    {Notice::ConfirmDeletion, Buttons::YesNo, "", kNoTerminal, "", Answer::No, kGoesOn, "--yes", kShown},
    {Notice::ConfirmDeletion, Buttons::YesNo, "--restore=replace", kNoTerminal, "", Answer::No, kGoesOn, "--yes",
     kShown},
    {Notice::ConfirmDeletion, Buttons::YesNo, "--yes", kNoTerminal, "", Answer::Yes, kGoesOn, "", kShown},
    {Notice::ConfirmEachFile, Buttons::YesNo, "--yes -q", kNoTerminal, "", Answer::Yes, kGoesOn, "", kHidden},
    {Notice::DeleteThisFile, Buttons::YesNo, "", kTerminal, "maybe\nn\n", Answer::No, kGoesOn, "", kShown},
    {Notice::ConfirmAfterFileDeletion, Buttons::YesNo, "", kTerminal, "y\n", Answer::Yes, kGoesOn, "", kShown},
    {Notice::ConfirmBeforeFileDeletion, Buttons::YesNo, "", kTerminal, "", Answer::No, kGoesOn, "", kShown},
    {Notice::ConfirmSafetyFilesDeletion, Buttons::YesNo, "", kNoTerminal, "", Answer::No, kGoesOn, "--yes", kShown},
    {Notice::PendingAfterFile, Buttons::YesNo, "--yes", kNoTerminal, "", Answer::Yes, kGoesOn, "", kShown},
    // A file that resists deletion fails the command; without an answer the directory is given up (Yes).
    {Notice::ProblemDeletingFile, Buttons::YesNo, "", kNoTerminal, "", Answer::Yes, kFails, "--yes", kShown},
    {Notice::ProblemDeletingFile, Buttons::YesNo, "--yes", kNoTerminal, "", Answer::Yes, kFails, "", kShown},
    {Notice::ProblemDeletingFile, Buttons::YesNo, "", kTerminal, "no\n", Answer::No, kFails, "", kShown},
    {Notice::ProblemDeletingFile, Buttons::YesNo, "", kTerminal, "", Answer::Yes, kFails, "", kShown},
    // Putting back an unchanged configuration file: --restore answers it, --yes does not.
    {Notice::RestoreUnchanged, Buttons::YesNo, "--restore=keep", kNoTerminal, "", Answer::No, kGoesOn, "", kHidden},
    {Notice::RestoreUnchanged, Buttons::YesNo, "--restore=replace", kNoTerminal, "", Answer::Yes, kGoesOn, "", kHidden},
    {Notice::RestoreUnchanged, Buttons::YesNo, "--restore=merge", kNoTerminal, "", Answer::Yes, kGoesOn, "", kHidden},
    {Notice::RestoreUnchanged, Buttons::YesNo, "--yes", kNoTerminal, "", Answer::No, kGoesOn, "--restore", kShown},
    {Notice::RestoreUnchanged, Buttons::YesNo, "--yes", kTerminal, "yes\n", Answer::Yes, kGoesOn, "", kShown},
    // A running wineserver is not waited for, on a terminal or not and whatever was answered in advance: the
    // message is shown, Retry is never the answer, and the command fails.
    {Notice::WineserverRunning, Buttons::RetryCancel, "", kNoTerminal, "", Answer::Ok, kFails, "", kShown},
    {Notice::WineserverRunning, Buttons::RetryCancel, "-q --yes", kTerminal, "retry\n", Answer::Ok, kFails, "", kShown},
    {Notice::WineserverRunning, Buttons::RetryCancel, "--dry-run", kNoTerminal, "", Answer::Ok, kFails, "", kShown},
    // Entries of a prefix changed since the installation and so kept: information.
    {Notice::PrefixEntriesKept, Buttons::Ok, "", kNoTerminal, "", Answer::Ok, kGoesOn, "", kShown},
    {Notice::PrefixEntriesKept, Buttons::Ok, "-q", kNoTerminal, "", Answer::Ok, kGoesOn, "", kHidden},
};

TEST(TerminalPrompts, EachNoticeGetsItsAnswerItsOptionAndItsExitStatus)
{
    const std::string text = "The text of the notice";
    for (std::size_t k = 0; k < std::size(kRows); ++k) {
        const Row& row = kRows[k];
        SCOPED_TRACE("row " + std::to_string(k + 1) + ": " + row.options + (row.interactive ? " on a terminal" : ""));
        PipedTerminal piped(row.options, row.interactive, row.typed);
        TerminalPrompts prompts(*piped.terminal);

        EXPECT_EQ(row.answer, prompts.messageBox(row.notice, text, row.buttons, Icon::Exclamation, "Title"));
        EXPECT_EQ(row.trouble, piped.terminal->trouble());
        EXPECT_EQ(row.missing, piped.terminal->missing());
        EXPECT_EQ(row.shown, piped.screen().find(text) != std::string::npos) << piped.screen();
    }
}

TEST(TerminalPrompts, ADryRunAsksNothingOnATerminalOrNot)
{
    struct Case {
        Notice notice;
        const char* options;
        bool interactive;
        Answer answer;
        bool trouble;
        bool shown;
        bool restorationUnanswered;  // the plan's next kept file is shown as a question that would be asked
    };
    const Case cases[] = {
        // Not confirming each file deletes them all, and nothing is said of it.
        {Notice::ConfirmEachFile, "--dry-run", kTerminal, Answer::No, kGoesOn, kHidden, false},
        {Notice::ConfirmEachFile, "--dry-run --yes", kNoTerminal, Answer::No, kGoesOn, kHidden, false},
        {Notice::DeleteThisFile, "--dry-run", kNoTerminal, Answer::Yes, kGoesOn, kHidden, false},
        // A restoration: --restore answers it, else it is left as a question.
        {Notice::RestoreUnchanged, "--dry-run", kTerminal, Answer::No, kGoesOn, kHidden, true},
        {Notice::RestoreUnchanged, "--dry-run", kNoTerminal, Answer::No, kGoesOn, kHidden, true},
        {Notice::RestoreUnchanged, "--dry-run --restore=merge", kNoTerminal, Answer::Yes, kGoesOn, kHidden, false},
        {Notice::RestoreUnchanged, "--dry-run --restore=keep", kTerminal, Answer::No, kGoesOn, kHidden, false},
        // What fails a real run fails the dry run, without waiting for the user.
        {Notice::ProblemDeletingFile, "--dry-run", kTerminal, Answer::Yes, kFails, kShown, false},
        {Notice::DriveNotReadyToRead, "--dry-run", kTerminal, Answer::Cancel, kFails, kShown, false},
        // Notices that ask nothing are shown as ever.
        {Notice::FileNotDeleted, "--dry-run", kNoTerminal, Answer::Ok, kFails, kShown, false},
        {Notice::NamesPassedOver, "--dry-run -q", kNoTerminal, Answer::Ok, kGoesOn, kHidden, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + (c.interactive ? " on a terminal" : ""));
        // A line typed would be taken as an answer, were the question asked.
        PipedTerminal piped(c.options, c.interactive, "y\n");
        TerminalPrompts prompts(*piped.terminal);

        EXPECT_EQ(c.answer, prompts.messageBox(c.notice, "The text", Buttons::YesNo, Icon::Question, "Title"));
        EXPECT_EQ(c.trouble, piped.terminal->trouble());
        EXPECT_EQ("", piped.terminal->missing());
        EXPECT_EQ(c.shown, piped.screen().find("The text") != std::string::npos) << piped.screen();
        EXPECT_EQ(std::string::npos, piped.screen().find("[yes/no]")) << piped.screen();
        EXPECT_EQ(c.restorationUnanswered, piped.terminal->takeRestorationUnanswered());
        EXPECT_FALSE(piped.terminal->takeRestorationUnanswered()) << "told once";
    }
}

TEST(TerminalPrompts, TheTitleAndTheIconDecideNothing)
{
    // A failure keeps failing the command under any title and icon, and information stays hidden under -q.
    for (const Icon icon : {Icon::None, Icon::Exclamation, Icon::Question, Icon::Information}) {
        for (const char* title : {"Error", "Attention", "ATTENTION", "Morvane"}) {
            SCOPED_TRACE(title);
            PipedTerminal piped("-q", kNoTerminal, "");
            TerminalPrompts prompts(*piped.terminal);
            prompts.messageBox(Notice::NamesPassedOver, "passed over", Buttons::Ok, icon, title);
            EXPECT_FALSE(piped.terminal->trouble());
            EXPECT_EQ("", piped.screen());
            prompts.messageBox(Notice::FileNotDeleted, "not deleted", Buttons::Ok, icon, title);
            EXPECT_TRUE(piped.terminal->trouble());
        }
    }
}

TEST(TerminalPrompts, AnInputBoxAnswersEmptySoThatACommandThatShowsOneEnds)
{
    // The terminal's commands give the engine their inputs directly; an input box is never answered.
    PipedTerminal piped("Word Pro\n", kNoTerminal, "");
    TerminalPrompts prompts(*piped.terminal);
    EXPECT_EQ("", prompts.inputBox(Notice::ProgramNameInput, "prompt", "title", ""));
    EXPECT_EQ("", prompts.inputBox(Notice::DriveLettersInput, "prompt", "title", "C"));
    EXPECT_FALSE(piped.terminal->trouble());
    EXPECT_EQ("", piped.terminal->missing());
}

TEST(TerminalRestoreOptions, TheRestorationWindowAsAMenuOrAnsweredByRestore)
{
    struct Case {
        const char* options;
        bool interactive;
        const char* typed;
        int choice;
        const char* missing;
        bool menuShown;
    };
    const Case cases[] = {
        {"--restore=keep", kNoTerminal, "", 1, "", false},
        {"--restore=replace", kNoTerminal, "", 2, "", false},
        {"--restore=merge", kTerminal, "1\n", 3, "", false},
        {"--yes", kNoTerminal, "", 1, "--restore", false},
        {"", kTerminal, "4\n2\n", 2, "", true},
        {"", kTerminal, "", 1, "", true},
        // A dry run shows no menu: the file is kept, as a question that would be asked.
        {"--dry-run", kTerminal, "3\n", 1, "", false},
        {"--dry-run --restore=replace", kNoTerminal, "", 2, "", false},
    };
    const RestoreOptionsText texts = RestoreOptionsTexts("C:\\WIN.INI", "Word Pro", true);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + (c.interactive ? " on a terminal" : ""));
        PipedTerminal piped(c.options, c.interactive, c.typed);
        TerminalRestoreOptions form4(*piped.terminal);

        EXPECT_EQ(c.choice, form4.ShowRestoreOptions("C:\\WIN.INI", "Word Pro", true));
        EXPECT_EQ(c.missing, piped.terminal->missing());
        const std::string screen = piped.screen();
        // The window's caption names the file whenever the user is told about it.
        EXPECT_EQ(c.menuShown || *c.missing != '\0', screen.find(texts.caption) != std::string::npos) << screen;
        for (const std::string& line : texts.lines) {
            EXPECT_EQ(c.menuShown, screen.find(line + "\n") != std::string::npos) << line;
        }
        EXPECT_EQ(c.menuShown, screen.find("  3 " + texts.options[2]) != std::string::npos);
        EXPECT_FALSE(piped.terminal->trouble());
        EXPECT_EQ(std::string(c.options) == "--dry-run", piped.terminal->takeRestorationUnanswered());
    }
}

TEST(JsonString, ValidUtf8AsItIsEveryOtherByteAsItsOwnEscape)
{
    struct Case {
        std::string bytes;
        std::string json;
    };
    const Case cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\" \\ there", "\"say \\\"hi\\\" \\\\ there\""},
        {std::string("a\x01\x1f\x7f", 4), "\"a\\u0001\\u001f\x7f\""},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},  // 2, 3 and 4 bytes
        {"caf\xe9", "\"caf\\udce9\""},                                                         // Latin-1
        {"\xe2\x82", "\"\\udce2\\udc82\""},                                                    // cut short
        {"\xe2\x82x", "\"\\udce2\\udc82x\""},                                                  // cut short before ASCII
        {"\xc0\xaf", "\"\\udcc0\\udcaf\""},                                                    // overlong '/'
        {"\xe0\x80\xaf", "\"\\udce0\\udc80\\udcaf\""},                                         // overlong, three bytes
        {"\xed\xa0\x80", "\"\\udced\\udca0\\udc80\""},                                         // a surrogate
        {"\xf4\x90\x80\x80", "\"\\udcf4\\udc90\\udc80\\udc80\""},                              // above U+10FFFF
        {"\x80\xbf\xfe\xff", "\"\\udc80\\udcbf\\udcfe\\udcff\""},                              // never valid
        {"\xe9\xc3\xa9", "\"\\udce9\xc3\xa9\""},  // a bad byte, then a good pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.json, JsonString(c.bytes)) << c.bytes;
    }
    EXPECT_EQ("[\"a\", \"\\udcff\"]", JsonList({"a", "\xff"}));
    EXPECT_EQ("[]", JsonList({}));
}

TEST(JsonString, CodeUnitsAsTextAndASurrogateWithoutItsPartnerAsItsEscape)
{
    struct Case {
        std::u16string units;
        std::string json;
    };
    const Case cases[] = {
        {u"", "\"\""},
        {u"Caf\u00e9 \u20ac", "\"Caf\xc3\xa9 \xe2\x82\xac\""},
        {u"\U0001F600", "\"\xf0\x9f\x98\x80\""},  // a pair: one character
        {u"a\\b\"c", "\"a\\\\b\\\"c\""},
        {std::u16string(u"x\0y", 3), "\"x\\u0000y\""},
        {u"\t\r\n", "\"\\u0009\\u000d\\u000a\""},
        {std::u16string(1, char16_t(0xd800)) + u"!", "\"\\ud800!\""},                // a high surrogate alone
        {u"!" + std::u16string(1, char16_t(0xdc00)), "\"!\\udc00\""},                // a low surrogate alone
        {std::u16string{char16_t(0xdc00), char16_t(0xd800)}, "\"\\udc00\\ud800\""},  // the pair reversed
        {std::u16string{char16_t(0xd83d), char16_t(0xd83d), char16_t(0xde00)},
         "\"\\ud83d\xf0\x9f\x98\x80\""},  // a high one, then a whole pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.json, JsonStringOfUnits(c.units)) << c.json;
    }
}

}  // namespace
}  // namespace morvane::cli
