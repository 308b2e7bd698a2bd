#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <csignal>
#include <fstream>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"
#include "panel/ui/PanelEvents.h"
#include "tests/panel/FakeEmulator.h"
#include "tests/panel/FakeMessageBoxes.h"
#include "tests/panel/QtTestApp.h"

namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kClockTime = 1700000000;

class PanelRun : public testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApplication();
        MakeDialog(m_fake.Path());
    }

    void TearDown() override
    {
        // Whatever a test left running ends with it.
        if (m_dialog && m_dialog->isVisible()) {
            m_boxes->answers = {true};
            m_dialog->close();
        }
        m_dialog.reset();
        for (const int pid : m_leftRunning) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    void MakeDialog(const std::filesystem::path& programDirectory)
    {
        CMainDlg::Options options;
        options.programDirectory = programDirectory;
        options.messageBoxes = m_boxes;
        options.calendarTime = [] { return kClockTime; };
        options.openAddress = [this](const std::string& address) { m_opened.push_back(address); };
        m_dialog = std::make_unique<CMainDlg>(std::move(options));
        m_dialog->show();
        QCoreApplication::processEvents();   // the start-up Random Ship
        // A form that passes every check, with the fake's part chosen by the name.
        SetText(kIdMmsi, "123456789");
        SetText(kIdImo, "1234567");
        for (const int id : {kIdDimA, kIdDimB, kIdDimC, kIdDimD}) SetText(id, "10");
    }

    void SetText(int id, const QString& text) { m_dialog->Item<QLineEdit>(id)->setText(text); }
    QString Text(int id) { return m_dialog->Item<QLineEdit>(id)->text(); }
    void PressRun() { QTest::mousePress(&m_dialog->RunButton(), Qt::LeftButton); }
    void Post(PanelMessage message)
    {
        QCoreApplication::postEvent(m_dialog.get(), std::make_unique<QEvent>(RegisteredEventType(message)).release());
    }

    QStringList Log()
    {
        QStringList lines;
        const auto* log = m_dialog->Item<QListWidget>(kIdLog);
        for (int i = 0; i < log->count(); ++i) lines << log->item(i)->text();
        return lines;
    }
    QByteArray RawLogLine(int row) { return m_dialog->Item<QListWidget>(kIdLog)->item(row)->data(Qt::UserRole).toByteArray(); }

    bool WaitForLog(const QString& line, std::chrono::milliseconds limit = 10s)
    {
        return QTest::qWaitFor([&] { return Log().contains(line); }, static_cast<int>(limit.count()));
    }

    FakeEmulatorDir m_fake;
    std::shared_ptr<FakeMessageBoxes> m_boxes = std::make_shared<FakeMessageBoxes>();
    std::vector<std::string> m_opened;
    std::vector<int> m_leftRunning;
    std::unique_ptr<CMainDlg> m_dialog;
};

TEST_F(PanelRun, BurstLinesArriveInOrderAndTheRunEnds)
{
    SetText(kIdName, "BURST");
    PressRun();
    EXPECT_EQ(m_dialog->RunButton().text(), "Stop KVL AIS Emulator");
    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    EXPECT_EQ(Log(), (QStringList{"Emulator started!", "one", "two", "three", "Emulator stopped!"}));
    EXPECT_EQ(RawLogLine(1), "one\r\n");
    EXPECT_EQ(m_dialog->RunButton().text(), "Start KVL AIS Emulator");
    EXPECT_EQ(m_dialog->RunButton().Colours().normalBottom, kIdleColours.normalBottom);
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdName)->isEnabled());
    EXPECT_TRUE(m_boxes->shown.empty());
}

TEST_F(PanelRun, UnterminatedLastLineComesBeforeStopped)
{
    SetText(kIdName, "PARTIAL");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    EXPECT_EQ(Log(), (QStringList{"Emulator started!", "first", "last piece", "Emulator stopped!"}));
    EXPECT_EQ(RawLogLine(2), "last piece");
}

