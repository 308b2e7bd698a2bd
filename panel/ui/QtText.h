#pragma once

#include <QString>
#include <string>

inline QString ToQt(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

inline QString ToQt(const wchar_t* text)
{
    return text ? QString::fromWCharArray(text) : QString();
}
