#include "host/base/DateSerial.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace host {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long daysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

constexpr long long kSerialEpoch = -25569;  // 1899-12-30 in days from 1970-01-01

bool readInt(std::string_view& s, int& out, int maxDigits) {
    int digits = 0;
    out = 0;
    while (!s.empty() && s.front() >= '0' && s.front() <= '9' && digits < maxDigits) {
        out = out * 10 + (s.front() - '0');
        s.remove_prefix(1);
        ++digits;
    }
    return digits > 0;
}

bool eat(std::string_view& s, char c) {
    if (!s.empty() && s.front() == c) {
        s.remove_prefix(1);
        return true;
    }
    return false;
}

void skipBlanks(std::string_view& s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
}

// "h:mm[:ss] [AM|PM]" as a fraction of a day.
std::optional<double> readTime(std::string_view& s) {
    int h = 0, m = 0, sec = 0;
    if (!readInt(s, h, 2) || !eat(s, ':') || !readInt(s, m, 2)) return std::nullopt;
    if (eat(s, ':') && !readInt(s, sec, 2)) return std::nullopt;
    skipBlanks(s);
    if (s.size() >= 2 && (s[1] == 'M' || s[1] == 'm') && (s[0] == 'A' || s[0] == 'a' || s[0] == 'P' || s[0] == 'p')) {
        const bool pm = s[0] == 'P' || s[0] == 'p';
        if (h < 1 || h > 12) return std::nullopt;
        h = (h % 12) + (pm ? 12 : 0);
        s.remove_prefix(2);
    }
    if (h > 23 || m > 59 || sec > 59) return std::nullopt;
    return (h * 3600 + m * 60 + sec) / 86400.0;
}

}  // namespace

double dateSerial(int year, int month, int day, int hour, int minute, int second) {
    long long y = year + (month - 1) / 12;
    long long m = (month - 1) % 12;
    if (m < 0) {
        m += 12;
        --y;
    }
    const long long days = daysFromCivil(y, m + 1, 1) + (day - 1) - kSerialEpoch;
    const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // Before the epoch the runtime counts the time away from zero: -1.25 is 29 Dec 1899 06:00.
    return days < 0 ? days - time : days + time;
}

DateParts splitDate(double serial) {
    long long days = static_cast<long long>(std::trunc(serial));
    double fraction = std::fabs(serial - static_cast<double>(days));
    long long seconds = std::llround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += serial < 0 ? -1 : 1;
    }
    DateParts p;
    civilFromDays(days + kSerialEpoch, p.year, p.month, p.day);
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    const long long wd = (days + kSerialEpoch + 4) % 7;  // 1970-01-01 was a Thursday
    p.weekday = static_cast<int>((wd + 7) % 7) + 1;
    return p;
}

std::string formatDate(double serial) {
    const DateParts p = splitDate(serial);
    char date[32];
    std::snprintf(date, sizeof date, "%d/%d/%d", p.month, p.day, p.year);
    char time[32];
    const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    std::snprintf(time, sizeof time, "%d:%02d:%02d %s", h12, p.minute, p.second, p.hour < 12 ? "AM" : "PM");
    const bool hasDate = std::trunc(serial) != 0;
    const bool hasTime = p.hour != 0 || p.minute != 0 || p.second != 0;
    if (!hasDate) return time;
    if (!hasTime) return date;
    return std::string(date) + " " + time;
}

std::optional<double> parseDate(std::string_view text) {
    std::string_view s = text;
    skipBlanks(s);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.empty()) return std::nullopt;

    std::string_view probe = s;
    int a = 0;
    readInt(probe, a, 4);
    if (!probe.empty() && probe.front() == ':') {
        auto t = readTime(s);
        if (!t || !s.empty()) return std::nullopt;
        return t;
    }

    int year = 0, month = 0, day = 0;
    std::string_view d = s;
    if (readInt(d, year, 4) && eat(d, '-')) {  // yyyy-mm-dd
        if (!readInt(d, month, 2) || !eat(d, '-') || !readInt(d, day, 2)) return std::nullopt;
    } else {  // m/d/yyyy
        d = s;
        if (!readInt(d, month, 2) || !eat(d, '/') || !readInt(d, day, 2) || !eat(d, '/') || !readInt(d, year, 4))
            return std::nullopt;
        if (year < 100) year += year < 30 ? 2000 : 1900;
    }
    if (month < 1 || month > 12 || day < 1) return std::nullopt;
    const double serial = dateSerial(year, month, day);
    if (splitDate(serial).month != month) return std::nullopt;  // 31 February
    if (d.empty()) return serial;
    if (!eat(d, ' ') && !eat(d, 'T')) return std::nullopt;
    skipBlanks(d);
    auto t = readTime(d);
    if (!t || !d.empty()) return std::nullopt;
    return serial + *t;
}

double nowSerial() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    return dateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

}  // namespace host
