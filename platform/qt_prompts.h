#pragma once

#include "platform/prompts.h"

class QWidget;

namespace morvane {

// Real message boxes and input boxes.
class QtPrompts : public Prompts {
public:
    Answer messageBox(std::string_view text, Buttons buttons, Icon icon, std::string_view title) override;
    std::string inputBox(std::string_view prompt, std::string_view title, std::string_view defaultText) override;
    void beep() override;
};

}  // namespace morvane
