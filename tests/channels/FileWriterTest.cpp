#include "emulator/channels/CBasicFileWriter.h"
#include "tests/channels/ChannelTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using channeltest::FdCapture;
using testsupport::ReadWholeFile;
using testsupport::TempDir;

const std::string kSentence = "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0*24\r\n";
// More than any pipe or terminal buffer holds.
const std::string kFlood(4 * 1024 * 1024, 'x');
// Generous: only guards against a write that hangs.
constexpr auto kHangGuard = std::chrono::seconds(10);

ChannelWriterPtr NewFileWriter()
{
    return ChannelWriterPtr(new CBasicFileWriter);
}

bool WriteText(IChannelWriter& writer, const std::string& text)
{
    return writer.Write(text.data(), static_cast<std::uint32_t>(text.size()));
}

std::string OpenError(const std::string& name, int code)
{
    return "Error : [FILE] error opening file (" + name + "), code = " + std::to_string(code) + "\n";
}

void WriteFile(const std::string& path, const std::string& text)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
}

// A descriptor held open for the length of a test.
struct ScopedFd {
    int fd;
    explicit ScopedFd(int value) : fd(value) {}
    ~ScopedFd()
    {
        if (fd >= 0) close(fd);
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    void Close()
    {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

// Puts descriptor `target` on `replacement` for the life of the object.
class FdRedirect {
public:
    FdRedirect(int target, int replacement) : m_target(target), m_saved(dup(target)) { dup2(replacement, target); }
    ~FdRedirect()
    {
        dup2(m_saved, m_target);
        close(m_saved);
    }
    FdRedirect(const FdRedirect&) = delete;
    FdRedirect& operator=(const FdRedirect&) = delete;

private:
    int m_target;
    int m_saved;
};

// A write to a pipe without reader must fail, not end the process.
void RestoreDefaultBrokenPipeSignal()
{
    std::signal(SIGPIPE, SIG_DFL);
}

TEST(FileWriterTest, TruncatesAnExistingFile)
{
    TempDir dir;
    const std::string path = dir.File("ais.log");
    WriteFile(path, "old content that is longer than the new one\n");
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open(path.c_str()));
    EXPECT_TRUE(WriteText(*writer, kSentence));
    EXPECT_TRUE(writer->Close());
    EXPECT_EQ(ReadWholeFile(path), kSentence);
}

TEST(FileWriterTest, EveryWriteReachesTheFileAtOnce)
{
    TempDir dir;
    const std::string path = dir.File("ais.log");
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open(path.c_str()));
    ASSERT_TRUE(WriteText(*writer, kSentence));
    EXPECT_EQ(ReadWholeFile(path), kSentence);
    ASSERT_TRUE(WriteText(*writer, kSentence));
    EXPECT_EQ(ReadWholeFile(path), kSentence + kSentence);
    EXPECT_TRUE(writer->Flush());
}

TEST(FileWriterTest, LockedFileIsRefusedAndKeepsItsContent)
{
    TempDir dir;
    const std::string path = dir.File("held.log");
    WriteFile(path, "someone else's data\n");
    ScopedFd holder(open(path.c_str(), O_RDWR));
    ASSERT_EQ(flock(holder.fd, LOCK_EX | LOCK_NB), 0);

    auto writer = NewFileWriter();
    FdCapture err(2);
    EXPECT_FALSE(writer->Open(path.c_str()));
    EXPECT_EQ(err.Text(), OpenError(path, EWOULDBLOCK));
    EXPECT_FALSE(writer->IsAlive());
    EXPECT_EQ(ReadWholeFile(path), "someone else's data\n");
}

TEST(FileWriterTest, OpenFileIsHeldExclusively)
{
    TempDir dir;
    const std::string path = dir.File("ais.log");
    auto first = NewFileWriter();
    ASSERT_TRUE(first->Open(path.c_str()));
    ASSERT_TRUE(WriteText(*first, kSentence));

    auto second = NewFileWriter();
    {
        FdCapture err(2);
        EXPECT_FALSE(second->Open(path.c_str()));
        EXPECT_EQ(err.Text(), OpenError(path, EWOULDBLOCK));
    }
    ScopedFd other(open(path.c_str(), O_RDONLY));
    EXPECT_NE(flock(other.fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(ReadWholeFile(path), kSentence);

    ASSERT_TRUE(first->Close());
    EXPECT_EQ(flock(other.fd, LOCK_EX | LOCK_NB), 0);
}

TEST(FileWriterTest, StatesFromConstructionToClose)
{
    TempDir dir;
    const std::string path = dir.File("ais.log");
    auto writer = NewFileWriter();
    EXPECT_TRUE(writer->IsAlive()) << "constructed";
    EXPECT_FALSE(WriteText(*writer, kSentence)) << "nothing open";
    EXPECT_FALSE(writer->Flush()) << "nothing open";
    EXPECT_FALSE(writer->Close()) << "nothing open";
    EXPECT_TRUE(writer->IsAlive()) << "a Close without a file leaves the event";

    ASSERT_TRUE(writer->Open(path.c_str()));
    EXPECT_TRUE(writer->IsAlive()) << "open";
    EXPECT_TRUE(WriteText(*writer, kSentence));
    EXPECT_TRUE(writer->Write(kSentence.data(), 0)) << "nothing to write is written";
    EXPECT_FALSE(writer->Write(nullptr, 5));

    EXPECT_TRUE(writer->Close());
    EXPECT_FALSE(writer->IsAlive()) << "closed";
    EXPECT_FALSE(WriteText(*writer, kSentence)) << "closed";
    EXPECT_FALSE(writer->Close()) << "second Close";
    EXPECT_FALSE(writer->Flush()) << "closed";
    EXPECT_EQ(ReadWholeFile(path), kSentence);
}

TEST(FileWriterTest, NullNameIsReportedAndLeavesTheEvent)
{
    auto writer = NewFileWriter();
    FdCapture err(2);
    EXPECT_FALSE(writer->Open(nullptr));
    EXPECT_EQ(err.Text(), "Error : [FILE] empty file name.\n");
    EXPECT_TRUE(writer->IsAlive());
    EXPECT_FALSE(writer->Close());
}

TEST(FileWriterTest, ReopeningClosesTheFirstFile)
{
    TempDir dir;
    const std::string first = dir.File("first.log");
    const std::string second = dir.File("second.log");
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open(first.c_str()));
    ASSERT_TRUE(writer->Open(second.c_str()));
    EXPECT_FALSE(writer->IsAlive());
    EXPECT_TRUE(WriteText(*writer, kSentence));
    EXPECT_EQ(ReadWholeFile(first), "");
    EXPECT_EQ(ReadWholeFile(second), kSentence);
    ScopedFd other(open(first.c_str(), O_RDONLY));
    EXPECT_EQ(flock(other.fd, LOCK_EX | LOCK_NB), 0) << "the first file is released";
}

TEST(FileWriterTest, MissingFolderIsReportedWithItsCode)
{
    TempDir dir;
    const std::string path = dir.File("no-such-folder/ais.log");
    auto writer = NewFileWriter();
    FdCapture err(2);
    EXPECT_FALSE(writer->Open(path.c_str()));
    EXPECT_EQ(err.Text(), OpenError(path, ENOENT));
    EXPECT_FALSE(writer->IsAlive());
}

TEST(FileWriterTest, FullDiskCostsTheBlockButKeepsTheRun)
{
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open("/dev/full"));
    EXPECT_FALSE(WriteText(*writer, kSentence));
    EXPECT_TRUE(writer->IsAlive());
    EXPECT_FALSE(WriteText(*writer, kSentence));
    EXPECT_TRUE(writer->IsAlive());
    EXPECT_TRUE(writer->Close());
}

class FifoTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.File("ais.fifo");
        ASSERT_EQ(mkfifo(m_path.c_str(), 0600), 0);
    }
    TempDir m_dir;
    std::string m_path;
};

