#include "panel/ui/CMainDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QListWidgetItem>
#include <cmath>
#include <ctime>
#include <mutex>
#include <system_error>

#include "panel/core/ChoiceLists.h"
#include "panel/core/CommandLine.h"
#include "panel/core/RandomShip.h"
#include "panel/ui/Artwork.h"
#include "panel/ui/DialogTemplate.h"
#include "panel/ui/PanelEvents.h"
#include "platform/ShellOpen.h"

namespace {

constexpr char kSiteHost[] = KVL_SITE_HOST;

// The row of title buttons above the form.
constexpr int kTitleRowPx = CTitleButtonWnd<CGradientButtonCtrl>::kHeightPx + 4;

// Title buttons: width, and distance from the dialog's right edge to the button's left edge.
constexpr int kRandomShipWidthPx = 90;
constexpr int kRandomShipOffsetPx = 550;
constexpr int kSiteWidthPx = 190;
constexpr int kSiteOffsetPx = 450;
constexpr int kCheckUpdateWidthPx = 136;
constexpr int kCheckUpdateOffsetPx = 250;

// Controls that the form lock enables and disables, in this order; the COM fields only
// while "COM#" is selected.
constexpr int kLockedControls[] = {
    kIdName,   kIdCallSign,       kIdImo,      kIdDimA,       kIdDimB,      kIdDimC,     kIdDimD,
    kIdPortDest, kIdPortOrigin,   kIdNavStatus, kIdPositioningDevice, kIdAccuracy, kIdShipType, kIdCourse,
    kIdRateOfTurn, kIdOutputFile, kIdFileName, kIdBrowse,    kIdOutputTcp, kIdTcpPort,  kIdOutputCom,
};
constexpr int kLockedComControls[] = {kIdComPort, kIdBaud, kIdDataBits, kIdStopBits};
constexpr int kLockedMessageControls[] = {kIdMsg1, kIdMsg5, kIdMsg18, kIdMsg19, kIdMsg24, kIdAppendCrc, kIdIgnoreTimings};

// Turns typed letters into capitals, as an upper-case edit field does.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

QString ToQt(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

QString ToQt(const wchar_t* text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

void FillChoiceList(QComboBox& list, std::span<const panel::ChoiceItem> items, int initialValue)
{
    for (const panel::ChoiceItem& item : items) list.addItem(ToQt(item.text), item.value);
    list.setCurrentIndex(list.findData(initialValue));
}

// Dialog units for the dialog's font, widened where a caption would not fit its rectangle
// in this font: the dialog keeps its proportions and every text stays whole.
DialogUnits FitDialogUnits(const QFont& font, const QStyle& style)
{
    const DialogUnits fontUnits = DialogUnits::ForFont(font);
    const QFontMetrics metrics(font);
    const int indicatorPx = style.pixelMetric(QStyle::PM_IndicatorWidth) + style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 4;
    const int groupTitlePadPx = 24;
    int baseX = fontUnits.BaseX();
    for (const TemplateItem& item : MainDialogTemplate()) {
        int extraPx = 0;
        switch (item.kind) {
        case ControlKind::Label: break;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton: extraPx = indicatorPx; break;
        case ControlKind::GroupBox: extraPx = groupTitlePadPx; break;
        default: continue;
        }
        const int neededPx = metrics.horizontalAdvance(ToQt(item.text)) + extraPx;
        baseX = std::max(baseX, static_cast<int>(std::ceil(neededPx * 4.0 / item.rect.cx)));
    }
    return DialogUnits(baseX, fontUnits.BaseY());
}

// Closing waits this long for the watch-dog before it asks about a still running emulator.
constexpr std::chrono::milliseconds kCloseWait(5000);

const std::wstring kEmulatorName(panel::kEmulatorFileName);

std::wstring_view View(const wchar_t* text)
{
    return text ? std::wstring_view(text) : std::wstring_view();
}

} // namespace

// Posts the watch-dog's news to the dialog; after Detach they go nowhere.
class CRunEventPoster final : public panel::IRunEvents {
public:
    explicit CRunEventPoster(QObject* target) : m_target(target) {}

    void Detach()
    {
        std::lock_guard lock(m_mutex);
        m_target = nullptr;
    }

    void RunStarted() override { Post(std::make_unique<QEvent>(RegisteredEventType(PanelMessage::StartSim))); }
    void RunOutput(std::string line) override { Post(std::make_unique<LogMessageEvent>(std::move(line))); }
    void RunStopped() override { Post(std::make_unique<QEvent>(RegisteredEventType(PanelMessage::StopSim))); }

private:
    void Post(std::unique_ptr<QEvent> event)
    {
        std::lock_guard lock(m_mutex);
        if (m_target) QCoreApplication::postEvent(m_target, event.release());   // the queue owns it now
    }

    std::mutex m_mutex;
    QObject* m_target;
};

std::unique_ptr<QFileDialog> MakeOutputFileDialog(QWidget* parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);   // a new file may be named
    dialog->setNameFilter(QStringLiteral("Any file(*.*)"));
    dialog->setDefaultSuffix(QString());
    dialog->setOption(QFileDialog::ReadOnly, false);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog->selectFile(QStringLiteral("log.txt"));
    return dialog;
}

CMainDlg::CMainDlg(Options options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_options(std::move(options)),
      m_randomShipButton(kRandomShipWidthPx),
      m_siteButton(kSiteWidthPx),
      m_checkUpdateButton(kCheckUpdateWidthPx),
      m_hStopEvent(std::make_shared<platform::Event>()),
      m_eventPoster(std::make_shared<CRunEventPoster>(this))
{
    if (m_options.programDirectory.empty())
        m_options.programDirectory = QCoreApplication::applicationDirPath().toStdWString();
    if (!m_options.messageBoxes) m_options.messageBoxes = std::make_shared<QtMessageBoxes>();
    if (!m_options.calendarTime) m_options.calendarTime = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
    if (!m_options.openAddress) m_options.openAddress = [](const std::string& address) { platform::StartShellOpen(address); };
    if (m_options.ships.empty()) m_options.ships = g_ships;
    if (m_options.ports.empty()) m_options.ports = g_ports;
    setWindowTitle(QStringLiteral("KVL AIS Emulator"));
    CreateControls();
    OnInitDialog();
}

CMainDlg::~CMainDlg()
{
    m_eventPoster->Detach();
    // Gone without being closed: the watch-dog still stops, within the same bound.
    if (m_hWatchdog) {
        m_hStopEvent->Set();
        if (m_hWatchdog->WaitForEnd(kCloseWait)) m_hWatchdog->Join();
    }
}

void CMainDlg::CreateControls()
{
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    const DialogUnits units = FitDialogUnits(dialogFont, *style());

    for (const TemplateItem& item : MainDialogTemplate()) {
        const QString text = ToQt(item.text);
        QRect rect = units.ToPixels(item.rect).translated(0, kTitleRowPx);
        QWidget* widget = nullptr;
        switch (item.kind) {
        case ControlKind::GroupBox: widget = new QGroupBox(text, this); break;
        case ControlKind::Label: widget = new QLabel(text, this); break;
        case ControlKind::Edit:
        case ControlKind::UpperCaseEdit:
        case ControlKind::DigitsEdit: {
            auto* edit = new QLineEdit(this);
            edit->setMaxLength(panel::kMaxFieldChars);
            if (item.kind == ControlKind::UpperCaseEdit) edit->setValidator(new UpperCaseValidator(edit));
            if (item.kind == ControlKind::DigitsEdit)
                edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            widget = edit;
            break;
        }
        case ControlKind::DropDownList: {
            auto* list = new QComboBox(this);
            list->setMaxVisibleItems(20);
            list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            widget = list;
            break;
        }
        case ControlKind::CheckBox: widget = new QCheckBox(text, this); break;
        case ControlKind::RadioButton: widget = new QRadioButton(text, this); break;
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);   // Enter in the form presses nothing
            widget = button;
            break;
        }
        case ControlKind::Picture: {
            auto* picture = new QLabel(this);
            const QPixmap diagram = MakeAntennaDiagram();
            picture->setPixmap(diagram);
            rect.setSize(diagram.size());
            widget = picture;
            break;
        }
        case ControlKind::ReadOnlyMultiLine: {
            auto* box = new QPlainTextEdit(this);
            box->setReadOnly(true);
            widget = box;
            break;
        }
        case ControlKind::ListBox: {
            auto* log = new QListWidget(this);
            log->setSelectionMode(QAbstractItemView::SingleSelection);
            widget = log;
            break;
        }
        case ControlKind::GradientButton:
            m_runButton = new CGradientButtonCtrl(kIdleColours, this);
            m_runButton->setText(text);
            widget = m_runButton;
            break;
        }
        widget->setGeometry(rect);
        widget->setObjectName(text);
        if (item.id != kIdStatic) {
            widget->setObjectName(QStringLiteral("idc%1").arg(item.id));
            m_controls[item.id] = widget;
        }
    }
    // The combo boxes' lists open wide enough for their longest texts.
    for (const auto& [id, widget] : m_controls)
        if (auto* list = qobject_cast<QComboBox*>(widget)) list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 24);

    setFixedSize(units.X(kDialogWidthDlu), units.Y(kDialogHeightDlu) + kTitleRowPx);
}

