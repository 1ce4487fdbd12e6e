#include "host/base/NumberFormat.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "host/base/DateSerial.h"
#include "host/base/Text.h"

namespace host {

namespace {

std::vector<std::string> splitSections(std::string_view code) {
    std::vector<std::string> sections(1);
    bool quoted = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') quoted = !quoted;
        if (c == '\\' && i + 1 < code.size() && !quoted) {
            sections.back() += code.substr(i, 2);
            ++i;
            continue;
        }
        if (c == ';' && !quoted) {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

bool isDateCode(std::string_view s) {
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\\') {
            ++i;
            continue;
        }
        if (c == '[') {  // colours and conditions
            while (i < s.size() && s[i] != ']') ++i;
            continue;
        }
        const char l = static_cast<char>(c | 0x20);
        if (l == 'y' || l == 'd' || l == 'h' || l == 's' || l == 'm') return true;
        if (c == '0' || c == '#') return false;
    }
    return false;
}

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string formatDatePart(double serial, std::string_view code) {
    const DateParts p = splitDate(serial);
    static const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                    "July",    "August",   "September", "October", "November", "December"};
    static const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    const bool twelveHour = code.find("AM/PM") != std::string_view::npos || code.find("am/pm") != std::string_view::npos;
    std::string out;
    bool afterHour = false;
    for (std::size_t i = 0; i < code.size();) {
        const char c = code[i];
        const char l = static_cast<char>(c | 0x20);
        std::size_t n = 1;
        while (i + n < code.size() && (code[i + n] | 0x20) == l && std::isalpha(static_cast<unsigned char>(c))) ++n;
        if (c == '"') {
            const std::size_t close = code.find('"', i + 1);
            out += code.substr(i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1);
            i = close == std::string_view::npos ? code.size() : close + 1;
            continue;
        }
        if (c == '\\' && i + 1 < code.size()) {
            out += code[i + 1];
            i += 2;
            continue;
        }
        if (code.substr(i, 5) == "AM/PM" || code.substr(i, 5) == "am/pm") {
            out += p.hour < 12 ? "AM" : "PM";
            i += 5;
            continue;
        }
        if (c == '[') {
            const std::size_t close = code.find(']', i);
            i = close == std::string_view::npos ? code.size() : close + 1;
            continue;
        }
        // "m" after an hour or before seconds means minutes.
        bool minutes = false;
        if (l == 'm' && n <= 2) {
            std::size_t k = i + n;
            while (k < code.size() && !std::isalpha(static_cast<unsigned char>(code[k]))) ++k;
            minutes = afterHour || (k < code.size() && (code[k] | 0x20) == 's');
        }
        switch (l) {
        case 'y': out += n <= 2 ? twoDigits(p.year % 100) : std::to_string(p.year); break;
        case 'm':
            if (minutes) out += n == 1 ? std::to_string(p.minute) : twoDigits(p.minute);
            else if (n == 1) out += std::to_string(p.month);
            else if (n == 2) out += twoDigits(p.month);
            else if (n == 3) out += std::string(kMonths[p.month - 1]).substr(0, 3);
            else out += kMonths[p.month - 1];
            afterHour = false;
            break;
        case 'd':
            if (n == 1) out += std::to_string(p.day);
            else if (n == 2) out += twoDigits(p.day);
            else if (n == 3) out += std::string(kDays[p.weekday - 1]).substr(0, 3);
            else out += kDays[p.weekday - 1];
            break;
        case 'h': {
            const int h = twelveHour ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour;
            out += n == 1 ? std::to_string(h) : twoDigits(h);
            afterHour = true;
            break;
        }
        case 's': out += n == 1 ? std::to_string(p.second) : twoDigits(p.second); break;
        default: out.append(code.substr(i, n)); break;
        }
        if (l != 'h' && l != 'm' && std::isalpha(static_cast<unsigned char>(c))) afterHour = false;
        i += n;
    }
    return out;
}

std::string groupThousands(const std::string& digits) {
    std::string out;
    const int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        out += digits[i];
        if ((n - i - 1) % 3 == 0 && i != n - 1) out += ',';
    }
    return out;
}