TEST_F(PanelRun, QuotesAndBackslashesReachTheEmulatorAsTyped)
{
    SetText(kIdName, "ARGS \"Q\"\\");
    SetText(kIdCallSign, "C1");
    m_dialog->Item<QRadioButton>(kIdOutputFile)->click();
    SetText(kIdFileName, "log.txt\" --ignore-crc=\"1");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    const QStringList log = Log();
    const qsizetype name = log.indexOf("arg:--vessel-name");
    ASSERT_GE(name, 0) << log.join('|').toStdString();
    EXPECT_EQ(log.mid(name, 4), (QStringList{"arg:--vessel-name", "arg:ARGS \"Q\"\\", "arg:--vessel-call", "arg:C1"}));
    EXPECT_FALSE(log.contains("arg:--ignore-crc"));
    // A relative file name is the user's: the emulator gets it from the panel's current folder.
    const QString file = QString::fromStdString((std::filesystem::current_path() / "log.txt\" --ignore-crc=\"1").string());
    EXPECT_EQ(log.mid(log.indexOf("arg:--output"), 2), (QStringList{"arg:--output", "arg:" + file}));
    EXPECT_EQ(log.mid(0, 2), (QStringList{"Emulator started!", "Output file: " + file}));
    EXPECT_TRUE(log.contains(QString::fromStdString("cwd:" + std::filesystem::canonical(m_fake.Path()).string())));
}

TEST_F(PanelRun, FormLockedWhileRunningAndRunAsksBeforeStopping)
{
    SetText(kIdName, "SILENT");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator started!"));
    EXPECT_FALSE(m_dialog->GetDlgItem(kIdName)->isEnabled());
    EXPECT_FALSE(m_dialog->GetDlgItem(kIdMsg1)->isEnabled());
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdRun)->isEnabled());
    EXPECT_EQ(m_dialog->RunButton().Colours().normalBottom, kRunningColours.normalBottom);

    m_boxes->answers = {false};
    PressRun();
    ASSERT_EQ(m_boxes->shown.size(), 1U);
    EXPECT_EQ(m_boxes->shown[0].text, L"Stop KVL AIS Emulator ?");
    EXPECT_EQ(m_boxes->shown[0].caption, L"Warning !");
    EXPECT_TRUE(m_boxes->shown[0].yesNo);
    EXPECT_TRUE(m_dialog->IsRunActive());

    m_boxes->answers = {true};
    PressRun();
    EXPECT_FALSE(m_dialog->IsRunActive());
    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdName)->isEnabled());
    EXPECT_EQ(m_dialog->RunButton().text(), "Start KVL AIS Emulator");
}

// While a run is on, the form shows what runs: no field of the command line can change, and
// Random Ship waits. Afterwards only the selected output's fields are enabled again.
TEST_F(PanelRun, RunningFormShowsWhatRuns)
{
    SetText(kIdName, "SILENT");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator started!"));
    for (const int id : {kIdMmsi, kIdLatitude, kIdLongitude, kIdSpeed, kIdName, kIdTcpPort, kIdFileName})
        EXPECT_FALSE(m_dialog->GetDlgItem(id)->isEnabled()) << id;
    const QString preview = m_dialog->Item<QPlainTextEdit>(kIdCommandLine)->toPlainText();
    Post(PanelMessage::GenerateRandomShip);
    QCoreApplication::processEvents();
    EXPECT_EQ(Text(kIdName), "SILENT");
    EXPECT_EQ(m_dialog->Item<QPlainTextEdit>(kIdCommandLine)->toPlainText(), preview);

    m_boxes->answers = {true};
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdMmsi)->isEnabled());
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdTcpPort)->isEnabled());
    for (const int id : {kIdFileName, kIdBrowse, kIdComPort, kIdBaud}) EXPECT_FALSE(m_dialog->GetDlgItem(id)->isEnabled()) << id;
}

