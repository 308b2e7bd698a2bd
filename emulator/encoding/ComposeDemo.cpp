// Prints the sentences of every message type for a demo vessel, once a second.
#include "emulator/encoding/AISMessageEncoder.h"
#include "emulator/model/IVessel.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace {

struct DemoVessel final : IVessel {
    int GetNavStatus() const override { return 0; }
    float GetRateOfTurn() const override { return 0.0F; }
    float GetSpeedOverGround() const override { return 12.5F; }
    bool GetPositionAccuracy() const override { return true; }
    void GetPosition(double& lat, double& lon) const override { lat = 46.48; lon = 30.75; }
    float GetCourseOverGround() const override { return 135.0F; }
    float GetHeading(int) const override { return 135.0F; }
    int IsActive() const override { return 1; }
    std::int32_t GetMMSI() const override { return 338272001; }
    std::int32_t GetIMONumber() const override { return 9489845; }
    const char* GetCallSign() const override { return "DEMO1"; }
    const char* GetShipName() const override { return "DEMO VESSEL"; }
    int GetShipType() const override { return 70; }
    void GetDimensions(int& a, int& b, int& c, int& d) const override { a = 60; b = 60; c = 10; d = 10; }
    int GetEPFDType() const override { return 1; }
    const char* GetDestination() const override { return "ISTANBUL"; }
    const char* GetPortOfOrigin() const override { return "ODESSA"; }
};

} // namespace

int main()
{
    DemoVessel vessel;
    const CAISMessageEncoder encoder(&vessel);
    std::string text;
    for (int step = 0; step < 5; ++step) {
        std::cout << encoder.ComposeMsg1(text) << encoder.ComposeMsg5(text) << encoder.ComposeMsg18(text)
                  << encoder.ComposeMsg19(text) << encoder.ComposeMsg24(text) << std::flush;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}
