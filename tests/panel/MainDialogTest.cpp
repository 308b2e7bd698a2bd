#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <set>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "panel/ui/CCommandLinePreview.h"
#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"
#include "panel/ui/PanelEvents.h"
#include "tests/panel/FakeMessageBoxes.h"
#include "tests/panel/QtTestApp.h"
#include "tests/support/TempDir.h"

namespace {

class MainDialog : public testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApplication();
        CMainDlg::Options options;
        options.programDirectory = "/nonexistent-kvl-panel-dir";
        options.messageBoxes = m_boxes;
        options.chooseOutputFile = [this](QWidget*) { return m_chosenFile; };
        m_dialog = std::make_unique<CMainDlg>(std::move(options));
    }

    QString Text(int id) const { return m_dialog->Item<QLineEdit>(id)->text(); }
    QString Preview() const { return m_dialog->Preview().CommandLine(); }
    // The chart's tap, last on every command line.
    QString Tap() const { return QStringLiteral("--output UDP*127.0.0.1:%1 ").arg(m_dialog->TapPort()); }
    bool Enabled(int id) const { return m_dialog->GetDlgItem(id)->isEnabled(); }

    void Type(int id, const QString& text)
    {
        auto* edit = m_dialog->Item<QLineEdit>(id);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    void Choose(int listId, int value)
    {
        auto* list = m_dialog->Item<QComboBox>(listId);
        const int index = list->findData(value);
        ASSERT_GE(index, 0);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    std::shared_ptr<FakeMessageBoxes> m_boxes = std::make_shared<FakeMessageBoxes>();
    std::optional<QString> m_chosenFile;
    std::unique_ptr<CMainDlg> m_dialog;
};

TEST_F(MainDialog, InitialForm)
{
    EXPECT_EQ(m_dialog->windowTitle(), "KVL AIS Emulator");
    EXPECT_EQ(m_dialog->minimumSize(), m_dialog->maximumSize());
    EXPECT_FALSE(m_dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(m_dialog->windowIcon().isNull());

    const std::pair<int, const char*> texts[] = {
        {kIdLatitude, "-0.0"}, {kIdLongitude, "0.0"}, {kIdSpeed, "0"}, {kIdCourse, "0"}, {kIdRateOfTurn, "0"},
        {kIdDataBits, "8"}, {kIdStopBits, "1"}, {kIdTcpPort, "1234"}, {kIdFileName, "log.txt"}, {kIdComPort, "1"},
        {kIdMmsi, ""},
    };
    for (const auto& [id, text] : texts) EXPECT_EQ(Text(id), text) << id;

    const std::pair<int, const char*> selections[] = {
        {kIdNavStatus, "Not defined"}, {kIdPositioningDevice, "GPS"}, {kIdAccuracy, "High"}, {kIdBaud, "38400"},
        {kIdShipType, "Other Type, No additional information"},
    };
    for (const auto& [id, text] : selections) EXPECT_EQ(m_dialog->Item<QComboBox>(id)->currentText(), text) << id;
    EXPECT_EQ(m_dialog->Item<QComboBox>(kIdShipType)->count(), 80);
    EXPECT_EQ(m_dialog->Item<QComboBox>(kIdNavStatus)->count(), 16);

    for (const int id : {kIdMsg1, kIdMsg5, kIdAppendCrc}) EXPECT_TRUE(m_dialog->Item<QCheckBox>(id)->isChecked()) << id;
    for (const int id : {kIdMsg18, kIdMsg19, kIdMsg24, kIdIgnoreTimings, kIdUpperCaseChecksum, kIdOwnShip})
        EXPECT_FALSE(m_dialog->Item<QCheckBox>(id)->isChecked()) << id;
    EXPECT_TRUE(m_dialog->Item<QRadioButton>(kIdOutputTcp)->isChecked());
    EXPECT_EQ(m_dialog->RunButton().text(), "Run AIS Emulator");
    EXPECT_EQ(Preview(), "Invalid parameter : --vessel-mmsi");
}

TEST_F(MainDialog, PreviewFollowsTypingUpToTheWorkedExample)
{
    Type(kIdMmsi, "123456789");
    EXPECT_EQ(Preview(), "Invalid parameter : --vessel-imo");
    Type(kIdImo, "1234567");
    for (const int id : {kIdDimA, kIdDimB}) Type(id, "60");
    for (const int id : {kIdDimC, kIdDimD}) Type(id, "10");
    Type(kIdPortDest, "naples");
    Type(kIdPortOrigin, "MOMBASA");
    Choose(kIdShipType, 70);
    m_dialog->Item<QLineEdit>(kIdName)->clear();
    m_dialog->Item<QLineEdit>(kIdCallSign)->clear();
    EXPECT_EQ(Preview(),
              "--vessel-name \"\" --vessel-call \"\" --vessel-mmsi 123456789 --vessel-imo 1234567 --vessel-dima 60 "
              "--vessel-dimb 60 --vessel-dimc 10 --vessel-dimd 10 --vessel-lat -0.0 --vessel-lon 0.0 --vessel-sog 0 "
              "--vessel-cog 0 --vessel-rot 0 --port-dest \"NAPLES\" --port-origin \"MOMBASA\" --vessel-status 15 "
              "--vessel-postdevice 1 --vessel-type 70 --vessel-accuracy 1 --nmea-domsg1 --nmea-domsg5 --output TCP*1234 " +
                  Tap());

    QTest::mouseClick(m_dialog->Item<QCheckBox>(kIdAppendCrc), Qt::LeftButton);
    EXPECT_TRUE(Preview().endsWith("--nmea-domsg5 --ignore-crc --output TCP*1234 " + Tap())) << Preview().toStdString();
    QTest::mouseClick(m_dialog->Item<QCheckBox>(kIdUpperCaseChecksum), Qt::LeftButton);
    QTest::mouseClick(m_dialog->Item<QCheckBox>(kIdOwnShip), Qt::LeftButton);
    EXPECT_TRUE(Preview().endsWith("--ignore-crc --nmea-upper-crc --nmea-own-ship --output TCP*1234 " + Tap())) << Preview().toStdString();
    QTest::mouseClick(m_dialog->Item<QRadioButton>(kIdOutputUdp), Qt::LeftButton);
    Type(kIdUdpAddress, "[::1]:0");
    EXPECT_EQ(Preview(), "Invalid parameter : --output");
    Type(kIdUdpAddress, "[::1]:10110");
    EXPECT_TRUE(Preview().endsWith("--nmea-own-ship --output UDP*[::1]:10110 " + Tap())) << Preview().toStdString();
}

TEST_F(MainDialog, EditKinds)
{
    Type(kIdName, "Sea star");
    EXPECT_EQ(Text(kIdName), "SEA STAR");
    Type(kIdTcpPort, "12a3-4");
    EXPECT_EQ(Text(kIdTcpPort), "1234");
    Type(kIdMmsi, "12a");   // a plain field takes anything; the check comes with composition
    EXPECT_EQ(Text(kIdMmsi), "12a");
}

TEST_F(MainDialog, ValidationShowsOnlyTheFirstFailure)
{
    Type(kIdMmsi, "x");
    Type(kIdImo, "y");
    EXPECT_EQ(Preview(), "Invalid parameter : --vessel-mmsi");
    Type(kIdMmsi, "4294967296");
    EXPECT_EQ(Preview(), "Invalid parameter : --vessel-mmsi");
    Type(kIdMmsi, "4294967295");
    EXPECT_EQ(Preview(), "Invalid parameter : --vessel-imo");
}

struct OutputRow {
    const char* name;
    int radio;
    std::vector<int> enabled;
    const char* outputTail;
};

// Test names show the row's name, not its bytes.
void PrintTo(const OutputRow& row, std::ostream* out) { *out << row.name; }

class OutputSelection : public MainDialog, public testing::WithParamInterface<OutputRow> {};

TEST_P(OutputSelection, EnablesExactlyItsControls)
{
    for (const int id : {kIdMmsi, kIdImo, kIdDimA, kIdDimB, kIdDimC, kIdDimD}) Type(id, "1");
    QTest::mouseClick(m_dialog->Item<QRadioButton>(GetParam().radio), Qt::LeftButton);
    const std::vector<int>& on = GetParam().enabled;
    for (const int id : {kIdFileName, kIdBrowse, kIdTcpPort, kIdUdpAddress, kIdComPort, kIdBaud, kIdDataBits, kIdStopBits}) {
        const bool expected = std::find(on.begin(), on.end(), id) != on.end();
        EXPECT_EQ(Enabled(id), expected) << id;
    }
    EXPECT_TRUE(Preview().endsWith(GetParam().outputTail + Tap())) << Preview().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OutputSelection,
    testing::Values(OutputRow{"File", kIdOutputFile, {kIdFileName, kIdBrowse}, "--output \"log.txt\" "},
                    OutputRow{"Tcp", kIdOutputTcp, {kIdTcpPort}, "--output TCP*1234 "},
                    OutputRow{"Udp", kIdOutputUdp, {kIdUdpAddress}, "--output UDP*127.0.0.1:10110 "},
                    OutputRow{"Com", kIdOutputCom, {kIdComPort, kIdBaud, kIdDataBits, kIdStopBits},
                              "--output COM1 --output-baudrate 38400 --output-databits 8 --output-stopbits 1 "}),
    [](const testing::TestParamInfo<OutputRow>& info) { return std::string(info.param.name); });

// Locked, every field that goes into the command line is disabled; unlocked, only the selected
// output's fields among the output controls are enabled again.
TEST_F(MainDialog, FormLockAndUnlock)
{
    const int form[] = {kIdName, kIdCallSign, kIdMmsi, kIdImo, kIdDimA, kIdDimB, kIdDimC, kIdDimD, kIdPortDest,
                        kIdPortOrigin, kIdNavStatus, kIdPositioningDevice, kIdAccuracy, kIdShipType, kIdLatitude,
                        kIdLongitude, kIdSpeed, kIdCourse, kIdRateOfTurn, kIdOutputFile, kIdOutputTcp, kIdOutputCom,
                        kIdMsg1, kIdMsg5, kIdMsg18, kIdMsg19, kIdMsg24, kIdAppendCrc, kIdIgnoreTimings,
                        kIdUpperCaseChecksum, kIdOwnShip, kIdOutputUdp};
    const std::pair<int, std::vector<int>> outputs[] = {
        {kIdOutputFile, {kIdFileName, kIdBrowse}},
        {kIdOutputTcp, {kIdTcpPort}},
        {kIdOutputUdp, {kIdUdpAddress}},
        {kIdOutputCom, {kIdComPort, kIdBaud, kIdDataBits, kIdStopBits}},
    };
    for (const auto& [radio, own] : outputs) {
        QTest::mouseClick(m_dialog->Item<QRadioButton>(radio), Qt::LeftButton);
        m_dialog->EnableForm(false);
        for (const int id : form) EXPECT_FALSE(Enabled(id)) << id;
        for (const auto& [other, fields] : outputs)
            for (const int id : fields) EXPECT_FALSE(Enabled(id)) << id;
        for (const int id : {kIdRun, kIdCommandLine, kIdLog}) EXPECT_TRUE(Enabled(id)) << id;

        m_dialog->EnableForm(true);
        for (const int id : form) EXPECT_TRUE(Enabled(id)) << id;
        for (const auto& [other, fields] : outputs)
            for (const int id : fields) EXPECT_EQ(Enabled(id), other == radio) << radio << " " << id;
    }
}

TEST_F(MainDialog, EnterAndEscapeDoNotClose)
{
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    QTest::keyClick(m_dialog->Item<QLineEdit>(kIdLatitude), Qt::Key_Escape);
    QTest::keyClick(m_dialog->Item<QLineEdit>(kIdLatitude), Qt::Key_Return);
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    QTest::keyClick(m_dialog.get(), Qt::Key_Enter);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), 0);
}

