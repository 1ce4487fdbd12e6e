// Fraction sections: "# ?/?" shows 1.5 as "1 1/2", "?/?" as "3/2", "# ?/8" in eighths.

#include <cmath>
#include <string>

#include "host/base/NumberFormatCode.h"

namespace host::numfmt {

namespace {

struct Fraction {
    double numerator = 0;
    double denominator = 1;
};

// The fraction closest to x (x >= 0) whose denominator is at most maxDenominator: the last
// continued-fraction convergent that fits, or the best semiconvergent after it.
Fraction closestFraction(double x, double maxDenominator) {
    double p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    double rest = x;
    for (int step = 0; step < 64; ++step) {
        const double a = std::floor(rest);
        const double p2 = a * p1 + p0, q2 = a * q1 + q0;
        if (q2 > maxDenominator) {
            const double k = std::floor((maxDenominator - q0) / q1);
            const Fraction semi{k * p1 + p0, k * q1 + q0};
            const Fraction last{p1, q1};
            return std::fabs(x - semi.numerator / semi.denominator) < std::fabs(x - last.numerator / last.denominator)
                       ? semi
                       : last;
        }
        p0 = p1, q0 = q1, p1 = p2, q1 = q2;
        const double remainder = rest - a;
        if (remainder < 1e-12 || p1 / q1 == x) break;
        rest = 1 / remainder;
    }
    return {p1, q1};
}

std::string wholeDigits(double value) { return roundDecimal(value, 0).integer; }

}  // namespace

std::string formatFractionSection(const Section& section, double value) {
    const bool hasWhole = section.integerDigits > 0;
    double whole = hasWhole ? std::floor(value) : 0;
    const double part = value - whole;
    Fraction f;
    if (section.fixedDenominator > 0) {
        f = {std::round(part * static_cast<double>(section.fixedDenominator)), static_cast<double>(section.fixedDenominator)};
    } else {
        const int digits = std::min(section.denominatorDigits, 9);
        f = closestFraction(part, std::pow(10.0, digits) - 1);
    }
    if (hasWhole && f.numerator >= f.denominator) whole += 1, f.numerator = 0;
    // A whole number shows no fraction: its placeholders and bar become spaces.
    const bool blankFraction = hasWhole && f.numerator == 0 && section.fixedDenominator == 0;
    std::string wholeText = wholeDigits(whole);
    if (blankFraction && wholeText.empty()) wholeText = "0";
    const std::string numeratorText = wholeDigits(f.numerator);
    const std::string denominatorText = wholeDigits(f.denominator);
    const IntegerFill wholeFill{wholeText, false};
    const IntegerFill numeratorFill{numeratorText.empty() ? std::string("0") : numeratorText, false};

    std::string out;
    int wholeIndex = 0, numeratorIndex = 0, denominatorIndex = 0;
    for (const Token& t : section.tokens) {
        switch (t.kind) {
        case TokenKind::Digit: wholeFill.appendPlaceholder(out, wholeIndex++, section.integerDigits, t.symbol); break;
        case TokenKind::Numerator:
            if (blankFraction) out += ' ';
            else numeratorFill.appendPlaceholder(out, numeratorIndex++, section.numeratorDigits, t.symbol);
            break;
        case TokenKind::FractionBar: out += blankFraction ? " " : "/"; break;
        case TokenKind::Denominator:
            if (section.fixedDenominator > 0) {
                out += t.text;
            } else if (blankFraction) {
                out += ' ';
            } else {
                // Denominators are aligned left: their digits first, then the padding.
                const auto index = static_cast<std::size_t>(denominatorIndex++);
                if (index < denominatorText.size()) out += denominatorText[index];
                else if (t.symbol == '0') out += '0';
                else if (t.symbol == '?') out += ' ';
            }
            break;
        case TokenKind::Literal: out += t.text; break;
        default: break;
        }
    }
    return out;
}

}  // namespace host::numfmt
