// Number sections: digit placeholders, decimals, thousands, percent, scientific notation; and the
// General display.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/base/NumberFormat.h"
#include "host/base/NumberFormatCode.h"

namespace host::numfmt {

namespace {

// The 15 significant digits of a positive number ("123" for 1.23E+2, trailing zeros dropped) and
// the power of ten of the first one.
struct Significand {
    std::string digits;
    int exponent = 0;
};

Significand significand(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    Significand s;
    for (const char* p = buf; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') s.digits += *p;
    s.exponent = std::atoi(std::strchr(buf, 'e') + 1);
    while (s.digits.size() > 1 && s.digits.back() == '0') s.digits.pop_back();
    return s;
}

// Digit `power` of the number (power 0: units, -1: tenths); 0 outside its digits.
char digitAt(const Significand& s, int power) {
    const int index = s.exponent - power;
    return index >= 0 && index < static_cast<int>(s.digits.size()) ? s.digits[index] : '0';
}

std::string exponentText(const Token& sign, int exponent) {
    if (exponent < 0) return sign.text.substr(0, 1) + "-";
    return sign.text.substr(0, 1) + (sign.text[1] == '+' ? "+" : "");
}

}  // namespace

void IntegerFill::append(std::string& out, int position, char symbol) const {
    const int n = static_cast<int>(digits.size());
    char c = 0;
    if (position < n) c = digits[n - 1 - position];
    else if (symbol == '0') c = '0';
    else if (symbol == '?') c = ' ';
    if (!c) return;
    out += c;
    if (grouping && position > 0 && position % 3 == 0 && c != ' ') out += ',';
}

void IntegerFill::appendPlaceholder(std::string& out, int index, int count, char symbol) const {
    const int position = count - 1 - index;
    if (index == 0)
        for (int p = static_cast<int>(digits.size()) - 1; p > position; --p) append(out, p, '#');
    append(out, position, symbol);
}

DecimalParts roundDecimal(double value, int decimals, int shift) {
    DecimalParts parts;
    if (!(value > 0)) {
        parts.fraction.assign(decimals, '0');
        return parts;
    }
    Significand s = significand(value);
    s.exponent -= shift;
    std::string all;  // integer and fraction digits, from the highest power down
    const int top = std::max(s.exponent, 0);
    for (int power = top; power >= -decimals; --power) all += digitAt(s, power);
    if (digitAt(s, -decimals - 1) >= '5') {
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[i] == '9') all[i--] = '0';
        if (i >= 0) ++all[i];
        else all.insert(all.begin(), '1');
    }
    parts.integer = all.substr(0, all.size() - decimals);
    parts.fraction = all.substr(all.size() - decimals);
    const std::size_t firstNonZero = parts.integer.find_first_not_of('0');
    parts.integer.erase(0, firstNonZero == std::string::npos ? parts.integer.size() : firstNonZero);
    return parts;
}

int decimalExponent(double value) { return significand(value).exponent; }

std::optional<std::string> formatNumberSection(const Section& section, double value) {
    value *= std::pow(100.0, section.percents) / std::pow(1000.0, section.scaleThousands);
    if (!std::isfinite(value)) return std::nullopt;
    if (section.fraction) return formatFractionSection(section, value);
    const bool scientific = section.exponentDigits > 0 ||
                            std::any_of(section.tokens.begin(), section.tokens.end(),
                                        [](const Token& t) { return t.kind == TokenKind::Exponent; });
    int exponent = 0;
    DecimalParts parts = roundDecimal(value, section.fractionDigits);
    if (scientific && value > 0) {
        // The first digit lands in the leftmost integer placeholder, or the exponent steps by the
        // placeholder count in engineering codes; rounding up may carry into one more digit.
        const int step = section.engineering ? section.integerDigits : 1;
        const int lead = section.integerDigits == 0 ? 0 : 1;
        int power = decimalExponent(value);
        for (int attempt = 0; attempt < 2; ++attempt) {
            exponent = section.engineering ? static_cast<int>(std::floor(static_cast<double>(power) / step)) * step
                                           : power - lead + 1;
            parts = roundDecimal(value, section.fractionDigits, exponent);
            const int shown = static_cast<int>(parts.integer.size());
            if (shown <= (section.engineering ? step : lead)) break;
            ++power;
        }
    }
    const IntegerFill integerFill{parts.integer, section.grouping};
    std::string exponentDigits = std::to_string(std::abs(exponent));
    const IntegerFill exponentFill{exponentDigits, false};
    const std::size_t lastSignificant = parts.fraction.find_last_not_of('0');
    int integerIndex = 0, fractionIndex = 0, exponentIndex = 0;
    bool inExponent = false;
    std::string out;
    for (std::size_t i = 0; i < section.tokens.size(); ++i) {
        const Token& t = section.tokens[i];
        switch (t.kind) {
        case TokenKind::Digit:
            if (inExponent) {
                exponentFill.appendPlaceholder(out, exponentIndex++, section.exponentDigits, t.symbol);
            } else if (integerIndex < section.integerDigits) {
                integerFill.appendPlaceholder(out, integerIndex++, section.integerDigits, t.symbol);
            } else {
                // A fraction digit shows when it is significant or a "0" placeholder follows.
                const std::size_t index = fractionIndex++;
                bool zeroFollows = false;
                for (std::size_t j = i; j < section.tokens.size() && !zeroFollows; ++j) {
                    if (section.tokens[j].kind == TokenKind::Exponent) break;
                    zeroFollows = section.tokens[j].kind == TokenKind::Digit && section.tokens[j].symbol == '0';
                }
                if ((lastSignificant != std::string::npos && index <= lastSignificant) || zeroFollows)
                    out += parts.fraction[index];
                else if (t.symbol == '?')
                    out += ' ';
            }
            break;
        case TokenKind::Point:
            if (section.integerDigits == 0)
                for (int p = static_cast<int>(parts.integer.size()) - 1; p >= 0; --p) integerFill.append(out, p, '#');
            out += '.';
            break;
        case TokenKind::Exponent:
            out += exponentText(t, exponent);
            inExponent = true;
            break;
        case TokenKind::Literal:
        case TokenKind::Percent: out += t.text; break;
        default: break;  // grouping and scaling commas show nothing of their own
        }
    }
    return out;
}

}  // namespace host::numfmt

