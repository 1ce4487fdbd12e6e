#pragma once
// Calendar arithmetic on date serials (days since 30 December 1899, the fraction the time of day).

#include <optional>
#include <string>
#include <string_view>

#include "host/base/Variant.h"

namespace host {

struct DateParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 7;  // 1 Sunday ... 7 Saturday
};

// DateSerial plus TimeSerial: month and day may lie outside their ranges and roll over.
double dateSerial(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// The parts of a serial, the time rounded to the nearest second.
DateParts splitDate(double serial);

// The runtime's text of a date: "m/d/yyyy", "h:mm:ss AM" for a time alone, both for a date with a
// time.
std::string formatDate(double serial);
// Reads a date or time text: "yyyy-mm-dd", "m/d/yyyy", either followed by a time "h:mm[:ss]" with an
// optional AM/PM, or a time alone. nullopt when the text is none of these.
std::optional<double> parseDate(std::string_view text);

// The current local date and time as a serial.
double nowSerial();

}  // namespace host
