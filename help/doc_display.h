#pragma once

#include <QWidget>

#include "core/state.h"
#include "help/manual.h"
#include "platform/printer.h"

class QPlainTextEdit;
class QPushButton;

namespace morvane {

// The manual's own window: Text1 shows the text read-only, Command2 "&Print" prints it, Command1 "&Close"
// closes the window. It does not disable the main window.
class DocDisplay : public QWidget, public ManualWindow {
    Q_OBJECT
public:
    explicit DocDisplay(State& state, Printer& printer, QWidget* parent = nullptr);

    void showManualText(const std::string& text) override;

    QPlainTextEdit* text1() const { return m_text1; }
    QPushButton* command1() const { return m_command1; }
    QPushButton* command2() const { return m_command2; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void printText();

    State& m_state;
    Printer& m_printer;
    QPlainTextEdit* m_text1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
};

}  // namespace morvane
