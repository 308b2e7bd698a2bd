#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "panel/ui/MessageBoxes.h"

// Records every box the dialog shows and answers questions from a script (No when the
// script is empty), so that no test waits for a person.
class FakeMessageBoxes : public IMessageBoxes {
public:
    bool Show(QWidget*, const BoxRequest& request) override
    {
        shown.push_back(request);
        if (whileShown) whileShown(shown.size() - 1);
        if (!request.yesNo) return true;
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<BoxRequest> shown;
    std::deque<bool> answers;
    // Runs while box number `index` is up, before it is answered, as the box's own event loop would.
    std::function<void(std::size_t index)> whileShown;
};
