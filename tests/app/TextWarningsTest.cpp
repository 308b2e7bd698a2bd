#include "emulator/app/TextWarnings.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(TextWarnings, OneLinePerOptionThatAisCannotCarry)
{
    struct Row {
        const char* name;
        const char* call;
        const char* dest;
        const char* expected;  // the whole warning text, or empty
    };
    const Row rows[] = {
        {"SHIP NAME", "KVLSIM", "PHILADELPHIA", ""},
        {"A-Z 0-9 @[\\]^_ !?", "AB12", "NEW  PORT", ""},  // every six-bit class as typed
        {"Queen Mary 2", "KVLSIM", "X",
         "Warning : --vessel-name \"Queen Mary 2\" has characters AIS text cannot carry (only upper case, digits, "
         "blank and punctuation); it is sent as \"Q5%%. M!29 2\"\n"},
        {"OK", "ab\x1b", "M\xc3\x9cNCHEN",
         "Warning : --vessel-call \"ab\\x1B\" has characters AIS text cannot carry (only upper case, digits, blank "
         "and punctuation); it is sent as \"!\"[\"\n"
         "Warning : --port-dest \"M\\xC3\\x9CNCHEN\" has characters AIS text cannot carry (only upper case, digits, "
         "blank and punctuation); it is sent as \"MC\\NCHEN\"\n"},
        // Only the seven characters of the call sign field are sent.
        {"OK", "abcdefghij", "X",
         "Warning : --vessel-call \"abcdefghij\" has characters AIS text cannot carry (only upper case, digits, "
         "blank and punctuation); it is sent as \"!\"#$%&'\"\n"},
        {"`{|}~", "X", "X",
         "Warning : --vessel-name \"`{|}~\" has characters AIS text cannot carry (only upper case, digits, blank "
         "and punctuation); it is sent as \" ;<=>\"\n"},
    };
    for (const Row& row : rows) {
        VesselSettings settings;
        settings.vesselName = row.name;
        settings.vesselCall = row.call;
        settings.portDest = row.dest;
        std::ostringstream err;
        WarnAboutUnsendableText(settings, err);
        EXPECT_EQ(err.str(), row.expected) << row.name;
    }
}

TEST(TextWarnings, StationTextsSayWhenTheyAreCut)
{
    VesselSettings settings;
    settings.safetyText = std::string(161, 'S');
    settings.stationKind = "aton";
    settings.vesselName = std::string(34, 'N');
    std::ostringstream fits;
    WarnAboutUnsendableText(settings, fits);
    EXPECT_EQ(fits.str(), "");
    settings.safetyText += "s";  // one too many, and not carried as typed
    settings.vesselName += "N";
    std::ostringstream cut;
    WarnAboutUnsendableText(settings, cut);
    EXPECT_EQ(cut.str(), "Warning : --vessel-name has 35 characters; only the first 34 are sent\n"
                         "Warning : --safety-text has 162 characters; only the first 161 are sent\n"
                         "Warning : --safety-text \"" + settings.safetyText +
                         "\" has characters AIS text cannot carry (only upper case, digits, blank and punctuation); "
                         "it is sent as \"" + std::string(161, 'S') + "\"\n");
}

} // namespace
