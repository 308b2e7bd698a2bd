#include "panel/ui/CTrafficGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "panel/core/CommandLine.h"
#include "panel/ui/ControlIds.h"

namespace {

struct OutputKindRow {
    panel::ExtraOutputKind kind;
    const char* text;          // in the kind list
    const char* prefix;        // before the value in the outputs list
    const char* placeholder;   // in the empty value field
};
constexpr OutputKindRow kOutputKinds[] = {
    {panel::ExtraOutputKind::File, "File", "File: ", "file name"},
    {panel::ExtraOutputKind::Tcp, "TCP/IP", "TCP/IP: ", "port"},
    {panel::ExtraOutputKind::Udp, "UDP", "UDP: ", "host:port"},
};

constexpr int kKindRole = Qt::UserRole;
constexpr int kValueRole = Qt::UserRole + 1;

std::optional<QString> ChooseWithDialog(QWidget* parent, const QString& caption, const QString& filter)
{
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front();
}

} // namespace

CTrafficGroup::CTrafficGroup(ChooseFile chooseFile, QWidget* parent)
    : QGroupBox(QStringLiteral("Traffic"), parent), m_chooseFile(std::move(chooseFile))
{
    if (!m_chooseFile) m_chooseFile = ChooseWithDialog;
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setVerticalSpacing(4);
    int row = 0;
    const auto add = [this](int id, QWidget* widget) {
        widget->setObjectName(QStringLiteral("idc%1").arg(id));
        m_controls[id] = widget;
        return widget;
    };
    const auto edit = [&](int id, const QString& placeholder, bool digits) {
        auto* field = new QLineEdit(this);
        field->setPlaceholderText(placeholder);
        field->setMaxLength(panel::kMaxFieldChars);
        if (digits) field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
        connect(field, &QLineEdit::textChanged, this, &CTrafficGroup::Changed);
        add(id, field);
        return field;
    };
    const auto label = [&](const QString& text, int atRow, int column = 0) {
        grid->addWidget(new QLabel(text, this), atRow, column);
    };
    const auto browse = [&](int id, int editId, const QString& caption, const QString& filter) {
        auto* button = new QPushButton(QStringLiteral("..."), this);
        button->setAutoDefault(false);
        button->setFixedWidth(28);
        connect(button, &QPushButton::clicked, this, [=, this] { Browse(editId, caption, filter); });
        add(id, button);
        return button;
    };

    auto* kind = new QComboBox(this);
    for (const panel::StationKindItem& item : panel::StationKindItems())
        kind->addItem(QString::fromWCharArray(item.text.data(), static_cast<qsizetype>(item.text.size())),
                      QString::fromWCharArray(item.name.data(), static_cast<qsizetype>(item.name.size())));
    connect(kind, &QComboBox::currentIndexChanged, this, &CTrafficGroup::Changed);
    add(kIdStationKind, kind);
    label(QStringLiteral("Form's station"), row);
    grid->addWidget(kind, row++, 1, 1, 2);

    label(QStringLiteral("Random vessels"), row);
    grid->addWidget(edit(kIdFleetCount, QStringLiteral("none"), true), row++, 1, 1, 2);
    label(QStringLiteral("Area S,W,N,E"), row);
    grid->addWidget(edit(kIdFleetArea, QStringLiteral("15 NM around the vessel"), false), row++, 1, 1, 2);
    label(QStringLiteral("Seed"), row);
    grid->addWidget(edit(kIdFleetSeed, QStringLiteral("from the clock"), true), row++, 1, 1, 2);
    label(QStringLiteral("Fleet CSV"), row);
    grid->addWidget(edit(kIdFleetFile, QStringLiteral("none"), false), row, 1);
    grid->addWidget(browse(kIdFleetBrowse, kIdFleetFile, QStringLiteral("Fleet CSV file"),
                           QStringLiteral("CSV files (*.csv);;Any file (*)")), row++, 2);
    label(QStringLiteral("Scenario"), row);
    grid->addWidget(edit(kIdScenarioFile, QStringLiteral("none"), false), row, 1);
    grid->addWidget(browse(kIdScenarioBrowse, kIdScenarioFile, QStringLiteral("Scenario file"),
                           QStringLiteral("Scenario files (*.json);;Any file (*)")), row++, 2);

    grid->addWidget(new QLabel(QStringLiteral("More outputs"), this), row++, 0, 1, 3);
    m_outputs = new QListWidget(this);
    m_outputs->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_outputs, &QListWidget::currentRowChanged, this, &CTrafficGroup::UpdateButtons);
    add(kIdExtraOutputs, m_outputs);
    grid->addWidget(m_outputs, row++, 0, 1, 3);
    auto* outputKind = new QComboBox(this);
    for (const OutputKindRow& output : kOutputKinds) outputKind->addItem(QString::fromLatin1(output.text));
    add(kIdExtraOutputKind, outputKind);
    grid->addWidget(outputKind, row, 0);
    auto* value = edit(kIdExtraOutputValue, QString::fromLatin1(kOutputKinds[0].placeholder), false);
    // Typing here changes nothing until the output is added.
    disconnect(value, &QLineEdit::textChanged, this, &CTrafficGroup::Changed);
    connect(value, &QLineEdit::textChanged, this, &CTrafficGroup::UpdateButtons);
    connect(value, &QLineEdit::returnPressed, this, &CTrafficGroup::AddOutput);
    connect(outputKind, &QComboBox::currentIndexChanged, value,
            [value](int index) { value->setPlaceholderText(QString::fromLatin1(kOutputKinds[std::max(index, 0)].placeholder)); });
    grid->addWidget(value, row++, 1, 1, 2);
    auto* addButton = new QPushButton(QStringLiteral("Add"), this);
    auto* removeButton = new QPushButton(QStringLiteral("Remove"), this);
    for (QPushButton* button : {addButton, removeButton}) button->setAutoDefault(false);
    connect(addButton, &QPushButton::clicked, this, &CTrafficGroup::AddOutput);
    connect(removeButton, &QPushButton::clicked, this, &CTrafficGroup::RemoveOutput);
    add(kIdExtraOutputAdd, addButton);
    add(kIdExtraOutputRemove, removeButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(addButton);
    buttons->addWidget(removeButton);
    grid->addLayout(buttons, row++, 0, 1, 3);

    auto* tap = new QCheckBox(QStringLiteral("Live chart (adds a loopback UDP output)"), this);
    tap->setChecked(true);
    connect(tap, &QCheckBox::toggled, this, &CTrafficGroup::Changed);
    add(kIdChartTap, tap);
    grid->addWidget(tap, row++, 0, 1, 3);
    auto* show = new QPushButton(QStringLiteral("Show chart"), this);
    show->setAutoDefault(false);
    connect(show, &QPushButton::clicked, this, &CTrafficGroup::ShowChartClicked);
    add(kIdShowChart, show);
    grid->addWidget(show, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    UpdateButtons();
}

QWidget* CTrafficGroup::Item(int id) const
{
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

panel::TrafficValues CTrafficGroup::Read() const
{
    const auto text = [this](int id) {
        return static_cast<const QLineEdit*>(Item(id))->text().left(panel::kMaxFieldChars).toStdWString();
    };
    panel::TrafficValues values;
    values.stationKind = static_cast<const QComboBox*>(Item(kIdStationKind))->currentData().toString().toStdWString();
    values.fleetCount = text(kIdFleetCount);
    values.fleetArea = text(kIdFleetArea);
    values.fleetSeed = text(kIdFleetSeed);
    values.fleetFile = text(kIdFleetFile);
    values.scenarioFile = text(kIdScenarioFile);
    for (int i = 0; i < m_outputs->count(); ++i) {
        const QListWidgetItem* item = m_outputs->item(i);
        values.outputs.push_back({static_cast<panel::ExtraOutputKind>(item->data(kKindRole).toInt()),
                                  item->data(kValueRole).toString().toStdWString()});
    }
    return values;
}

bool CTrafficGroup::TapWanted() const
{
    const auto* tap = static_cast<const QCheckBox*>(Item(kIdChartTap));
    return tap->isChecked();
}

void CTrafficGroup::EnableControls(bool enable)
{
    m_enabled = enable;
    for (const auto& [id, widget] : m_controls)
        if (id != kIdShowChart && (id != kIdChartTap || m_tapAvailable)) widget->setEnabled(enable);
    UpdateButtons();
}

void CTrafficGroup::DisableTap(const QString& reason)
{
    auto* tap = static_cast<QCheckBox*>(Item(kIdChartTap));
    m_tapAvailable = false;
    tap->setChecked(false);
    tap->setEnabled(false);
    tap->setToolTip(reason);
}

void CTrafficGroup::Browse(int editId, const QString& caption, const QString& filter)
{
    if (const std::optional<QString> chosen = m_chooseFile(this, caption, filter))
        static_cast<QLineEdit*>(Item(editId))->setText(*chosen);
}

void CTrafficGroup::AddOutput()
{
    auto* value = static_cast<QLineEdit*>(Item(kIdExtraOutputValue));
    const QString text = value->text();
    if (text.trimmed().isEmpty() || !m_enabled) return;
    const int kindIndex = std::max(static_cast<const QComboBox*>(Item(kIdExtraOutputKind))->currentIndex(), 0);
    const OutputKindRow& kind = kOutputKinds[kindIndex];
    auto* item = new QListWidgetItem(QString::fromLatin1(kind.prefix) + text, m_outputs);   // the list owns it
    item->setData(kKindRole, static_cast<int>(kind.kind));
    item->setData(kValueRole, text);
    value->clear();
    emit Changed();
}

void CTrafficGroup::RemoveOutput()
{
    const int row = m_outputs->currentRow();
    if (row < 0 || !m_enabled) return;
    delete m_outputs->takeItem(row);
    UpdateButtons();
    emit Changed();
}

void CTrafficGroup::UpdateButtons()
{
    Item(kIdExtraOutputAdd)->setEnabled(m_enabled && !static_cast<QLineEdit*>(Item(kIdExtraOutputValue))->text().trimmed().isEmpty());
    Item(kIdExtraOutputRemove)->setEnabled(m_enabled && m_outputs->currentRow() >= 0);
}
