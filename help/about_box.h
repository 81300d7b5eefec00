#pragma once

#include <QWidget>

#include "core/main_window.h"
#include "core/state.h"
#include "platform/desktop.h"
#include "platform/prompts.h"

class QLabel;
class QPushButton;

namespace morvane {

// The About window: the program's name and version, its maker, and a link to the maker's home page. The main
// window stays disabled while it is open; "&Ok" or a close from the frame enables it again.
class AboutBox : public QWidget {
    Q_OBJECT
public:
    AboutBox(State& state, MainWindow& main, Desktop& desktop, Prompts& prompts, QWidget* parent = nullptr);

    // What the About menu item does: disables the main window and shows this window.
    void showAbout();

    QLabel* label(int number) const;  // Label1 to Label5
    QPushButton* command1() const { return m_command1; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void load();

    State& m_state;
    MainWindow& m_main;
    Desktop& m_desktop;
    Prompts& m_prompts;
    QLabel* m_labels[6] = {};
    QPushButton* m_command1 = nullptr;
};

}  // namespace morvane
