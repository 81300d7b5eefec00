#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QByteArray>

#include "platform/qt_desktop.h"
#include "tests/support/temp_dir.h"

namespace morvane::test {
namespace {

// Puts a scripted xdg-open first on the PATH for the life of the object.
class FakeOpener {
public:
    explicit FakeOpener(const std::string& script) : m_oldPath(qgetenv("PATH"))
    {
        // The script lets go of the test's output at once, so a sleeping opener does not hold up the test run.
        writeFile(m_dir / "xdg-open",
                  "#!/bin/sh\nexec >/dev/null 2>&1\necho \"$1\" >> '" + (m_dir / "opened") + "'\n" + script + "\n");
        chmod((m_dir / "xdg-open").c_str(), 0755);
        qputenv("PATH", QByteArray::fromStdString(m_dir.path()) + ":" + m_oldPath);
    }
    ~FakeOpener() { qputenv("PATH", m_oldPath); }
    std::string opened() const { return readFile(m_dir / "opened"); }

private:
    TempDir m_dir;
    QByteArray m_oldPath;
};

TEST(QtDesktop, TheOpenersExitStatusDecides)
{
    QtDesktop desktop(200);
    {
        FakeOpener opener("exit 0");
        EXPECT_TRUE(desktop.openInEditor("/data/ZELK.TXT"));
        EXPECT_EQ(desktop.openUrl("https://example.org/"), std::nullopt);
        EXPECT_EQ(opener.opened(), "/data/ZELK.TXT\nhttps://example.org/\n");
    }
    {
        FakeOpener opener("exit 3");  // nothing to open it with
        EXPECT_FALSE(desktop.openInEditor("/data/ZELK.TXT"));
        EXPECT_EQ(desktop.openUrl("https://example.org/"), 3);
    }
}

TEST(QtDesktop, AnOpenerStillRunningHasStartedTheProgram)
{
    QtDesktop desktop(200);
    FakeOpener opener("sleep 5");  // an editor running in the opener's own process
    EXPECT_TRUE(desktop.openInEditor("/data/ZELK.TXT"));
}

}  // namespace
}  // namespace morvane::test
