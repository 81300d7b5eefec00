#include "help/doc_display.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/qt_wait.h"

namespace morvane {

DocDisplay::DocDisplay(State& state, Printer& printer, QWidget* parent)
    : QWidget(parent, Qt::Window), m_state(state), m_printer(printer)
{
    setObjectName("DocDisplay");
    setWindowTitle(QString());

    m_text1 = new QPlainTextEdit(this);
    m_text1->setObjectName("Text1");
    m_text1->setReadOnly(true);
    m_text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The text box must never keep the focus (and with it a caret): whatever gives it the focus, a click into
    // the text or the tab key, passes it on to Close at once.
    m_text1->installEventFilter(this);
    m_text1->viewport()->installEventFilter(this);

    m_command2 = new QPushButton("&Print", this);
    m_command2->setObjectName("Command2");
    m_command1 = new QPushButton("&Close", this);
    m_command1->setObjectName("Command1");
    m_command1->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_command2);
    buttons->addStretch();
    buttons->addWidget(m_command1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text1, 1);
    layout->addLayout(buttons);

    const QFontMetrics metrics(m_text1->font());
    resize(metrics.horizontalAdvance(QString(82, QLatin1Char('x'))) + m_text1->verticalScrollBar()->sizeHint().width(),
           metrics.lineSpacing() * 32);

    connect(m_command1, &QPushButton::clicked, this, &QWidget::close);
    connect(m_command2, &QPushButton::clicked, this, &DocDisplay::printText);
}

void DocDisplay::showManualText(const std::string& text)
{
    m_text1->setPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    const bool loading = !isVisible();
    show();
    if (loading) {
        CenterForm(this);
    }
    raise();
    activateWindow();
    m_command1->setFocus();
}

bool DocDisplay::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_text1 || watched == m_text1->viewport()) && event->type() == QEvent::FocusIn) {
        m_command1->setFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void DocDisplay::closeEvent(QCloseEvent* event)
{
    // Closing unloads the window: the next showing starts from an empty text.
    m_text1->clear();
    event->accept();
}

void DocDisplay::printText()
{
    // One document, a printed line for each line of the text; printing errors are ignored by the printer.
    const QStringList lines = m_text1->toPlainText().split(QLatin1Char('\n'));
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(lines.size()));
    for (const QString& line : lines) {
        out.push_back(line.toStdString());
    }
    m_printer.printLines(out);
}

}  // namespace morvane
