#pragma once

#include <QEvent>
#include <string>

#include "panel/core/RunController.h"

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

// "WM_g_msgStartSIM", "WM_g_msgLogMessage" or "WM_g_msgStopSIM" as the news says, carrying the
// identity of the run it belongs to and, for a log line, its own copy of the line.
class RunNewsEvent : public QEvent {
public:
    explicit RunNewsEvent(panel::RunEvent news) : QEvent(TypeOf(news.news)), m_news(std::move(news)) {}
    const panel::RunEvent& News() const { return m_news; }

    static QEvent::Type TypeOf(panel::RunNews news)
    {
        switch (news) {
        case panel::RunNews::Started: return RegisteredEventType(PanelMessage::StartSim);
        case panel::RunNews::Output: return RegisteredEventType(PanelMessage::LogMessage);
        case panel::RunNews::Stopped: break;
        }
        return RegisteredEventType(PanelMessage::StopSim);
    }

private:
    panel::RunEvent m_news;
};
