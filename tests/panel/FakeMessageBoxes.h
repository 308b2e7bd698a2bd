#pragma once

#include <deque>
#include <vector>

#include "panel/ui/MessageBoxes.h"

// Records every box the dialog shows and answers questions from a script (No when the
// script is empty), so that no test waits for a person.
class FakeMessageBoxes : public IMessageBoxes {
public:
    bool Show(QWidget*, const BoxRequest& request) override
    {
        shown.push_back(request);
        if (!request.yesNo) return true;
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<BoxRequest> shown;
    std::deque<bool> answers;
};
