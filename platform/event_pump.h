#pragma once

namespace morvane {

// Lets pending window events run, so that windows stay painted during long work.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};

}  // namespace morvane
