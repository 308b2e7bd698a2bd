#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"
#include "tests/panel/FakeMessageBoxes.h"
#include "tests/panel/QtTestApp.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

// The panel runs the real emulator to a file and stops it again.
TEST(PanelWithEmulator, RunsVesgenToAFileAndStopsIt)
{
    const std::filesystem::path vesgen = testsupport::ProgramPath("vesgen");
    ASSERT_TRUE(std::filesystem::exists(vesgen)) << vesgen << " does not exist (KVL_BIN_DIR names the folder of vesgen)";
    KVL_REQUIRE_GPSDECODE();
    EnsureQtApplication();

    testsupport::TempDir output;
    const std::string file = output.File("panel run.nmea");
    auto boxes = std::make_shared<FakeMessageBoxes>();
    CMainDlg::Options options;
    options.programDirectory = vesgen.parent_path();
    options.messageBoxes = boxes;
    CMainDlg dialog(std::move(options));
    dialog.show();
    QCoreApplication::processEvents();

    const auto set = [&dialog](int id, const QString& text) { dialog.Item<QLineEdit>(id)->setText(text); };
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
    // A few simulation steps, each writing every enabled message.
    ASSERT_TRUE(QTest::qWaitFor([&] { return testsupport::ReadWholeFile(file).size() > 300; }, 10000))
        << log().join('|').toStdString();

    boxes->answers = {true};
    QTest::mousePress(&dialog.RunButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log().contains("Emulator stopped!"); }, 10000));

    const std::vector<testsupport::AisRecord> records = testsupport::GpsDecode(testsupport::ReadWholeFile(file));
    ASSERT_FALSE(records.empty());
    bool sawPosition = false;
    for (const auto& record : records) {
        EXPECT_EQ(record.at("mmsi"), "123456789");
        if (record.at("type") == "1") sawPosition = true;
    }
    EXPECT_TRUE(sawPosition);
    dialog.close();
}

} // namespace
