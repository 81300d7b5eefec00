#pragma once

#include <array>

#include <QWidget>

#include "core/panel.h"
#include "core/state.h"

class QLabel;
class QPushButton;

namespace morvane {

// The message panel: twenty lines Label1 (objectName "Label1", property "index" 1..20), Label2, Picture1 and
// Command1 "Ok".
class Form3 : public QWidget, public Panel {
    Q_OBJECT
public:
    explicit Form3(State& state, QWidget* parent = nullptr);

    void setLine(int index, std::string_view text) override;
    void setAlignment(int index, Alignment alignment) override;
    void setOkVisible(bool visible) override;
    void setLabel2(bool visible, int heightTwips) override;
    void show() override;
    void hide() override;
    void repaint() override;
    void waitForOk() override;

    QLabel* label1(int index) const { return m_lines.at(index); }
    // The text of a line as the program wrote it ("&" marks included).
    QString caption(int index) const;
    QLabel* label2() const { return m_label2; }
    QPushButton* command1() const { return m_command1; }

    // The state start-up gives the panel: Picture1 hidden, lines blank, Label2 hidden, caption "Morvane".
    void prepare();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    State& m_state;
    std::array<QLabel*, kLines + 1> m_lines{};
    QLabel* m_label2 = nullptr;
    QLabel* m_picture1 = nullptr;
    QPushButton* m_command1 = nullptr;
    bool m_waiting = false;
};

}  // namespace morvane