// The replaced run's end arrives after the update check has started; the button and the form
// follow the update check all the same.
TEST_F(PanelRun, SlowUpdateCheckReplacingARunShowsRunningUntilItEnds)
{
    SetText(kIdName, "SILENT");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator started!"));
    std::ofstream(m_fake.Path() / "slow-update") << "";
    m_boxes->answers = {true};
    Post(PanelMessage::CheckUpdate);
    // The update check's own start: the log emptied, its answer still to come.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Log() == QStringList{"Emulator started!"}; }, 10000)) << Log().join('|').toStdString();
    QTest::qWait(300);
    EXPECT_EQ(Log(), QStringList{"Emulator started!"});
    EXPECT_EQ(m_dialog->RunButton().text(), "Stop KVL AIS Emulator");
    EXPECT_EQ(m_dialog->RunButton().Colours().normalBottom, kRunningColours.normalBottom);
    EXPECT_FALSE(m_dialog->GetDlgItem(kIdName)->isEnabled());
    EXPECT_TRUE(m_dialog->IsRunActive());

    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    EXPECT_EQ(Log(), (QStringList{"Emulator started!", "update check", "Emulator stopped!"}));
    EXPECT_EQ(m_dialog->RunButton().text(), "Start KVL AIS Emulator");
    EXPECT_EQ(m_dialog->RunButton().Colours().normalBottom, kIdleColours.normalBottom);
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdName)->isEnabled());
}

TEST_F(PanelRun, StartAfterARunEndedByItselfStartsAtOnceWithAnEmptiedLog)
{
    SetText(kIdName, "BURST");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    SetText(kIdName, "PARTIAL");
    PressRun();
    EXPECT_TRUE(m_boxes->shown.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Log().contains("last piece") && Log().contains("Emulator stopped!"); }, 10000));
    EXPECT_FALSE(Log().contains("one"));
}

TEST_F(PanelRun, BadFormStartsNothingAndSaysWhyInTheLog)
{
    SetText(kIdMmsi, "");
    PressRun();
    EXPECT_EQ(m_dialog->Item<QPlainTextEdit>(kIdCommandLine)->toPlainText(), "Invalid parameter : --vessel-mmsi");
    EXPECT_EQ(Log(), QStringList{"Invalid parameter : --vessel-mmsi"});
    EXPECT_EQ(m_dialog->EmulatorPid(), -1);
    EXPECT_TRUE(m_boxes->shown.empty());
}

TEST_F(PanelRun, MissingProgramShowsTheErrorAndLeavesTheFormUsable)
{
    testsupport::TempDir empty;
    MakeDialog(empty.Path());
    PressRun();
    ASSERT_EQ(m_boxes->shown.size(), 1U);
    EXPECT_EQ(m_boxes->shown[0].text, L"Error starting vesgen");
    EXPECT_EQ(m_boxes->shown[0].caption, L"Error!");
    EXPECT_EQ(m_boxes->shown[0].icon, BoxIcon::Error);
    EXPECT_EQ(m_dialog->RunButton().text(), "Run AIS Emulator");
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdName)->isEnabled());
    EXPECT_FALSE(m_dialog->IsRunActive());
}

TEST_F(PanelRun, NoDescriptorForThePipeShowsItsBox)
{
    SetText(kIdName, "BURST");
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    int lowestFree = 0;
    while (::fcntl(lowestFree, F_GETFD) != -1) ++lowestFree;
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);   // no new descriptor can be made
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    PressRun();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old), 0);
    ASSERT_EQ(m_boxes->shown.size(), 1U);
    EXPECT_EQ(m_boxes->shown[0].text, L"Error creating communication pipe");
    EXPECT_EQ(m_boxes->shown[0].caption, L"Error!");
    EXPECT_FALSE(m_dialog->IsRunActive());
    EXPECT_EQ(m_dialog->RunButton().text(), "Run AIS Emulator");
}

TEST_F(PanelRun, ClosingWithASilentEmulatorAsksAndEndsItWithinTheBound)
{
    SetText(kIdName, "SILENT");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator started!"));
    const int pid = m_dialog->EmulatorPid();
    m_boxes->answers = {true};
    const auto start = std::chrono::steady_clock::now();
    m_dialog->close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
    EXPECT_FALSE(m_dialog->isVisible());
    ASSERT_EQ(m_boxes->shown.size(), 1U);
    EXPECT_EQ(m_boxes->shown[0].text, L" Terminate simulation after exit ?");
    EXPECT_EQ(m_boxes->shown[0].caption, L"Emulator still active!");
    // Ended: reaped already, or reaped now without waiting long.
    const pid_t reaped = ::waitpid(pid, nullptr, 0);
    EXPECT_TRUE(reaped == pid || (reaped < 0 && errno == ECHILD));
}

