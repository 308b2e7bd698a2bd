#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "panel/core/CParamsExcepion.h"
#include "panel/core/FormValues.h"

namespace panel {

// The emulator's program file, started from the panel's own directory.
inline constexpr std::wstring_view kEmulatorFileName = L"vesgen";

// Longest text taken from one form field (a 1024-character buffer with its terminator).
inline constexpr int kMaxFieldChars = 1023;

// The emulator's argument string for the form: every token followed by one blank, free texts
// in double quotes, escaped so that the Windows command-line rules give them back as typed. Throws CParamsExcepion at the first field
// that fails its check, in composition order.
std::wstring BuildCommandLine(const FormValues& form);

// Appends `value` as one argument in double quotes and a blank, escaped so that the Windows
// command-line rules give back exactly the text: a quote inside gets a backslash, and the
// backslashes before a quote or before the closing quote are doubled.
void AppendQuotedValue(std::wstring& out, std::wstring_view value);

// The output part of the argument string; never fails.
std::wstring BuildOutputArguments(const FormValues& form);

// The whole command line: the path of the emulator in `directory`, quoted like a free text,
// two blanks, the arguments.
std::wstring MakeEmulatorCommandLine(const std::filesystem::path& directory, std::wstring_view arguments);

// The output file name as the emulator, which runs in its own folder, must get it: a relative
// name is taken from `userDirectory` (where the user started the panel). Absolute names, names
// the emulator reads as a device or network output (CON, COMn, UDP*, TCP*) and an empty name
// stay as they are.
std::wstring ResolveOutputFileName(std::wstring_view fileName, const std::filesystem::path& userDirectory);

// The form's number checks: the whole text is one number of the type, with nothing before or
// after it (no blank either). Unsigned values are plain decimal digits up to 4294967295;
// floats take a sign, a decimal point and an exponent and must be finite single-precision
// values.
bool IsUnsigned32Text(std::wstring_view text);
bool IsFloatText(std::wstring_view text);
// A UDP destination as HOST:PORT: a host name or IPv4 address, or an IPv6 address in brackets,
// with nothing in it that would split or quote the argument, and a port 1 to 65535.
bool IsUdpAddressText(std::wstring_view text);

} // namespace panel
