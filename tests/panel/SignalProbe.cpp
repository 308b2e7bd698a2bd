// The panel as its program runs it, with the fake emulator of the directory given as the only
// argument: starts a run, prints "pid <emulator's process id>" and goes on until it is ended.
#include <QApplication>
#include <QLineEdit>
#include <cstdio>

#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"
#include "panel/ui/StopSignals.h"
#include "tests/panel/FakeMessageBoxes.h"

int main(int argc, char* argv[])
{
    if (argc != 2) return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    CMainDlg::Options options;
    options.programDirectory = argv[1];
    options.messageBoxes = std::make_shared<FakeMessageBoxes>();
    CMainDlg dialog(std::move(options));
    const CStopSignalWatcher stopSignals([&dialog] { dialog.EndOnSignal(); });
    dialog.show();
    QApplication::processEvents();

    const std::pair<int, const char*> texts[] = {{kIdName, "SILENT"}, {kIdMmsi, "123456789"}, {kIdImo, "1234567"},
                                                 {kIdDimA, "1"}, {kIdDimB, "1"}, {kIdDimC, "1"}, {kIdDimD, "1"}};
    for (const auto& [id, text] : texts) dialog.Item<QLineEdit>(id)->setText(QString::fromLatin1(text));
    dialog.StartEmulator(false);
    std::printf("pid %d\n", dialog.EmulatorPid());
    std::fflush(stdout);
    return application.exec();
}
