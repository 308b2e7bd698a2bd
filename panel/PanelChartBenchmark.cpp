// The panel's chart under a live run: the dialog (as vespanel makes it) runs vesgen from this
// program's folder with a random fleet, to /dev/null and to the chart's tap, and the chart
// window is redrawn twice a second while the fleet comes in. Prints one line,
// "targets=N redraw_ms=X max_ms=Y peak_rss_mb=Z": the stations heard, and the median and
// longest redraw of the second half of the run; progress goes to stderr. Run it under the display to be measured (Xvfb: xvfb-run).
//
//   panel_chart_benchmark [VESSELS [SECONDS]]     (100000 vessels, 30 seconds)
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

#include "panel/ui/CChartWindow.h"
#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"

namespace {

// Every question answered Yes, so that stopping needs no person.
class YesBoxes : public IMessageBoxes {
public:
    bool Show(QWidget*, const BoxRequest& request) override
    {
        if (!request.yesNo) std::fprintf(stderr, "box: %ls\n", request.text.c_str());
        return true;
    }
};

long PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int vessels = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;

    CMainDlg::Options options;
    options.messageBoxes = std::make_shared<YesBoxes>();
    CMainDlg dialog(std::move(options));
    dialog.show();
    QApplication::processEvents();
    const auto set = [&dialog](int id, const QString& text) { dialog.Item<QLineEdit>(id)->setText(text); };
    set(kIdMmsi, "244000101");
    set(kIdImo, "1234567");
    for (const int id : {kIdDimA, kIdDimB, kIdDimC, kIdDimD}) set(id, "10");
    set(kIdLatitude, "54.0");
    set(kIdLongitude, "4.0");
    dialog.Item<QRadioButton>(kIdOutputFile)->setChecked(true);
    set(kIdFileName, QStringLiteral("/dev/null"));
    set(kIdFleetCount, QString::number(vessels));
    set(kIdFleetArea, QStringLiteral("50,-2,60,8"));
    set(kIdFleetSeed, QStringLiteral("1"));
    dialog.StartEmulator(false);
    if (!dialog.IsRunActive()) {
        std::fprintf(stderr, "the emulator did not start\n");
        return 1;
    }
    CChartWindow& chart = dialog.ChartWindow();
    chart.resize(1280, 800);

    std::vector<double> redrawsMs;
    QElapsedTimer clock;
    clock.start();
    qint64 nextRedraw = 0;
    while (clock.elapsed() < seconds * 1000LL && dialog.IsRunActive()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (clock.elapsed() < nextRedraw) continue;
        nextRedraw = clock.elapsed() + 500;
        QElapsedTimer redraw;
        redraw.start();
        chart.Chart().repaint();
        const double ms = redraw.nsecsElapsed() / 1e6;
        std::fprintf(stderr, "  t=%.1fs stations=%zu redraw_ms=%.1f rss_mb=%ld\n", clock.elapsed() / 1000.0,
                     chart.StationCount(), ms, PeakRssMb());
        // The second half: most stations have reported (a ship at anchor takes up to 3 minutes).
        if (clock.elapsed() >= seconds * 500LL) redrawsMs.push_back(ms);
    }
    const std::size_t stations = chart.StationCount();
    dialog.close();
    if (redrawsMs.empty()) {
        std::fprintf(stderr, "the run ended early (%zu stations)\n", stations);
        return 1;
    }
    std::sort(redrawsMs.begin(), redrawsMs.end());
    std::printf("targets=%zu redraw_ms=%.1f max_ms=%.1f peak_rss_mb=%ld\n", stations, redrawsMs[redrawsMs.size() / 2],
                redrawsMs.back(), PeakRssMb());
    return 0;
}
