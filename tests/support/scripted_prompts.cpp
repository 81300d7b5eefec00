#include "tests/support/scripted_prompts.h"

#include <gtest/gtest.h>

namespace morvane::test {

Answer ScriptedPrompts::messageBox(Notice notice, std::string_view text, Buttons buttons, Icon icon,
                                   std::string_view title)
{
    m_prompts.push_back({Prompt::Kind::Message, notice, std::string(text), std::string(title), buttons, icon, {}});
    if (buttons == Buttons::Ok && (m_answers.empty() || m_answers.front() != Answer::Ok)) {
        return Answer::Ok;
    }
    if (m_answers.empty()) {
        ADD_FAILURE() << "unanswered question: " << text;
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    const Answer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

std::string ScriptedPrompts::inputBox(Notice notice, std::string_view prompt, std::string_view title,
                                      std::string_view defaultText)
{
    m_prompts.push_back({Prompt::Kind::Input, notice, std::string(prompt), std::string(title), Buttons::OkCancel,
                         Icon::None, std::string(defaultText)});
    if (m_inputs.empty()) {
        ADD_FAILURE() << "unanswered input box: " << prompt;
        return {};
    }
    std::string s = m_inputs.front();
    m_inputs.pop_front();
    return s;
}

void ScriptedPrompts::beep()
{
    m_prompts.push_back({Prompt::Kind::Beep, {}, {}, {}, Buttons::Ok, Icon::None, {}});
}

std::vector<ScriptedPrompts::Prompt> ScriptedPrompts::messages() const
{
    std::vector<Prompt> out;
    for (const auto& p : m_prompts) {
        if (p.kind == Prompt::Kind::Message) {
            out.push_back(p);
        }
    }
    return out;
}

std::vector<std::string> ScriptedPrompts::messageTexts() const
{
    std::vector<std::string> out;
    for (const auto& p : messages()) {
        out.push_back(p.text);
    }
    return out;
}

std::vector<Notice> ScriptedPrompts::messageNotices() const
{
    std::vector<Notice> out;
    for (const auto& p : messages()) {
        out.push_back(p.notice);
    }
    return out;
}

int ScriptedPrompts::beeps() const
{
    int n = 0;
    for (const auto& p : m_prompts) {
        n += p.kind == Prompt::Kind::Beep ? 1 : 0;
    }
    return n;
}

}  // namespace morvane::test
