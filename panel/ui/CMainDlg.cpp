#include "panel/ui/CMainDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QListWidgetItem>
#include <QRadioButton>
#include <QScreen>
#include <cstring>
#include <ctime>
#include <mutex>

#include "panel/core/ChoiceLists.h"
#include "panel/core/CommandLine.h"
#include "panel/core/ScenarioOwnShip.h"
#include "panel/core/TrafficOptions.h"
#include "panel/tap/TrafficTap.h"
#include "panel/ui/Artwork.h"
#include "panel/ui/CChartWindow.h"
#include "panel/ui/CCommandLinePreview.h"
#include "panel/ui/CTrafficGroup.h"
#include "panel/ui/ControlIds.h"
#include "panel/ui/PanelEvents.h"
#include "panel/ui/QtText.h"
#include "platform/ShellOpen.h"

namespace {

constexpr char kSiteHost[] = KVL_SITE_HOST;

// Title buttons: width, and distance from the dialog's right edge to the button's left edge.
constexpr int kRandomShipWidthPx = 90;
constexpr int kRandomShipOffsetPx = 550;
constexpr int kSiteWidthPx = 190;
constexpr int kSiteOffsetPx = 450;
constexpr int kCheckUpdateWidthPx = 136;
constexpr int kCheckUpdateOffsetPx = 250;

// Closing waits this long for the watch-dog before it asks about a still running emulator.
constexpr std::chrono::milliseconds kCloseWait(5000);

const std::wstring kEmulatorName(panel::kEmulatorFileName);

void FillChoiceList(QComboBox& list, std::span<const panel::ChoiceItem> items, int initialValue)
{
    for (const panel::ChoiceItem& item : items) list.addItem(ToQt(item.text), item.value);
    list.setCurrentIndex(list.findData(initialValue));
}

} // namespace

// Posts the watch-dog's news to the dialog; after Detach they go nowhere.
class CRunEventPoster final : public panel::IRunEventSink {
public:
    explicit CRunEventPoster(QObject* target) : m_target(target) {}

    void Detach()
    {
        std::lock_guard lock(m_mutex);
        m_target = nullptr;
    }

    void Post(panel::RunEvent event) override
    {
        std::lock_guard lock(m_mutex);
        // The queue owns the event once it is posted.
        if (m_target) QCoreApplication::postEvent(m_target, std::make_unique<RunNewsEvent>(std::move(event)).release());
    }

private:
    std::mutex m_mutex;
    QObject* m_target;
};

