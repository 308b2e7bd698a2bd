// The panel as its program runs it, with the fake emulator of the directory given as the first
// argument: starts a run, prints "pid <emulator's process id>" and goes on until it is ended.
// A second argument "close-no" closes the window at once, answering No to ending the run, and
// prints "closed"; "display=<name>" shows the window on that X display instead of off screen.
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "panel/ui/CMainDlg.h"
#include "panel/ui/ControlIds.h"
#include "panel/ui/StopSignals.h"
#include "platform/ChildProcess.h"
#include "tests/panel/FakeMessageBoxes.h"

int main(int argc, char* argv[])
{
    if (argc < 2 || argc > 3) return 2;
    const char* mode = argc == 3 ? argv[2] : "";
    const bool closeWithNo = std::strcmp(mode, "close-no") == 0;
    if (std::strncmp(mode, "display=", 8) == 0) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", mode + 8);
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int exitCode = 0;
    int leftRunning = -1;
    {
        QApplication application(argc, argv);
        auto boxes = std::make_shared<FakeMessageBoxes>();
        CMainDlg::Options options;
        options.programDirectory = argv[1];
        options.messageBoxes = boxes;
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
        if (closeWithNo) {
            boxes->answers = {false};
            QTimer::singleShot(0, &dialog, [&dialog] { dialog.close(); });
        }
        exitCode = application.exec();
        leftRunning = dialog.LeftRunningPid();
    }
    if (closeWithNo) {
        std::printf("closed\n");
        std::fflush(stdout);
    }
    // As the panel's program does: an emulator left running keeps the process.
    platform::WaitForChild(leftRunning);
    return exitCode;
}