QWidget* CMainDlg::GetDlgItem(int id) const
{
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
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
    };
    for (const auto& [id, text] : initialTexts) Item<QLineEdit>(id)->setText(QString::fromLatin1(text));

    m_outputControls = {
        {kIdOutputFile, {kIdFileName, kIdBrowse}},
        {kIdOutputTcp, {kIdTcpPort}},
        {kIdOutputCom, {kIdComPort, kIdBaud, kIdDataBits, kIdStopBits}},
    };

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

void CMainDlg::ConnectPreview()
{
    // Every change of a field, click of a button and choice in a list refreshes the preview,
    // before anything else handles the same action.
    for (const auto& [id, widget] : m_controls) {
        if (id == kIdCommandLine) continue;
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) connect(edit, &QLineEdit::textChanged, this, &CMainDlg::UpdatePreview);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget)) connect(button, &QAbstractButton::clicked, this, &CMainDlg::UpdatePreview);
        else if (auto* list = qobject_cast<QComboBox*>(widget)) connect(list, &QComboBox::activated, this, &CMainDlg::UpdatePreview);
    }
    for (const int id : {kIdOutputFile, kIdOutputTcp, kIdOutputCom})
        connect(Item<QRadioButton>(id), &QRadioButton::clicked, this, [this, id] { OnOutputSelected(id); });
    connect(Item<QPushButton>(kIdBrowse), &QPushButton::clicked, this, &CMainDlg::OnBrowse);
    connect(m_runButton, &QAbstractButton::clicked, this, &CMainDlg::OnRunButton);
}

