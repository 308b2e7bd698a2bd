#include "emulator/channels/IChannelWriter.h"
#include "emulator/model/CVesselModelImpl.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(ModelRun, StreamsOneBlockPerSecondToAFile)
{
    KVL_REQUIRE_GPSDECODE();
    testsupport::TempDir dir;
    const std::string path = dir.File("run.nmea");
    {
        CVesselModelImpl model(path);
        model.m_ignoreTimings = true;
        model.m_enableMsg18 = model.m_enableMsg19 = model.m_enableMsg24 = true;
        model.m_speedOverGround = 36.0F;  // 18.52 m a second
        model.m_courseOverGround = 90.0F;
        model.Start();
        ASSERT_TRUE(model.IsSimulationRunning());
        ASSERT_TRUE(model.IsWriterAlive());
        std::this_thread::sleep_for(3500ms);
        model.Stop();
        EXPECT_FALSE(model.IsSimulationRunning());
        EXPECT_FALSE(model.HasWriter());
    }
    const auto records = testsupport::GpsDecode(testsupport::ReadWholeFile(path));
    std::vector<long> longitudes;
    int perType[25] = {};
    for (const auto& r : records) {
        const int type = std::stoi(r.at("type"));
        ++perType[type];
        if (type == 1) longitudes.push_back(std::stol(r.at("lon")));
    }
    ASSERT_GE(perType[1], 3);
    ASSERT_LE(perType[1], 4);
    for (int type : {5, 18, 19, 24}) EXPECT_EQ(perType[type], perType[1]) << "type " << type;
    // Each step moves the vessel east by the distance run in the measured second:
    // 18.52 m is 0.0001664 degrees, about 100 units of 1/10000 minute.
    for (size_t i = 1; i < longitudes.size(); ++i) EXPECT_NEAR(longitudes[i] - longitudes[i - 1], 100, 15);
    EXPECT_NEAR(longitudes[0], 100, 15);
}

TEST(ModelRun, FailedOpenStartsNoThreadAndStopReleasesTheWriter)
{
    testsupport::TempDir dir;
    CVesselModelImpl model(dir.File("missing/dir/out.txt"));
    model.Start();
    EXPECT_FALSE(model.IsSimulationRunning());
    EXPECT_TRUE(model.HasWriter());
    EXPECT_FALSE(model.IsWriterAlive());
    model.Stop();
    EXPECT_FALSE(model.HasWriter());
}

// A writer that only tells when it is destroyed.
struct ReleaseWatchWriter final : IChannelWriter {
    bool* released;
    explicit ReleaseWatchWriter(bool* flag) : released(flag) {}
    bool Open(const char*) override { return false; }
    bool Write(const char*, std::uint32_t) override { return false; }
    bool Close() override { return false; }
    bool Flush() override { return false; }
    void Release() override
    {
        *released = true;
        delete this;
    }
    bool SetSerialState(DCB) override { return false; }
    bool IsAlive() override { return false; }
};

TEST(ModelRun, StartAgainReleasesTheWriterOfAFailedStart)
{
    testsupport::TempDir dir;
    CVesselModelImpl model(dir.File("missing/dir/out.txt"));
    bool released = false;
    model.m_pChannelWriter = new ReleaseWatchWriter(&released);  // as a failed Start leaves it
    model.Start();
    EXPECT_TRUE(released);
    EXPECT_TRUE(model.HasWriter());  // the new run's writer, whose open failed
    EXPECT_FALSE(model.IsSimulationRunning());
}

TEST(ModelRun, StopDuringABlockedWriteReturnsWithinThreeSeconds)
{
    testsupport::TempDir dir;
    const std::string fifo = dir.File("blocked.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A reader that never reads, and a pipe filled to the brim.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const int filler = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(filler, 0);
    fcntl(filler, F_SETPIPE_SZ, 4096);
    const std::string chunk(4096, 'x');
    while (write(filler, chunk.data(), chunk.size()) > 0) {}

    auto model = std::make_unique<CVesselModelImpl>(fifo);
    model->m_ignoreTimings = true;
    model->Start();
    ASSERT_TRUE(model->IsSimulationRunning());
    std::this_thread::sleep_for(1300ms);  // the first step is inside its Write now
    const auto before = Clock::now();
    model->Stop();
    const auto took = Clock::now() - before;
    EXPECT_LT(took, 3500ms);
    model.reset();  // nothing may touch the model after this (AddressSanitizer would tell)
    close(filler);
    close(reader);
}

} // namespace
