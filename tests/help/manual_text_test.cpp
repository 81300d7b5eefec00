#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string shippedManual()
{
    std::ifstream in(MORVANE_MANUAL_FILE, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The text with every run of blanks and line ends made one space, so quotations wrapped over several lines of
// the manual can be found.
std::string flowed(const std::string& text)
{
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n';
        if (blank && !out.empty() && out.back() == ' ') {
            continue;
        }
        out += blank ? ' ' : c;
    }
    return out;
}

TEST(ManualText, IsPlainAsciiWithLinesOfAtMost78Characters)
{
    const std::string text = shippedManual();
    ASSERT_GT(text.size(), 20000u) << "the manual is missing or a placeholder";
    int line = 1;
    std::size_t length = 0;
    for (char c : text) {
        if (c == '\n') {
            ++line;
            length = 0;
            continue;
        }
        ++length;
        EXPECT_TRUE(c >= ' ' && c <= '~') << "line " << line << " holds the byte " << int(c);
        EXPECT_LE(length, 78u) << "line " << line;
    }
    EXPECT_EQ(text.back(), '\n');
}

TEST(ManualText, ExplainsTheProgramsOwnMessages)
{
    const std::string text = flowed(shippedManual());
    const std::vector<std::string> messages{
        "already exists. You cannot create another BEFORE file until you have created an AFTER file for the "
        "program described in the existing BEFORE file.",
        "is not a valid drive designation.",
        "You do not have a drive",
        "is not ready to read. Fix and click on Ok, or select Cancel to abort operation.",
        "It is too dangerous to continue making the BEFORE file. Check to see if anything is unusual about this "
        "directory.",
        "No BEFORE file found.",
        "Cannot create an AFTER file without a BEFORE file.",
        "Click on Ok to continue creation of AFTER file.",
        "No AFTER files found.",
        "appears to be corrupted. It is useless and is interferring with ZELK operations. It will now be deleted.",
        "cannot be read: <reason>. It has been kept, and it is left out of this list.",
        "already exists, and moving it would replace that record. Rename one of the two files to keep both.",
        "The program name may not contain line breaks, tabs or other control characters. Type the name again on "
        "one line.",
        "is not ready to write to. Fix and click on Ok, or select Cancel to abort operation.",
        "If it still exits, make a note to delete it manually. Abort deleting directory",
        "Nothing has been deleted; the AFTER file is kept.",
        "now leads through a symbolic link on drive",
        "Unable to delete the AFTER file <file>: <reason>.",
        "Please make a note to delete it manually.",
        "Confirm deletion of files in pre-existing directories?",
        "Warning! File was severely modified during installation process!",
        "Attention! Some line(s) from the original file could not be found in the existing file and could not be "
        "safely replaced.",
        "No safety backup files found.",
        "Unable to read the folder <path> for the BEFORE file: <reason>.",
        "Unable to read the folder <path> for safety backup files: <reason>.",
        "Proceed with file deletion?",
        "*CORRUPTED AFTER FILE*",
        "*CORRUPTED BEFORE FILE*",
        "Unable to delete <path>: <reason>.",
        "Unable to view file. Error",
        "was created, but the BEFORE file could not be deleted: <path>: <reason>. Delete the BEFORE file before you "
        "create another AFTER file.",
        "Warning. You have not yet created the AFTER file for the most recent BEFORE file. Create this AFTER file "
        "now?",
        "https://morvane.example.org/",
    };
    for (const std::string& message : messages) {
        EXPECT_NE(text.find(message), std::string::npos) << message;
    }
}

}  // namespace