CMainDlg::CMainDlg(Options options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_options(std::move(options)),
      m_randomShipButton(kRandomShipWidthPx),
      m_siteButton(kSiteWidthPx),
      m_checkUpdateButton(kCheckUpdateWidthPx),
      m_eventPoster(std::make_shared<CRunEventPoster>(this))
{
    if (m_options.programDirectory.empty())
        m_options.programDirectory = QCoreApplication::applicationDirPath().toStdWString();
    if (m_options.userDirectory.empty()) {
        std::error_code error;
        m_options.userDirectory = std::filesystem::current_path(error);
    }
    if (!m_options.messageBoxes) m_options.messageBoxes = std::make_shared<QtMessageBoxes>();
    if (!m_options.calendarTime) m_options.calendarTime = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
    if (!m_options.openAddress) m_options.openAddress = [](const std::string& address) { platform::StartShellOpen(address); };
    if (m_options.ships.empty()) m_options.ships = g_ships;
    if (m_options.ports.empty()) m_options.ports = g_ports;
    m_run = std::make_unique<panel::RunController>(m_options.programDirectory, m_eventPoster);
    setWindowTitle(QStringLiteral("KVL AIS Emulator"));
    CreateControls();
    m_chartWindow = new CChartWindow(this);
    // The tap's thread only posts; the call is dropped if the dialog is gone by then.
    m_tap = std::make_unique<tap::TrafficTap>();
    if (const int error = m_tap->Open([this] { QMetaObject::invokeMethod(this, &CMainDlg::OnTapFrame, Qt::QueuedConnection); });
        error != 0)
        m_traffic->DisableTap(QStringLiteral("No loopback UDP port for the chart: ") + QString::fromLocal8Bit(std::strerror(error)));
    OnInitDialog();
}

CMainDlg::~CMainDlg()
{
    // Its thread stops before the windows it posts to go.
    m_tap.reset();
    m_eventPoster->Detach();
    // Gone without being closed: the watch-dog still stops, within the same bound.
    m_run.reset();
}

void CMainDlg::OnInitDialog()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(area.center());
        move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
    }
    setWindowIcon(MakeApplicationIcon());
    ConnectPreview();

    auto* baud = Item<QComboBox>(kIdBaud);
    for (const std::wstring_view text : panel::BaudItems()) baud->addItem(QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size())));
    baud->setCurrentText(QString::fromWCharArray(panel::kInitialBaud.data(), static_cast<qsizetype>(panel::kInitialBaud.size())));
    FillChoiceList(*Item<QComboBox>(kIdPositioningDevice), panel::PositioningDeviceItems(), panel::kInitialPositioningDevice);
    FillChoiceList(*Item<QComboBox>(kIdAccuracy), panel::AccuracyItems(), panel::kInitialAccuracy);
    FillChoiceList(*Item<QComboBox>(kIdNavStatus), panel::NavigationStatusItems(), panel::kInitialNavigationStatus);
    FillChoiceList(*Item<QComboBox>(kIdShipType), panel::ShipTypeItems(), panel::kInitialShipType);

    const std::pair<int, const char*> initialTexts[] = {
        {kIdLatitude, "-0.0"}, {kIdLongitude, "0.0"}, {kIdSpeed, "0"},   {kIdCourse, "0"},        {kIdRateOfTurn, "0"},
        {kIdDataBits, "8"},    {kIdStopBits, "1"},    {kIdTcpPort, "1234"}, {kIdFileName, "log.txt"}, {kIdComPort, "1"},
        {kIdUdpAddress, "127.0.0.1:10110"},
    };
    for (const auto& [id, text] : initialTexts) Item<QLineEdit>(id)->setText(QString::fromLatin1(text));

    m_outputControls = {
        {kIdOutputFile, {kIdFileName, kIdBrowse}},
        {kIdOutputTcp, {kIdTcpPort}},
        {kIdOutputUdp, {kIdUdpAddress}},
        {kIdOutputCom, {kIdComPort, kIdBaud, kIdDataBits, kIdStopBits}},
    };

    for (auto* title : {&m_randomShipButton, &m_siteButton, &m_checkUpdateButton}) title->SetRightEdge(m_formWidthPx);
    m_randomShipButton.Create(this, QStringLiteral("Random Ship"), kRandomShipOffsetPx,
                              RegisteredEventType(PanelMessage::GenerateRandomShip));
    m_siteButton.Create(this, QStringLiteral("Go to ") + QString::fromUtf8(kSiteHost), kSiteOffsetPx,
                        RegisteredEventType(PanelMessage::GoToSite));
    m_checkUpdateButton.Create(this, QStringLiteral("Check for updates"), kCheckUpdateOffsetPx,
                               RegisteredEventType(PanelMessage::CheckUpdate));
    for (auto* title : {&m_randomShipButton, &m_siteButton, &m_checkUpdateButton}) title->Button().SetColours(kIdleColours);

    for (const int id : {kIdMsg1, kIdMsg5, kIdAppendCrc}) Item<QCheckBox>(id)->setChecked(true);
    Item<QRadioButton>(kIdOutputTcp)->setChecked(true);
    OnOutputSelected(kIdOutputTcp);

    QCoreApplication::postEvent(this, std::make_unique<QEvent>(RegisteredEventType(PanelMessage::GenerateRandomShip)).release());
}


bool CMainDlg::event(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == RegisteredEventType(PanelMessage::GenerateRandomShip)) GenerateRandomShip();
    else if (type == RegisteredEventType(PanelMessage::GoToSite)) OnGoToSite();
    else if (type == RegisteredEventType(PanelMessage::CheckUpdate)) OnCheckUpdate();
    else if (type == RegisteredEventType(PanelMessage::LogMessage) || type == RegisteredEventType(PanelMessage::StartSim) ||
             type == RegisteredEventType(PanelMessage::StopSim))
        OnRunNews(static_cast<const RunNewsEvent*>(event)->News());
    else return QDialog::event(event);
    return true;
}

void CMainDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter and Escape would end a dialog; this one ends only by its close command.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return: event->accept(); return;
    default: QDialog::keyPressEvent(event);
    }
}

void CMainDlg::closeEvent(QCloseEvent* event)
{
    // One that has not ended in time is left to end by itself when it is released.
    m_run->StopWatchdog(kCloseWait);
    // As for the Run button: the question's event loop may have released the run.
    if (m_run->IsActive()) {
        if (AskYesNo(L" Terminate simulation after exit ?", L"Emulator still active!", BoxIcon::None))
            m_run->Terminate();
        else
            m_leftRunningPid = m_run->Pid();
    }
    ReleaseRunHandles();
    m_eventPoster->Detach();
    m_chartWindow->close();   // the application ends with its last window
    event->accept();
}

void CMainDlg::EndOnSignal()
{
    m_run->StopWatchdog(kCloseWait);
    m_run->Terminate();
    ReleaseRunHandles();
    m_eventPoster->Detach();
    m_chartWindow->hide();
    hide();
    QCoreApplication::quit();
}

void CMainDlg::reject()
{
    // Escape and the like do not close the window.
}

void CMainDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    PlaceTitleButtons();
}

void CMainDlg::PlaceTitleButtons()
{
    for (auto* title : {&m_randomShipButton, &m_siteButton, &m_checkUpdateButton})
        if (title->IsCreated()) title->Place();
}

void CMainDlg::ShowError(const std::wstring& text)
{
    m_options.messageBoxes->Show(this, {text, L"Error!", BoxIcon::Error, false});
}

bool CMainDlg::AskYesNo(const std::wstring& text, const std::wstring& caption, BoxIcon icon)
{
    return m_options.messageBoxes->Show(this, {text, caption, icon, true});
}

bool CMainDlg::IsRunActive()
{
    return m_run->IsActive();
}

int CMainDlg::EmulatorPid() const
{
    return m_run->Pid();
}

void CMainDlg::StartEmulator(bool checkUpdate)
{
    std::wstring arguments;
    m_runOutputFiles.clear();
    bool tapped = false;
    std::optional<std::uint32_t> formMmsi;
    if (checkUpdate) {
        arguments = L"--check-update";
    } else {
        try {
            // The emulator runs in its own folder; a relative file name means the user's.
            panel::FormValues form = ReadForm();
            if (form.outputFile) form.fileName = panel::ResolveOutputFileName(form.fileName, m_options.userDirectory);
            const panel::TrafficValues traffic = panel::ResolveTrafficFiles(ReadTraffic(), m_options.userDirectory);
            arguments = panel::BuildCommandLine(form) + panel::BuildTrafficArguments(traffic);
            if (form.outputFile) m_runOutputFiles.push_back(form.fileName);
            for (const panel::ExtraOutput& output : traffic.outputs)
                if (output.kind == panel::ExtraOutputKind::File) m_runOutputFiles.push_back(output.value);
            tapped = traffic.tapPort.has_value();
            // The form's vessel is the chart's own ship unless it is made another kind of station.
            if (traffic.stationKind.empty() || traffic.stationKind == panel::StationKindItems()[0].name)
                formMmsi = static_cast<std::uint32_t>(std::stoul(form.mmsi));
            // A scenario's own ship replaces the form's vessel.
            if (!traffic.scenarioFile.empty()) {
                const panel::ScenarioOwnShip own = panel::ReadScenarioOwnShip(traffic.scenarioFile);
                if (own.mmsi && own.vessel) formMmsi = own.mmsi;
                if (!own.vessel) formMmsi.reset();
            }
        } catch (const CParamsExcepion& error) {
            // Said where the preview is, and in the log, where a pressed Run button is answered.
            m_preview->SetCommandLine(ToQt(error.Message()));
            AddLogLine(ToQt(error.Message()), QString::fromStdWString(error.Message()).toLocal8Bit());
            return;
        }
    }
    // Before the start: nothing of the new run may be taken for the last one's.
    if (tapped) m_tap->Restart(formMmsi);
    switch (m_run->Start(arguments)) {
    case panel::StartResult::Started: break;
    case panel::StartResult::PipeFailed: ShowError(L"Error creating communication pipe"); return;
    case panel::StartResult::PipeSetupFailed: ShowError(L"Error setting communication pipe"); return;
    case panel::StartResult::ProcessFailed: ShowError(L"Error starting " + kEmulatorName); return;
    case panel::StartResult::WatchdogFailed: ShowError(L"Error creating  " + kEmulatorName + L" watch-dog thread."); return;
    }
    // The form stands for the run from now on, not only once the watch-dog's start arrives.
    EnableForm(false);
    ShowRunning(true);
    if (tapped) ShowChart();
}

