#include "panel/ui/DialogTemplate.h"

#include <QFontMetrics>

namespace {

using K = ControlKind;

// Left column of the vessel data: labels, then the fields to their right.
constexpr int kVesselLabelX = 13;
constexpr int kVesselFieldX = 70;
constexpr int kVesselFieldCx = 84;

constexpr TemplateItem kMainDialog[] = {
    {kIdStatic, K::GroupBox, L"Static/Voyage Data", {7, 7, 153, 262}},
    {kIdStatic, K::GroupBox, L"Dynamic data", {165, 7, 150, 107}},
    {kIdStatic, K::GroupBox, L"NMEA/AIS", {319, 7, 145, 106}},
    {kIdStatic, K::GroupBox, L"NMEA output", {165, 115, 300, 80}},
    {kIdStatic, K::GroupBox, L"COM settings", {313, 127, 144, 61}},
    {kIdStatic, K::GroupBox, L"Command line", {165, 196, 307, 73}},
    {kIdStatic, K::GroupBox, L"Output", {166, 271, 307, 77}},

    {kIdStatic, K::Label, L"Name", {kVesselLabelX, 20, 55, 8}},
    {kIdName, K::UpperCaseEdit, nullptr, {kVesselFieldX, 18, kVesselFieldCx, 12}},
    {kIdStatic, K::Label, L"Callsign", {kVesselLabelX, 34, 55, 8}},
    {kIdCallSign, K::UpperCaseEdit, nullptr, {kVesselFieldX, 32, kVesselFieldCx, 12}},
    {kIdStatic, K::Label, L"MMSI", {kVesselLabelX, 48, 55, 8}},
    {kIdMmsi, K::Edit, nullptr, {kVesselFieldX, 46, kVesselFieldCx, 12}},
    {kIdStatic, K::Label, L"IMO", {kVesselLabelX, 62, 55, 8}},
    {kIdImo, K::Edit, nullptr, {kVesselFieldX, 60, kVesselFieldCx, 12}},
    {kIdStatic, K::Label, L"GPS antenna position/Dimension", {kVesselLabelX, 76, 141, 8}},
    {kIdAntennaPicture, K::Picture, nullptr, {24, 86, 37, 62}},
    {kIdStatic, K::Label, L"A", {84, 89, 8, 8}},
    {kIdDimA, K::Edit, nullptr, {94, 87, 40, 12}},
    {kIdStatic, K::Label, L"B", {84, 103, 8, 8}},
    {kIdDimB, K::Edit, nullptr, {94, 101, 40, 12}},
    {kIdStatic, K::Label, L"C", {84, 117, 8, 8}},
    {kIdDimC, K::Edit, nullptr, {94, 115, 40, 12}},
    {kIdStatic, K::Label, L"D", {84, 131, 8, 8}},
    {kIdDimD, K::Edit, nullptr, {94, 129, 40, 12}},
    {kIdStatic, K::Label, L"Port of destination", {kVesselLabelX, 151, 141, 8}},
    {kIdPortDest, K::UpperCaseEdit, nullptr, {kVesselLabelX, 160, 141, 12}},
    {kIdStatic, K::Label, L"Port of Origin", {kVesselLabelX, 175, 141, 8}},
    {kIdPortOrigin, K::UpperCaseEdit, nullptr, {kVesselLabelX, 184, 141, 12}},
    {kIdStatic, K::Label, L"Navigation status", {kVesselLabelX, 201, 66, 8}},
    {kIdNavStatus, K::DropDownList, nullptr, {81, 199, 73, 12}},
    {kIdStatic, K::Label, L"Positioning device", {kVesselLabelX, 215, 66, 8}},
    {kIdPositioningDevice, K::DropDownList, nullptr, {81, 213, 73, 12}},
    {kIdStatic, K::Label, L"Accuracy", {kVesselLabelX, 229, 66, 8}},
    {kIdAccuracy, K::DropDownList, nullptr, {81, 227, 73, 12}},
    {kIdStatic, K::Label, L"Type of ship", {kVesselLabelX, 242, 141, 8}},
    {kIdShipType, K::DropDownList, nullptr, {kVesselLabelX, 251, 141, 12}},

    {kIdStatic, K::Label, L"Latitude", {172, 21, 58, 8}},
    {kIdLatitude, K::Edit, nullptr, {232, 19, 76, 12}},
    {kIdStatic, K::Label, L"Longitude", {172, 39, 58, 8}},
    {kIdLongitude, K::Edit, nullptr, {232, 37, 76, 12}},
    {kIdStatic, K::Label, L"Speed (OG)", {172, 57, 58, 8}},
    {kIdSpeed, K::Edit, nullptr, {232, 55, 76, 12}},
    {kIdStatic, K::Label, L"Course (OG)", {172, 75, 58, 8}},
    {kIdCourse, K::Edit, nullptr, {232, 73, 76, 12}},
    {kIdStatic, K::Label, L"Rate of turn", {172, 93, 58, 8}},
    {kIdRateOfTurn, K::Edit, nullptr, {232, 91, 76, 12}},

    {kIdMsg1, K::CheckBox, L"Generate Message type 1 (Class A)", {325, 17, 136, 10}},
    {kIdMsg5, K::CheckBox, L"Generate Message type 5 (Class A)", {325, 27, 136, 10}},
    {kIdMsg18, K::CheckBox, L"Generate Message type 18 (Class B)", {325, 37, 136, 10}},
    {kIdMsg19, K::CheckBox, L"Generate Message type 19 (Class B)", {325, 47, 136, 10}},
    {kIdMsg24, K::CheckBox, L"Generate Message type 24AB (Class B)", {325, 57, 136, 10}},
    {kIdAppendCrc, K::CheckBox, L"Append NMEA message with CRC", {325, 67, 136, 10}},
    {kIdIgnoreTimings, K::CheckBox, L"Ignore AIS message time intervals", {325, 77, 136, 10}},
    {kIdUpperCaseChecksum, K::CheckBox, L"Upper-case NMEA checksum", {325, 87, 136, 10}},
    {kIdOwnShip, K::CheckBox, L"Own ship (AIVDO + GPS)", {325, 97, 136, 10}},

    {kIdOutputFile, K::RadioButton, L"File", {172, 127, 42, 10}},
    {kIdFileName, K::Edit, nullptr, {216, 126, 76, 12}},
    {kIdBrowse, K::PushButton, L"...", {294, 126, 14, 12}},
    {kIdOutputTcp, K::RadioButton, L"TCP/IP", {172, 142, 42, 10}},
    {kIdTcpPort, K::DigitsEdit, nullptr, {216, 141, 40, 12}},
    {kIdOutputUdp, K::RadioButton, L"UDP", {172, 157, 42, 10}},
    {kIdUdpAddress, K::Edit, nullptr, {216, 156, 76, 12}},
    {kIdOutputCom, K::RadioButton, L"COM#", {172, 172, 42, 10}},
    {kIdComPort, K::DigitsEdit, nullptr, {216, 171, 40, 12}},
    {kIdStatic, K::Label, L"Baud", {320, 141, 40, 8}},
    {kIdBaud, K::DropDownList, nullptr, {362, 139, 88, 12}},
    {kIdStatic, K::Label, L"Data bits", {320, 157, 40, 8}},
    {kIdDataBits, K::DigitsEdit, nullptr, {362, 155, 40, 12}},
    {kIdStatic, K::Label, L"Stop bits", {320, 173, 40, 8}},
    {kIdStopBits, K::DigitsEdit, nullptr, {362, 171, 40, 12}},

    {kIdCommandLine, K::ReadOnlyMultiLine, nullptr, {172, 207, 293, 56}},
    {kIdLog, K::ListBox, nullptr, {172, 282, 294, 60}},
    {kIdRun, K::GradientButton, L"Run AIS Emulator", {5, 277, 156, 69}},
};

} // namespace

std::span<const TemplateItem> MainDialogTemplate()
{
    return kMainDialog;
}

DialogUnits DialogUnits::ForFont(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The system's average character width: the alphabet's width over its 52 letters, rounded.
    const int alphabet = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits((alphabet / 26 + 1) / 2, metrics.height());
}

QRect DialogUnits::ToPixels(const DialogRect& rect) const
{
    return QRect(X(rect.x), Y(rect.y), X(rect.cx), Y(rect.cy));
}
