#pragma once

#include "core/main_window.h"
#include "core/panel.h"
#include "core/state.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/prompts.h"

namespace morvane {

// Everything a command reaches the host and the user through. Dialog windows particular to one command are
// passed to that command separately.
struct Context {
    State& state;
    FileSystem& fs;
    Prompts& prompts;
    Panel& panel;
    MainWindow& main;
    EventPump& events;
};

}  // namespace morvane
