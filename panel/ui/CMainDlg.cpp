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
#include <QTimer>
#include <cmath>

#include "panel/core/ChoiceLists.h"
#include "panel/core/CommandLine.h"
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

} // namespace

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
      m_checkUpdateButton(kCheckUpdateWidthPx)
{
    if (m_options.programDirectory.empty())
        m_options.programDirectory = QCoreApplication::applicationDirPath().toStdWString();
    if (!m_options.messageBoxes) m_options.messageBoxes = std::make_shared<QtMessageBoxes>();
    setWindowTitle(QStringLiteral("KVL AIS Emulator"));
    CreateControls();
    OnInitDialog();
}

CMainDlg::~CMainDlg() = default;

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
    if (type == RegisteredEventType(PanelMessage::GoToSite)) {
        platform::ShellOpen(std::string("http://") + kSiteHost + "/vesgen.html");
        return true;
    }
    if (type == RegisteredEventType(PanelMessage::GenerateRandomShip) || type == RegisteredEventType(PanelMessage::CheckUpdate)) {
        return true;
    }
    return QDialog::event(event);
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
