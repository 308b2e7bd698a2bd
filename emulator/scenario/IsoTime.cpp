#include "emulator/scenario/IsoTime.h"

#include <cctype>
#include <cstdint>

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;

class Cursor {
public:
    explicit Cursor(std::string_view text) : m_text(text) {}

    // Exactly `count` decimal digits.
    std::optional<int> Digits(std::size_t count)
    {
        if (m_text.size() - m_at < count) return std::nullopt;
        int value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char c = m_text[m_at + i];
            if (std::isdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
            value = value * 10 + (c - '0');
        }
        m_at += count;
        return value;
    }
    bool Take(char c)
    {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool AtEnd() const { return m_at == m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_at]; }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (H. Hinnant's
// days_from_civil).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

int DaysInMonth(int year, int month)
{
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

std::optional<double> ParseIsoTime(std::string_view text)
{
    Cursor at(text);
    const auto year = at.Digits(4);
    if (!year || !at.Take('-')) return std::nullopt;
    const auto month = at.Digits(2);
    if (!month || *month < 1 || *month > 12 || !at.Take('-')) return std::nullopt;
    const auto day = at.Digits(2);
    if (!day || *day < 1 || *day > DaysInMonth(*year, *month)) return std::nullopt;
    if (!at.Take('T') && !at.Take('t')) return std::nullopt;
    const auto hour = at.Digits(2);
    if (!hour || *hour > 23 || !at.Take(':')) return std::nullopt;
    const auto minute = at.Digits(2);
    if (!minute || *minute > 59 || !at.Take(':')) return std::nullopt;
    const auto second = at.Digits(2);
    if (!second || *second > 60) return std::nullopt;  // 60: a leap second
    double fraction = 0.0;
    if (at.Take('.') || at.Take(',')) {
        double scale = 0.1;
        bool any = false;
        while (std::isdigit(static_cast<unsigned char>(at.Peek())) != 0) {
            fraction += scale * at.Digits(1).value_or(0);
            scale /= 10.0;
            any = true;
        }
        if (!any) return std::nullopt;
    }
    int offsetSeconds = 0;
    if (!at.Take('Z') && !at.Take('z') && !at.AtEnd()) {
        const bool east = at.Take('+');
        if (!east && !at.Take('-')) return std::nullopt;
        const auto zoneHours = at.Digits(2);
        if (!zoneHours || *zoneHours > 23) return std::nullopt;
        at.Take(':');
        const auto zoneMinutes = at.Digits(2);
        if (!zoneMinutes || *zoneMinutes > 59) return std::nullopt;
        offsetSeconds = (east ? 1 : -1) * (*zoneHours * kSecondsPerHour + *zoneMinutes * kSecondsPerMinute);
    }
    if (!at.AtEnd()) return std::nullopt;
    const double days = static_cast<double>(DaysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day)));
    return days * kSecondsPerDay + *hour * kSecondsPerHour + *minute * kSecondsPerMinute + *second + fraction -
           offsetSeconds;
}
