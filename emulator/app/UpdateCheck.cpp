#include "emulator/app/UpdateCheck.h"

#include "platform/Event.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"

#include <cstdio>
#include <string_view>

std::string FormatVersionText(const std::optional<ProgramVersion>& version)
{
    if (!version) return "000000000";
    // Three unsigned numbers of at most 10 digits each, and the terminator.
    char text[40];
    std::snprintf(text, sizeof text, "%02u%02u%05u", version->major, version->minor, version->build);
    return text;
}

std::string GetProgramVersionText()
{
    return FormatVersionText(CompiledVersion());
}

std::string BuildUpdateAddress(const std::string& host, const std::string& identifier, const std::string& versionText)
{
    return "http://" + host + "/update/vesgenu.py?uid=" + identifier + "&ver=" + versionText;
}

std::optional<std::string> FindUpdateResponse(const std::string& reply)
{
    // The first match of "@resp:(.*?)\n" in the ECMAScript grammar, where "." is any
    // character but a line feed or a carriage return. Searched by hand: the library's
    // regex matcher recurses once per character and overflows the stack on a line of
    // some tens of kilobytes, well within the size of a reply.
    static constexpr std::string_view kMarker = "@resp:";
    for (std::size_t at = reply.find(kMarker); at != std::string::npos; at = reply.find(kMarker, at + 1)) {
        const std::size_t begin = at + kMarker.size();
        const std::size_t end = reply.find('\n', begin);
        if (end == std::string::npos) return std::nullopt;  // no later marker has a line feed either
        if (reply.find('\r', begin) >= end) return reply.substr(begin, end - begin);
    }
    return std::nullopt;
}

std::string PrintableText(const std::string& text)
{
    // Only printable ASCII reaches the user's terminal: a hostile server must not send
    // it escape sequences. A download address needs nothing else.
    std::string printable = text;
    for (char& c : printable) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E) c = '?';
    }
    return printable;
}

int CheckForUpdate()
{
    return CheckForUpdate(UpdateCheckOptions{});
}

int CheckForUpdate(const UpdateCheckOptions& options)
{
    const std::string address = BuildUpdateAddress(options.host, options.identifier, options.versionText);
    const platform::Event cancel;
    const HttpGetResult fetched = HttpGet(address, cancel, options.http);
    // A reply cut at the size cap still holds the answer line that came before the cut.
    const bool usable = fetched.success || fetched.status == HttpGetStatus::TooLarge;
    if (!usable || fetched.response.empty()) return 0;

    const std::optional<std::string> found = FindUpdateResponse(fetched.response);
    if (!found) return 0;
    // The user opens what the user was shown.
    const std::string value = PrintableText(*found);

    platform::ConsoleMessageBox console;
    platform::IMessageBox& box = options.messageBox ? *options.messageBox : console;
    if (value == "uptodate") {
        box.Show(kUpdateCaption, kUpToDateText, platform::MessageBoxIcon::Information);
    } else if (value == "invalidparams") {
        box.Show(kUpdateCaption, kUpdateServerErrorText, platform::MessageBoxIcon::Warning);
    } else if (box.AskYesNo(kUpdateCaption, kNewVersionText, value)) {
        const bool opened = options.open ? options.open(value) : platform::ShellOpen(value);
        if (!opened) box.Show(kUpdateCaption, kCannotOpenText + value, platform::MessageBoxIcon::Warning);
    }
    return 0;
}
