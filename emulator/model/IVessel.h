#pragma once

#include <cstdint>

// The read-only view of the simulated vessel. The message composers read the vessel
// only through this interface; the slot order is fixed.
class IVessel {
public:
    virtual int GetNavStatus() const = 0;                                  // AIS 0-15
    virtual float GetRateOfTurn() const = 0;                               // degrees per minute, + = starboard
    virtual float GetSpeedOverGround() const = 0;                          // knots
    virtual bool GetPositionAccuracy() const = 0;                          // true = high
    virtual void GetPosition(double& latDeg, double& lonDeg) const = 0;    // north and east positive
    virtual float GetCourseOverGround() const = 0;                         // degrees
    virtual float GetHeading(int unused) const = 0;                        // returns the course over ground
    virtual int IsActive() const = 0;                                      // always 1
    virtual std::int32_t GetMMSI() const = 0;
    virtual std::int32_t GetIMONumber() const = 0;
    virtual const char* GetCallSign() const = 0;
    virtual const char* GetShipName() const = 0;
    virtual int GetShipType() const = 0;
    virtual void GetDimensions(int& toBowM, int& toSternM, int& toPortM, int& toStarboardM) const = 0;
    virtual int GetEPFDType() const = 0;
    virtual const char* GetDestination() const = 0;
    virtual const char* GetPortOfOrigin() const = 0;

protected:
    ~IVessel() = default;
};
