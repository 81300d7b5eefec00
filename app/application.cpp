#include "app/application.h"

#include "app/startup.h"
#include "changes/create_after_file.h"
#include "core/helpers.h"
#include "help/manual.h"
#include "help/manual_text.h"
#include "help/quick_instructions.h"
#include "maintenance/record_maintenance.h"
#include "removal/delete_program.h"
#include "report/show_report.h"
#include "snapshot/create_before_file.h"

namespace morvane {

Application::Application(Host host)
    : m_fs(std::move(host.fs)),
      m_dataFolder(std::move(host.dataFolder)),
      m_shippedManual(std::move(host.shippedManual)),
      m_prompts(host.prompts),
      m_desktop(host.desktop),
      m_printer(host.printer),
      m_form3(m_state),
      m_afterFileList(m_state),
      m_form4(m_state),
      m_report(m_state),
      m_docDisplay(m_state, m_printer),
      m_about(m_state, m_main, m_desktop, m_prompts)
{
    m_main.setCommands(commands());
}

Application::~Application() = default;

Commands Application::commands()
{
    Commands c;
    c.CreateBeforeFile = [this] { CreateBeforeFile(ctx()); };
    c.CreateAfterFile = [this] { CreateAfterFile(ctx()); };
    c.DeleteProgram = [this] { DeleteProgram(ctx(), m_afterFileList, m_form4); };
    c.DeleteAfterFile = [this] { DeleteAfterFile(ctx(), m_afterFileList); };
    c.DeleteSafetyFiles = [this] { DeleteSafetyFiles(ctx()); };
    c.ShowQuickInstructions = [this] { ShowQuickInstructions(ctx()); };
    c.DeleteBeforeFile = [this] { DeleteBeforeFile(ctx()); };
    c.ShowReport = [this] { ShowReport(ctx(), m_afterFileList, m_report, m_printer); };
    c.ShowManual = [this] { ShowManual(ctx(), m_desktop, m_docDisplay); };
    c.About = [this] { m_about.showAbout(); };
    c.OfferPendingAfterFile = [this] { OfferPendingAfterFile(ctx(), [this] { CreateAfterFile(ctx()); }); };
    return c;
}

void Application::load()
{
    const Context c = ctx();
    m_main.adjustSize();
    CenterForm(&m_main);
    // The selection window exists from here on, hidden (constructed with the application).
    InitFolders(c, m_dataFolder, m_shippedManual, EmbeddedManual());
    MoveRecordsFromWinDir(c);
    RemoveOrphanCompanions(c);
    m_state.BootDrive = "C:";
    m_form3.prepare();
    m_main.showMain();
    UpdateBeforePairs(c);
    UpdateAfterPairs(c);
    UpdateSafetyPair(c);
}

}  // namespace morvane