void CMainDlg::UpdatePreview()
{
    QString preview;
    try {
        preview = ToQt(BuildCommandLine());
    } catch (const CParamsExcepion& error) {
        preview = ToQt(error.Message());
    }
    Item<QPlainTextEdit>(kIdCommandLine)->setPlainText(preview);
}

void CMainDlg::OnOutputSelected(int radioId)
{
    for (const auto& [radio, controls] : m_outputControls)
        for (const int id : controls) GetDlgItem(id)->setEnabled(radio == radioId);
}

void CMainDlg::EnableForm(bool enable)
{
    for (const int id : kLockedControls) GetDlgItem(id)->setEnabled(enable);
    if (Item<QRadioButton>(kIdOutputCom)->isChecked())
        for (const int id : kLockedComControls) GetDlgItem(id)->setEnabled(enable);
    for (const int id : kLockedMessageControls) GetDlgItem(id)->setEnabled(enable);
}

panel::FormValues CMainDlg::ReadForm() const
{
    const auto text = [this](int id) { return Item<QLineEdit>(id)->text().left(panel::kMaxFieldChars).toStdWString(); };
    const auto code = [this](int id) -> std::optional<int> {
        const QComboBox* list = Item<QComboBox>(id);
        if (list->currentIndex() < 0) return std::nullopt;
        return list->currentData().toInt();
    };
    const auto checked = [this](int id) { return Item<QAbstractButton>(id)->isChecked(); };

    panel::FormValues form;
    form.name = text(kIdName);
    form.callSign = text(kIdCallSign);
    form.mmsi = text(kIdMmsi);
    form.imo = text(kIdImo);
    form.dimA = text(kIdDimA);
    form.dimB = text(kIdDimB);
    form.dimC = text(kIdDimC);
    form.dimD = text(kIdDimD);
    form.latitude = text(kIdLatitude);
    form.longitude = text(kIdLongitude);
    form.speed = text(kIdSpeed);
    form.course = text(kIdCourse);
    form.rateOfTurn = text(kIdRateOfTurn);
    form.portDest = text(kIdPortDest);
    form.portOrigin = text(kIdPortOrigin);
    form.navStatus = code(kIdNavStatus);
    form.positioningDevice = code(kIdPositioningDevice);
    form.shipType = code(kIdShipType);
    form.accuracy = code(kIdAccuracy);
    form.msg1 = checked(kIdMsg1);
    form.msg5 = checked(kIdMsg5);
    form.msg18 = checked(kIdMsg18);
    form.msg19 = checked(kIdMsg19);
    form.msg24 = checked(kIdMsg24);
    form.appendCrc = checked(kIdAppendCrc);
    form.ignoreTimings = checked(kIdIgnoreTimings);
    form.outputFile = checked(kIdOutputFile);
    form.outputTcp = checked(kIdOutputTcp);
    form.fileName = text(kIdFileName);
    form.tcpPort = text(kIdTcpPort);
    form.comPort = text(kIdComPort);
    const QComboBox* baud = Item<QComboBox>(kIdBaud);
    if (baud->currentIndex() >= 0) form.baud = baud->currentText().toStdWString();
    form.dataBits = text(kIdDataBits);
    form.stopBits = text(kIdStopBits);
    return form;
}

