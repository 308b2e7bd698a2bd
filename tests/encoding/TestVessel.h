#pragma once

#include "emulator/model/IVessel.h"

#include <string>

// A vessel whose every quantity a test sets directly.
struct TestVessel final : IVessel {
    int navStatus = 15;
    float rateOfTurn = 0.0F;
    float speed = 25.0F;
    bool accuracy = true;
    double lat = 0.0, lon = 0.0;
    float course = 45.0F;
    std::int32_t mmsi = 272000000;
    std::int32_t imo = 999999;
    std::string callSign = "SHPCLSGN";
    std::string name = "SHIP NAME";
    int shipType = 52;
    int dims[4] = {50, 50, 6, 6};
    int epfd = 1;
    std::string destination = "PORT OF DEST";
    std::string origin = "PORT OF ORIGIN";

    int GetNavStatus() const override { return navStatus; }
    float GetRateOfTurn() const override { return rateOfTurn; }
    float GetSpeedOverGround() const override { return speed; }
    bool GetPositionAccuracy() const override { return accuracy; }
    void GetPosition(double& la, double& lo) const override { la = lat; lo = lon; }
    float GetCourseOverGround() const override { return course; }
    float GetHeading(int) const override { return course; }
    int IsActive() const override { return 1; }
    std::int32_t GetMMSI() const override { return mmsi; }
    std::int32_t GetIMONumber() const override { return imo; }
    const char* GetCallSign() const override { return callSign.c_str(); }
    const char* GetShipName() const override { return name.c_str(); }
    int GetShipType() const override { return shipType; }
    void GetDimensions(int& a, int& b, int& c, int& d) const override { a = dims[0]; b = dims[1]; c = dims[2]; d = dims[3]; }
    int GetEPFDType() const override { return epfd; }
    const char* GetDestination() const override { return destination.c_str(); }
    const char* GetPortOfOrigin() const override { return origin.c_str(); }
};
