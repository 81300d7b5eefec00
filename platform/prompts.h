#pragma once

#include <string>
#include <string_view>

namespace morvane {

enum class Buttons { Ok, OkCancel, YesNo };
enum class Icon { None, Exclamation, Question, Information };
enum class Answer { Ok, Cancel, Yes, No };

// Message boxes, input boxes and the beep. The Qt implementation shows real dialogs; tests use a scripted
// double that records every prompt and answers from a queue.
class Prompts {
public:
    virtual ~Prompts() = default;

    // Shows text with the given buttons, icon and title and returns the button pressed. Closing the box from
    // its frame answers Cancel for OK/Cancel, No for Yes/No and Ok for OK.
    virtual Answer messageBox(std::string_view text, Buttons buttons, Icon icon, std::string_view title) = 0;

    // Asks for a line of text. Returns the text typed, or an empty text when the user cancels.
    virtual std::string inputBox(std::string_view prompt, std::string_view title, std::string_view defaultText) = 0;

    virtual void beep() = 0;
};

}  // namespace morvane
