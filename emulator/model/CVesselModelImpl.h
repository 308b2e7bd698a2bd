#pragma once

#include "emulator/channels/ChannelSelection.h"
#include "emulator/model/IModelControl.h"
#include "emulator/model/IVessel.h"
#include "platform/Event.h"
#include "platform/LocalClock.h"
#include "platform/TickClock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CAISMessageEncoder;
struct IChannelWriter;

// The one simulated vessel: its static, voyage and dynamic data, the output settings
// and the generation switches. The parameter members are plain data that program
// entry assigns after construction and before Start.
class CVesselModelImpl : public IVessel, public IModelControl {
public:
    explicit CVesselModelImpl(std::string output);
    ~CVesselModelImpl();
    CVesselModelImpl(const CVesselModelImpl&) = delete;
    CVesselModelImpl& operator=(const CVesselModelImpl&) = delete;

    // IVessel
    int GetNavStatus() const override { return m_navStatus; }
    float GetRateOfTurn() const override { return m_rateOfTurn; }
    float GetSpeedOverGround() const override { return m_speedOverGround; }
    bool GetPositionAccuracy() const override { return m_positionAccuracy; }
    void GetPosition(double& latDeg, double& lonDeg) const override
    {
        latDeg = m_latitude;
        lonDeg = m_longitude;
    }
    float GetCourseOverGround() const override { return m_courseOverGround; }
    float GetHeading(int) const override { return m_courseOverGround; }
    int IsActive() const override { return 1; }
    std::int32_t GetMMSI() const override { return static_cast<std::int32_t>(m_mmsi); }
    std::int32_t GetIMONumber() const override { return static_cast<std::int32_t>(m_imoNumber); }
    const char* GetCallSign() const override { return m_callSign.c_str(); }
    const char* GetShipName() const override { return m_shipName.c_str(); }
    int GetShipType() const override { return m_shipType; }
    void GetDimensions(int& a, int& b, int& c, int& d) const override
    {
        a = m_dimA;
        b = m_dimB;
        c = m_dimC;
        d = m_dimD;
    }
    int GetEPFDType() const override { return m_epfdType; }
    const char* GetDestination() const override { return m_destination.c_str(); }
    const char* GetPortOfOrigin() const override { return m_portOfOrigin.c_str(); }

    // IModelControl
    void Start() override;
    void Stop() override;

    // One simulation step after the move: stores the new position and course and runs
    // the reporting schedule.
    void UpdateAndReport(double latDeg, double lonDeg, double courseDeg);
    bool IsPositionReportDue() const;  // message 1, class A intervals
    bool IsClassBReportDue() const;    // message 18, class B intervals

    // One step of the simulation thread after its wait: measure the time since the
    // previous step, move the vessel, report. Tests call it with their own clock.
    void SimulationStep();

    // For the main loop: the writer is held and alive, and the simulation thread runs.
    bool HasWriter() const { return m_pChannelWriter != nullptr; }
    bool IsWriterAlive() const;
    bool IsSimulationRunning() const;

    CAISMessageEncoder& Encoder() { return *m_pEncoder; }
    // Tests replace the tick source to drive the schedule without waiting.
    void SetTickSource(platform::TickSource source) { m_tickSource = std::move(source); }
    // The own ship's GPS sentences carry UTC from here.
    void SetUtcTimeSource(platform::LocalTimeSource source) { m_utcTime = std::move(source); }

    // Run state.
    std::thread m_simulationThread;
    platform::Event m_threadEnded{true};  // set when no simulation thread runs
    platform::Event m_stopEvent;
    std::uint64_t m_lastStepTime = 0;      // ms tick
    std::uint64_t m_lastSentMsg1 = 0;
    std::uint64_t m_lastSentMsg5 = 0;
    std::uint64_t m_lastSentMsg18 = 0;
    std::uint64_t m_lastSentMsg19 = 0;
    std::uint64_t m_lastSentMsg24 = 0;

    // Parameters.
    double m_latitude = 0.0;          // degrees
    double m_longitude = 0.0;         // degrees, -180 inclusive to +180 exclusive once moved
    float m_courseOverGround = 45.0F; // degrees
    float m_speedOverGround = 25.0F;  // knots
    float m_rateOfTurn = 0.0F;        // degrees per minute
    std::uint32_t m_mmsi = 272000000;
    std::uint32_t m_imoNumber = 999999;
    int m_shipType = 52;
    int m_epfdType = 1;
    int m_navStatus = 15;
    int m_dimA = 50;  // metres to bow
    int m_dimB = 50;  // metres to stern
    int m_dimC = 6;   // metres to port
    int m_dimD = 6;   // metres to starboard
    int m_serialBaudRate = 38400;
    int m_serialDataBits = 8;
    int m_serialStopBits = 1;
    std::string m_shipName = "SHIP NAME";
    std::string m_callSign = "SHPCLSGN";
    std::string m_destination = "PORT OF DEST";
    std::string m_portOfOrigin = "PORT OF ORIGIN";
    std::string m_output;
    // Every output of the run, when several are given; empty: m_output alone.
    std::vector<std::string> m_outputs;
    NetworkOptions m_network;  // the network outputs' settings
    bool m_positionAccuracy = true;
    bool m_ignoreTimings = false;
    bool m_enableMsg1 = true;
    bool m_enableMsg5 = true;
    bool m_enableMsg18 = false;
    bool m_enableMsg19 = false;
    bool m_enableMsg24 = false;
    bool m_ownShip = false;  // GPS sentences of the vessel's fix ahead of every step's AIS

    IChannelWriter* m_pChannelWriter = nullptr;  // owned from Start to Stop, destroyed by Release
    std::unique_ptr<CAISMessageEncoder> m_pEncoder;

private:
    platform::TickSource m_tickSource = platform::GetTickCount;
    platform::LocalTimeSource m_utcTime = platform::GetUtcTime;
};

// The simulation thread's body: steps the vessel about once a second until the model's
// stop event is set.
unsigned SimulationThreadProc(CVesselModelImpl* model);

// Vincenty's direct geodesic formula on WGS-84. Distance in km; course holds the initial
// bearing in degrees on entry and the final bearing (0 to 360) on return.
void VincentyDirect(double latDeg, double lonDeg, double& courseDeg, double distanceKm,
                    double& latOutDeg, double& lonOutDeg);
