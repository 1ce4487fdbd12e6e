// Date and time sections. Serials count days as the spreadsheet does: day 1 is 1 January 1900, day
// 60 the 29 February 1900 that never was, day 0 shows as "1900-01-00"; from day 61 on they agree with
// the OLE calendar of DateSerial.

#include <cmath>
#include <cstdint>

#include "host/base/DateSerial.h"
#include "host/base/NumberFormatCode.h"

namespace host::numfmt {

namespace {

constexpr double kLastSerial = 2958465;  // 31 December 9999

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

struct Moment {
    int year = 1900, month = 1, day = 0, weekday = 7;  // weekday 1 Sunday ... 7 Saturday
    std::int64_t ticks = 0;                            // the whole value in units of the shown second fraction
    std::int64_t ticksPerSecond = 1;
    std::int64_t secondsOfDay() const { return ticks / ticksPerSecond % 86400; }
};

Moment moment(double serial, int secondDecimals) {
    Moment m;
    for (int i = 0; i < secondDecimals; ++i) m.ticksPerSecond *= 10;
    // Rounded to the shown fraction of a second; this may carry into the next day.
    m.ticks = std::llround(serial * 86400.0 * static_cast<double>(m.ticksPerSecond));
    const std::int64_t days = m.ticks / (86400 * m.ticksPerSecond);
    m.weekday = static_cast<int>((days + 6) % 7) + 1;
    if (days == 0) return m;
    if (days == 60) {
        m.month = 2;
        m.day = 29;
        return m;
    }
    const DateParts p = splitDate(static_cast<double>(days < 60 ? days + 1 : days));
    m.year = p.year;
    m.month = p.month;
    m.day = p.day;
    return m;
}

std::string padded(std::int64_t value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
    return s;
}

}  // namespace

std::optional<std::string> formatDateSection(const Section& section, double serial) {
    if (!(serial >= 0) || serial >= kLastSerial + 1) return std::nullopt;
    const Moment m = moment(serial, section.secondDecimals);
    if (m.ticks / (86400 * m.ticksPerSecond) > kLastSerial) return std::nullopt;
    const std::int64_t seconds = m.secondsOfDay();
    const int hour = static_cast<int>(seconds / 3600);
    std::string out;
    for (const Token& t : section.tokens) {
        switch (t.kind) {
        case TokenKind::Year: out += t.width <= 2 ? padded(m.year % 100, 2) : padded(m.year, 4); break;
        case TokenKind::Month:
            if (t.width <= 2) out += padded(m.month, t.width);
            else if (t.width == 3) out += std::string(kMonths[m.month - 1], 3);
            else if (t.width == 4) out += kMonths[m.month - 1];
            else out += kMonths[m.month - 1][0];
            break;
        case TokenKind::Day:
            if (t.width <= 2) out += padded(m.day, t.width);
            else if (t.width == 3) out += std::string(kWeekdays[m.weekday - 1], 3);
            else out += kWeekdays[m.weekday - 1];
            break;
        case TokenKind::Hour: {
            const int shown = section.twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
            out += padded(shown, std::min(t.width, 2));
            break;
        }
        case TokenKind::Minute: out += padded(seconds / 60 % 60, std::min(t.width, 2)); break;
        case TokenKind::Second: out += padded(seconds % 60, std::min(t.width, 2)); break;
        case TokenKind::SecondFraction: out += padded(m.ticks % m.ticksPerSecond, t.width); break;
        case TokenKind::ElapsedHours: out += padded(m.ticks / m.ticksPerSecond / 3600, t.width); break;
        case TokenKind::ElapsedMinutes: out += padded(m.ticks / m.ticksPerSecond / 60, t.width); break;
        case TokenKind::ElapsedSeconds: out += padded(m.ticks / m.ticksPerSecond, t.width); break;
        case TokenKind::AmPm: out += hour < 12 ? t.text : t.pmText; break;
        case TokenKind::Literal: out += t.text; break;
        default: break;
        }
    }
    return out;
}

}  // namespace host::numfmt
