#pragma once

#include <functional>

#include <QString>
#include <QWidget>

namespace morvane::test {

// Runs `action` once, from a repeating timer, as soon as a visible top-level window with this objectName
// exists (a dialog a command shows and then waits for). Gives up after `timeoutMs`.
void whenShown(const QString& objectName, std::function<void(QWidget*)> action, int timeoutMs = 10000);

// Runs `action` once, from a repeating timer, as soon as `ready` returns true. Gives up after `timeoutMs`.
void when(std::function<bool()> ready, std::function<void()> action, int timeoutMs = 10000);

// The visible top-level window with this objectName, or nullptr.
QWidget* visibleWindow(const QString& objectName);

// Clicks a child button found by objectName; fails the test when it is missing, hidden or disabled.
void clickButton(QWidget* window, const QString& objectName);

}  // namespace morvane::test
