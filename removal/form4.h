#pragma once

#include <array>

#include <QWidget>

#include "core/state.h"
#include "removal/restore_system_file.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace morvane {

// The restoration window: Label1..Label5 describe the file, Label6 "Your options are:", Frame1 holds
// Option1..Option3 and Command1 "&Ok" (the default button, also pressed by Enter) reports the option chosen.
// It is created hidden once and keeps its option selection between showings. Closing it from its frame
// answers 1, "Do not attempt to restore file".
class Form4 : public QWidget, public RestoreOptions {
    Q_OBJECT
public:
    explicit Form4(State& state, QWidget* parent = nullptr);

    int ShowRestoreOptions(const std::string& path, const std::string& programName, bool linesMissing) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Command1_Click();

    State& m_state;
    std::array<QLabel*, 7> m_labels{};  // Label1..Label6 at 1..6
    QGroupBox* m_frame1 = nullptr;
    std::array<QRadioButton*, 4> m_options{};  // Option1..Option3 at 1..3
    QPushButton* m_command1 = nullptr;
    bool m_waiting = false;
    bool m_placed = false;  // sized and centred on its first showing
};

}  // namespace morvane
