#pragma once

#include "platform/prompts.h"

class QWidget;

namespace morvane {

// Real message boxes and input boxes. They show the texts given; the notice plays no part.
class QtPrompts : public Prompts {
public:
    Answer messageBox(Notice notice, std::string_view text, Buttons buttons, Icon icon,
                      std::string_view title) override;
    std::string inputBox(Notice notice, std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;
    void beep() override;
};

}  // namespace morvane
