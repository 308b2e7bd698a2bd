// A reader slower than the writer: only whole sentences, in order, with a bounded backlog.

#include "emulator/channels/CBasicFileWriter.h"
#include "tests/channels/ChannelTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <atomic>
#include <chrono>
#include <thread>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Sentences carry their number, so order and wholeness can be checked on arrival.
std::string Sentences(int first, int count)
{
    std::string text;
    for (int i = first; i < first + count; ++i) {
        std::string number = std::to_string(i);
        text += "!AIVDM,1,1,,A," + std::string(8 - number.size(), '0') + number + "13u?etPv2;0n:dDPwUM1U1Cb069D,0*24\r\n";
    }
    return text;
}

std::string ReadAvailable(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) != 1) return text;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

class SlowTerminalTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(openpty(&m_master, &m_slave, m_name, nullptr, nullptr), 0);
        termios raw{};
        ASSERT_EQ(tcgetattr(m_slave, &raw), 0);
        cfmakeraw(&raw);
        ASSERT_EQ(tcsetattr(m_slave, TCSANOW, &raw), 0);
        ASSERT_EQ(tcsetattr(m_master, TCSANOW, &raw), 0);
        ASSERT_TRUE(m_writer->Open(m_name));
    }
    void TearDown() override
    {
        close(m_master);
        close(m_slave);
    }

    // Fills the terminal with whole lines of its own, so the writer finds no room.
    void FillTerminal()
    {
        const int fd = open(m_name, O_WRONLY | O_NONBLOCK | O_NOCTTY);
        ASSERT_GE(fd, 0);
        const std::string filler = "FILL\r\n";
        while (write(fd, filler.data(), filler.size()) > 0) {
        }
        close(fd);
    }

    void Write(const std::string& text)
    {
        m_writer->Write(text.data(), static_cast<std::uint32_t>(text.size()));
    }

    int m_master = -1;
    int m_slave = -1;
    char m_name[128] = {};
    CBasicFileWriter* m_fileWriter = new CBasicFileWriter;
    ChannelWriterPtr m_writer{m_fileWriter};
};

// After the filler (whose last line the terminal may have taken only in part), every
// line is a whole numbered sentence, in rising order.
void ExpectWholeSentencesInOrder(const std::string& text, std::size_t& sentences)
{
    int last = -1;
    std::size_t start = text.find('!');
    ASSERT_NE(start, std::string::npos);
    ASSERT_EQ(text.find_first_not_of("FIL\r\n"), start);
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = text.substr(start, end - start);
        ASSERT_EQ(line.size(), Sentences(0, 1).size() - 2) << line;
        ASSERT_EQ(line.substr(0, 14), "!AIVDM,1,1,,A,") << line;
        ASSERT_EQ(line.substr(22), Sentences(0, 1).substr(22, line.size() - 22)) << line;
        const int number = std::stoi(line.substr(14, 8));
        ASSERT_GT(number, last) << line;
        last = number;
        ++sentences;
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
}

TEST_F(SlowTerminalTest, UntakenTextLeavesFirstAndWholeOnTheNextWrite)
{
    FillTerminal();
    // Room for part of a sentence only: the rest must wait, not be followed by the next block.
    char drop[20];
    // The terminal may hand its lines over in pieces.
    for (std::size_t got = 0; got < sizeof drop;) {
        const ssize_t n = read(m_master, drop + got, sizeof drop - got);
        ASSERT_GT(n, 0);
        got += static_cast<std::size_t>(n);
    }
    std::string received(drop, sizeof drop);
    Write(Sentences(0, 40));
    received += ReadAvailable(m_master);
    Write(Sentences(40, 40));
    received += ReadAvailable(m_master);
    Write("");
    received += ReadAvailable(m_master);

    std::size_t sentences = 0;
    ExpectWholeSentencesInOrder(received, sentences);
    EXPECT_EQ(sentences, 80U) << "nothing is lost while the backlog has room";
}

TEST_F(SlowTerminalTest, StalledReaderKeepsAFewStepsOfWholeSentencesAndCountsTheRest)
{
    FillTerminal();
    constexpr int kSteps = 8;
    constexpr int kPerStep = 1000;  // about 57 KB: the bound becomes four such steps
    for (int step = 0; step < kSteps; ++step) Write(Sentences(step * kPerStep, kPerStep));

    // A reader that now drains the terminal as fast as it can.
    std::string received;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) received += ReadAvailable(m_master);
    });
    const std::string newest = Sentences(kSteps * kPerStep - 1, 1);
    // A write that leaves nothing waiting says so.
    for (int round = 0; round < 100 && !m_writer->Write("", 0); ++round)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    done = true;
    reader.join();

    std::size_t sentences = 0;
    ExpectWholeSentencesInOrder(received, sentences);
    EXPECT_TRUE(received.ends_with(newest));
    // Every sentence either arrived or was counted; what was kept is about four steps.
    EXPECT_EQ(sentences + m_fileWriter->DroppedSentences(), static_cast<std::size_t>(kSteps * kPerStep));
    EXPECT_GE(sentences, 3U * kPerStep);
    EXPECT_LE(sentences, 5U * kPerStep);
}

} // namespace