namespace host {

std::string formatGeneral(double value) {
    if (value == 0 || !std::isfinite(value)) return value == 0 ? "0" : "#NUM!";
    const std::string sign = value < 0 ? "-" : "";
    const double a = std::fabs(value);
    const int power = numfmt::decimalExponent(a);
    constexpr int kWidth = 11;  // characters, the sign not counted
    if (power >= -4 && power < kWidth) {
        const int decimals = power >= 0 ? std::max(0, kWidth - power - 2) : kWidth - 2;
        auto parts = numfmt::roundDecimal(a, decimals);
        if (static_cast<int>(parts.integer.size()) <= kWidth) {
            while (!parts.fraction.empty() && parts.fraction.back() == '0') parts.fraction.pop_back();
            if (parts.integer.empty()) parts.integer = "0";
            return sign + parts.integer + (parts.fraction.empty() ? "" : "." + parts.fraction);
        }
    }
    // Scientific: as many mantissa decimals as fit beside "E+XX" (or "E+XXX").
    for (int exponent = power;;) {
        const std::string e = (exponent < 0 ? "E-" : "E+") + std::string(std::abs(exponent) < 10 ? "0" : "") +
                              std::to_string(std::abs(exponent));
        const int decimals = kWidth - 2 - static_cast<int>(e.size());
        auto parts = numfmt::roundDecimal(a, decimals, exponent);
        if (parts.integer.size() > 1) {  // 9.999999 rounded to 10
            ++exponent;
            continue;
        }
        while (!parts.fraction.empty() && parts.fraction.back() == '0') parts.fraction.pop_back();
        return sign + parts.integer + (parts.fraction.empty() ? "" : "." + parts.fraction) + e;
    }
}

}  // namespace host
