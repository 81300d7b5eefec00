#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The report's categories. The values are also what the window's buttons put into DialogChoice.
enum ReportChoice : short {
    kReportOk = 0,           // Command7 "&Ok", or closing the window from its frame
    kReportDirectories = 1,  // Command1 "Details"
    kReportFiles = 2,        // Command2
    kReportAutoexec = 3,     // Command3
    kReportConfig = 4,       // Command4
    kReportWin = 5,          // Command5
    kReportSystem = 6,       // Command6
    kReportPrint = 8,        // Command8 "&Print"
    // The rows of a record made in a Wine prefix, shown only for a record that has a companion.
    kReportRegistry = 9,  // Command9: the registry changes
    kReportDesktop = 10,  // Command10: the desktop entries added
};

// Colours of a configuration row's result label.
enum class ResultColour {
    Working,     // pure red (255, 0, 0), for "Working. Please wait."
    WindowText,  // the system's window-text colour, for "Yes" and "No"
};

// The window ReportForm, as the change report drives it. Categories are 1..6, 9 and 10 as in ReportChoice.
class ReportWindow {
public:
    virtual ~ReportWindow() = default;

    virtual void setCaption(std::string_view caption) = 0;
    virtual void show() = 0;
    virtual void repaint() = 0;  // makes what was set so far visible at once
    // Unloads the window: hides it and returns every control to its design state (counts "0", empty red
    // results, hidden Details buttons, hidden rows of the Wine prefix, empty title and list, Print disabled).
    virtual void close() = 0;

    virtual void setDirectoryCount(long count) = 0;  // NumDirsLab
    virtual void setFileCount(long count) = 0;       // NumFilesLab
    // AUTOEXECLab, CONFIGLab, WINLab or SYSTEMLab for categories 3..6, RegistryLab for kReportRegistry.
    virtual void setResult(int category, std::string_view text, ResultColour colour) = 0;
    virtual void setDetailsVisible(int category, bool visible) = 0;  // Command1..Command6, Command9, Command10
    // The two rows below the others, "Registry changed:" and "Desktop entries added:", for a record made in a
    // Wine prefix; set before the window is shown, so that it is laid out with them. Hidden, they take no room.
    virtual void setPrefixRowsVisible(bool visible) = 0;
    virtual void setDesktopEntryCount(long count) = 0;                  // DesktopLab
    virtual void setPrintEnabled(bool enabled) = 0;                     // Command8
    virtual void setListTitle(std::string_view title) = 0;              // ShowingWhat
    virtual void setList(const std::vector<std::string>& entries) = 0;  // List1, replacing what it held

    // Sets DialogChoice to 0 and waits for a button: 0 Ok, 1..6, 9 and 10 Details, 8 Print. Closing the window from its
    // frame gives 0, also when it happened before the wait began.
    virtual short waitForChoice() = 0;
};

}  // namespace morvane