TEST_F(MainDialog, BrowseReplacesFileNameAndRefreshesPreview)
{
    for (const int id : {kIdMmsi, kIdImo, kIdDimA, kIdDimB, kIdDimC, kIdDimD}) Type(id, "1");
    QTest::mouseClick(m_dialog->Item<QRadioButton>(kIdOutputFile), Qt::LeftButton);
    m_chosenFile = "/data/ais out/run1.nmea";
    QTest::mouseClick(m_dialog->Item<QPushButton>(kIdBrowse), Qt::LeftButton);
    EXPECT_EQ(Text(kIdFileName), "/data/ais out/run1.nmea");
    EXPECT_TRUE(Preview().endsWith("--output \"/data/ais out/run1.nmea\" " + Tap())) << Preview().toStdString();

    m_chosenFile.reset();   // cancelled
    QTest::mouseClick(m_dialog->Item<QPushButton>(kIdBrowse), Qt::LeftButton);
    EXPECT_EQ(Text(kIdFileName), "/data/ais out/run1.nmea");
}

// Every line of the command-line box starts after a blank, and the box's text and what is copied
// from it are the command line.
TEST_F(MainDialog, PreviewBreaksLinesOnlyAtBlanks)
{
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    for (const int id : {kIdMmsi, kIdImo, kIdDimA, kIdDimB, kIdDimC, kIdDimD}) Type(id, "1234567");
    Type(kIdName, "NORTH-SEA-TRADER-OF-THE-HIGH-SEAS");
    auto* box = m_dialog->Item<QPlainTextEdit>(kIdCommandLine);
    QCoreApplication::processEvents();
    const QString expected = QString::fromStdWString(m_dialog->BuildCommandLine());
    int lines = 0;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i, ++lines) {
            const int start = block.position() + layout->lineAt(i).textStart();
            if (start > 0) {
                EXPECT_EQ(expected[start - 1], u' ') << expected.mid(start - 10, 20).toStdString();
            }
        }
    }
    EXPECT_GT(lines, 3);
    EXPECT_EQ(box->toPlainText().replace(u'\n', u' '), expected);
    box->selectAll();
    box->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
}

