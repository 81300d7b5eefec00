#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "changes/create_after_file.h"
#include "snapshot/create_before_file.h"
#include "tests/support/doubles.h"

namespace morvane {
namespace {

using test::makeDirs;
using test::readFile;
using test::World;
using test::writeFile;

// How a scan reads the drive: one readDirectory call per directory (the reader file systems with hooks get),
// or the whole tree at once on one thread or on four.
enum class Reader { EachDirectory, OneThread, FourThreads };

// The real file system, read as `reader` says, where the directory named `fleeting` disappears (with all it
// holds) at the moment the scan comes to read it, after its parent listed it.
class ReaderFs : public FileSystem {
public:
    ReaderFs(DriveMap drives, Reader reader, std::string fleetingHost)
        : FileSystem(std::move(drives)), m_reader(reader), m_fleeting(std::move(fleetingHost))
    {
        setScanThreads(reader == Reader::FourThreads ? 4 : 1);
    }
    void arm() { m_gone = false; }
    bool readsTreesDirectly() const override { return m_reader != Reader::EachDirectory; }
    Result<DirectoryContents> readDirectory(std::string_view directory) const override
    {
        if (directory.ends_with("\\Fleeting\\")) {
            vanish();
        }
        return FileSystem::readDirectory(directory);
    }

protected:
    void beforeReadingDirectory(std::string_view name) const override
    {
        if (name == "Fleeting") {
            vanish();
        }
    }

private:
    void vanish() const
    {
        if (!m_gone.exchange(true)) {
            std::filesystem::remove_all(m_fleeting);
        }
    }
    Reader m_reader;
    std::string m_fleeting;
    mutable std::atomic<bool> m_gone{false};
};

struct Records {
    std::string before;
    std::string after;
    std::vector<std::string> messages;
};

void dosAttribute(const std::string& path, const char* value)
{
    ASSERT_EQ(::lsetxattr(path.c_str(), "user.DOSATTRIB", value, std::char_traits<char>::length(value), 0), 0);
}

// A drive with a bit of everything the scans meet: names whose order depends on the letter-case rule, hidden
// names (a dot, or the DOS bit), system files, unreadable entries, links of every sort, record-file names
// that are left out, a name a Windows path cannot express, and many directories over several levels.
void buildDrive(World& world, const std::string& root)
{
    const std::vector<std::string> names = {"b", "A", "a", "_x", "a b", "Z9", "z10", ".dot", "B.TXT", "~m"};
    for (std::size_t i = 0; i < 40; ++i) {
        std::string dir = root + "/" + names[i % names.size()] + std::to_string(i / names.size());
        if (i % 3 == 1) {
            dir += "/" + names[(i * 7) % names.size()];
        }
        if (i % 5 == 2) {
            dir += "/deeper/" + names[(i * 3) % names.size()];
        }
        makeDirs(dir);
        for (std::size_t f = 0; f < i % 6; ++f) {
            writeFile(dir + "/" + names[(i + f) % names.size()] + ".f" + std::to_string(f), "x");
        }
    }
    writeFile(root + "/AUTOEXEC.BAT", "@ECHO OFF\r\n");
    writeFile(world.host("C:\\WINDOWS\\WIN.INI"), "[windows]\r\n");
    writeFile(root + "/hidden.sys", "");
    dosAttribute(root + "/hidden.sys", "0x6");
    makeDirs(root + "/SYSDIR");
    dosAttribute(root + "/SYSDIR", "0x4");
    writeFile(root + "/SYSDIR/inner.dll", "");
    writeFile(root + "/locked.bin", "");
    ::chmod((root + "/locked.bin").c_str(), 0);
    makeDirs(root + "/closed");
    writeFile(root + "/closed/inside", "");
    ::chmod((root + "/closed").c_str(), 0555);
    ASSERT_EQ(::symlink("A0", (root + "/linkdir").c_str()), 0);
    ASSERT_EQ(::symlink("AUTOEXEC.BAT", (root + "/linkfile").c_str()), 0);
    ASSERT_EQ(::symlink("/nowhere", (root + "/dangling").c_str()), 0);
    writeFile(root + "/A0/BEFORE.DAT", "");
    writeFile(root + "/A0/AFTER3.DAT", "");
    writeFile(root + "/A0/after3.dat", "");
    writeFile(root + "/tab\there", "");
    makeDirs(root + "/APPS/Fleeting/below");
    writeFile(root + "/APPS/Fleeting/file.txt", "");
}

// Create BEFORE file, an installation, Create AFTER file, with the drive read by `reader`; the Fleeting
// directory vanishes during both scans.
Records recordWith(Reader reader)
{
    World world;
    const std::string root = world.drive('C');
    const std::string fleeting = root + "/APPS/Fleeting";
    auto fs = std::make_unique<ReaderFs>(world.fs->drives(), reader, fleeting);
    ReaderFs& readerFs = *fs;
    world.fs = std::move(fs);
    buildDrive(world, root);

    Records records;
    world.prompts.type("Prog");
    world.prompts.type("C");
    CreateBeforeFile(world.ctx());
    records.before = readFile(world.data("BEFORE.DAT"));

    makeDirs(root + "/NEWAPP/BIN/.cache");
    writeFile(root + "/NEWAPP/BIN/app.exe", "");
    writeFile(root + "/a1/new.dll", "");
    writeFile(root + "/.newrc", "");
    writeFile(root + "/SYSDIR/added.sys", "");
    dosAttribute(root + "/SYSDIR/added.sys", "0x4");
    ::unlink((root + "/B.TXT0/B.TXT").c_str());
    makeDirs(fleeting + "/again");
    readerFs.arm();
    CreateAfterFile(world.ctx());
    records.after = readFile(world.data("AFTER1.DAT"));
    records.messages = world.prompts.messageTexts();
    ::chmod((root + "/closed").c_str(), 0755);
    return records;
}

TEST(TreeReader, EveryReaderGivesTheSameRecordsByteForByte)
{
    const Records each = recordWith(Reader::EachDirectory);
    const Records one = recordWith(Reader::OneThread);
    const Records four = recordWith(Reader::FourThreads);

    // What the records hold, read the old way: the vanished directory is an empty one in BEFORE.DAT and is not
    // new in AFTER1.DAT; links are files; left-out names are counted.
    EXPECT_NE(each.before.find("\\APPS\\Fleeting\\\r\n"), std::string::npos);
    EXPECT_EQ(each.before.find("\\APPS\\Fleeting\\file.txt"), std::string::npos);
    EXPECT_EQ(each.before.find("\\APPS\\Fleeting\\below\\"), std::string::npos);
    EXPECT_NE(each.before.find("\\linkdir\r\n"), std::string::npos);
    EXPECT_NE(each.before.find("\\SYSDIR\\inner.dll\r\n"), std::string::npos);
    EXPECT_EQ(each.before.find("AFTER3.DAT"), std::string::npos);
    EXPECT_NE(each.after.find("\\NEWAPP\\BIN\\.cache\\\r\n\\NEWAPP\\BIN\\\r\n\\NEWAPP\\\r\n"), std::string::npos);
    EXPECT_NE(each.after.find("\\SYSDIR\\added.sys\r\n"), std::string::npos);
    EXPECT_EQ(each.after.find("Fleeting"), std::string::npos);
    EXPECT_EQ(each.messages.size(), 2u);  // the passed-over name, after each scan

    EXPECT_EQ(one.before, each.before);
    EXPECT_EQ(four.before, each.before);
    EXPECT_EQ(one.after, each.after);
    EXPECT_EQ(four.after, each.after);
    EXPECT_EQ(one.messages, each.messages);
    EXPECT_EQ(four.messages, each.messages);
}

}  // namespace
}  // namespace morvane
