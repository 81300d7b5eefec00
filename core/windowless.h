#pragma once

#include <map>

#include "core/main_window.h"
#include "platform/event_pump.h"

namespace morvane {

// The main window where nothing is shown (the terminal program, the benchmarks, the tests): it keeps the state
// of each command pair for whoever asks, and counts what the commands ask of the window itself.
class WindowlessMainWindow : public MainWindow {
public:
    void setPairEnabled(Pair pair, bool enabled) override { pairs[pair] = enabled; }
    bool pairEnabled(Pair pair) const override
    {
        const auto found = pairs.find(pair);
        return found != pairs.end() && found->second;
    }
    void showMain() override { visible = true; }
    void hideMain() override
    {
        visible = false;
        ++hides;
    }
    void setMainEnabled(bool on) override { enabled = on; }

    std::map<Pair, bool> pairs;  // a pair never set is absent
    bool visible = true;
    bool enabled = true;
    int hides = 0;
};

// Window events where there are none to run: only counted.
class CountingEventPump : public EventPump {
public:
    void processEvents() override { ++calls; }
    long calls = 0;
};

}  // namespace morvane
