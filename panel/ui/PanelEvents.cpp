#include "panel/ui/PanelEvents.h"

#include <array>

namespace {

struct RegisteredEvent {
    PanelMessage message;
    const char* name;
};

constexpr std::array<RegisteredEvent, 6> kRegisteredEvents = {{
    {PanelMessage::LogMessage, "WM_g_msgLogMessage"},
    {PanelMessage::StartSim, "WM_g_msgStartSIM"},
    {PanelMessage::StopSim, "WM_g_msgStopSIM"},
    {PanelMessage::GenerateRandomShip, "WM_CUSTOM_GENERATE_RANDOM_SHIP"},
    {PanelMessage::GoToSite, "WM_CUSTOM_GOTOSITE"},
    {PanelMessage::CheckUpdate, "WM_CUSTOM_CHECKUPDATE"},
}};

std::array<QEvent::Type, kRegisteredEvents.size()> RegisterAll()
{
    std::array<QEvent::Type, kRegisteredEvents.size()> types{};
    for (std::size_t i = 0; i < kRegisteredEvents.size(); ++i)
        types[i] = static_cast<QEvent::Type>(QEvent::registerEventType());
    return types;
}

constexpr bool RowsFollowTheMessages()
{
    for (std::size_t i = 0; i < kRegisteredEvents.size(); ++i)
        if (static_cast<std::size_t>(kRegisteredEvents[i].message) != i) return false;
    return true;
}
static_assert(RowsFollowTheMessages(), "one row per message, in the order of PanelMessage");

const std::array<QEvent::Type, kRegisteredEvents.size()>& RegisteredTypes()
{
    static const std::array<QEvent::Type, kRegisteredEvents.size()> types = RegisterAll();
    return types;
}

// Registered while the program's static data is set up, before the dialog exists.
[[maybe_unused]] const auto& g_registeredAtStart = RegisteredTypes();

std::size_t IndexOf(PanelMessage message)
{
    return static_cast<std::size_t>(message);
}

} // namespace

QEvent::Type RegisteredEventType(PanelMessage message)
{
    return RegisteredTypes().at(IndexOf(message));
}

const char* RegisteredEventName(PanelMessage message)
{
    return kRegisteredEvents.at(IndexOf(message)).name;
}
