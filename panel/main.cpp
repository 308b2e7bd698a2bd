#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "panel/ui/Artwork.h"
#include "panel/ui/CMainDlg.h"
#include "panel/ui/StopSignals.h"
#include "platform/ChildProcess.h"

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

// `vespanel --write-icon <file.png> <size>` renders the window icon at size x size pixels,
// for the desktop menu.
int SaveIcon(const char* path, const char* sizeText)
{
    const int size = std::atoi(sizeText);
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "Icon size must be 16 to 1024 pixels, not %s\n", sizeText);
        return 1;
    }
    const QPixmap pixmap = DrawApplicationIcon(size);
    if (pixmap.width() != size || !pixmap.save(QString::fromLocal8Bit(path), "PNG")) {
        std::fprintf(stderr, "Cannot write %s\n", path);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const char* screenshotPath = nullptr;
    const char* iconPath = nullptr;
    const char* iconSize = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("KVL AIS Emulator %s\n", KVL_VERSION_TEXT);
            return 0;
        }
        if (i + 1 < argc && std::strcmp(argv[i], "--screenshot") == 0) screenshotPath = argv[i + 1];
        if (i + 2 < argc && std::strcmp(argv[i], "--write-icon") == 0) {
            iconPath = argv[i + 1];
            iconSize = argv[i + 2];
        }
    }
    if (screenshotPath || iconPath) qputenv("QT_QPA_PLATFORM", "offscreen");

    int exitCode = 0;
    int leftRunning = -1;
    {
        QApplication application(argc, argv);
        if (screenshotPath) return SaveScreenshot(screenshotPath);
        if (iconPath) return SaveIcon(iconPath, iconSize);

        CMainDlg dialog;
        // The session ending takes the emulator along, as closing and answering Yes would.
        const CStopSignalWatcher stopSignals([&dialog] { dialog.EndOnSignal(); });
        dialog.show();
        exitCode = application.exec();
        leftRunning = dialog.LeftRunningPid();
    }
    // Window and display are gone. An emulator the user chose to leave running would end with
    // this process, so the process stays until it has ended.
    platform::WaitForChild(leftRunning);
    return exitCode;
}
