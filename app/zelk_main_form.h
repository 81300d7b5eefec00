#pragma once

#include <array>
#include <functional>
#include <map>

#include <QMainWindow>

#include "core/main_window.h"

class QAction;
class QPushButton;

namespace morvane {

// The procedures the buttons and menu items run. Each is called on a click and nothing else happens before
// or after it.
struct Commands {
    std::function<void()> CreateBeforeFile;
    std::function<void()> CreateAfterFile;
    std::function<void()> DeleteProgram;
    std::function<void()> DeleteAfterFile;
    std::function<void()> DeleteSafetyFiles;
    std::function<void()> ShowQuickInstructions;
    std::function<void()> DeleteBeforeFile;
    std::function<void()> ShowReport;
    std::function<void()> ShowManual;
    std::function<void()> About;
    // Run by ExitProgram before the program ends: offers to create a pending AFTER file.
    std::function<void()> OfferPendingAfterFile;
};

// The main window: nine buttons in one column and the Files and Help menus. The buttons and menu items of
// the commands that depend on the record files are enabled and disabled in pairs.
class ZELKMainForm : public QMainWindow, public MainWindow {
    Q_OBJECT
public:
    explicit ZELKMainForm(QWidget* parent = nullptr);

    void setCommands(Commands commands) { m_commands = std::move(commands); }

    void setPairEnabled(Pair pair, bool enabled) override;
    bool pairEnabled(Pair pair) const override;
    void showMain() override;
    void hideMain() override;
    void setMainEnabled(bool enabled) override;

    QPushButton* button(int number) const { return m_buttons.at(number); }  // Command1..Command9

    // Exit, from Command6, ExitFunc or closing the window: offers to create a pending AFTER file, then ends
    // the program. No answer cancels it.
    void ExitProgram();
    bool exiting() const { return m_exiting; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAction* addItem(class QMenu* menu, const char* name, const char* caption, void (ZELKMainForm::*handler)());
    QAction* addItem(class QMenu* menu, const char* name, const char* caption, std::function<void()> Commands::*run);
    void run(std::function<void()> Commands::*command);

    Commands m_commands;
    std::array<QPushButton*, 10> m_buttons{};
    std::map<Pair, std::pair<QPushButton*, QAction*>> m_pairs;
    bool m_exiting = false;
    bool m_running = false;      // a command started here has not returned yet
    bool m_exitPending = false;  // Exit was asked for while that command ran
};

}  // namespace morvane
