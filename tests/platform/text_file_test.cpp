#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <random>

#include "platform/fd_text_file.h"
#include "tests/platform/platform_support.h"

namespace morvane::test {
namespace {

using Lines = std::vector<std::string>;

// Makes writes beyond `bytes` fail with EFBIG for as long as it lives: a disk that fills up, which even an
// administrator cannot write past.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

std::string tempLeftovers(FileSystem& fs, const std::string& folder)
{
    std::string found;
    const auto contents = fs.readDirectory(folder);
    for (const auto& name : contents->files) {
        if (name.find("morvane") != std::string::npos) {
            found += name + " ";
        }
    }
    return found;
}

TEST(PlatformTextRead, SplitsAtCrLfLfAndLoneCr)
{
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\r\n", {"one"}},
        {"one\r\ntwo", {"one", "two"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\rb\r\nc\nd", {"a", "b", "c", "d"}},
        {"\r\r\n\n", {"", "", ""}},
        {"\n\r", {"", ""}},
        {std::string("x\0y\xff\xc3\xa9\t \r\n", 10), {std::string("x\0y\xff\xc3\xa9\t ", 8)}},
    };
    PlatformWorld w;
    for (const auto& c : cases) {
        writeFile(w.at("t.txt"), c.bytes);
        auto lines = w.fs->readLines("C:\\T.TXT");
        ASSERT_TRUE(lines.ok()) << lines.error().describe();
        EXPECT_EQ(*lines, c.lines) << testing::PrintToString(c.bytes);
    }
}

TEST(PlatformTextRead, SplitsRandomBytesAsALineByLineReadingWould)
{
    // Bytes one bit away from CR and LF, bytes with the high bit set and NULs around the line endings, in
    // lines of every length up to a few words, so each line ending falls at every position of a word.
    const std::string alphabet("ab\r\n\x8d\x8a\x0c\x0b\xff\0", 10);
    std::mt19937 random(20261208);
    std::string bytes;
    for (int i = 0; i < 20000; ++i) {
        bytes += alphabet[random() % alphabet.size()];
    }
    Lines expected;
    std::string line;
    bool pending = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            expected.push_back(line);
            line.clear();
            pending = false;
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += bytes[i];
            pending = true;
        }
    }
    if (pending) {
        expected.push_back(line);
    }
    PlatformWorld w;
    writeFile(w.at("random.txt"), bytes);
    auto lines = w.fs->readLines("C:\\random.txt");
    ASSERT_TRUE(lines.ok());
    EXPECT_TRUE(*lines == expected);
}

TEST(PlatformTextRead, LineEndingsAcrossTheBufferBoundary)
{
    const std::string fill(kTextBufferSize - 1, 'x');  // the CR is the buffer's last byte
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {fill + "\r\nnext", {fill, "next"}},
        {fill + "\rnext\r", {fill, "next"}},
        {fill + "\r\r\n", {fill, ""}},
        {fill + "\r", {fill}},
        {fill + "x\nnext", {fill + "x", "next"}},
        {fill + "xy", {fill + "xy"}},
        {std::string(3 * kTextBufferSize, 'L') + "\n", {std::string(3 * kTextBufferSize, 'L')}},
    };
    PlatformWorld w;
    for (const auto& c : cases) {
        writeFile(w.at("big.txt"), c.bytes);
        auto lines = w.fs->readLines("C:\\big.txt");
        ASSERT_TRUE(lines.ok());
        ASSERT_EQ(lines->size(), c.lines.size()) << "file of " << c.bytes.size() << " bytes";
        EXPECT_TRUE(*lines == c.lines) << "file of " << c.bytes.size() << " bytes";
    }
}

TEST(PlatformTextRead, RefusesWhatIsNotAnOrdinaryFile)
{
    PlatformWorld w;
    makeDirs(w.at("Dir"));
    ::mkfifo(w.at("pipe").c_str(), 0644);  // opening it for reading would block forever
    EXPECT_EQ(w.fs->readLines("C:\\Dir").error().code, EISDIR);
    EXPECT_EQ(w.fs->readLines("C:\\none.txt").error().code, ENOENT);
    EXPECT_FALSE(w.fs->openForReading("C:\\pipe").ok());
}

// A read that fails in the middle of a line: the part read so far is no line (it could be "\AP" of
// "\APP\README.TXT"); the reader ends with the error. Here the failure is EAGAIN from a pipe that holds no more.
TEST(PlatformTextRead, AReadErrorInsideALineGivesNoLine)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    const std::string bytes = "\\DIR\\\r\n\\AP";
    ASSERT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    auto reader = makeFdLineReader(fds[0], "C:\\AFTER1.DAT");
    std::string line;
    ASSERT_TRUE(reader->readLine(line));
    EXPECT_EQ(line, "\\DIR\\");
    EXPECT_FALSE(reader->readLine(line)) << "a partial line was returned: " << line;
    ASSERT_FALSE(reader->status().ok());
    EXPECT_EQ(reader->status().error().code, EAGAIN);
    EXPECT_EQ(reader->status().error().path, "C:\\AFTER1.DAT");
    ::close(fds[1]);
}

