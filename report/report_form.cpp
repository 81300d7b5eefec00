#include "report/report_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/qt_wait.h"
#include "report/show_report.h"

namespace morvane {

namespace {

QString FromBytes(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text = {})
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void SetTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

}  // namespace

ReportForm::ReportForm(State& state, QWidget* parent) : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName("ReportForm");

    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(Twips(120));
    auto addRowTo = [&](QGridLayout* grid, QWidget* parent, int row, int column, const char* captionName,
                        const char* caption, QLabel* result, int category) {
        grid->addWidget(NewLabel(parent, captionName, caption), row, column);
        grid->addWidget(result, row, column + 1);
        auto* details = new QPushButton("Details", parent);
        details->setObjectName(QString("Command%1").arg(category));
        details->setAutoDefault(false);
        // A hidden button keeps its place, so the rows do not move when it appears.
        QSizePolicy policy = details->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        details->setSizePolicy(policy);
        grid->addWidget(details, row, column + 2);
        m_details[category] = details;
        connect(details, &QPushButton::clicked, this, [this, category] { choose(static_cast<short>(category)); });
    };
    auto addRow = [&](int row, int column, const char* captionName, const char* caption, QLabel* result, int category) {
        addRowTo(rows, this, row, column, captionName, caption, result, category);
    };

    m_numDirsLab = NewLabel(this, "NumDirsLab");
    m_numFilesLab = NewLabel(this, "NumFilesLab");
    m_results[kReportAutoexec] = NewLabel(this, "AUTOEXECLab");
    m_results[kReportConfig] = NewLabel(this, "CONFIGLab");
    m_results[kReportWin] = NewLabel(this, "WINLab");
    m_results[kReportSystem] = NewLabel(this, "SYSTEMLab");
    const int resultWidth = fontMetrics().horizontalAdvance("Working. Please wait.") + Twips(60);
    for (int category = kReportAutoexec; category <= kReportSystem; ++category) {
        m_results[category]->setMinimumWidth(resultWidth);
    }

    addRow(0, 0, "Label1", ReportCountLabel(kReportDirectories).c_str(), m_numDirsLab, kReportDirectories);
    addRow(1, 0, "Label2", ReportCountLabel(kReportFiles).c_str(), m_numFilesLab, kReportFiles);
    addRow(0, 3, "Label3", "AUTOEXEC.BAT changed:", m_results[kReportAutoexec], kReportAutoexec);
    addRow(1, 3, "Label4", "CONFIG.SYS changed:", m_results[kReportConfig], kReportConfig);
    addRow(2, 3, "Label6", "WIN.INI changed:", m_results[kReportWin], kReportWin);
    addRow(3, 3, "Label7", "SYSTEM.INI changed:", m_results[kReportSystem], kReportSystem);
    rows->setColumnMinimumWidth(1, fontMetrics().horizontalAdvance("0000000") + Twips(60));
    rows->setColumnStretch(2, 1);

    // The rows of a Wine prefix lie in a grid of their own below the others, so that showing them moves none of
    // the rows above; hidden, the grid takes no room and the window is as it is for any other record.
    m_prefixRows = new QWidget(this);
    m_prefixRows->setObjectName("PrefixRows");
    auto* prefixGrid = new QGridLayout(m_prefixRows);
    prefixGrid->setContentsMargins(0, 0, 0, 0);
    prefixGrid->setHorizontalSpacing(Twips(120));
    m_results[kReportRegistry] = NewLabel(m_prefixRows, "RegistryLab");
    m_desktopLab = NewLabel(m_prefixRows, "DesktopLab");
    addRowTo(prefixGrid, m_prefixRows, 0, 0, "Label8", "Registry changed:", m_results[kReportRegistry],
             kReportRegistry);
    addRowTo(prefixGrid, m_prefixRows, 1, 0, "Label9", "Desktop entries added:", m_desktopLab, kReportDesktop);
    prefixGrid->setColumnMinimumWidth(1, resultWidth);
    prefixGrid->setColumnStretch(3, 1);

    m_showingWhat = NewLabel(this, "ShowingWhat");
    m_list1 = new QListWidget(this);
    m_list1->setObjectName("List1");
    m_list1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list1->setSortingEnabled(false);
    m_list1->setMinimumSize(Twips(9000), Twips(3000));

