#include "panel/ui/CChartWindow.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "panel/chart/GeoCoastline.h"
#include "panel/tap/TargetDetails.h"

namespace {

constexpr int kDetailsWidthPx = 280;
const QSize kInitialSize(1100, 700);

QString Rows(const std::vector<tap::DetailRow>& rows)
{
    QString html = QStringLiteral("<table cellspacing=\"2\">");
    for (const tap::DetailRow& row : rows)
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                    .arg(QString::fromStdString(row.label).toHtmlEscaped(), QString::fromStdString(row.value).toHtmlEscaped());
    return html + QStringLiteral("</table>");
}

} // namespace

CChartWindow::CChartWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("KVL AIS Emulator - Chart"));
    m_chart = new chart::ChartWidget(this);
    m_chart->SetCoastlineSource(std::make_shared<chart::GeoCoastline>());
    m_details = new QLabel(this);
    m_details->setTextFormat(Qt::RichText);
    m_details->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details->setWordWrap(true);
    m_details->setFixedWidth(kDetailsWidthPx);
    m_status = new QLabel(this);
    m_save = new QPushButton(QStringLiteral("Save image..."), this);
    m_save->setAutoDefault(false);

    auto* side = new QVBoxLayout;
    side->addWidget(m_details, 1);
    side->addWidget(m_save);
    auto* top = new QHBoxLayout;
    top->addWidget(m_chart, 1);
    top->addLayout(side);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addWidget(m_status);
    resize(kInitialSize);

    connect(m_chart, &chart::ChartWidget::TargetSelected, this, &CChartWindow::ShowDetails);
    connect(m_chart, &chart::ChartWidget::SelectionCleared, this, &CChartWindow::ShowDetails);
    connect(m_save, &QPushButton::clicked, this, &CChartWindow::SaveImage);
    ShowDetails();
    m_status->setText(QStringLiteral("Waiting for the run's sentences"));
}

CChartWindow::~CChartWindow() = default;

void CChartWindow::ShowFrame(std::unique_ptr<tap::TapFrame> frame)
{
    if (!frame) return;
    m_chart->SetScene(std::move(frame->scene));
    m_frame = std::move(frame);
    const tap::TapCounters& counters = m_frame->counters;
    const QLocale locale(QLocale::English);
    QString status = QStringLiteral("%1 stations, %2 on the chart, %3 lost")
                         .arg(locale.toString(static_cast<qulonglong>(m_frame->stations)),
                              locale.toString(static_cast<qulonglong>(m_chart->Scene().PlacedCount())),
                              locale.toString(static_cast<qulonglong>(m_frame->lost)));
    status += QStringLiteral(" \u00b7 %1 sentences read, %2 with a bad checksum, %3 malformed")
                  .arg(locale.toString(static_cast<qulonglong>(counters.reader.lines)),
                       locale.toString(static_cast<qulonglong>(counters.reader.badChecksum)),
                       locale.toString(static_cast<qulonglong>(counters.reader.malformed)));
    if (counters.leftOut != 0)
        status += QStringLiteral(" \u00b7 %1 stations beyond the limit left out").arg(locale.toString(static_cast<qulonglong>(counters.leftOut)));
    m_status->setText(status);
    ShowDetails();
}

void CChartWindow::ShowDetails()
{
    const std::optional<std::uint32_t> mmsi = m_chart->SelectedMmsi();
    m_detailsText.clear();
    if (!mmsi || !m_frame) {
        m_details->setText(QStringLiteral("Click a target for its details."));
        return;
    }
    const std::optional<std::size_t> index = m_chart->Scene().Find(*mmsi);
    if (!index) {
        m_details->setText(QStringLiteral("MMSI %1 is no longer heard.").arg(*mmsi));
        return;
    }
    const std::vector<tap::DetailRow> rows = tap::DescribeTarget(*m_frame, *index);
    for (const tap::DetailRow& row : rows)
        m_detailsText += QString::fromStdString(row.label + ": " + row.value) + QLatin1Char('\n');
    m_details->setText(Rows(rows));
}

QString CChartWindow::StatusText() const
{
    return m_status->text();
}

void CChartWindow::SaveImage()
{
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save the chart as"), QStringLiteral("chart.png"),
                                                      QStringLiteral("PNG images (*.png)"), nullptr,
                                                      QFileDialog::DontUseNativeDialog);
    if (file.isEmpty()) return;
    if (!m_chart->grab().save(file, "PNG")) m_status->setText(QStringLiteral("Cannot write ") + file);
}