TEST_F(PanelRun, ClosingAnsweredNoLeavesTheEmulatorRunningAfterThePipeIsGone)
{
    SetText(kIdName, "TICK");
    PressRun();
    ASSERT_TRUE(WaitForLog("tick 1"));
    const int pid = m_dialog->EmulatorPid();
    m_leftRunning.push_back(pid);
    m_boxes->answers = {false};
    m_dialog->close();
    m_dialog.reset();   // the panel is gone, and with it the pipe's reader
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(m_fake.Path() / "fake.epipe"); }, 5000));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "still running after its writes failed";
}

TEST_F(PanelRun, CheckForUpdatesAsksWhileRunning)
{
    SetText(kIdName, "SILENT");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator started!"));
    const int firstPid = m_dialog->EmulatorPid();

    m_boxes->answers = {false};
    Post(PanelMessage::CheckUpdate);
    QCoreApplication::processEvents();
    ASSERT_EQ(m_boxes->shown.size(), 1U);
    EXPECT_EQ(m_boxes->shown[0].text, L"Simulation should be terminated during update. Continue ?");
    EXPECT_EQ(m_boxes->shown[0].caption, L"Warning !");
    EXPECT_EQ(m_boxes->shown[0].icon, BoxIcon::Question);
    EXPECT_EQ(m_dialog->EmulatorPid(), firstPid);
    EXPECT_TRUE(m_dialog->IsRunActive());

    m_boxes->answers = {true};
    Post(PanelMessage::CheckUpdate);
    ASSERT_TRUE(WaitForLog("update check"));
    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    EXPECT_NE(m_dialog->EmulatorPid(), firstPid);
}

// While a question is up, its event loop may deliver what was posted before it, such as a click
// on "Check for updates" just before the Run button. That one may end the run and fail to start
// the update check (here the emulator has gone from its folder); the first question, answered
// Yes afterwards, then finds no emulator to stop.
enum class FirstQuestion { RunButton, CheckForUpdates, Close };

struct NestedQuestionRow {
    const char* name;
    FirstQuestion first;
};

void PrintTo(const NestedQuestionRow& row, std::ostream* out) { *out << row.name; }

class NestedQuestion : public PanelRun, public testing::WithParamInterface<NestedQuestionRow> {};

TEST_P(NestedQuestion, FailedRestartInsideLeavesNothingToStopAndNoCrash)
{
    SetText(kIdName, "SILENT");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator started!"));
    m_boxes->answers = {true, true};
    m_boxes->whileShown = [this](std::size_t index) {
        if (index == 0) QCoreApplication::processEvents();   // the second question, inside the first
        if (index == 1) std::filesystem::remove(m_fake.Path() / "vesgen");
    };
    Post(PanelMessage::CheckUpdate);   // delivered inside the first question
    switch (GetParam().first) {
    case FirstQuestion::RunButton: PressRun(); break;
    case FirstQuestion::CheckForUpdates: {
        // Handled at once, outside the delivery of posted events, whose loop need not deliver
        // more of them inside (it does so on some platforms).
        QEvent first(RegisteredEventType(PanelMessage::CheckUpdate));
        QCoreApplication::sendEvent(m_dialog.get(), &first);
        break;
    }
    case FirstQuestion::Close: m_dialog->close(); break;
    }
    m_boxes->whileShown = nullptr;

    ASSERT_GE(m_boxes->shown.size(), 3U);
    EXPECT_TRUE(m_boxes->shown[0].yesNo);
    EXPECT_EQ(m_boxes->shown[1].text, L"Simulation should be terminated during update. Continue ?");
    EXPECT_EQ(m_boxes->shown[2].text, L"Error starting vesgen");
    EXPECT_FALSE(m_dialog->IsRunActive());
    if (GetParam().first == FirstQuestion::Close) {
        EXPECT_FALSE(m_dialog->isVisible());
        return;
    }
    ASSERT_TRUE(WaitForLog("Emulator stopped!"));
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdName)->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Rows, NestedQuestion,
                         testing::Values(NestedQuestionRow{"RunButton", FirstQuestion::RunButton},
                                         NestedQuestionRow{"CheckForUpdates", FirstQuestion::CheckForUpdates},
                                         NestedQuestionRow{"Close", FirstQuestion::Close}),
                         [](const testing::TestParamInfo<NestedQuestionRow>& info) { return std::string(info.param.name); });