// The output-file dialog lists every file of a folder, names without a dot included, under
// its one filter entry.
TEST_F(MainDialog, OutputFileDialogListsEveryFile)
{
    testsupport::TempDir folder;
    for (const char* name : {"noext", "log.txt", "run.1.nmea"}) std::ofstream(folder.File(name)) << "x";
    const std::unique_ptr<QFileDialog> dialog = MakeOutputFileDialog(m_dialog.get());
    dialog->setDirectory(QString::fromStdString(folder.Path().string()));
    dialog->show();
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    const auto listed = [&] {
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            names << view->model()->index(row, 0, view->rootIndex()).data().toString();
        names.sort();
        return names;
    };
    (void)QTest::qWaitFor([&] { return listed().size() >= 3; }, 3000);
    EXPECT_EQ(listed(), (QStringList{"log.txt", "noext", "run.1.nmea"}));
    auto* filters = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(filters, nullptr);
    EXPECT_EQ(filters->currentText(), "Any file(*.*)");
    dialog->hide();
}

// Records (and swallows) the panel's own events posted to the dialog.
class PostedEvents : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() < QEvent::User) return false;
        types.push_back(event->type());
        return true;
    }
    std::vector<QEvent::Type> types;
};

TEST_F(MainDialog, TitleButtonsInARowPostTheirEvents)
{
    struct Row {
        CTitleButtonWnd<CGradientButtonCtrl>* button;
        const char* caption;
        int width;
        int offset;
        PanelMessage message;
    };
    const Row rows[] = {
        {&m_dialog->RandomShipButton(), "Random Ship", 90, 550, PanelMessage::GenerateRandomShip},
        {&m_dialog->SiteButton(), "Go to " KVL_SITE_HOST, 190, 450, PanelMessage::GoToSite},
        {&m_dialog->CheckUpdateButton(), "Check for updates", 136, 250, PanelMessage::CheckUpdate},
    };
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    QCoreApplication::processEvents();   // the start-up Random Ship
    PostedEvents posted;
    m_dialog->installEventFilter(&posted);
    int previousRight = 0;
    for (const Row& row : rows) {
        const QRect geometry = row.button->geometry();
        EXPECT_EQ(row.button->Button().text(), row.caption);
        EXPECT_EQ(geometry.width(), row.width);
        EXPECT_EQ(m_dialog->FormWidth() - geometry.left(), row.offset);
        EXPECT_GE(geometry.left(), previousRight);   // in order, side by side
        previousRight = geometry.right();
        EXPECT_EQ(row.button->Button().Colours().normalBottom, kIdleColours.normalBottom);
        EXPECT_FALSE(row.button->mask().contains(QPoint(0, 0)));   // rounded corner
        EXPECT_TRUE(row.button->mask().contains(geometry.center() - geometry.topLeft()));

        posted.types.clear();
        QTest::mousePress(&row.button->Button(), Qt::LeftButton);
        QTest::mouseRelease(&row.button->Button(), Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(posted.types, std::vector<QEvent::Type>{RegisteredEventType(row.message)}) << row.caption;
    }
    m_dialog->removeEventFilter(&posted);
}

// The draw of an index in 0..n-1, written from its description: buckets of 2^32-1 divided by n
// (one larger when the remainder is n-1); outputs past the last bucket are drawn again.
std::uint32_t DrawIndex(std::mt19937& generator, std::uint32_t n)
{
    const std::uint32_t bucket = 4294967295U / n + (4294967295U % n == n - 1 ? 1 : 0);
    for (;;)
        if (const std::uint32_t index = static_cast<std::uint32_t>(generator()) / bucket; index < n) return index;
}

// Random Ship fills the form from the lists it is given, as the draw for the clock's second
// picks: each row's own texts, halved dimensions and type item.
TEST(RandomShipForm, FillsTheFormFromTheGivenLists)
{
    EnsureQtApplication();
    static const ShipRecord ships[] = {
        {L"ALPHA STAR", L"A1B2", L"", L"1111111", L"PASSENGER", L"100.9", L"20.5", L"5"},
        {L"BRAVO", L"B3", L"", L"", L"Tug", L"44.4", L"10.2", L"3"},
        {L"CHARLIE", L"C4", L"", L"3333333", L"CONTAINER CARRIER", L"7.9", L"3", L"1"},
    };
    static const wchar_t* const ports[] = {L"NAPLES", L"MOMBASA", L"CAPE  TOWN"};
    struct Expected {
        const char* dimAB;
        const char* dimCD;
        int type;
    };
    const Expected expected[] = {{"50", "10", 60}, {"22", "5", 52}, {"3", "1", 20}};

    std::int64_t clock = 1700000000;
    CMainDlg::Options options;
    options.programDirectory = "/nonexistent-kvl-panel-dir";
    options.messageBoxes = std::make_shared<FakeMessageBoxes>();
    options.calendarTime = [&clock] { return clock; };
    options.ships = ships;
    options.ports = ports;
    CMainDlg dialog(std::move(options));
    dialog.Item<QLineEdit>(kIdMmsi)->setText("123456789");
    std::set<std::uint32_t> seen;
    for (; clock < 1700000100 && seen.size() < 3; ++clock) {
        const auto t = static_cast<std::uint32_t>(clock);
        std::mt19937 shipDraw(t), destDraw(t), originDraw(t + 1);
        const std::uint32_t dest = DrawIndex(destDraw, 3);
        std::uint32_t origin = DrawIndex(originDraw, 3);
        while (origin == dest) origin = DrawIndex(originDraw, 3);
        const std::uint32_t ship = DrawIndex(shipDraw, 3);
        seen.insert(ship);

        dialog.GenerateRandomShip();
        const auto text = [&dialog](int id) { return dialog.Item<QLineEdit>(id)->text(); };
        EXPECT_EQ(text(kIdName), QString::fromWCharArray(ships[ship].name)) << clock;
        EXPECT_EQ(text(kIdCallSign), QString::fromWCharArray(ships[ship].callSign));
        EXPECT_EQ(text(kIdImo), QString::fromWCharArray(ships[ship].imo));
        EXPECT_EQ(text(kIdPortDest), QString::fromWCharArray(ports[dest]));
        EXPECT_EQ(text(kIdPortOrigin), QString::fromWCharArray(ports[origin]));
        for (const int id : {kIdDimA, kIdDimB}) EXPECT_EQ(text(id), expected[ship].dimAB);
        for (const int id : {kIdDimC, kIdDimD}) EXPECT_EQ(text(id), expected[ship].dimCD);
        EXPECT_EQ(dialog.Item<QComboBox>(kIdShipType)->currentData().toInt(), expected[ship].type);
        EXPECT_EQ(text(kIdMmsi), "123456789");
        // The preview follows, ship type included (a row without IMO stops at that check).
        const QString preview = dialog.Preview().CommandLine();
        if (ships[ship].imo[0] != L'\0') {
            EXPECT_TRUE(preview.contains(QStringLiteral("--vessel-type %1 ").arg(expected[ship].type))) << preview.toStdString();
        } else {
            EXPECT_EQ(preview, "Invalid parameter : --vessel-imo");
        }
    }
    EXPECT_EQ(seen.size(), 3U);
}

TEST_F(MainDialog, NoCaptionCutOffAndNoControlsOverlap)
{
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    std::vector<QWidget*> controls;
    for (QWidget* child : m_dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible() || qobject_cast<QGroupBox*>(child)) continue;
        EXPECT_TRUE(m_dialog->rect().contains(child->geometry())) << child->objectName().toStdString();
        if (qobject_cast<QLabel*>(child) || qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child)) {
            EXPECT_LE(child->sizeHint().width(), child->width()) << child->objectName().toStdString();
        }
        controls.push_back(child);
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t k = i + 1; k < controls.size(); ++k)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[k]->geometry()))
                << controls[i]->objectName().toStdString() << " / " << controls[k]->objectName().toStdString();
}

} // namespace
