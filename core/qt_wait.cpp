#include "core/qt_wait.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QWidget>

#include <vector>

namespace morvane {

namespace {
std::vector<QEventLoop*> g_waits;
}

void WaitForDialogClose(State& state)
{
    state.DialogDone = false;
    QEventLoop loop;
    g_waits.push_back(&loop);
    while (!state.DialogDone) {
        // -1: the application is quitting and no event loop runs any more; waiting on would spin.
        if (loop.exec(QEventLoop::AllEvents) == -1) {
            break;
        }
    }
    g_waits.pop_back();
    state.DialogDone = false;
}

void SetDialogDone(State& state)
{
    state.DialogDone = true;
    if (!g_waits.empty()) {
        g_waits.back()->quit();
    }
}

bool DialogWaitActive()
{
    return !g_waits.empty();
}

int Twips(int twips)
{
    qreal scale = 1.0;
    if (const QScreen* screen = QApplication::primaryScreen()) {
        scale = screen->logicalDotsPerInch() / 96.0;
    }
    return qRound(twips / 15.0 * scale);
}

void CenterForm(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize frame = window->frameGeometry().size();
    window->move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace morvane
