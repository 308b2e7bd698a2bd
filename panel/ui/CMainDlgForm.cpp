#include "panel/ui/CMainDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <cmath>

#include "panel/core/ChoiceLists.h"
#include "panel/core/CommandLine.h"
#include "panel/core/RandomShip.h"
#include "panel/core/TrafficOptions.h"
#include "panel/ui/Artwork.h"
#include "panel/ui/CCommandLinePreview.h"
#include "panel/ui/CTrafficGroup.h"
#include "panel/ui/ControlIds.h"
#include "panel/ui/DialogTemplate.h"
#include "panel/ui/PanelEvents.h"
#include "panel/ui/QtText.h"

namespace {

// The row of title buttons above the form.
constexpr int kTitleRowPx = CTitleButtonWnd<CGradientButtonCtrl>::kHeightPx + 4;

// Every control whose value goes into the command line: locked while a run holds the form.
// On unlocking, the output fields are enabled for the selected output only.
constexpr int kFormControls[] = {
    kIdName,       kIdCallSign,  kIdMmsi,      kIdImo,         kIdDimA,       kIdDimB,
    kIdDimC,       kIdDimD,      kIdPortDest,  kIdPortOrigin,  kIdNavStatus,  kIdPositioningDevice,
    kIdAccuracy,   kIdShipType,  kIdLatitude,  kIdLongitude,   kIdSpeed,      kIdCourse,
    kIdRateOfTurn, kIdOutputFile, kIdFileName, kIdBrowse,      kIdOutputTcp,  kIdTcpPort,
    kIdOutputCom,  kIdComPort,   kIdBaud,      kIdDataBits,    kIdStopBits,   kIdMsg1,
    kIdMsg5,       kIdMsg18,     kIdMsg19,     kIdMsg24,       kIdAppendCrc,  kIdIgnoreTimings,
    kIdUpperCaseChecksum, kIdOwnShip, kIdOutputUdp, kIdUdpAddress,
};

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

std::wstring_view View(const wchar_t* text)
{
    return text ? std::wstring_view(text) : std::wstring_view();
}

} // namespace

std::unique_ptr<QFileDialog> MakeOutputFileDialog(QWidget* parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);   // a new file may be named
    // The same dialog on every desktop, so that its filter can be made to match every name.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setNameFilter(QStringLiteral("Any file(*.*)"));
    // "*.*" stands for any file, but here it would hide the names without a dot.
    if (auto* model = dialog->findChild<QFileSystemModel*>()) {
        const auto matchAll = [model] { model->setNameFilters({QStringLiteral("*")}); };
        matchAll();
        QObject::connect(dialog.get(), &QFileDialog::filterSelected, model, matchAll);
    }
    dialog->setDefaultSuffix(QString());
    dialog->setOption(QFileDialog::ReadOnly, false);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog->selectFile(QStringLiteral("log.txt"));
    return dialog;
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
            m_preview = new CCommandLinePreview(this);
            widget = m_preview;
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

    m_formWidthPx = units.X(kDialogWidthDlu);
    m_traffic = new CTrafficGroup(m_options.chooseInputFile, this);
    m_traffic->setObjectName(QStringLiteral("Traffic"));
    m_traffic->setGeometry(units.ToPixels(kTrafficGroupRect).translated(0, kTitleRowPx));
    setFixedSize(units.X(kWideDialogWidthDlu), units.Y(kDialogHeightDlu) + kTitleRowPx);
}

QWidget* CMainDlg::GetDlgItem(int id) const
{
    const auto found = m_controls.find(id);
    if (found != m_controls.end()) return found->second;
    return m_traffic ? m_traffic->Item(id) : nullptr;
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
    for (const int id : {kIdOutputFile, kIdOutputTcp, kIdOutputUdp, kIdOutputCom})
        connect(Item<QRadioButton>(id), &QRadioButton::clicked, this, [this, id] { OnOutputSelected(id); });
    connect(Item<QPushButton>(kIdBrowse), &QPushButton::clicked, this, &CMainDlg::OnBrowse);
    connect(m_traffic, &CTrafficGroup::Changed, this, &CMainDlg::UpdatePreview);
    connect(m_traffic, &CTrafficGroup::ShowChartClicked, this, &CMainDlg::ShowChart);
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
    m_preview->SetCommandLine(preview);
}

void CMainDlg::OnOutputSelected(int radioId)
{
    for (const auto& [radio, controls] : m_outputControls)
        for (const int id : controls) GetDlgItem(id)->setEnabled(radio == radioId);
}

int CMainDlg::SelectedOutput() const
{
    for (const auto& [radio, controls] : m_outputControls)
        if (Item<QRadioButton>(radio)->isChecked()) return radio;
    return kIdStatic;
}

void CMainDlg::EnableForm(bool enable)
{
    for (const int id : kFormControls) GetDlgItem(id)->setEnabled(enable);
    if (enable) OnOutputSelected(SelectedOutput());
    m_traffic->EnableControls(enable);
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
    form.upperCaseChecksum = checked(kIdUpperCaseChecksum);
    form.ownShip = checked(kIdOwnShip);
    form.outputFile = checked(kIdOutputFile);
    form.outputTcp = checked(kIdOutputTcp);
    form.outputUdp = checked(kIdOutputUdp);
    form.udpAddress = text(kIdUdpAddress);
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
    return panel::BuildCommandLine(ReadForm()) + panel::BuildTrafficArguments(ReadTraffic());
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


void CMainDlg::GenerateRandomShip()
{
    const std::span<const ShipRecord> ships = m_options.ships;
    const std::span<const wchar_t* const> ports = m_options.ports;
    // The form shows what runs: a new vessel waits for the run's end.
    if (ships.empty() || ports.empty() || m_run->State() != panel::RunState::Idle) return;
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