std::wstring CMainDlg::BuildCommandLine() const
{
    return panel::BuildCommandLine(ReadForm());
}

std::wstring CMainDlg::BuildOutputArguments() const
{
    return panel::BuildOutputArguments(ReadForm());
}

void CMainDlg::OnBrowse()
{
    std::optional<QString> chosen;
    if (m_options.chooseOutputFile) {
        chosen = m_options.chooseOutputFile(this);
    } else {
        const std::unique_ptr<QFileDialog> dialog = MakeOutputFileDialog(QApplication::activeWindow());
        if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) chosen = dialog->selectedFiles().front();
    }
    if (chosen) Item<QLineEdit>(kIdFileName)->setText(*chosen);
}

bool CMainDlg::event(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == RegisteredEventType(PanelMessage::GenerateRandomShip)) GenerateRandomShip();
    else if (type == RegisteredEventType(PanelMessage::GoToSite)) OnGoToSite();
    else if (type == RegisteredEventType(PanelMessage::CheckUpdate)) OnCheckUpdate();
    else if (type == RegisteredEventType(PanelMessage::LogMessage)) OnLogMessage(static_cast<const LogMessageEvent*>(event)->Line());
    else if (type == RegisteredEventType(PanelMessage::StartSim)) OnStartSim();
    else if (type == RegisteredEventType(PanelMessage::StopSim)) OnStopSim();
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
    if (m_hWatchdog) {
        m_hStopEvent->Set();
        // One that has not ended in time is left to end by itself when it is released.
        if (m_hWatchdog->WaitForEnd(kCloseWait)) m_hWatchdog->Join();
    }
    if (m_hProcess && !m_hProcess->WaitForExit(std::chrono::milliseconds(0))) {
        // As for the Run button: the question's event loop may have released the run.
        if (AskYesNo(L" Terminate simulation after exit ?", L"Emulator still active!", BoxIcon::None) && m_hProcess)
            m_hProcess->Terminate();
    }
    ReleaseRunHandles();
    m_eventPoster->Detach();
    event->accept();
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
    return m_hProcess && !m_hProcess->WaitForExit(std::chrono::milliseconds(0));
}

int CMainDlg::EmulatorPid() const
{
    return m_hProcess ? m_hProcess->Pid() : -1;
}

