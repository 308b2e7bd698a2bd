#pragma once

#include "emulator/app/BuildInfo.h"
#include "emulator/app/HttpGet.h"

#include <functional>
#include <optional>
#include <string>

namespace platform {
class IMessageBox;
}

inline constexpr const char* kUpdateCaption = "Update status";
inline constexpr const char* kUpToDateText = "Your version is up-to-date!";
inline constexpr const char* kUpdateServerErrorText = "Update server error! (0x004521ab)";
inline constexpr const char* kNewVersionText =
    "New version of KVL AIS Emulator available!\n Do you want download  update  (using default web-browser) ?";
// Followed by the address that the server sent.
inline constexpr const char* kCannotOpenText = "Cannot open the download address: ";

// "%02u%02u%05u" of major, minor and build; "000000000" without a version.
std::string FormatVersionText(const std::optional<ProgramVersion>& version);
// The version text of the running program.
std::string GetProgramVersionText();

std::string BuildUpdateAddress(const std::string& host, const std::string& identifier, const std::string& versionText);

// The value of the first "@resp:" line of a reply; empty when there is none.
std::optional<std::string> FindUpdateResponse(const std::string& reply);

// `text` with every byte outside printable ASCII (controls, DEL, bytes above 0x7E)
// replaced by '?'.
std::string PrintableText(const std::string& text);

// Where the update check asks and how it talks to the user. The defaults are those of
// the deployed program; tests point it at a local server and fake the user.
struct UpdateCheckOptions {
    std::string host = UpdateHost();
    std::string identifier = UpdateIdentifier();
    std::string versionText = GetProgramVersionText();
    HttpGetOptions http;
    platform::IMessageBox* messageBox = nullptr;       // null: the console stand-in
    std::function<bool(const std::string&)> open;      // empty: platform::ShellOpen
};

// Asks the update server whether a newer version exists and tells the user. Network
// failures and replies without an answer end silently. Returns the exit code, always 0.
int CheckForUpdate();
int CheckForUpdate(const UpdateCheckOptions& options);
