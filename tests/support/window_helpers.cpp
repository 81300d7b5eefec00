#include "tests/support/window_helpers.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace morvane::test {

QWidget* visibleWindow(const QString& objectName)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

void when(std::function<bool()> ready, std::function<void()> action, int timeoutMs)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout,
                     [timer, clock, ready = std::move(ready), action = std::move(action), timeoutMs]() {
                         const bool now = ready();
                         if (now || clock->elapsed() > timeoutMs) {
                             timer->stop();
                             timer->deleteLater();
                             delete clock;
                             if (now) {
                                 action();
                             } else {
                                 ADD_FAILURE() << "condition never met";
                             }
                         }
                     });
    timer->start();
}

void whenShown(const QString& objectName, std::function<void(QWidget*)> action, int timeoutMs)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, objectName, action = std::move(action), timeoutMs]() {
        QWidget* w = visibleWindow(objectName);
        if (w || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            if (w) {
                action(w);
            } else {
                ADD_FAILURE() << "window never shown: " << objectName.toStdString();
            }
        }
    });
    timer->start();
}

void clickButton(QWidget* window, const QString& objectName)
{
    ASSERT_NE(window, nullptr);
    auto* button = window->findChild<QAbstractButton*>(objectName);
    ASSERT_NE(button, nullptr) << objectName.toStdString();
    ASSERT_TRUE(button->isVisible()) << objectName.toStdString();
    ASSERT_TRUE(button->isEnabled()) << objectName.toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace morvane::test
