#include "platform/qt_desktop.h"

#include <QProcess>
#include <QStringList>

namespace morvane {

// Runs xdg-open. Its exit status when it ended within the answer time; 0 when it is still running by then;
// -1 when it could not be started.
int QtDesktop::run(const std::string& target) const
{
    // No parent: a program still open when Morvane ends must not be killed with it.
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start("xdg-open", QStringList{QString::fromStdString(target)});
    if (!process->waitForStarted(m_answerMs)) {
        delete process;
        return -1;
    }
    if (process->waitForFinished(m_answerMs)) {
        const int status = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
        delete process;
        return status;
    }
    // Left running: the object goes when the program ends, so the program is not killed with it.
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return 0;
}

bool QtDesktop::openInEditor(const std::string& hostPath)
{
    return run(hostPath) == 0;
}

std::optional<int> QtDesktop::openUrl(const std::string& url)
{
    const int status = run(url);
    if (status == 0) {
        return std::nullopt;
    }
    return status;
}

}  // namespace morvane
