#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "removal/select_after_file.h"

namespace morvane::test {

// The selection window without a window: records the prompt and the entries it would offer (up to the first
// empty name), and answers with queued positions. A selection with no queued answer fails the test.
class ScriptedAfterFileList : public AfterFileList {
public:
    void setPrompt(std::string_view text) override { prompt = std::string(text); }
    int ShowAfterFileList(const std::vector<std::string>& AfterNames) override
    {
        std::vector<std::string> offered;
        for (std::size_t i = 1; i < AfterNames.size() && !AfterNames[i].empty(); ++i) {
            offered.push_back(AfterNames[i]);
        }
        shown.push_back(offered);
        if (choices.empty()) {
            ADD_FAILURE() << "selection shown without a scripted choice";
            return -1;
        }
        const int choice = choices.front();
        choices.pop_front();
        return choice;
    }

    std::string prompt;
    std::vector<std::vector<std::string>> shown;  // the entries offered, one list per selection
    std::deque<int> choices;
};

}  // namespace morvane::test