TEST(PlatformTextWrite, WritesCrLfAfterEveryLine)
{
    PlatformWorld w;
    writeFile(w.at("before.dat"), std::string(200, 'o'));
    auto writer = w.fs->createForWriting("C:\\BEFORE.DAT");
    ASSERT_TRUE(writer.ok()) << writer.error().describe();
    const std::string longLine(kTextBufferSize + 10, 'z');
    for (const std::string& line : {std::string("\\DIR\\"), std::string(), std::string("\xc3\xa9"), longLine}) {
        (*writer)->writeLine(line);
    }
    // Lines in two parts, one of them too long for the buffer.
    (*writer)->writeLine("\\DIR\\", "FILE.TXT");
    (*writer)->writeLine(longLine, "!");
    ASSERT_TRUE((*writer)->finish().ok());
    // Written in place under the name found on disk, the old bytes gone.
    EXPECT_EQ(readFile(w.at("before.dat")),
              "\\DIR\\\r\n\r\n\xc3\xa9\r\n" + longLine + "\r\n\\DIR\\FILE.TXT\r\n" + longLine + "!\r\n");
    EXPECT_FALSE(pathExists(w.at("BEFORE.DAT")));

    auto exclusive = w.fs->createForWriting("C:\\Before.Dat", FileSystem::CreateMode::Exclusive);
    ASSERT_FALSE(exclusive.ok());
    EXPECT_EQ(exclusive.error().code, EEXIST);
    EXPECT_EQ(readFile(w.at("before.dat")).size(), 7 + 2 + 4 + longLine.size() + 2 + 15 + longLine.size() + 3);

    auto fresh = w.fs->createForWriting("C:\\ASDZXC.ZXC", FileSystem::CreateMode::Exclusive);
    ASSERT_TRUE(fresh.ok());
    (*fresh)->writeLine("Junk");
    ASSERT_TRUE((*fresh)->finish().ok());
    EXPECT_EQ(readFile(w.at("ASDZXC.ZXC")), "Junk\r\n");
}

TEST(PlatformTextWrite, KeepsTheFirstErrorUntilFinish)
{
    PlatformWorld w;
    auto writer = w.fs->createForWriting("C:\\AFTER1.DAT");
    ASSERT_TRUE(writer.ok());
    Status finished;
    {
        FileSizeLimit limit(1000);
        for (int i = 0; i < 1000; ++i) {
            (*writer)->writeLine("\\A LINE OF A RECORD\\");
        }
        finished = (*writer)->finish();
    }
    ASSERT_FALSE(finished.ok());
    EXPECT_EQ(finished.error().code, EFBIG);
    EXPECT_EQ(finished.error().path, "C:\\AFTER1.DAT");
}

TEST(PlatformTextWrite, AtomicWriteReplacesWholeOrNotAtAll)
{
    PlatformWorld w;
    writeFile(w.at("Windows/win.ini"), "old\r\n");
    ::chmod(w.at("Windows/win.ini").c_str(), 0640);

    ASSERT_TRUE(w.fs->writeLinesAtomic("C:\\WINDOWS\\WIN.INI", {"[windows]", "load="}).ok());
    EXPECT_EQ(readFile(w.at("Windows/win.ini")), "[windows]\r\nload=\r\n");
    EXPECT_EQ(modeOf(w.at("Windows/win.ini")), 0640u);
    ASSERT_TRUE(w.fs->writeLinesAtomic("C:\\WINDOWS\\WIN.MIS", {}).ok());
    EXPECT_EQ(readFile(w.at("Windows/WIN.MIS")), "");

    Status failed;
    {
        FileSizeLimit limit(100);
        failed = w.fs->writeLinesAtomic("C:\\windows\\win.ini", Lines(100, "device=a line that fills the disk"));
    }
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().code, EFBIG);
    EXPECT_EQ(readFile(w.at("Windows/win.ini")), "[windows]\r\nload=\r\n");
    EXPECT_EQ(tempLeftovers(*w.fs, "C:\\Windows"), "");

    EXPECT_EQ(w.fs->writeLinesAtomic("C:\\NOFOLDER\\WIN.INI", {"x"}).error().code, ENOENT);
    EXPECT_FALSE(pathExists(w.at("NOFOLDER")));
    EXPECT_EQ(w.fs->readDirectory("C:\\Windows")->files, (Lines{"win.ini", "WIN.MIS"}));
}

}  // namespace
}  // namespace morvane::test
