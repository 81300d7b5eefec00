#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/prompts.h"

namespace morvane::test {

// Records every prompt and answers from a queue. A question (OK/Cancel, Yes/No, input box) with no queued
// answer fails the test and is answered Cancel, No or an empty text; a plain OK message needs no answer.
class ScriptedPrompts : public Prompts {
public:
    struct Prompt {
        enum class Kind { Message, Input, Beep } kind;
        Notice notice{};    // message and input boxes
        std::string text;   // message text or input prompt
        std::string title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        std::string defaultText;  // input boxes
    };

    void answer(Answer answer) { m_answers.push_back(answer); }
    void type(std::string text) { m_inputs.push_back(std::move(text)); }

    Answer messageBox(Notice notice, std::string_view text, Buttons buttons, Icon icon,
                      std::string_view title) override;
    std::string inputBox(Notice notice, std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;
    void beep() override;

    const std::vector<Prompt>& prompts() const { return m_prompts; }
    // Only the message boxes, in order.
    std::vector<Prompt> messages() const;
    // The texts of the message boxes, in order.
    std::vector<std::string> messageTexts() const;
    // The notices of the message boxes, in order.
    std::vector<Notice> messageNotices() const;
    int beeps() const;
    bool allAnswered() const { return m_answers.empty() && m_inputs.empty(); }

private:
    std::vector<Prompt> m_prompts;
    std::deque<Answer> m_answers;
    std::deque<std::string> m_inputs;
};

}  // namespace morvane::test
