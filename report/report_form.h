#pragma once

#include <array>

#include <QWidget>

#include "core/state.h"
#include "report/report_window.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace morvane {

// The change report window. Left column: Label1/NumDirsLab/Command1 (directories) and Label2/NumFilesLab/
// Command2 (files); right column: Label3/AUTOEXECLab/Command3, Label4/CONFIGLab/Command4, Label6/WINLab/
// Command5, Label7/SYSTEMLab/Command6; below them, for a record made in a Wine prefix only, PrefixRows with
// Label8/RegistryLab/Command9 (the registry) and Label9/DesktopLab/Command10 (the desktop entries); then the title
// ShowingWhat over List1, and Command7 "&Ok" and Command8 "&Print". Every button puts its value into DialogChoice and
// ends the wait; closing the window from its frame counts as Ok.
class ReportForm : public QWidget, public ReportWindow {
    Q_OBJECT
public:
    explicit ReportForm(State& state, QWidget* parent = nullptr);

    void setCaption(std::string_view caption) override;
    void show() override;
    void repaint() override;
    void close() override;
    void setDirectoryCount(long count) override;
    void setFileCount(long count) override;
    void setResult(int category, std::string_view text, ResultColour colour) override;
    void setDetailsVisible(int category, bool visible) override;
    void setPrefixRowsVisible(bool visible) override;
    void setDesktopEntryCount(long count) override;
    void setPrintEnabled(bool enabled) override;
    void setListTitle(std::string_view title) override;
    void setList(const std::vector<std::string>& entries) override;
    short waitForChoice() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The design state, also restored when the report is closed.
    void resetControls();
    void choose(short choice);

    State& m_state;
    QLabel* m_numDirsLab = nullptr;
    QLabel* m_numFilesLab = nullptr;
    std::array<QLabel*, 11> m_results{};       // indices 3..6 and kReportRegistry
    std::array<QPushButton*, 11> m_details{};  // Command1..Command6, Command9 and Command10 at their categories
    QWidget* m_prefixRows = nullptr;
    QLabel* m_desktopLab = nullptr;
    QLabel* m_showingWhat = nullptr;
    QListWidget* m_list1 = nullptr;
    QPushButton* m_command7 = nullptr;
    QPushButton* m_command8 = nullptr;
    bool m_waiting = false;
    bool m_closeRequested = false;
    bool m_placed = false;
};

}  // namespace morvane
