#include "emulator/model/CVesselModelImpl.h"

#include "emulator/channels/ChannelSelection.h"
#include "emulator/channels/IChannelWriter.h"
#include "emulator/encoding/AISMessageEncoder.h"
#include "emulator/encoding/GpsSentences.h"
#include "emulator/model/ReportingRules.h"

#include <cmath>
#include <iostream>
#include <limits>
#include <span>
#include <system_error>

namespace {

using namespace std::chrono_literals;

constexpr auto kStepWait = 1000ms;        // the thread steps about once a second
constexpr auto kStopWaitLimit = 3000ms;   // Stop waits at most this long for the thread
constexpr double kKmPerNauticalMile = 1.852;
constexpr double kMsPerHour = 3600000.0;
constexpr double kMinutesPerHour = 60.0;

} // namespace

CVesselModelImpl::CVesselModelImpl(std::string output)
    : m_output(std::move(output)), m_pEncoder(std::make_unique<CAISMessageEncoder>(this))
{
}

CVesselModelImpl::~CVesselModelImpl()
{
    static_cast<IModelControl*>(this)->Stop();
    if (m_pChannelWriter) {
        m_pChannelWriter->Release();
        m_pChannelWriter = nullptr;
    }
    m_pEncoder.reset();
}

bool CVesselModelImpl::IsWriterAlive() const
{
    return m_pChannelWriter && m_pChannelWriter->IsAlive();
}

bool CVesselModelImpl::IsSimulationRunning() const
{
    return !m_threadEnded.IsSet();
}

void CVesselModelImpl::Start()
{
    // One run at a time; a writer left by a failed Start is released here too.
    if (m_simulationThread.joinable() || m_pChannelWriter) Stop();

    m_stopEvent.Reset();
    const std::uint64_t now = m_tickSource();
    m_lastStepTime = now;
    m_lastSentMsg1 = m_lastSentMsg5 = m_lastSentMsg18 = m_lastSentMsg19 = m_lastSentMsg24 = now;

    const OutputSettings settings{{m_serialBaudRate, m_serialDataBits, m_serialStopBits}, m_network};
    if (m_outputs.size() > 1) {
        if (!OpenOutputs(m_outputs, settings, m_pChannelWriter)) return;
    } else {
        if (const std::string problem = NetworkOptionsProblem(m_network); !problem.empty()) {
            std::cerr << problem << std::endl;
            return;
        }
        if (!OpenChannel(m_output, settings, m_pChannelWriter)) return;
    }

    m_threadEnded.Reset();
    try {
        m_simulationThread = std::thread([this] {
            SimulationThreadProc(this);
            m_threadEnded.Set();
        });
    } catch (const std::system_error& e) {
        m_threadEnded.Set();
        std::cerr << "Error : cannot create the simulation thread, code = " << e.code().value() << std::endl;
    }
}

void CVesselModelImpl::Stop()
{
    m_stopEvent.Set();
    if (m_simulationThread.joinable()) {
        // Writes never block for long (the channel bounds them), so the thread has
        // reached its next wait well within the limit; it is joined in any case, so it
        // never outlives the model or the writer.
        if (!m_threadEnded.Wait(kStopWaitLimit))
            std::cerr << "Warning : simulation thread is late to stop." << std::endl;
        m_simulationThread.join();
    }
    if (m_pChannelWriter) {
        m_pChannelWriter->Close();
        m_pChannelWriter->Release();
        m_pChannelWriter = nullptr;
    }
}

unsigned SimulationThreadProc(CVesselModelImpl* model)
{
    while (!model->m_stopEvent.Wait(kStepWait)) model->SimulationStep();
    return 0;
}

void CVesselModelImpl::SimulationStep()
{
    const std::uint64_t now = m_tickSource();
    const double hours = static_cast<double>(platform::TickElapsed(m_lastStepTime, now)) / kMsPerHour;

    double lat = 0.0;
    double lon = 0.0;
    GetPosition(lat, lon);
    const double distanceKm = GetSpeedOverGround() * kKmPerNauticalMile * hours;
    double courseDeg = GetCourseOverGround() + GetRateOfTurn() * (hours * kMinutesPerHour);

    double newLat = 0.0;
    double newLon = 0.0;
    VincentyDirect(lat, lon, courseDeg, distanceKm, newLat, newLon);
    UpdateAndReport(newLat, newLon, courseDeg);

    // The time spent in this step counts towards the next one.
    m_lastStepTime = now;
}

void CVesselModelImpl::UpdateAndReport(double latDeg, double lonDeg, double courseDeg)
{
    m_latitude = latDeg;
    m_longitude = lonDeg;
    m_courseOverGround = static_cast<float>(courseDeg);

    // The schedule's clock is the previous step's tick.
    const std::uint64_t t = m_lastStepTime;
    const auto staticDataDue = [t](std::uint64_t lastSent) {
        return platform::TickElapsed(lastSent, t) >= kStaticDataIntervalMs;
    };

    struct ScheduledMessage {
        bool due;
        bool enabled;
        std::uint64_t& lastSent;
        std::string& (CAISMessageEncoder::*compose)(std::string&) const;
    };
    const ScheduledMessage messages[] = {
        {IsPositionReportDue(),        m_enableMsg1,  m_lastSentMsg1,  &CAISMessageEncoder::ComposeMsg1},
        {staticDataDue(m_lastSentMsg5),  m_enableMsg5,  m_lastSentMsg5,  &CAISMessageEncoder::ComposeMsg5},
        {IsClassBReportDue(),          m_enableMsg18, m_lastSentMsg18, &CAISMessageEncoder::ComposeMsg18},
        {staticDataDue(m_lastSentMsg19), m_enableMsg19, m_lastSentMsg19, &CAISMessageEncoder::ComposeMsg19},
        {staticDataDue(m_lastSentMsg24), m_enableMsg24, m_lastSentMsg24, &CAISMessageEncoder::ComposeMsg24},
    };

    std::string stepBuffer;
    if (m_ownShip) {
        const OwnShipFix fix{latDeg, lonDeg, m_speedOverGround, m_courseOverGround, m_utcTime()};
        AppendGpsSentences(fix, {m_pEncoder->m_bChecksumEnabled, m_pEncoder->m_bUpperCaseChecksum}, stepBuffer);
    }
    std::string sentences;
    for (const ScheduledMessage& message : messages) {
        if (!m_ignoreTimings && !message.due) continue;
        if (message.enabled) stepBuffer += ((*m_pEncoder).*message.compose)(sentences);
        message.lastSent = t;  // also when the type is disabled
    }

    if (!stepBuffer.empty() && m_pChannelWriter)
        m_pChannelWriter->Write(stepBuffer.data(), static_cast<std::uint32_t>(stepBuffer.size()));
}

bool CVesselModelImpl::IsPositionReportDue() const
{
    const bool turning = std::fabs(GetRateOfTurn()) > 0;
    const std::uint64_t interval = ClassAIntervalMs(GetNavStatus(), GetSpeedOverGround(), turning);
    return platform::TickElapsed(m_lastSentMsg1, m_lastStepTime) >= interval;
}

bool CVesselModelImpl::IsClassBReportDue() const
{
    return platform::TickElapsed(m_lastSentMsg18, m_lastStepTime) > ClassBIntervalMs(GetSpeedOverGround());
}
