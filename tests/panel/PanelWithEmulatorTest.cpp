#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <set>

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

} // namespace
