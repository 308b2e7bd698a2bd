#pragma once

#include <string>
#include <utility>

// Thrown by value by the command-line composition at the first form field that fails its
// check; carries the message that the command-line box shows instead of the arguments.
class CParamsExcepion {
public:
    explicit CParamsExcepion(std::wstring message) : m_message(std::move(message)) {}
    const std::wstring& Message() const { return m_message; }

private:
    std::wstring m_message;
};
