#include "core/form3.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/qt_wait.h"

namespace morvane {

Form3::Form3(State& state, QWidget* parent) : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName("Form3");
    setWindowTitle("Morvane");
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);

    m_label2 = new QLabel(this);
    m_label2->setObjectName("Label2");
    m_label2->setAutoFillBackground(true);
    m_label2->setBackgroundRole(QPalette::Window);
    layout->addWidget(m_label2);

    m_picture1 = new QLabel(this);
    m_picture1->setObjectName("Picture1");
    layout->addWidget(m_picture1);

    const QFontMetrics metrics(font());
    for (int i = 1; i <= kLines; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName("Label1");
        label->setProperty("index", i);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(metrics.averageCharWidth() * 84);
        label->setMinimumHeight(metrics.height());
        layout->addWidget(label);
        m_lines[i] = label;
    }

    m_command1 = new QPushButton("Ok", this);
    m_command1->setObjectName("Command1");
    m_command1->setDefault(true);
    layout->addWidget(m_command1, 0, Qt::AlignHCenter);
    connect(m_command1, &QPushButton::clicked, this, [this] { SetDialogDone(m_state); });

    prepare();
}

void Form3::prepare()
{
    m_picture1->hide();
    for (int i = 1; i <= kLines; ++i) {
        setLine(i, {});
    }
    m_label2->hide();
    m_label2->setText({});
    setWindowTitle("Morvane");
}

namespace {

// A line as rich text in which "&" underlines the letter after it, as in the button captions ("&&" is an
// ampersand). Spaces are kept as they stand.
QString underlinedAccessKeys(const QString& text)
{
    QString html;
    for (int i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        bool underline = false;
        if (c == QLatin1Char('&') && i + 1 < text.size()) {
            c = text[++i];
            underline = c != QLatin1Char('&');
        }
        const QString shown = c == QLatin1Char(' ') ? QStringLiteral("&nbsp;") : QString(c).toHtmlEscaped();
        html += underline ? QStringLiteral("<u>") + shown + QStringLiteral("</u>") : shown;
    }
    return html;
}

}  // namespace

void Form3::setLine(int index, std::string_view text)
{
    QLabel* label = m_lines.at(index);
    const QString caption = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    label->setProperty("caption", caption);
    // Only lines with an access-key mark need rich text; the others are shown exactly as written.
    if (caption.contains(QLatin1Char('&'))) {
        label->setTextFormat(Qt::RichText);
        label->setText(underlinedAccessKeys(caption));
    } else {
        label->setTextFormat(Qt::PlainText);
        label->setText(caption);
    }
}

QString Form3::caption(int index) const
{
    return m_lines.at(index)->property("caption").toString();
}

void Form3::setAlignment(int index, Alignment alignment)
{
    m_lines.at(index)->setAlignment(
        (alignment == Alignment::Left ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
}

void Form3::setOkVisible(bool visible)
{
    m_command1->setVisible(visible);
}

void Form3::setLabel2(bool visible, int heightTwips)
{
    m_label2->setFixedHeight(Twips(heightTwips));
    m_label2->setVisible(visible);
}

void Form3::show()
{
    const bool first = !isVisible();
    QWidget::show();
    if (first) {
        adjustSize();
        CenterForm(this);
    }
}

void Form3::hide()
{
    QWidget::hide();
}

void Form3::repaint()
{
    QWidget::repaint();
}

void Form3::waitForOk()
{
    setOkVisible(true);
    m_command1->setFocus();
    m_waiting = true;
    WaitForDialogClose(m_state);
    m_waiting = false;
}

void Form3::closeEvent(QCloseEvent* event)
{
    // Closing from the frame acts like Ok while the panel waits for it; during progress it is refused.
    event->ignore();
    if (m_waiting) {
        SetDialogDone(m_state);
    }
}

}  // namespace morvane
