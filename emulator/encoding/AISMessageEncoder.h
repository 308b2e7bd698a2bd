#pragma once

#include "platform/LocalClock.h"

#include <string>

class IVessel;

// Composes the AIVDM sentences of AIS messages 1, 5, 18, 19 and 24 (parts A and B)
// from the vessel it reads. Messages 1 and 5 go on channel A, 18, 19 and 24 on B.
class CAISMessageEncoder {
public:
    explicit CAISMessageEncoder(IVessel* vessel) : m_pVessel(vessel) {}

    // Each replaces the whole content of `out` with the finished lines and returns it.
    std::string& ComposeMsg1(std::string& out) const;
    std::string& ComposeMsg5(std::string& out) const;   // two sentences
    std::string& ComposeMsg18(std::string& out) const;
    std::string& ComposeMsg19(std::string& out) const;
    std::string& ComposeMsg24(std::string& out) const;  // part A, then part B

    // Messages 5, 18 and 19 read the local time once per call from here.
    void SetLocalTimeSource(platform::LocalTimeSource source) { m_localTime = std::move(source); }

    bool m_bChecksumEnabled = true;
    bool m_bUpperCaseChecksum = false;  // checksum digits in upper case
    bool m_bOwnShip = false;            // the vessel is the own ship: "!AIVDO" instead of "!AIVDM"
    IVessel* m_pVessel;

private:
    std::string Frame(const char* prefix, const std::string& bits, unsigned chars, const char* fill) const;

    platform::LocalTimeSource m_localTime = platform::GetLocalTime;
};
