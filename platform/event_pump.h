#pragma once

namespace morvane {

// Lets pending window events run, so that windows stay painted during long work.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;

    // How far the directory tree scan running has come, told just before it lets events run: the directories
    // and files it has read so far. The windows show their own progress lines and need no figures.
    virtual void scanProgress(long directories, long files)
    {
        (void)directories;
        (void)files;
    }

    // True once the user has asked to stop the command that is running (an interrupt from the terminal). The
    // commands that make a record look at it whenever they let events run, and end as a Cancel does: no partial
    // record remains. The windows have no such request.
    virtual bool stopRequested() { return false; }
};

}  // namespace morvane
