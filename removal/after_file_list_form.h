#pragma once

#include <QWidget>

#include "core/state.h"
#include "removal/select_after_file.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace morvane {

// The program-selection window: the prompt Label1, the unsorted single-selection list List1, Command1 "&Ok"
// (Enter, or a double click on an entry) and Command2 "&Cancel" (Esc, or closing the window from its frame).
// It is created hidden once and shown for each selection; its list is empty between selections.
class AfterFileListForm : public QWidget, public AfterFileList {
    Q_OBJECT
public:
    explicit AfterFileListForm(State& state, QWidget* parent = nullptr);

    void setPrompt(std::string_view prompt) override;
    int ShowAfterFileList(const std::vector<std::string>& AfterNames) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Command1_Click();
    void Command2_Click();

    State& m_state;
    QLabel* m_label1 = nullptr;
    QListWidget* m_list1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    bool m_waiting = false;
};

}  // namespace morvane
