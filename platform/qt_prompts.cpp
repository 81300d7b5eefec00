#include "platform/qt_prompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

namespace morvane {

namespace {

QString fromBytes(std::string_view s)
{
    // A lone CR (character 13) joins sentences in some messages; shown as a line break.
    QString text = QString::fromUtf8(s.data(), static_cast<int>(s.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

Answer QtPrompts::messageBox(Notice, std::string_view text, Buttons buttons, Icon icon, std::string_view title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName("MessageBox");
    box.setWindowTitle(fromBytes(title));
    box.setText(fromBytes(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case Buttons::RetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Retry);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Retry: return Answer::Retry;
    default: break;
    }
    // Closed from the frame.
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::OkCancel: return Answer::Cancel;
    case Buttons::YesNo: return Answer::No;
    case Buttons::RetryCancel: return Answer::Cancel;
    }
    return Answer::Cancel;
}

std::string QtPrompts::inputBox(Notice, std::string_view prompt, std::string_view title, std::string_view defaultText)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setObjectName("InputBox");
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(fromBytes(title));
    dialog.setLabelText(fromBytes(prompt));
    dialog.setTextValue(fromBytes(defaultText));
    // Long prompts (the drive question) wrap instead of widening the box past the screen.
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        label->setWordWrap(true);
    }
    dialog.setMinimumWidth(qMin(480, dialog.screen() ? dialog.screen()->availableGeometry().width() : 480));
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.textValue().toStdString();
}

void QtPrompts::beep()
{
    QApplication::beep();
}

}  // namespace morvane
