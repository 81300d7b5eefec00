#include "removal/form4.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/qt_wait.h"

namespace morvane {

namespace {
QString FromBytes(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

Form4::Form4(State& state, QWidget* parent) : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName("Form4");
    setWindowTitle("File Restoration Options");

    // The heading and the options are the same for every file.
    const RestoreOptionsText texts = RestoreOptionsTexts({}, {}, false);
    auto* layout = new QVBoxLayout(this);
    for (int i = 1; i <= 6; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Label%1").arg(i));
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(Twips(6600));
        layout->addWidget(label);
        m_labels[i] = label;
    }
    m_labels[6]->setText(FromBytes(texts.optionsHeading));

    m_frame1 = new QGroupBox(this);
    m_frame1->setObjectName("Frame1");
    auto* options = new QVBoxLayout(m_frame1);
    for (int i = 1; i <= 3; ++i) {
        auto* option = new QRadioButton(FromBytes(texts.options[static_cast<std::size_t>(i - 1)]), m_frame1);
        option->setObjectName(QStringLiteral("Option%1").arg(i));
        options->addWidget(option);
        m_options[i] = option;
    }
    // The platform does not select an option that gains the focus, so the first showing starts with Option1
    // and Ok always has an answer.
    m_options[1]->setChecked(true);
    layout->addWidget(m_frame1);

    m_command1 = new QPushButton("&Ok", this);
    m_command1->setObjectName("Command1");
    m_command1->setAutoDefault(false);
    m_command1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(m_command1, &QPushButton::clicked, this, &Form4::Command1_Click);

    setTabOrder(m_options[1], m_options[2]);
    setTabOrder(m_options[2], m_options[3]);
    setTabOrder(m_options[3], m_command1);
}

int Form4::ShowRestoreOptions(const std::string& path, const std::string& programName, bool linesMissing)
{
    // A second restoration cannot start while this one waits; it restores nothing.
    if (m_waiting) {
        return 1;
    }
    const RestoreOptionsText texts = RestoreOptionsTexts(path, programName, linesMissing);
    setWindowTitle(FromBytes(texts.caption));
    for (int i = 1; i <= 5; ++i) {
        m_labels[i]->setText(FromBytes(texts.lines[static_cast<std::size_t>(i - 1)]));
    }

    show();
    if (!m_placed) {
        m_placed = true;
        adjustSize();
        CenterForm(this);
    }
    raise();
    activateWindow();
    m_command1->setFocus();

    // Should the wait end without Ok (the program quitting), nothing is restored.
    m_state.DialogChoice = 1;
    m_waiting = true;
    WaitForDialogClose(m_state);
    m_waiting = false;
    const int choice = m_state.DialogChoice;
    hide();
    QCoreApplication::processEvents();
    return choice;
}

void Form4::Command1_Click()
{
    if (m_options[1]->isChecked()) {
        m_state.DialogChoice = 1;
    } else if (m_options[2]->isChecked()) {
        m_state.DialogChoice = 2;
    } else if (m_options[3]->isChecked()) {
        m_state.DialogChoice = 3;
    }
    SetDialogDone(m_state);
}

void Form4::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_command1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form4::closeEvent(QCloseEvent* event)
{
    // The window is hidden, never destroyed. Closing it is no consent to rewrite a system file: it answers
    // "Do not attempt to restore file" and leaves the option selection as it was.
    event->ignore();
    if (m_waiting) {
        m_state.DialogChoice = 1;
        SetDialogDone(m_state);
    }
}

}  // namespace morvane
