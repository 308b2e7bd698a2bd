#pragma once

#include <string>

class QWidget;

enum class BoxIcon { None, Error, Question };

struct BoxRequest {
    std::wstring text;
    std::wstring caption;
    BoxIcon icon = BoxIcon::None;
    bool yesNo = false;   // Yes/No buttons; otherwise one OK button
};

// The dialog's message boxes, replaceable so that nothing waits for a person in tests.
class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    // Shows the box modally; true when Yes was chosen (always true for an OK box).
    virtual bool Show(QWidget* parent, const BoxRequest& request) = 0;
};

class QtMessageBoxes : public IMessageBoxes {
public:
    bool Show(QWidget* parent, const BoxRequest& request) override;
};
