#pragma once

#include <memory>
#include <string>

#include "app/zelk_main_form.h"
#include "core/context.h"
#include "core/form3.h"
#include "core/qt_wait.h"
#include "help/about_box.h"
#include "help/doc_display.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "platform/printer.h"
#include "platform/prompts.h"
#include "removal/after_file_list_form.h"
#include "removal/form4.h"
#include "report/report_form.h"

namespace morvane {

// What the program is given by its host: the file system, the data folder, the shipped manual, and the
// dialogs, printer and desktop to talk through. main() passes the real ones; tests pass doubles.
struct Host {
    std::unique_ptr<FileSystem> fs;
    std::string dataFolder;     // host folder, ends in '/'
    std::string shippedManual;  // host path of the shipped ZELK.TXT, or empty
    Prompts& prompts;
    Desktop& desktop;
    Printer& printer;
};

// The running program: the shared state and one instance of each window, wired to the commands.
class Application {
public:
    explicit Application(Host host);
    ~Application();

    // The start-up sequence of the main window.
    void load();

    State& state() { return m_state; }
    FileSystem& fs() { return *m_fs; }
    Context ctx() { return Context{m_state, *m_fs, m_prompts, m_form3, m_main, m_events}; }
    ZELKMainForm& mainForm() { return m_main; }
    Form3& form3() { return m_form3; }

private:
    Commands commands();

    State m_state;
    std::unique_ptr<FileSystem> m_fs;
    std::string m_dataFolder;
    std::string m_shippedManual;
    Prompts& m_prompts;
    Desktop& m_desktop;
    Printer& m_printer;
    QtEventPump m_events;

    // Windows, created once; the main window last so it is destroyed first.
    Form3 m_form3;
    AfterFileListForm m_afterFileList;
    Form4 m_form4;
    ReportForm m_report;
    DocDisplay m_docDisplay;
    ZELKMainForm m_main;
    AboutBox m_about;
};

}  // namespace morvane
