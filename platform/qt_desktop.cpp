#include "platform/qt_desktop.h"

#include <QProcess>
#include <QStringList>

namespace morvane {

namespace {

// Runs xdg-open and returns its exit status, or -1 when it could not be started or did not finish.
int runOpener(const std::string& target)
{
    QProcess process;
    process.start("xdg-open", QStringList{QString::fromStdString(target)});
    if (!process.waitForStarted(5000)) {
        return -1;
    }
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return process.exitCode();
}

}  // namespace

bool QtDesktop::openInEditor(const std::string& hostPath)
{
    return runOpener(hostPath) == 0;
}

std::optional<int> QtDesktop::openUrl(const std::string& url)
{
    const int status = runOpener(url);
    if (status == 0) {
        return std::nullopt;
    }
    return status;
}

}  // namespace morvane
