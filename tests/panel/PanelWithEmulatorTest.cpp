#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <set>

#include "panel/ui/CChartWindow.h"
#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"
#include "tests/panel/FakeMessageBoxes.h"
#include "tests/panel/QtTestApp.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> ArgumentsOf(int pid)
{
    const std::string all = testsupport::ReadWholeFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::vector<std::string> words;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = all.find('\0', at);
        words.push_back(all.substr(at, end - at));
        at = end == std::string::npos ? all.size() : end + 1;
    }
    return words;
}

std::string After(const std::vector<std::string>& words, const std::string& option)
{
    const auto found = std::find(words.begin(), words.end(), option);
    return found == words.end() || found + 1 == words.end() ? "<missing>" : found[1];
}

// The panel runs the real emulator to a file and stops it again; typed quotes and backslashes
// reach it as typed, and it writes what the preview says.
TEST(PanelWithEmulator, RunsVesgenToAFileAndStopsIt)
{
    const std::filesystem::path vesgen = KVL_VESGEN;
    ASSERT_TRUE(std::filesystem::exists(vesgen)) << vesgen;
    KVL_REQUIRE_GPSDECODE();
    EnsureQtApplication();

    testsupport::TempDir output;
    const std::string file = output.File("log.txt\" --ignore-crc=\"1");
    auto boxes = std::make_shared<FakeMessageBoxes>();
    CMainDlg::Options options;
    options.programDirectory = vesgen.parent_path();
    options.messageBoxes = boxes;
    CMainDlg dialog(std::move(options));
    dialog.show();
    QCoreApplication::processEvents();

    const auto set = [&dialog](int id, const QString& text) { dialog.Item<QLineEdit>(id)->setText(text); };
    set(kIdName, "ABC\"DEF\\");
    set(kIdMmsi, "123456789");
    set(kIdImo, "1234567");
    for (const int id : {kIdDimA, kIdDimB, kIdDimC, kIdDimD}) set(id, "10");
    set(kIdLatitude, "46.48");
    set(kIdLongitude, "30.75");
    set(kIdSpeed, "12.5");
    dialog.Item<QRadioButton>(kIdOutputFile)->setChecked(true);
    set(kIdFileName, QString::fromStdString(file));
    dialog.Item<QCheckBox>(kIdIgnoreTimings)->setChecked(true);

    QTest::mousePress(&dialog.RunButton(), Qt::LeftButton);
    ASSERT_TRUE(boxes->shown.empty()) << "error box shown";
    const auto log = [&dialog] {
        QStringList lines;
        const auto* list = dialog.Item<QListWidget>(kIdLog);
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
        return lines;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return log().contains("Emulator started!"); }, 10000));
    const std::vector<std::string> arguments = ArgumentsOf(dialog.EmulatorPid());
    EXPECT_EQ(After(arguments, "--vessel-name"), "ABC\"DEF\\");
    EXPECT_EQ(After(arguments, "--output"), file);
    EXPECT_EQ(std::find(arguments.begin(), arguments.end(), "--ignore-crc"), arguments.end());
    // A few simulation steps, each writing every enabled message.
    ASSERT_TRUE(QTest::qWaitFor([&] { return testsupport::ReadWholeFile(file).size() > 300; }, 10000))
        << log().join('|').toStdString();

    boxes->answers = {true};
    QTest::mousePress(&dialog.RunButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log().contains("Emulator stopped!"); }, 10000));

    const std::vector<testsupport::AisRecord> records = testsupport::GpsDecode(testsupport::ReadWholeFile(file));
    ASSERT_FALSE(records.empty());
    std::set<std::string> types;
    for (const auto& record : records) {
        EXPECT_EQ(record.at("mmsi"), "123456789");
        types.insert(record.at("type"));
        if (record.at("type") == "5") {
            EXPECT_EQ(record.at("shipname"), "ABC\"DEF\\");
        }
    }
    EXPECT_EQ(types, (std::set<std::string>{"1", "5"}));
    dialog.close();
}

