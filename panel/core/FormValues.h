#pragma once

#include <optional>
#include <string>

namespace panel {

// What the form holds, as the command-line composition reads it: field texts as typed,
// the item codes of the choice lists (empty when no item is selected), the check boxes
// and the selected output.
struct FormValues {
    std::wstring name;
    std::wstring callSign;
    std::wstring mmsi;
    std::wstring imo;
    std::wstring dimA;   // antenna to bow, metres
    std::wstring dimB;   // antenna to stern, metres
    std::wstring dimC;   // antenna to port side, metres
    std::wstring dimD;   // antenna to starboard side, metres
    std::wstring latitude;
    std::wstring longitude;
    std::wstring speed;        // over ground, knots
    std::wstring course;       // over ground, degrees
    std::wstring rateOfTurn;   // degrees per minute
    std::wstring portDest;
    std::wstring portOrigin;

    std::optional<int> navStatus;
    std::optional<int> positioningDevice;
    std::optional<int> shipType;
    std::optional<int> accuracy;

    bool msg1 = false;
    bool msg5 = false;
    bool msg18 = false;
    bool msg19 = false;
    bool msg24 = false;
    bool appendCrc = false;
    bool ignoreTimings = false;
    bool upperCaseChecksum = false;
    bool ownShip = false;   // own ship's sentences (AIVDO) and GPS sentences

    // The output radio buttons; with none of File, TCP/IP and UDP selected the output is COM.
    bool outputFile = false;
    bool outputTcp = false;
    bool outputUdp = false;
    std::wstring udpAddress;   // HOST:PORT, an IPv6 host in brackets
    std::wstring fileName;
    std::wstring tcpPort;
    std::wstring comPort;
    std::wstring baud;   // text of the selected Baud item, empty without a selection
    std::wstring dataBits;
    std::wstring stopBits;
};

} // namespace panel
