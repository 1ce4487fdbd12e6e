#pragma once
// A number format code read into sections of tokens, the form the formatting routines work on. Used
// by the NumberFormat*.cpp files only.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::numfmt {

enum class TokenKind {
    Literal,          // text shown as it is (quoted text, escaped and plain characters, "_x" spaces)
    Digit,            // a digit placeholder: symbol '0', '#' or '?'
    Point,            // the decimal point of a number section
    Comma,            // a "," between digit placeholders or after them; resolved by the section
    Percent,          // "%": shows itself and multiplies the number by 100
    Exponent,         // "E+", "E-", "e+", "e-"
    TextPlaceholder,  // "@"
    General,          // "General"
    Year,             // y, yy: two digits; yyy, yyyy: four
    Month,            // m, mm, mmm, mmmm, mmmmm
    Minute,           // m, mm after an hour or before seconds
    Day,              // d, dd, ddd, dddd
    Hour,             // h, hh
    Second,           // s, ss
    SecondFraction,   // the "00" of "ss.00": tenths, hundredths, thousandths of a second
    ElapsedHours,     // [h], [hh]
    ElapsedMinutes,   // [m], [mm]
    ElapsedSeconds,   // [s], [ss]
    AmPm,             // "AM/PM" (shown in capitals) or "A/P" (in the case written)
    Numerator,        // a digit placeholder of a fraction's numerator: symbol '0', '#' or '?'
    FractionBar,      // the "/" of a fraction
    Denominator,      // a digit placeholder of a fraction's denominator
};

struct Token {
    TokenKind kind = TokenKind::Literal;
    std::string text;  // Literal: the text; Exponent: "E+"...; AmPm: the morning and afternoon marks
    std::string pmText;
    char symbol = 0;   // Digit: '0', '#' or '?'
    int width = 0;     // date and time tokens: the number of letters
};

// "[>100]", "[<=0]" ...: the values a section is chosen for.
struct Condition {
    enum class Op { Always, Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
    Op op = Op::Always;
    double limit = 0;
    bool holds(double value) const;
    // True for "<x" and "<=x" with x <= 0: a section that holds only negative numbers and zero.
    bool onlyNonPositive() const;
};

enum class SectionKind { Number, General, Date, Text };

struct Section {
    std::vector<Token> tokens;
    SectionKind kind = SectionKind::Number;
    std::optional<Condition> condition;  // only when the code gives one
    // Number sections.
    int integerDigits = 0;   // digit placeholders before the decimal point (or the exponent)
    int fractionDigits = 0;  // after it
    int exponentDigits = 0;  // after the exponent sign
    bool grouping = false;   // "," between integer placeholders: thousands separators
    int scaleThousands = 0;  // "," right after the last placeholder: divide by 1000 each
    int percents = 0;
    bool engineering = false;  // "##0.0E+0": the exponent is a multiple of the integer placeholders
    // Fraction sections ("# ?/?", "?/8"): integerDigits placeholders for the whole part (none: the
    // whole value goes into the fraction), the numerator's and denominator's placeholders, or a fixed
    // denominator.
    bool fraction = false;
    int numeratorDigits = 0;
    int denominatorDigits = 0;
    long fixedDenominator = 0;
    // Date sections.
    bool twelveHour = false;
    int secondDecimals = 0;
};

struct FormatCode {
    std::vector<Section> numberSections;  // one to three, in order
    std::optional<Section> textSection;   // the section with "@" (or the fourth)
};

// The code read into sections; shared and kept in a small cache, as the same codes come back often.
std::shared_ptr<const FormatCode> compileFormat(std::string_view code);

// Decimal digits of a non-negative number times 10^-shift, rounded half away from zero at `decimals`
// places from the number's 15 significant digits: integer digits without leading zeros ("" for
// zero) and exactly `decimals` fraction digits.
struct DecimalParts {
    std::string integer;
    std::string fraction;
};
DecimalParts roundDecimal(double value, int decimals, int shift = 0);
// The power of ten of the first significant digit of a positive number at 15 significant digits
// (1234 -> 3, 0.05 -> -2).
int decimalExponent(double value);

// A number section shown for a non-negative number (the sign is the caller's); nullopt when the
// number, scaled by the section's percent signs, is too large to show.
std::optional<std::string> formatNumberSection(const Section& section, double value);
// A fraction section shown for a non-negative number.
std::string formatFractionSection(const Section& section, double value);

// Fills a run of integer placeholders from the right with the digits (without leading zeros):
// position p (0 = units) shows the digit, or the placeholder's padding once the digits run out ('0'
// a zero, '?' a space, '#' nothing); the leftmost placeholder takes every digit beyond.
struct IntegerFill {
    const std::string& digits;
    bool grouping;
    void append(std::string& out, int position, char symbol) const;
    void appendPlaceholder(std::string& out, int index, int count, char symbol) const;
};
// A date or time section shown for a serial; nullopt for a negative serial or one past 31/12/9999.
std::optional<std::string> formatDateSection(const Section& section, double serial);

}  // namespace host::numfmt
