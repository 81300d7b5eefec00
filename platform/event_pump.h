#pragma once

namespace morvane {

// Lets pending window events run, so that windows stay painted during long work.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;

    // True once the user has asked to stop the command that is running (an interrupt from the terminal). The
    // commands that make a record look at it whenever they let events run, and end as a Cancel does: no partial
    // record remains. The windows have no such request.
    virtual bool stopRequested() { return false; }
};

}  // namespace morvane
