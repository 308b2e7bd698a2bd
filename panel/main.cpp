#include <QApplication>
#include <QImage>
#include <cstdio>
#include <cstring>

#include "panel/ui/CMainDlg.h"
#include "panel/ui/StopSignals.h"

namespace {

// `vespanel --screenshot <file.png>` renders the dialog as it looks after start-up into a
// PNG file on the off-screen platform, and ends.
int SaveScreenshot(const char* path)
{
    CMainDlg dialog;
    dialog.show();
    QApplication::processEvents();
    const QImage image = dialog.grab().toImage();
    if (!image.save(QString::fromLocal8Bit(path), "PNG")) {
        std::fprintf(stderr, "Cannot write %s\n", path);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const char* screenshotPath = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0) screenshotPath = argv[i + 1];
    if (screenshotPath) qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    if (screenshotPath) return SaveScreenshot(screenshotPath);

    CMainDlg dialog;
    // The session ending takes the emulator along, as closing and answering Yes would.
    const CStopSignalWatcher stopSignals([&dialog] { dialog.EndOnSignal(); });
    dialog.show();
    return application.exec();
}
