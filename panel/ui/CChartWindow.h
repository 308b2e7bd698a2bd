#pragma once

#include <QWidget>
#include <memory>

#include "panel/chart/ChartWidget.h"
#include "panel/tap/ChartFeed.h"

class QLabel;
class QPushButton;

// The chart of the run in a window of its own: the chart, the decoded fields of the target
// clicked on, and a status line with what the tap has heard.
class CChartWindow : public QWidget {
    Q_OBJECT

public:
    explicit CChartWindow(QWidget* parent);
    ~CChartWindow() override;

    chart::ChartWidget& Chart() { return *m_chart; }
    // Shows a frame of the tap; its scene goes to the chart.
    void ShowFrame(std::unique_ptr<tap::TapFrame> frame);
    // Stations in the last frame, own ship included.
    std::size_t StationCount() const { return m_frame ? m_frame->stations : 0; }
    const tap::TapFrame* Frame() const { return m_frame.get(); }
    // The selected target's fields, one "label: value" line each; empty without a selection.
    const QString& DetailsText() const { return m_detailsText; }
    QString StatusText() const;

private:
    void ShowDetails();
    void SaveImage();

    chart::ChartWidget* m_chart = nullptr;   // children of this window
    QLabel* m_details = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_save = nullptr;
    std::unique_ptr<tap::TapFrame> m_frame;   // its scene moved into the chart
    QString m_detailsText;
};
