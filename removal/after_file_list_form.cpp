#include "removal/after_file_list_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/qt_wait.h"

namespace morvane {

namespace {
QString FromBytes(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

AfterFileListForm::AfterFileListForm(State& state, QWidget* parent) : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName("AfterFileListForm");
    setWindowTitle("QRV AFTER Files");

    auto* layout = new QVBoxLayout(this);
    m_label1 = new QLabel(this);
    m_label1->setObjectName("Label1");
    m_label1->setTextFormat(Qt::PlainText);
    layout->addWidget(m_label1);

    m_list1 = new QListWidget(this);
    m_list1->setObjectName("List1");
    m_list1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list1->setSortingEnabled(false);
    m_list1->setMinimumSize(Twips(4200), Twips(2000));
    layout->addWidget(m_list1);

    auto* buttons = new QHBoxLayout;
    m_command1 = new QPushButton("&Ok", this);
    m_command1->setObjectName("Command1");
    m_command2 = new QPushButton("&Cancel", this);
    m_command2->setObjectName("Command2");
    // The form is not a QDialog, so Enter and Esc are routed by keyPressEvent; the buttons must not take
    // Enter for themselves when they hold the focus.
    m_command1->setAutoDefault(false);
    m_command2->setAutoDefault(false);
    m_command1->setDefault(true);  // drawn as the default button
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(m_command1, &QPushButton::clicked, this, &AfterFileListForm::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &AfterFileListForm::Command2_Click);
    connect(m_list1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_list1->setCurrentItem(item);
        Command1_Click();
    });
}

void AfterFileListForm::setPrompt(std::string_view prompt)
{
    m_label1->setText(FromBytes(prompt));
}

int AfterFileListForm::ShowAfterFileList(const std::vector<std::string>& AfterNames)
{
    // A command started from the main window while a selection is open (the report selects before it hides
    // the main window) must not pile a second selection into the same list: it gets Cancel.
    if (m_waiting) {
        return -1;
    }
    std::size_t n = 0;
    while (n + 1 < AfterNames.size() && !AfterNames[n + 1].empty()) {
        ++n;
    }

    const bool first = !isVisible();
    show();
    if (first) {
        adjustSize();
        CenterForm(this);
    }
    raise();
    activateWindow();
    m_command1->setFocus();

    for (std::size_t i = 1; i <= n; ++i) {
        m_list1->addItem(FromBytes(AfterNames[i]));
    }
    if (m_list1->count() > 0) {
        m_list1->setCurrentRow(0);
    }

    // Ends as Cancel should the wait end without a button (the program quitting).
    m_state.DialogChoice = -1;
    m_waiting = true;
    WaitForDialogClose(m_state);
    m_waiting = false;

    for (int row = m_list1->count() - 1; row >= 0; --row) {
        delete m_list1->takeItem(row);
    }
    const int result = m_state.DialogChoice;
    hide();
    return result;
}

void AfterFileListForm::Command1_Click()
{
    const QList<QListWidgetItem*> selected = m_list1->selectedItems();
    m_state.DialogChoice = static_cast<short>(selected.isEmpty() ? -1 : m_list1->row(selected.first()));
    SetDialogDone(m_state);
}

void AfterFileListForm::Command2_Click()
{
    m_state.DialogChoice = -1;
    SetDialogDone(m_state);
}

void AfterFileListForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter presses the button that has the focus, and Ok, the default button, from anywhere else.
        (focusWidget() == m_command2 ? m_command2 : m_command1)->click();
        return;
    case Qt::Key_Escape:
        m_command2->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void AfterFileListForm::closeEvent(QCloseEvent* event)
{
    // The window is hidden, never destroyed: a close from the frame is a Cancel, and the selection hides it.
    event->ignore();
    if (m_waiting) {
        Command2_Click();
    }
}

}  // namespace morvane