// A numeric section: digit placeholders 0 and #, a decimal point, thousands ",", "%", literals.
std::string formatNumberPart(double value, std::string_view code) {
    std::string prefix, suffix;
    int intZeros = 0, decimals = 0, decimalZeros = 0;
    bool thousands = false, percent = false, seenPoint = false, seenDigit = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        std::string& literal = seenDigit ? suffix : prefix;
        if (c == '"') {
            const std::size_t close = code.find('"', i + 1);
            literal += code.substr(i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1);
            i = close == std::string_view::npos ? code.size() : close;
        } else if (c == '\\' && i + 1 < code.size()) {
            literal += code[++i];
        } else if (c == '[') {
            const std::size_t close = code.find(']', i);
            i = close == std::string_view::npos ? code.size() : close;
        } else if (c == '0' || c == '#') {
            seenDigit = true;
            if (seenPoint) {
                ++decimals;
                if (c == '0') decimalZeros = decimals;
            } else if (c == '0') {
                ++intZeros;
            }
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
            seenDigit = true;
        } else if (c == ',' && seenDigit && !seenPoint) {
            thousands = true;
        } else if (c == '%') {
            percent = true;
            literal += '%';
        } else if (c == '_' || c == '*') {
            ++i;  // padding characters take no room here
        } else {
            literal += c;
        }
    }
    if (percent) value *= 100;
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(std::fabs(value) * scale) / scale;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, rounded);
    std::string text = buf;
    std::string intPart = text.substr(0, text.find('.'));
    std::string fracPart = decimals > 0 ? text.substr(text.find('.') + 1) : "";
    while (static_cast<int>(fracPart.size()) > decimalZeros && !fracPart.empty() && fracPart.back() == '0')
        fracPart.pop_back();
    if (intPart == "0" && intZeros == 0) intPart.clear();
    while (static_cast<int>(intPart.size()) < intZeros) intPart.insert(intPart.begin(), '0');
    if (thousands) intPart = groupThousands(intPart);
    std::string number = intPart;
    if (seenPoint) number += "." + fracPart;
    return prefix + number + suffix;
}

}  // namespace

std::string formatGeneral(double value) {
    if (value == 0) return "0";
    const double a = std::fabs(value);
    if (a >= 1e11 || a < 1e-9) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.5E", value);
        std::string s = buf;
        const auto e = s.find('E');
        std::string mantissa = s.substr(0, e), exponent = s.substr(e);
        while (mantissa.back() == '0') mantissa.pop_back();
        if (mantissa.back() == '.') mantissa.pop_back();
        // "E+011" never appears; the exponent keeps at least two digits.
        return mantissa + exponent;
    }
    // Ten significant digits at most, and no more than fits in eleven characters.
    const int intDigits = a >= 1 ? static_cast<int>(std::floor(std::log10(a))) + 1 : 1;
    int decimals = std::max(0, 10 - intDigits);
    if (a < 1) decimals = std::min(9, 10 - 1 + static_cast<int>(-std::floor(std::log10(a))) - 1);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

std::string formatValue(const Variant& value, std::string_view code) {
    if (value.isString()) {
        const auto sections = splitSections(code);
        if (sections.size() >= 4) return Replace(sections[3], "@", value.stringValue());
        if (code.find('@') != std::string_view::npos && sections.size() == 1)
            return Replace(std::string(code), "@", value.stringValue());
        return value.stringValue();
    }
    if (value.isBoolean()) return value.boolValue() ? "TRUE" : "FALSE";
    if (value.isError()) return cellErrorText(value.errorValue());
    if (value.isEmpty() && code.empty()) return {};
    const double number = value.toDouble();
    auto sections = splitSections(code);
    std::string section = sections[0];
    bool useAbs = false;
    if (number < 0 && sections.size() >= 2) {
        section = sections[1];
        useAbs = true;
    } else if (number == 0 && sections.size() >= 3) {
        section = sections[2];
    }
    if (section.empty() || StrComp(section, "General", CompareMethod::Text) == 0)
        return formatGeneral(useAbs ? std::fabs(number) : number);
    if (isDateCode(section)) return formatDatePart(number, section);
    std::string text = formatNumberPart(number, section);
    const bool showsDigit = text.find_first_of("123456789") != std::string::npos;
    if (number < 0 && !useAbs && showsDigit) text = "-" + text;
    return text;
}

}  // namespace host
