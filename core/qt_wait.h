#pragma once

#include "core/state.h"
#include "platform/event_pump.h"

class QWidget;

namespace morvane {

// Waits, running window events in a nested event loop (no busy loop), until a dialog button calls
// SetDialogDone. DialogDone is false again when it returns.
void WaitForDialogClose(State& state);

// What the closing buttons of the program's dialogs do: DialogDone becomes true, and the innermost wait ends.
void SetDialogDone(State& state);

// True while WaitForDialogClose is waiting.
bool DialogWaitActive();

// Twips to pixels at 15 twips per pixel, scaled by the screen.
int Twips(int twips);

// Moves a window to the centre of its screen; its size is unchanged.

void CenterForm(QWidget* window);

class QtEventPump : public EventPump {
public:
    void processEvents() override;
};

}  // namespace morvane
