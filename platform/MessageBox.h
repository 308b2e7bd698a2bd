#pragma once

#include <iosfwd>
#include <string>

namespace platform {

enum class MessageBoxIcon { Information, Warning, Question };

// Tells the user something and, for a question, gets a Yes or No. The console program
// has no desktop: the console implementation below stands in for message boxes, and
// tests put a fake of their own in its place.
class IMessageBox {
public:
    // A box with an OK button.
    virtual void Show(const std::string& caption, const std::string& text, MessageBoxIcon icon) = 0;
    // A question with Yes and No buttons; true for Yes. `subject` is what the question is
    // about (an address): when nobody can answer, it is shown so that the user can act.
    virtual bool AskYesNo(const std::string& caption, const std::string& text, const std::string& subject) = 0;

protected:
    ~IMessageBox() = default;
};

// The box's text as a line on an output stream (standard error). A question is asked on
// the terminal, its subject shown first, when input comes from one; otherwise it is
// answered No and the subject is printed.
class ConsoleMessageBox final : public IMessageBox {
public:
    // Standard input, standard error; interactive when standard input is a terminal.
    ConsoleMessageBox();
    ConsoleMessageBox(std::istream& in, std::ostream& out, bool interactive);

    void Show(const std::string& caption, const std::string& text, MessageBoxIcon icon) override;
    bool AskYesNo(const std::string& caption, const std::string& text, const std::string& subject) override;

private:
    std::istream& m_in;
    std::ostream& m_out;
    bool m_interactive;
};

} // namespace platform