// The chart shows what the run sends: a seeded fleet of a thousand vessels with a SART, the
// form's vessel and a file output beside the tap. The chart knows as many stations as gpsdecode
// finds MMSIs in the file, and a click on the SART shows its MMSI. With KVL_CHART_PNG set, the
// chart window is saved there (for a look under a real X server).
TEST(PanelWithEmulator, ChartCountsEveryStationTheFileHolds)
{
    const std::filesystem::path vesgen = KVL_VESGEN;
    KVL_REQUIRE_GPSDECODE();
    EnsureQtApplication();
    testsupport::TempDir work;
    const std::string fleet = work.File("sart.csv");
    std::ofstream(fleet) << "station-kind,vessel-mmsi,vessel-name,vessel-lat,vessel-lon,vessel-sog\n"
                            "sart,970012345,,51.93,3.62,0.5\n";
    const std::string file = work.File("run.nmea");
    auto boxes = std::make_shared<FakeMessageBoxes>();
    CMainDlg::Options options;
    options.programDirectory = vesgen.parent_path();
    options.messageBoxes = boxes;
    CMainDlg dialog(std::move(options));
    dialog.show();
    QCoreApplication::processEvents();
    const auto set = [&dialog](int id, const QString& text) { dialog.Item<QLineEdit>(id)->setText(text); };
    set(kIdMmsi, "244000101");
    set(kIdImo, "1234567");
    for (const int id : {kIdDimA, kIdDimB, kIdDimC, kIdDimD}) set(id, "10");
    set(kIdLatitude, "51.9");
    set(kIdLongitude, "3.7");
    set(kIdSpeed, "12");
    set(kIdCourse, "80");
    dialog.Item<QRadioButton>(kIdOutputFile)->setChecked(true);
    set(kIdFileName, QString::fromStdString(file));
    dialog.Item<QCheckBox>(kIdIgnoreTimings)->setChecked(true);
    set(kIdFleetCount, "1000");
    set(kIdFleetSeed, "7");
    set(kIdFleetFile, QString::fromStdString(fleet));
    ASSERT_TRUE(dialog.Item<QCheckBox>(kIdChartTap)->isChecked());

    QTest::mousePress(&dialog.RunButton(), Qt::LeftButton);
    ASSERT_TRUE(boxes->shown.empty()) << "error box shown";
    CChartWindow& chart = dialog.ChartWindow();
    // Every station sends every second: a few seconds give each of them a report.
    ASSERT_TRUE(QTest::qWaitFor([&] { return chart.StationCount() >= 1002; }, 20000)) << chart.StatusText().toStdString();
    QTest::qWait(2000);
    boxes->answers = {true};
    QTest::mousePress(&dialog.RunButton(), Qt::LeftButton);
    const auto log = [&dialog] {
        QStringList lines;
        const auto* list = dialog.Item<QListWidget>(kIdLog);
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
        return lines;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return log().contains("Emulator stopped!"); }, 10000));
    QTest::qWait(1500);   // the last datagrams into a frame

    std::set<std::string> mmsis;
    for (const auto& record : testsupport::GpsDecode(testsupport::ReadWholeFile(file)))
        if (record.count("mmsi") != 0) mmsis.insert(record.at("mmsi"));
    EXPECT_EQ(mmsis.size(), 1002u);   // the form's vessel, the SART and the fleet
    EXPECT_EQ(chart.StationCount(), mmsis.size()) << chart.StatusText().toStdString();

    chart::ChartWidget& widget = chart.Chart();
    const QPoint sart = widget.Viewport().ToScreen(chart::ToMercator(51.93, 3.62)).toPoint();
    QTest::mouseClick(&widget, Qt::LeftButton, {}, sart);
    EXPECT_TRUE(chart.DetailsText().startsWith("MMSI: 970012345\n")) << chart.DetailsText().toStdString();
    if (const char* png = std::getenv("KVL_CHART_PNG")) {
        EXPECT_TRUE(chart.grab().save(QString::fromLocal8Bit(png)));
    }
    dialog.close();
}

} // namespace
