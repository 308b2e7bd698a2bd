// The panel's dialog as vespanel makes it, filled in the way a person would and run, for a
// check from outside under a real X server (scripts/check-panel.sh): the chart's window is
// shown, and what the check needs to know goes to stdout, one line each:
//
//   control NAME x=X y=Y                          where the form's controls that a person
//                                                 uses for such a run lie in the dialog
//                                                 (the same in vespanel's own dialog)
//   panel pid=P vesgen pid=V                      once the run started
//   stations=N                                    whenever the chart's count changes
//   target mmsi=M x=X y=Y                         once the count held still for 3 s: the
//                                                 distress beacon and the vessel farthest from
//                                                 its neighbours, in screen coordinates
//   details <first line of the details>           after every click on a target
//
// It runs until it is killed, its display goes, or it gets SIGTERM/SIGINT/SIGHUP.
//
//   panel_check OUTPUT_FILE COUNT SEED [FLEET_CSV [SCENARIO]]
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <unistd.h>

#include "panel/chart/ChartTarget.h"
#include "panel/ui/CChartWindow.h"
#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"
#include "panel/ui/StopSignals.h"

namespace {

constexpr int kStillMs = 3000;

// Every question answered Yes, the others told on stderr.
class YesBoxes : public IMessageBoxes {
public:
    bool Show(QWidget*, const BoxRequest& request) override
    {
        if (!request.yesNo) std::fprintf(stderr, "box: %ls\n", request.text.c_str());
        return true;
    }
};

// The placed target of `kind`'s group farthest from any other on screen, so that a click on it
// cannot pick a neighbour.
std::optional<std::size_t> LoneTarget(const chart::ChartWidget& widget, bool distress)
{
    const chart::ChartSnapshot& targets = widget.Scene().Targets();
    std::vector<QPointF> screen(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i)
        screen[i] = widget.Viewport().ToScreen(chart::ToMercator(targets[i].latDeg, targets[i].lonDeg));
    const QRectF inside = QRectF(widget.rect()).adjusted(20, 20, -20, -20);
    std::optional<std::size_t> best;
    double bestGapPx = -1;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (chart::IsDistress(targets[i].kind) != distress || !inside.contains(screen[i])) continue;
        double gapPx = std::numeric_limits<double>::max();
        for (std::size_t j = 0; j < targets.size(); ++j)
            if (j != i) gapPx = std::min(gapPx, std::hypot(screen[i].x() - screen[j].x(), screen[i].y() - screen[j].y()));
        if (gapPx > bestGapPx) {
            bestGapPx = gapPx;
            best = i;
        }
    }
    return best;
}

void PrintTarget(const chart::ChartWidget& widget, std::size_t index)
{
    const chart::ChartTarget& target = widget.Scene().Targets()[index];
    const QPoint local = widget.Viewport().ToScreen(chart::ToMercator(target.latDeg, target.lonDeg)).toPoint();
    const QPoint global = widget.mapToGlobal(local);
    std::printf("target mmsi=%u x=%d y=%d\n", target.mmsi, global.x(), global.y());
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: panel_check OUTPUT_FILE COUNT SEED [FLEET_CSV [SCENARIO]]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication application(argc, argv);
    CMainDlg::Options options;
    options.messageBoxes = std::make_shared<YesBoxes>();
    CMainDlg dialog(std::move(options));
    const CStopSignalWatcher stopSignals([&dialog] { dialog.EndOnSignal(); });
    dialog.show();
    QApplication::processEvents();
    const std::pair<const char*, QWidget*> controls[] = {
        {"mmsi", dialog.GetDlgItem(kIdMmsi)}, {"file-radio", dialog.GetDlgItem(kIdOutputFile)}, {"file-name", dialog.GetDlgItem(kIdFileName)},
        {"fleet-count", dialog.GetDlgItem(kIdFleetCount)}, {"fleet-seed", dialog.GetDlgItem(kIdFleetSeed)},
        {"run", &dialog.RunButton()}};
    for (const auto& [name, widget] : controls) {
        const QPoint at = widget->mapTo(&dialog, widget->rect().center());
        std::printf("control %s x=%d y=%d\n", name, at.x(), at.y());
    }
    const auto set = [&dialog](int id, const char* text) { dialog.Item<QLineEdit>(id)->setText(QString::fromLocal8Bit(text)); };
    set(kIdMmsi, "244000101");
    set(kIdImo, "1234567");
    for (const int id : {kIdDimA, kIdDimB, kIdDimC, kIdDimD}) set(id, "10");
    set(kIdLatitude, "51.9");
    set(kIdLongitude, "3.7");
    set(kIdSpeed, "12");
    set(kIdCourse, "80");
    dialog.Item<QRadioButton>(kIdOutputFile)->setChecked(true);
    set(kIdFileName, argv[1]);
    dialog.Item<QCheckBox>(kIdIgnoreTimings)->setChecked(true);
    set(kIdFleetCount, argv[2]);
    set(kIdFleetSeed, argv[3]);
    if (argc > 4) set(kIdFleetFile, argv[4]);
    if (argc > 5) set(kIdScenarioFile, argv[5]);
    dialog.StartEmulator(false);
    if (!dialog.IsRunActive()) {
        std::fprintf(stderr, "the emulator did not start\n");
        return 1;
    }
    std::printf("panel pid=%d vesgen pid=%d\n", static_cast<int>(getpid()), dialog.EmulatorPid());

    CChartWindow& chart = dialog.ChartWindow();
    chart.move(0, 0);
    chart.resize(1100, 700);
    chart.show();
    QObject::connect(&chart.Chart(), &chart::ChartWidget::TargetSelected, &chart, [&chart] {
        std::printf("details %s\n", chart.DetailsText().section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData());
    });

    std::size_t lastCount = 0;
    int stillMs = 0;
    bool told = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &chart, [&] {
        const std::size_t count = chart.StationCount();
        if (count != lastCount) {
            std::printf("stations=%zu\n", count);
            lastCount = count;
            stillMs = 0;
            return;
        }
        stillMs += watch.interval();
        if (told || count == 0 || stillMs < kStillMs) return;
        told = true;
        for (const bool distress : {true, false})
            if (const auto index = LoneTarget(chart.Chart(), distress)) PrintTarget(chart.Chart(), *index);
    });
    watch.start(250);
    return application.exec();
}
