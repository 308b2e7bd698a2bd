#include "platform/MessageBox.h"

#include <iostream>
#include <unistd.h>

namespace platform {

ConsoleMessageBox::ConsoleMessageBox() : ConsoleMessageBox(std::cin, std::cerr, isatty(STDIN_FILENO) == 1) {}

ConsoleMessageBox::ConsoleMessageBox(std::istream& in, std::ostream& out, bool interactive)
    : m_in(in), m_out(out), m_interactive(interactive)
{
}

void ConsoleMessageBox::Show(const std::string& /*caption*/, const std::string& text, MessageBoxIcon /*icon*/)
{
    m_out << text << std::endl;
}

bool ConsoleMessageBox::AskYesNo(const std::string& /*caption*/, const std::string& text, const std::string& subject)
{
    m_out << text << std::endl;
    if (!m_interactive) {
        m_out << "Answered No (no terminal): " << subject << std::endl;
        return false;
    }
    // The user decides knowing what would be opened.
    m_out << "Address: " << subject << std::endl;
    // Anything but an answer starting with y or Y, end of input included, is No.
    m_out << "[y/N] " << std::flush;
    std::string answer;
    if (!std::getline(m_in, answer)) {
        m_out << std::endl;
        return false;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

} // namespace platform
