#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "panel/core/CommandLine.h"
#include "panel/tap/TargetDetails.h"
#include "panel/ui/CCommandLinePreview.h"
#include "panel/ui/CChartWindow.h"
#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"
#include "tests/panel/FakeEmulator.h"
#include "tests/panel/FakeMessageBoxes.h"
#include "tests/panel/QtTestApp.h"

namespace {

class TrafficControls : public testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApplication();
        CMainDlg::Options options;
        options.programDirectory = m_fake.Path();
        options.userDirectory = "/home/me/work";
        options.messageBoxes = m_boxes;
        options.chooseInputFile = [this](QWidget*, const QString& caption, const QString&) {
            m_asked << caption;
            return m_chosen;
        };
        m_dialog = std::make_unique<CMainDlg>(std::move(options));
        m_dialog->show();
        QCoreApplication::processEvents();   // the start-up Random Ship
        for (const int id : {kIdMmsi, kIdImo, kIdDimA, kIdDimB, kIdDimC, kIdDimD}) Set(id, "1");
    }

    void TearDown() override
    {
        m_boxes->answers = {true};
        m_dialog->close();
    }

    void Set(int id, const QString& text) { m_dialog->Item<QLineEdit>(id)->setText(text); }
    void Click(int id) { QTest::mouseClick(m_dialog->Item<QAbstractButton>(id), Qt::LeftButton); }
    void AddOutput(int kind, const QString& value)
    {
        m_dialog->Item<QComboBox>(kIdExtraOutputKind)->setCurrentIndex(kind);
        QTest::keyClicks(m_dialog->Item<QLineEdit>(kIdExtraOutputValue), value);
        Click(kIdExtraOutputAdd);
    }
    QString Preview() const { return m_dialog->Preview().CommandLine(); }
    QString Tap() const { return QStringLiteral("--output UDP*127.0.0.1:%1 ").arg(m_dialog->TapPort()); }
    QStringList Log() const
    {
        QStringList lines;
        const auto* log = m_dialog->Item<QListWidget>(kIdLog);
        for (int i = 0; i < log->count(); ++i) lines << log->item(i)->text();
        return lines;
    }

    FakeEmulatorDir m_fake;
    std::shared_ptr<FakeMessageBoxes> m_boxes = std::make_shared<FakeMessageBoxes>();
    std::optional<QString> m_chosen;
    QStringList m_asked;
    std::unique_ptr<CMainDlg> m_dialog;
};

// Every control adds its option to the preview as it changes, in composition order, after the
// form's own; a bad value shows its refusal instead.
TEST_F(TrafficControls, ComposeThePreview)
{
    ASSERT_NE(m_dialog->TapPort(), 0);
    const QString form = QString::fromStdWString(panel::BuildCommandLine(m_dialog->ReadForm()));
    EXPECT_EQ(Preview(), form + Tap());

    m_dialog->Item<QComboBox>(kIdStationKind)->setCurrentIndex(4);
    Set(kIdFleetCount, "1000");
    Set(kIdFleetArea, "51.5,3.5,52.5,4.5");
    Set(kIdFleetSeed, "7");
    m_chosen = "/data/fleets/\"north\" sea.csv";
    Click(kIdFleetBrowse);
    m_chosen = "encounter.json";
    Click(kIdScenarioBrowse);
    EXPECT_EQ(m_asked, (QStringList{"Fleet CSV file", "Scenario file"}));
    AddOutput(0, "copy.nmea");
    AddOutput(1, "10110");
    AddOutput(2, "192.0.2.1:10111");
    EXPECT_EQ(Preview(), form +
                             "--station-kind sart --fleet \"/data/fleets/\\\"north\\\" sea.csv\" --fleet-random 1000 "
                             "--fleet-area 51.5,3.5,52.5,4.5 --fleet-seed 7 --scenario \"encounter.json\" "
                             "--output \"copy.nmea\" --output TCP*10110 --output UDP*192.0.2.1:10111 " +
                             Tap());

    m_dialog->Item<QListWidget>(kIdExtraOutputs)->setCurrentRow(1);
    Click(kIdExtraOutputRemove);
    EXPECT_TRUE(Preview().endsWith("--output \"copy.nmea\" --output UDP*192.0.2.1:10111 " + Tap())) << Preview().toStdString();
    Click(kIdChartTap);
    EXPECT_TRUE(Preview().endsWith("--output UDP*192.0.2.1:10111 ")) << Preview().toStdString();
    Set(kIdFleetArea, "52.5,3.5,51.5,4.5");
    EXPECT_EQ(Preview(), "Invalid parameter : --fleet-area");
    Set(kIdFleetArea, "");
    AddOutput(1, "99999");
    EXPECT_EQ(Preview(), "Invalid parameter : --output");
}