TEST_F(FifoTest, WithoutReaderOpenIsRefusedAtOnce)
{
    auto writer = NewFileWriter();
    FdCapture err(2);
    EXPECT_FALSE(writer->Open(m_path.c_str()));
    EXPECT_EQ(err.Text(), OpenError(m_path, ENXIO));
    EXPECT_FALSE(writer->IsAlive());
}

TEST_F(FifoTest, ReaderGoneEndsTheChannel)
{
    RestoreDefaultBrokenPipeSignal();
    ScopedFd reader(open(m_path.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_GE(reader.fd, 0);
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open(m_path.c_str()));
    ASSERT_TRUE(WriteText(*writer, kSentence));
    char buffer[256];
    EXPECT_EQ(read(reader.fd, buffer, sizeof buffer), static_cast<ssize_t>(kSentence.size()));

    reader.Close();
    EXPECT_FALSE(WriteText(*writer, kSentence));
    EXPECT_FALSE(writer->IsAlive());
    EXPECT_TRUE(writer->Close()) << "the file is still held until Close";
}

TEST_F(FifoTest, ReaderThatNeverReadsCannotHoldAWrite)
{
    ScopedFd reader(open(m_path.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_GE(reader.fd, 0);
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open(m_path.c_str()));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WriteText(*writer, kFlood));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHangGuard);
    EXPECT_TRUE(writer->IsAlive()) << "a slow reader is not a lost one";
}

