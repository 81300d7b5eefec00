#include "help/about_box.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/helpers.h"
#include "core/qt_wait.h"
#include "help/about.h"

namespace morvane {

AboutBox::AboutBox(State& state, MainWindow& main, Desktop& desktop, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_state(state), m_main(main), m_desktop(desktop), m_prompts(prompts)
{
    setObjectName("AboutBox");
    for (int i = 1; i <= 5; ++i) {
        m_labels[i] = new QLabel(this);
        m_labels[i]->setObjectName(QString("Label%1").arg(i));
        m_labels[i]->setTextFormat(Qt::PlainText);
        m_labels[i]->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    }
    QFont title = m_labels[1]->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    m_labels[1]->setFont(title);
    m_labels[2]->setText("A program of the Morvane project.");
    m_labels[3]->setText("Copyright (C) the Morvane project contributors.");

    // Label4 is the link: the address in the link colour, opened by a click anywhere on the label.
    QLabel* link = m_labels[4];
    link->setText(kMakerWebPage);
    QFont underlined = link->font();
    underlined.setUnderline(true);
    link->setFont(underlined);
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
    link->setPalette(palette);
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);

    m_command1 = new QPushButton("&Ok", this);
    m_command1->setObjectName("Command1");
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_labels[1]);
    layout->addWidget(m_labels[5]);
    layout->addSpacing(Twips(240));
    layout->addWidget(m_labels[2]);
    layout->addWidget(m_labels[3]);
    layout->addWidget(m_labels[4]);
    layout->addSpacing(Twips(240));
    layout->addWidget(m_command1, 0, Qt::AlignHCenter);
    setMinimumWidth(Twips(5000));
}

QLabel* AboutBox::label(int number) const
{
    return number >= 1 && number <= 5 ? m_labels[number] : nullptr;
}

void AboutBox::showAbout()
{
    m_main.setMainEnabled(false);
    load();
    show();
    CenterForm(this);
    raise();
    activateWindow();
    m_command1->setFocus();
}

void AboutBox::load()
{
    setWindowTitle(QString("About ") + kAppTitle);
    m_labels[1]->setText(kAppTitle);
    m_labels[5]->setText(QString("Version ") + kProgramVersion);
    adjustSize();
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_labels[4] && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OpenMakerWebPage(m_desktop, m_prompts);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void AboutBox::closeEvent(QCloseEvent* event)
{
    // "&Ok" and a close from the frame both end here, so the main window never stays disabled.
    m_main.setMainEnabled(true);
    event->accept();
}

}  // namespace morvane
