#pragma once

#include <QEvent>
#include <string>

// The panel's own messages, each an event type registered once under its name before any
// window exists, and always posted (never sent) to the dialog.
enum class PanelMessage {
    LogMessage,           // "WM_g_msgLogMessage": one line of the emulator's output
    StartSim,             // "WM_g_msgStartSIM": a run has started
    StopSim,              // "WM_g_msgStopSIM": the run is over
    GenerateRandomShip,   // "WM_CUSTOM_GENERATE_RANDOM_SHIP"
    GoToSite,             // "WM_CUSTOM_GOTOSITE"
    CheckUpdate,          // "WM_CUSTOM_CHECKUPDATE"
};

QEvent::Type RegisteredEventType(PanelMessage message);
const char* RegisteredEventName(PanelMessage message);

// "WM_g_msgLogMessage": owns its copy of the line, which goes with the event.
class LogMessageEvent : public QEvent {
public:
    explicit LogMessageEvent(std::string line)
        : QEvent(RegisteredEventType(PanelMessage::LogMessage)), m_line(std::move(line)) {}
    const std::string& Line() const { return m_line; }

private:
    std::string m_line;
};
