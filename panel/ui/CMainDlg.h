#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "panel/core/FormValues.h"
#include "panel/core/RunController.h"
#include "panel/core/TrafficOptions.h"
#include "shipdata/ShipTables.h"
#include "panel/ui/CGradientButtonCtrl.h"
#include "panel/ui/CTitleButtonWnd.h"
#include "panel/ui/MessageBoxes.h"

class QCloseEvent;
class QFileDialog;
class CRunEventPoster;
class CCommandLinePreview;
class CChartWindow;
class CTrafficGroup;
namespace tap {
class TrafficTap;
}

// Makes the Open-file dialog of the output file's "..." button.
std::unique_ptr<QFileDialog> MakeOutputFileDialog(QWidget* parent);

// The control panel: the vessel, message and output form, the command line it stands for,
// and the emulator run with its log.
class CMainDlg : public QDialog {
    Q_OBJECT

public:
    // What the dialog takes from its surroundings; tests put their own in.
    struct Options {
        // Where the emulator program is, and the directory it runs in; empty: the panel's own.
        std::filesystem::path programDirectory;
        // Where a relative output file name is taken from; empty: the current directory when
        // the dialog is made.
        std::filesystem::path userDirectory;
        // Empty: real message boxes.
        std::shared_ptr<IMessageBoxes> messageBoxes;
        // Asks for the output file; empty: the Open-file dialog.
        std::function<std::optional<QString>(QWidget* parent)> chooseOutputFile;
        // Asks for a file to read (fleet, scenario): parent, caption, name filter; empty: the
        // Open-file dialog.
        std::function<std::optional<QString>(QWidget* parent, const QString& caption, const QString& filter)> chooseInputFile;
        // Calendar time in whole seconds, read by Random Ship; empty: the system clock.
        std::function<std::int64_t()> calendarTime;
        // Opens a web address; empty: the desktop's browser.
        std::function<void(const std::string& address)> openAddress;
        // Random Ship's lists; empty: the built-in ones.
        std::span<const ShipRecord> ships;
        std::span<const wchar_t* const> ports;
    };

    explicit CMainDlg(Options options = {}, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // The control with identifier `id` (ControlId), or null.
    QWidget* GetDlgItem(int id) const;
    template <class T>
    T* Item(int id) const
    {
        return qobject_cast<T*>(GetDlgItem(id));
    }

    CGradientButtonCtrl& RunButton() { return *m_runButton; }
    CCommandLinePreview& Preview() { return *m_preview; }
    CTitleButtonWnd<CGradientButtonCtrl>& RandomShipButton() { return m_randomShipButton; }
    CTitleButtonWnd<CGradientButtonCtrl>& SiteButton() { return m_siteButton; }
    CTitleButtonWnd<CGradientButtonCtrl>& CheckUpdateButton() { return m_checkUpdateButton; }
    CTrafficGroup& Traffic() { return *m_traffic; }
    CChartWindow& ChartWindow() { return *m_chartWindow; }
    // The chart's loopback UDP port; 0 when it could not be opened.
    std::uint16_t TapPort() const;
    // Width of the original form, left of the traffic controls; the title buttons sit above it.
    int FormWidth() const { return m_formWidthPx; }

    // Locks (false) or unlocks (true) the form.
    void EnableForm(bool enable);

    // The form as the command-line composition reads it: at most 1023 characters of a field.
    panel::FormValues ReadForm() const;
    // The argument string for the form, the traffic controls and the chart's tap; throws
    // CParamsExcepion at the first bad field.
    std::wstring BuildCommandLine() const;
    std::wstring BuildOutputArguments() const;

    // Starts the emulator with the form's arguments, or alone with "--check-update";
    // reports every failure itself.
    void StartEmulator(bool checkUpdate);
    // Lets go of the run's process, watch-dog and pipe ends (a running emulator keeps running).
    void ReleaseRunHandles();
    // True while an emulator started from here is running.
    bool IsRunActive();
    // Fills the vessel fields with a ship and two different ports from the built-in lists;
    // refused while a run holds the form.
    void GenerateRandomShip();
    // Process id of the emulator last started, or -1.
    int EmulatorPid() const;
    // Process id of the emulator that closing left running on the user's word, or -1.
    int LeftRunningPid() const { return m_leftRunningPid; }
    // The panel is being ended from outside (the session ends): stops the run as closing and
    // answering Yes would, then quits the application.
    void EndOnSignal();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void OnInitDialog();
    void ConnectPreview();
    void UpdatePreview();
    void OnOutputSelected(int radioId);
    int SelectedOutput() const;
    void OnBrowse();
    void ShowChart();
    void OnTapFrame();
    panel::TrafficValues ReadTraffic() const;
    void PlaceTitleButtons();
    void OnRunButton();
    void OnCheckUpdate();
    void OnGoToSite();
    void OnRunNews(const panel::RunEvent& news);
    void OnLogMessage(const std::string& line);
    void OnStartSim();
    void OnStopSim();
    void ShowRunning(bool running);
    void AddLogLine(const QString& text, const QByteArray& raw);
    void ShowError(const std::wstring& text);
    bool AskYesNo(const std::wstring& text, const std::wstring& caption, BoxIcon icon);

    Options m_options;
    std::map<int, QWidget*> m_controls;   // by ControlId; owned by the dialog as its children
    CGradientButtonCtrl* m_runButton = nullptr;
    CCommandLinePreview* m_preview = nullptr;
    CTitleButtonWnd<CGradientButtonCtrl> m_randomShipButton;
    CTitleButtonWnd<CGradientButtonCtrl> m_siteButton;
    CTitleButtonWnd<CGradientButtonCtrl> m_checkUpdateButton;
    CTrafficGroup* m_traffic = nullptr;       // child of the dialog
    CChartWindow* m_chartWindow = nullptr;    // a window of its own, owned by the dialog
    int m_formWidthPx = 0;
    // Each output radio button and the controls that belong to it.
    std::map<int, std::vector<int>> m_outputControls;

    // How the watch-dog's news reach this window; cut off when the window goes.
    std::shared_ptr<CRunEventPoster> m_eventPoster;
    // The emulator run: process, watch-dog, pipe and run state.
    std::unique_ptr<panel::RunController> m_run;
    // The output files of the run last started, as the emulator got them.
    std::vector<std::wstring> m_runOutputFiles;
    // Decodes what the run sends to the chart; made after the chart window, gone before it.
    std::unique_ptr<tap::TrafficTap> m_tap;
    int m_leftRunningPid = -1;
};