    m_command7 = new QPushButton("&Ok", this);
    m_command7->setObjectName("Command7");
    m_command7->setAutoDefault(false);
    m_command8 = new QPushButton("&Print", this);
    m_command8->setObjectName("Command8");
    m_command8->setAutoDefault(false);
    connect(m_command7, &QPushButton::clicked, this, [this] { choose(kReportOk); });
    connect(m_command8, &QPushButton::clicked, this, [this] { choose(kReportPrint); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command7);
    buttons->addWidget(m_command8);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addWidget(m_prefixRows);
    layout->addWidget(m_showingWhat);
    layout->addWidget(m_list1, 1);
    layout->addLayout(buttons);

    resetControls();
}

void ReportForm::resetControls()
{
    setWindowTitle("Change Report");
    m_numDirsLab->setText("0");
    m_numFilesLab->setText("0");
    for (const int category : {kReportAutoexec, kReportConfig, kReportWin, kReportSystem, kReportRegistry}) {
        m_results[category]->clear();
        SetTextColour(m_results[category], QColor(255, 0, 0));
    }
    m_desktopLab->setText("0");
    for (QPushButton* details : m_details) {
        if (details) {
            details->hide();
        }
    }
    m_prefixRows->hide();
    m_showingWhat->clear();
    m_list1->clear();
    m_command8->setEnabled(false);
    m_closeRequested = false;
}

void ReportForm::setCaption(std::string_view caption)
{
    // Qt takes "[*]" in a window title for the unsaved-changes mark and drops it; doubled, it shows as itself.
    // The caption holds a program name the user typed, which is shown exactly.
    setWindowTitle(FromBytes(caption).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
}

void ReportForm::show()
{
    m_closeRequested = false;
    QWidget::show();
    if (!m_placed) {
        adjustSize();
        CenterForm(this);
        m_placed = true;
    }
    raise();
    activateWindow();
}

void ReportForm::repaint()
{
    QWidget::repaint();
}

void ReportForm::close()
{
    QWidget::hide();
    resetControls();
    m_placed = false;  // the next report is centred again, as a freshly loaded window is
}

void ReportForm::setDirectoryCount(long count)
{
    m_numDirsLab->setText(QString::number(count));
}

void ReportForm::setFileCount(long count)
{
    m_numFilesLab->setText(QString::number(count));
}

void ReportForm::setResult(int category, std::string_view text, ResultColour colour)
{
    QLabel* label = m_results.at(static_cast<std::size_t>(category));
    label->setText(FromBytes(text));
    SetTextColour(label, colour == ResultColour::Working ? QColor(255, 0, 0)
                                                         : QApplication::palette(label).color(QPalette::WindowText));
}

void ReportForm::setDetailsVisible(int category, bool visible)
{
    m_details.at(static_cast<std::size_t>(category))->setVisible(visible);
}

void ReportForm::setPrefixRowsVisible(bool visible)
{
    m_prefixRows->setVisible(visible);
}

void ReportForm::setDesktopEntryCount(long count)
{
    m_desktopLab->setText(QString::number(count));
}

void ReportForm::setPrintEnabled(bool enabled)
{
    m_command8->setEnabled(enabled);
}

void ReportForm::setListTitle(std::string_view title)
{
    m_showingWhat->setText(FromBytes(title));
}

void ReportForm::setList(const std::vector<std::string>& entries)
{
    m_list1->clear();
    QStringList items;
    items.reserve(static_cast<qsizetype>(entries.size()));
    for (const std::string& entry : entries) {
        items.append(FromBytes(entry));
    }
    m_list1->addItems(items);
}

short ReportForm::waitForChoice()
{
    m_state.DialogChoice = kReportOk;
    if (m_closeRequested || !isVisible()) {
        // The window is gone already: there is nothing left to wait for.
        return kReportOk;
    }
    m_waiting = true;
    WaitForDialogClose(m_state);
    m_waiting = false;
    return m_state.DialogChoice;
}

void ReportForm::choose(short choice)
{
    m_state.DialogChoice = choice;
    SetDialogDone(m_state);
}

void ReportForm::closeEvent(QCloseEvent* event)
{
    // The command closes the window itself once it has seen the choice, so it never waits for a window that
    // is gone; the close from the frame only tells it to finish as with Ok.
    event->ignore();
    m_closeRequested = true;
    if (m_waiting) {
        choose(kReportOk);
    }
}

}  // namespace morvane