// A run locks the traffic controls with the form (the chart stays at hand); the emulator gets
// the user's files with full paths and the tap; the chart window opens.
TEST_F(TrafficControls, RunLocksThemAndResolvesFiles)
{
    Set(kIdName, "ARGS");
    Set(kIdFleetFile, "fleets/a.csv");
    AddOutput(0, "copy.nmea");
    QTest::mousePress(&m_dialog->RunButton(), Qt::LeftButton);
    for (const int id : {kIdStationKind, kIdFleetCount, kIdFleetArea, kIdFleetSeed, kIdFleetFile, kIdFleetBrowse,
                         kIdScenarioFile, kIdScenarioBrowse, kIdExtraOutputs, kIdExtraOutputKind, kIdExtraOutputValue,
                         kIdExtraOutputAdd, kIdExtraOutputRemove, kIdChartTap})
        EXPECT_FALSE(m_dialog->GetDlgItem(id)->isEnabled()) << id;
    EXPECT_TRUE(m_dialog->GetDlgItem(kIdShowChart)->isEnabled());
    EXPECT_TRUE(m_dialog->ChartWindow().isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Log().contains("Emulator stopped!"); }, 10000));
    const QStringList log = Log();
    EXPECT_EQ(log.mid(log.indexOf("arg:--fleet"), 2), (QStringList{"arg:--fleet", "arg:/home/me/work/fleets/a.csv"}));
    EXPECT_TRUE(log.contains("Output file: /home/me/work/copy.nmea")) << log.join('|').toStdString();
    EXPECT_TRUE(log.contains("arg:/home/me/work/copy.nmea"));
    EXPECT_EQ(log.mid(log.lastIndexOf("arg:--output"), 2),
              (QStringList{"arg:--output", QStringLiteral("arg:UDP*127.0.0.1:%1").arg(m_dialog->TapPort())}));
    for (const int id : {kIdFleetFile, kIdChartTap, kIdExtraOutputValue}) EXPECT_TRUE(m_dialog->GetDlgItem(id)->isEnabled()) << id;
}

// A click on a target in the chart window shows its decoded fields, MMSI first.
TEST(ChartWindow, ClickShowsTheTargetsFields)
{
    EnsureQtApplication();
    CChartWindow window(nullptr);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    std::vector<Target> targets(2);
    targets[0].mmsi = 244000101;
    targets[0].kind = StationKind::ClassA;
    targets[0].latitudeDeg = 52.0;
    targets[0].longitudeDeg = 4.0;
    targets[1].mmsi = 970123456;
    targets[1].kind = StationKind::Sart;
    targets[1].latitudeDeg = 52.1;
    targets[1].longitudeDeg = 4.2;
    for (Target& t : targets) t.lastHeardMs = t.lastPositionMs = 5000;
    window.ShowFrame(std::make_unique<tap::TapFrame>(tap::MakeFrame(targets, OwnShip{}, 244000101, 6000)));
    EXPECT_EQ(window.StationCount(), 2u);
    EXPECT_TRUE(window.StatusText().startsWith("2 stations, 2 on the chart, 0 lost")) << window.StatusText().toStdString();

    chart::ChartWidget& chart = window.Chart();
    QCoreApplication::processEvents();
    const QPoint sart = chart.Viewport().ToScreen(chart::ToMercator(52.1, 4.2)).toPoint();
    QTest::mouseClick(&chart, Qt::LeftButton, {}, sart);
    const QString details = window.DetailsText();
    EXPECT_TRUE(details.startsWith("MMSI: 970123456\n")) << details.toStdString();
    EXPECT_TRUE(details.contains("\nKind: AIS-SART\n")) << details.toStdString();
    EXPECT_TRUE(details.contains("\nCPA: ")) << details.toStdString();
}

} // namespace