TEST_F(PanelRun, CheckForUpdatesWhileIdleStartsAtOnce)
{
    Post(PanelMessage::CheckUpdate);
    ASSERT_TRUE(WaitForLog("update check"));
    EXPECT_TRUE(m_boxes->shown.empty());
}

TEST_F(PanelRun, SiteButtonOpensTheProductPage)
{
    Post(PanelMessage::GoToSite);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_opened, std::vector<std::string>{"http://" KVL_SITE_HOST "/vesgen.html"});
}

// A stand-in xdg-open on PATH that stays until it is released, as a browser that xdg-open runs
// in the foreground does.
class BlockingOpener {
public:
    BlockingOpener()
    {
        const std::string dir = m_dir.Path().string();
        std::ofstream(m_dir.File("xdg-open")) << "#!/bin/sh\n"
                                              << "echo $$ > '" << dir << "/pid'\n"
                                              << "printf '%s' \"$1\" > '" << dir << "/opened'\n"
                                              << "i=0\n"
                                              << "while [ ! -e '" << dir << "/release' ] && [ $i -lt 200 ]; do\n"
                                              << "  sleep 0.05; i=$((i+1))\n"
                                              << "done\n"
                                              << "touch '" << dir << "/closed'\n";
        std::filesystem::permissions(m_dir.File("xdg-open"), std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        m_oldPath = path ? path : "";
        ::setenv("PATH", (dir + ":" + m_oldPath).c_str(), 1);
    }
    ~BlockingOpener()
    {
        Release();
        ::setenv("PATH", m_oldPath.c_str(), 1);
    }
    bool Exists(const char* name) const { return std::filesystem::exists(m_dir.Path() / name); }
    std::string Read(const char* name) const { return testsupport::ReadWholeFile(m_dir.File(name)); }
    void Release() const { std::ofstream(m_dir.File("release")) << "go\n"; }

private:
    testsupport::TempDir m_dir;
    std::string m_oldPath;
};

TEST_F(PanelRun, SiteButtonDoesNotWaitForTheBrowser)
{
    const BlockingOpener opener;
    CMainDlg::Options options;   // the desktop's own opener
    options.programDirectory = m_fake.Path();
    options.messageBoxes = m_boxes;
    CMainDlg dialog(std::move(options));
    QCoreApplication::postEvent(&dialog, std::make_unique<QEvent>(RegisteredEventType(PanelMessage::GoToSite)).release());
    QCoreApplication::processEvents();

    // The handler is back while the browser is still open.
    ASSERT_TRUE(QTest::qWaitFor([&] { return opener.Exists("opened"); }, 10000));
    EXPECT_FALSE(opener.Exists("closed"));
    EXPECT_EQ(opener.Read("opened"), "http://" KVL_SITE_HOST "/vesgen.html");

    // Once the browser ends, it is collected: no zombie stays behind.
    ASSERT_TRUE(QTest::qWaitFor([&] { return opener.Exists("pid"); }, 10000));
    const std::string pid = opener.Read("pid").substr(0, opener.Read("pid").find('\n'));
    opener.Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return opener.Exists("closed"); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !std::filesystem::exists("/proc/" + pid); }, 10000)) << pid;
}

// A run's news are tagged with their run: news of a run that is not the current one change
// nothing, whatever they say.
TEST_F(PanelRun, NewsOfAnotherRunChangeNothing)
{
    SetText(kIdName, "SILENT");
    PressRun();
    ASSERT_TRUE(WaitForLog("Emulator started!"));
    for (const panel::RunNews news : {panel::RunNews::Output, panel::RunNews::Stopped, panel::RunNews::Started})
        QCoreApplication::postEvent(m_dialog.get(), new RunNewsEvent({0, news, "stale\n"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(Log(), QStringList{"Emulator started!"});
    EXPECT_EQ(m_dialog->RunButton().text(), "Stop KVL AIS Emulator");
    EXPECT_FALSE(m_dialog->GetDlgItem(kIdName)->isEnabled());
}

} // namespace
