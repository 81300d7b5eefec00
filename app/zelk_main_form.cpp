#include "app/zelk_main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "core/qt_wait.h"

namespace morvane {

namespace {

struct ButtonSpec {
    int number;
    const char* caption;
    std::function<void()> Commands::*command;
};

// Top to bottom as the buttons stand in the window.
const ButtonSpec kButtons[] = {
    {7, "&Quick Instructions", &Commands::ShowQuickInstructions},
    {1, "Create &BEFORE file", &Commands::CreateBeforeFile},
    {2, "Create &AFTER file", &Commands::CreateAfterFile},
    {3, "&Delete program", &Commands::DeleteProgram},
    {4, "D&elete AFTER file", &Commands::DeleteAfterFile},
    {8, "Delete BEFO&RE file", &Commands::DeleteBeforeFile},
    {5, "Delete &safety backup files", &Commands::DeleteSafetyFiles},
    {9, "D&isplay Report", &Commands::ShowReport},
    {6, "E&xit", nullptr},
};

// The exit button comes before the report button in the tab order, although it sits below it.
const int kTabOrder[] = {7, 1, 2, 3, 4, 8, 5, 6, 9};

}  // namespace

ZELKMainForm::ZELKMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("ZELKMainForm");
    setWindowTitle("Morvane");

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    client->setFixedSize(Twips(3630), Twips(5505));
    client->setAutoFillBackground(true);
    QPalette palette = client->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    client->setPalette(palette);
    setCentralWidget(client);

    int top = 120;
    for (const ButtonSpec& spec : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(spec.caption), client);
        button->setObjectName(QString("Command%1").arg(spec.number));
        button->setGeometry(Twips(240), Twips(top), Twips(3135), Twips(495));
        button->setAutoDefault(false);
        const auto command = spec.command;
        if (command) {
            connect(button, &QPushButton::clicked, this, [this, command] { run(command); });
        } else {
            connect(button, &QPushButton::clicked, this, &ZELKMainForm::ExitProgram);
        }
        m_buttons.at(spec.number) = button;
        top += 600;
    }
    for (std::size_t i = 0; i + 1 < std::size(kTabOrder); ++i) {
        setTabOrder(m_buttons.at(kTabOrder[i]), m_buttons.at(kTabOrder[i + 1]));
    }

    QMenu* files = menuBar()->addMenu("&Files");
    files->setObjectName("FilesTop");
    QAction* createBefore = addItem(files, "CreateBEFOREFileFunc", "Create &Before file", &Commands::CreateBeforeFile);
    QAction* createAfter = addItem(files, "CreateAFTERFileFunc", "Create &AFTER file", &Commands::CreateAfterFile);
    QAction* deleteProgram = addItem(files, "DeleteProgramFunc", "&Delete program", &Commands::DeleteProgram);
    QAction* deleteAfter = addItem(files, "DeleteAFTERFileFunc", "D&elete AFTER file", &Commands::DeleteAfterFile);
    QAction* deleteBefore =
        addItem(files, "DeleteBEFOREFileFunc", "Delete BEFO&RE file", &Commands::DeleteBeforeFile);
    QAction* report = addItem(files, "ReportFunc", "D&isplay Report", &Commands::ShowReport);
    QAction* deleteSafety =
        addItem(files, "DeleteSafetyFilesFunc", "Delete &safety files", &Commands::DeleteSafetyFiles);
    files->addSeparator()->setObjectName("Dummy1A");
    addItem(files, "ExitFunc", "E&xit", &ZELKMainForm::ExitProgram);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("HelpTop");
    addItem(help, "QuickInstructionsFunc", "&Quick instructions", &Commands::ShowQuickInstructions);
    addItem(help, "IndexFunc", "&Complete Instructions", &Commands::ShowManual);
    help->addSeparator()->setObjectName("Dummy1B");
    addItem(help, "AboutFunc", "&About", &Commands::About);

    m_pairs = {
        {Pair::CreateBefore, {m_buttons[1], createBefore}},  {Pair::CreateAfter, {m_buttons[2], createAfter}},
        {Pair::DeleteBefore, {m_buttons[8], deleteBefore}},  {Pair::DeleteProgram, {m_buttons[3], deleteProgram}},
        {Pair::DeleteAfter, {m_buttons[4], deleteAfter}},    {Pair::DisplayReport, {m_buttons[9], report}},
        {Pair::DeleteSafety, {m_buttons[5], deleteSafety}},
    };
}

QAction* ZELKMainForm::addItem(QMenu* menu, const char* name, const char* caption,
                               std::function<void()> Commands::*command)
{
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, command] { run(command); });
    return action;
}

QAction* ZELKMainForm::addItem(QMenu* menu, const char* name, const char* caption, void (ZELKMainForm::*handler)())
{
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void ZELKMainForm::run(std::function<void()> Commands::*command)
{
    // One command at a time. Most commands hide or disable this window while they run, but the program
    // selection is shown with this window still usable, and a click meanwhile must not start another one.
    if (m_running) {
        return;
    }
    if (const auto& procedure = m_commands.*command) {
        m_running = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{m_running};
        procedure();
    }
    if (m_exitPending && !m_running) {
        m_exitPending = false;
        ExitProgram();
    }
}

void ZELKMainForm::setPairEnabled(Pair pair, bool enabled)
{
    auto& [button, action] = m_pairs.at(pair);
    button->setEnabled(enabled);
    action->setEnabled(enabled);
}

bool ZELKMainForm::pairEnabled(Pair pair) const
{
    const auto& [button, action] = m_pairs.at(pair);
    return button->isEnabled() && action->isEnabled();
}

void ZELKMainForm::showMain()
{
    show();
}

void ZELKMainForm::hideMain()
{
    hide();
}

void ZELKMainForm::setMainEnabled(bool enabled)
{
    setEnabled(enabled);
}

void ZELKMainForm::ExitProgram()
{
    if (m_exiting) {
        return;
    }
    if (m_running) {
        // A command is waiting in one of its windows (the program selection). Closing the windows ends that
        // wait as Cancel; the exit itself follows as soon as the command has returned.
        m_exitPending = true;
        QApplication::closeAllWindows();
        return;
    }
    m_exiting = true;
    run(&Commands::OfferPendingAfterFile);
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void ZELKMainForm::closeEvent(QCloseEvent* event)
{
    // Closing the window is Exit, and cannot be cancelled.
    event->accept();
    ExitProgram();
}

void ZELKMainForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        run(&Commands::ShowManual);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

}  // namespace morvane
