#pragma once

namespace morvane {

// The commands whose button and menu item are enabled or disabled together, by which record files exist.
enum class Pair {
    CreateBefore,   // Command1, CreateBEFOREFileFunc
    CreateAfter,    // Command2, CreateAFTERFileFunc
    DeleteBefore,   // Command8, DeleteBEFOREFileFunc
    DeleteProgram,  // Command3, DeleteProgramFunc
    DeleteAfter,    // Command4, DeleteAFTERFileFunc
    DisplayReport,  // Command9, ReportFunc
    DeleteSafety,   // Command5, DeleteSafetyFilesFunc
};

// What the commands do to the main window ZELKMainForm.
class MainWindow {
public:
    virtual ~MainWindow() = default;
    virtual void setPairEnabled(Pair pair, bool enabled) = 0;
    virtual bool pairEnabled(Pair pair) const = 0;
    virtual void showMain() = 0;
    virtual void hideMain() = 0;
    virtual void setMainEnabled(bool enabled) = 0;
};

// Hides the main window for the life of a command and shows it again on every way out.
class MainWindowHidden {
public:
    explicit MainWindowHidden(MainWindow& main) : m_main(main) { m_main.hideMain(); }
    ~MainWindowHidden() { m_main.showMain(); }
    MainWindowHidden(const MainWindowHidden&) = delete;
    MainWindowHidden& operator=(const MainWindowHidden&) = delete;

private:
    MainWindow& m_main;
};

}  // namespace morvane
