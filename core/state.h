#pragma once

#include <string>

namespace morvane {

// The program-wide values. One instance lives for the whole run and is passed to every command and window.
struct State {
    std::string DataFolder;   // host folder of the record files and the manual, ends in '/'
    std::string WinDir;       // the Windows directory, ends in '\' (C:\WINDOWS\)
    std::string BootDrive = "C:";
    std::string ProgramName;  // the program of the record being worked on

    bool DialogDone = false;  // set by the closing buttons of the program's dialog windows
    short DialogChoice = 0;   // which button or entry was chosen there
};

}  // namespace morvane