void CMainDlg::StartEmulator(bool checkUpdate)
{
    std::wstring arguments;
    if (checkUpdate) {
        arguments = L"--check-update";
    } else {
        try {
            arguments = BuildCommandLine();
        } catch (const CParamsExcepion& error) {
            Item<QPlainTextEdit>(kIdCommandLine)->setPlainText(ToQt(error.Message()));
            return;
        }
    }
    // A run that ended by itself: its watch-dog ends once the output is drained.
    if (m_hWatchdog) {
        m_hWatchdog->Join();
        ReleaseRunHandles();
    }
    const std::wstring commandLine = panel::MakeEmulatorCommandLine(m_options.programDirectory, arguments);

    platform::PipeEnds pipe;
    if (platform::CreateInheritablePipe(pipe) != 0) {
        ShowError(L"Error creating communication pipe");
        return;
    }
    m_hPipeRead = std::make_shared<platform::FileHandle>(std::move(pipe.read));
    m_hPipeWrite = std::move(pipe.write);
    if (platform::SetNotInheritable(*m_hPipeRead) != 0) {
        ShowError(L"Error setting communication pipe");
        ReleaseRunHandles();
        return;
    }
    int error = 0;
    m_hProcess = platform::ChildProcess::Start(commandLine, m_hPipeWrite, m_options.programDirectory, error);
    if (!m_hProcess) {
        ShowError(L"Error starting " + kEmulatorName);
        ReleaseRunHandles();
        return;
    }
    // Only the child holds the write end now, so its end is the end of the data.
    m_hPipeWrite.Close();
    try {
        m_hWatchdog = std::make_unique<panel::WatchdogThread>(
            panel::WatchdogContext{m_hStopEvent, m_hProcess, m_hPipeRead, m_eventPoster});
    } catch (const std::system_error&) {
        m_hProcess->Terminate();
        ShowError(L"Error creating  " + kEmulatorName + L" watch-dog thread.");
        ReleaseRunHandles();
        return;
    }
    m_runButton->setText(QStringLiteral("Stop KVL AIS Emulator"));
    m_runButton->SetColours(kRunningColours);
}

void CMainDlg::ReleaseRunHandles()
{
    m_hProcess.reset();
    m_hWatchdog.reset();
    m_hPipeRead.reset();
    m_hPipeWrite.Close();
}

void CMainDlg::OnRunButton()
{
    if (!IsRunActive()) {
        StartEmulator(false);
        return;
    }
    if (!AskYesNo(L"Stop KVL AIS Emulator ?", L"Warning !", BoxIcon::None)) return;
    // The question's event loop may have handled an update check that released the run.
    if (m_hProcess) m_hProcess->Terminate();
    if (m_hWatchdog) m_hWatchdog->Join();
    ReleaseRunHandles();
}

void CMainDlg::OnCheckUpdate()
{
    if (IsRunActive()) {
        if (!AskYesNo(L"Simulation should be terminated during update. Continue ?", L"Warning !", BoxIcon::Question)) return;
        // As for the Run button: the run asked about may be gone by now.
        if (m_hProcess) m_hProcess->Terminate();
    }
    if (m_hWatchdog) m_hWatchdog->Join();
    ReleaseRunHandles();
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
}

void CMainDlg::OnStopSim()
{
    m_runButton->setText(QStringLiteral("Start KVL AIS Emulator"));
    AddLogLine(QStringLiteral("Emulator stopped!"), QByteArrayLiteral("Emulator stopped!"));
    m_runButton->SetColours(kIdleColours);
    EnableForm(true);
}

void CMainDlg::GenerateRandomShip()
{
    const std::span<const ShipRecord> ships = m_options.ships;
    const std::span<const wchar_t* const> ports = m_options.ports;
    if (ships.empty() || ports.empty()) return;
    // One reading per generator, in their order.
    const std::int64_t shipTime = m_options.calendarTime();
    const std::int64_t destTime = m_options.calendarTime();
    const std::int64_t originTime = m_options.calendarTime();
    const panel::RandomShipIndices picked = panel::DrawRandomShipIndices(shipTime, destTime, originTime, ships.size(), ports.size());
    const ShipRecord& row = ships[picked.ship];
    const panel::RandomShipForm form = panel::MakeRandomShipForm(
        {View(row.name), View(row.callSign), View(row.imo), View(row.type), View(row.length), View(row.beam)},
        View(ports[picked.destination]), View(ports[picked.origin]));

    const std::pair<int, const std::wstring*> texts[] = {
        {kIdPortDest, &form.portDest}, {kIdPortOrigin, &form.portOrigin}, {kIdName, &form.name},
        {kIdCallSign, &form.callSign}, {kIdImo, &form.imo},               {kIdDimA, &form.dimAB},
        {kIdDimB, &form.dimAB},        {kIdDimC, &form.dimCD},            {kIdDimD, &form.dimCD},
    };
    for (const auto& [id, text] : texts) Item<QLineEdit>(id)->setText(ToQt(*text));
    Item<QComboBox>(kIdShipType)->setCurrentIndex(static_cast<int>(form.shipTypeIndex));
    // Selecting the type raises no change of its own; without this the preview would show the
    // previous ship's type.
    UpdatePreview();
}