TEST(FileWriterTest, HungUpTerminalEndsTheChannel)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    ScopedFd masterFd(master);
    ScopedFd slaveFd(slave);
    const std::string path = ttyname(slave);
    slaveFd.Close();

    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open(path.c_str()));
    ASSERT_TRUE(WriteText(*writer, kSentence));
    masterFd.Close();
    EXPECT_FALSE(WriteText(*writer, kSentence));
    EXPECT_FALSE(writer->IsAlive());
}

struct ConsoleRow {
    std::string name;
    std::string target;
};

void PrintTo(const ConsoleRow& row, std::ostream* out)
{
    *out << row.name;
}

class ConsoleTest : public testing::TestWithParam<ConsoleRow> {};

TEST_P(ConsoleTest, WritesToStandardOutputAndLeavesItUsable)
{
    auto writer = NewFileWriter();
    FdCapture out(1);
    ASSERT_TRUE(writer->Open(GetParam().target.c_str()));
    ASSERT_TRUE(WriteText(*writer, kSentence));
    ASSERT_TRUE(writer->Close());
    const std::string after = "still here\n";
    ASSERT_EQ(write(1, after.data(), after.size()), static_cast<ssize_t>(after.size()));
    EXPECT_EQ(out.Text(), kSentence + after);
}

INSTANTIATE_TEST_SUITE_P(Names, ConsoleTest,
                         testing::Values(ConsoleRow{"UpperCase", "CON"}, ConsoleRow{"LowerCase", "con"},
                                         ConsoleRow{"MixedCase", "cOn"}),
                         [](const testing::TestParamInfo<ConsoleRow>& info) { return info.param.name; });

class ConsolePipeTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(pipe(m_pipe), 0); }
    void TearDown() override
    {
        for (int fd : m_pipe) {
            if (fd >= 0) close(fd);
        }
    }
    int m_pipe[2] = {-1, -1};
};

TEST_F(ConsolePipeTest, SharedStandardOutputStaysBlocking)
{
    FdRedirect toPipe(1, m_pipe[1]);
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open("CON"));
    EXPECT_EQ(fcntl(1, F_GETFL) & O_NONBLOCK, 0);
    ASSERT_TRUE(WriteText(*writer, kSentence));
    std::string received(kSentence.size(), '\0');
    EXPECT_EQ(read(m_pipe[0], received.data(), received.size()), static_cast<ssize_t>(kSentence.size()));
    EXPECT_EQ(received, kSentence);
    ASSERT_TRUE(writer->Close());
    EXPECT_EQ(write(1, "x", 1), 1) << "descriptor 1 survives Close";
}

TEST_F(ConsolePipeTest, ReaderThatNeverReadsCannotHoldAWrite)
{
    FdRedirect toPipe(1, m_pipe[1]);
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open("CON"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WriteText(*writer, kFlood));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHangGuard);
    EXPECT_TRUE(writer->IsAlive());
}

TEST_F(ConsolePipeTest, ReaderGoneEndsTheChannel)
{
    RestoreDefaultBrokenPipeSignal();
    FdRedirect toPipe(1, m_pipe[1]);
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open("CON"));
    close(m_pipe[0]);
    m_pipe[0] = -1;
    EXPECT_FALSE(WriteText(*writer, kSentence));
    EXPECT_FALSE(writer->IsAlive());
}

TEST(ConsoleTerminalTest, TerminalStandardOutputStaysBlockingAndGetsTheText)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    ScopedFd masterFd(master);
    ScopedFd slaveFd(slave);
    termios raw{};
    ASSERT_EQ(tcgetattr(slave, &raw), 0);
    raw.c_oflag &= ~OPOST;  // compare the bytes as written
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &raw), 0);

    FdRedirect toTerminal(1, slave);
    auto writer = NewFileWriter();
    ASSERT_TRUE(writer->Open("CON"));
    EXPECT_EQ(fcntl(1, F_GETFL) & O_NONBLOCK, 0);
    ASSERT_TRUE(WriteText(*writer, kSentence));
    std::string received(kSentence.size(), '\0');
    EXPECT_EQ(read(master, received.data(), received.size()), static_cast<ssize_t>(kSentence.size()));
    EXPECT_EQ(received, kSentence);
    EXPECT_TRUE(writer->Close());
}

} // namespace