std::uint16_t CMainDlg::TapPort() const
{
    return m_tap && m_tap->IsOpen() ? m_tap->Port() : 0;
}

panel::TrafficValues CMainDlg::ReadTraffic() const
{
    panel::TrafficValues values = m_traffic->Read();
    if (m_traffic->TapWanted() && TapPort() != 0) values.tapPort = TapPort();
    return values;
}

void CMainDlg::ShowChart()
{
    m_chartWindow->show();
    m_chartWindow->raise();
    m_chartWindow->activateWindow();
}

void CMainDlg::OnTapFrame()
{
    m_chartWindow->ShowFrame(m_tap->TakeFrame());
}

void CMainDlg::ReleaseRunHandles()
{
    m_run->ReleaseRunHandles();
}

void CMainDlg::OnRunButton()
{
    if (!IsRunActive()) {
        StartEmulator(false);
        return;
    }
    if (!AskYesNo(L"Stop KVL AIS Emulator ?", L"Warning !", BoxIcon::None)) return;
    // The question's event loop may have handled an update check that released the run.
    m_run->Stop();
}

void CMainDlg::OnCheckUpdate()
{
    if (IsRunActive() &&
        !AskYesNo(L"Simulation should be terminated during update. Continue ?", L"Warning !", BoxIcon::Question))
        return;
    // As for the Run button: the run asked about may be gone by now.
    m_run->Stop();
    StartEmulator(true);
}

void CMainDlg::OnGoToSite()
{
    m_options.openAddress(std::string("http://") + kSiteHost + "/vesgen.html");
}

void CMainDlg::AddLogLine(const QString& text, const QByteArray& raw)
{
    auto* log = Item<QListWidget>(kIdLog);
    auto* item = new QListWidgetItem(text, log);   // the list owns its items
    item->setData(Qt::UserRole, raw);
    log->setCurrentItem(item);
    log->scrollToItem(item);
}

void CMainDlg::OnRunNews(const panel::RunEvent& news)
{
    // An earlier run's late news changes nothing of the current one.
    if (!m_run->Accept(news)) return;
    switch (news.news) {
    case panel::RunNews::Started: OnStartSim(); break;
    case panel::RunNews::Output: OnLogMessage(news.line); break;
    case panel::RunNews::Stopped: OnStopSim(); break;
    }
}

void CMainDlg::OnLogMessage(const std::string& line)
{
    // The list shows the line without its line end; the item keeps the bytes as they came.
    const QByteArray raw = QByteArray::fromStdString(line);
    QByteArray shown = raw;
    while (shown.endsWith('\n') || shown.endsWith('\r')) shown.chop(1);
    AddLogLine(QString::fromLocal8Bit(shown), raw);
}

void CMainDlg::OnStartSim()
{
    EnableForm(false);
    Item<QListWidget>(kIdLog)->clear();
    AddLogLine(QStringLiteral("Emulator started!"), QByteArrayLiteral("Emulator started!"));
    for (const std::wstring& file : m_runOutputFiles) {
        const QString line = QStringLiteral("Output file: ") + QString::fromStdWString(file);
        AddLogLine(line, line.toLocal8Bit());
    }
}

void CMainDlg::OnStopSim()
{
    AddLogLine(QStringLiteral("Emulator stopped!"), QByteArrayLiteral("Emulator stopped!"));
    ShowRunning(false);
    EnableForm(true);
}

void CMainDlg::ShowRunning(bool running)
{
    m_runButton->setText(running ? QStringLiteral("Stop KVL AIS Emulator") : QStringLiteral("Start KVL AIS Emulator"));
    m_runButton->SetColours(running ? kRunningColours : kIdleColours);
}
