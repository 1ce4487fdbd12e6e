#include "core/F_Slownie.h"

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>

#include "core/A_Deklaracje.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

namespace telm {

namespace {

using WordList = std::array<std::string_view, 10>;

// The name of a group (or of the currency) with its endings for the forms 0, 1 and 2.
struct GroupName {
    std::string_view stem;
    std::array<std::string_view, 3> endings;
};

struct WordTables {
    WordList units, teens, tens, hundreds;
    GroupName currency, thousands, millions, billions;
    WordList digitCodes;
};

const WordTables kPolish{
    {"", "jeden", "dwa", "trzy", "cztery", "pięć", "sześć", "siedem", "osiem", "dziewięć"},
    {"", "jedenaście", "dwanaście", "trzynaście", "czternaście", "piętnaście", "szesnaście", "siedemnaście",
     "osiemnaście", "dziewiętnaście"},
    {"", "dziesięć", "dwadzieścia", "trzydzieści", "czterdzieści", "pięćdziesiąt", "sześćdziesiąt",
     "siedemdziesiąt", "osiemdziesiąt", "dziewięćdziesiąt"},
    {"", "sto", "dwieście", "trzysta", "czterysta", "pięćset", "sześćset", "siedemset", "osiemset", "dziewięćset"},
    {"złot", {"y", "e", "ych"}},
    {"tysi", {"ąc", "ące", "ęcy"}},
    {"milion", {"", "y", "ów"}},
    {"miliard", {"", "y", "ów"}},
    {"ZER", "JED", "DWA", "TRZ", "CZT", "PIE", "SZE", "SIE", "OSI", "DZI"},
};

const WordTables kEnglish{
    {"", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"},
    {"", "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"},
    {"", "ten", "twenty", "thirty", "fourty", "fifty", "sixty", "seventy", "eighty", "ninety"},
    {"", "one hundred", "two hundred", "three hundred", "four hundred", "five hundred", "six hundred",
     "seven hundred", "eight hundred", "nine hundred"},
    {"Polish Zlot", {"y", "ys", "ys"}},
    {"thousand", {"", "s", "s"}},
    {"milion", {"", "s", "s"}},
    {"bilion", {"", "s", "s"}},
    {"ZER", "ONE", "TWO", "THR", "FOU", "FIV", "SIX", "SEV", "EIG", "NIN"},
};

const WordTables& tablesFor(bool polish) { return polish ? kPolish : kEnglish; }

bool isPolish(std::string_view language) { return host::UCase(language) == "PL"; }

// A Null language chooses English where it is only compared, as the runtime's comparison with Null
// is never true.
bool choosesPolish(const host::Variant& language) { return !language.isNull() && isPolish(language.toString()); }

// The grammatical form of a count: 0 for one, 1 for 2-4 outside the teens (22, 34), 2 otherwise.
int formOf(std::int64_t count) {
    if (count == 1) return 0;
    const std::int64_t lastDigit = count % 10;
    const std::int64_t lastTwo = count % 100;
    if (lastDigit >= 5 || lastDigit <= 1 || (lastTwo >= 10 && lastTwo <= 20)) return 2;
    return 1;
}

std::string nameFor(const GroupName& name, std::int64_t count) {
    return std::string(name.stem) + std::string(name.endings[static_cast<std::size_t>(formOf(count))]);
}

// The word text of a whole part of at least 1: billions, millions, thousands (each only when its
// count is not 0) and the units group with the currency word, each preceded by a blank.
std::string wholeInWords(std::int64_t whole, const WordTables& words, std::string_view language,
                         std::string_view currencyStr) {
    struct Group {
        std::int64_t power;
        const GroupName& name;
    };
    const Group groups[] = {{1'000'000'000, words.billions}, {1'000'000, words.millions}, {1'000, words.thousands}};
    std::string text;
    for (const Group& group : groups) {
        const std::int64_t count = whole / group.power;
        if (count == 0) continue;
        text += " " + GroupInWords(static_cast<int>(count), language) + " " + nameFor(group.name, count);
        whole -= count * group.power;
    }
    const std::string currency = currencyStr.empty() ? nameFor(words.currency, whole) : std::string(currencyStr);
    return text + " " + GroupInWords(static_cast<int>(whole), language) + " " + currency;
}

std::string digitCodes(std::int64_t whole, int cents, const WordTables& words) {
    std::string text;
    for (char digit : std::to_string(whole)) text += "#" + std::string(words.digitCodes[digit - '0']);
    text += "#" + host::FormatWhole(cents, "00") + "/100";
    return text.substr(1);  // without the leading "#"
}

struct WholeAndCents {
    std::int64_t whole;
    int cents;
};

// The whole part and the cents of the amount as the sheet shows it (15 significant digits), the
// cents rounded halves to even on that decimal text: 1.015 and 1.025 both give 2 cents, and 100
// cents make one more unit (2000.995 gives 2001). Any fraction on the largest whole part is already
// out of range, so the carry stays in range.
WholeAndCents wholeAndCents(double value) {
    const double truncated = std::trunc(value);
    const int wholeDigits = truncated < 1 ? 0 : static_cast<int>(std::floor(std::log10(truncated))) + 1;
    char shown[64];
    std::snprintf(shown, sizeof shown, "%.*f", std::max(2, 15 - wholeDigits), value);
    const std::string_view text(shown);
    const std::size_t point = text.find('.');
    const std::string_view fraction = text.substr(point + 1);
    std::int64_t whole = std::stoll(std::string(text.substr(0, point)));
    int cents = (fraction[0] - '0') * 10 + (fraction[1] - '0');
    const std::string_view rest = fraction.substr(2);
    const bool beyondHalf = !rest.empty() && (rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) !=
                                                                                     std::string_view::npos));
    const bool exactHalf = !rest.empty() && rest[0] == '5' && !beyondHalf;
    if (beyondHalf || (exactHalf && cents % 2 == 1)) ++cents;
    if (cents == 100) {
        ++whole;
        cents = 0;
    }
    return {whole, cents};
}

// Pairs of blanks become one (one pass), the ends are trimmed, the first character upper-cased.
std::string tidied(std::string_view text) {
    const std::string single = host::Trim(host::Replace(text, "  ", " "));
    return host::UCase(host::Left(single, 1)) + host::Mid(single, 2);
}

}  // namespace

std::string AmountInWords(double value, const host::Variant& language, std::string_view currencyStr,
                          std::string_view centsStr, bool ThreeLetters) {
    if (std::isnan(value)) throw host::RuntimeError(host::err::InvalidProcedureCall);
    if (value > 999'999'999'999.0) return std::string(kAmountTooLarge);
    if (value < 0) return std::string(kAmountNegative);

    const auto [whole, cents] = wholeAndCents(value);
    if (ThreeLetters) return digitCodes(whole, cents, tablesFor(choosesPolish(language)));

    std::string text;
    if (whole == 0) {
        const WordTables& words = tablesFor(choosesPolish(language));
        text = "zero " + (currencyStr.empty() ? nameFor(words.currency, 0) : std::string(currencyStr));
    } else {
        const std::string languageText = language.toString();
        text = wholeInWords(whole, tablesFor(isPolish(languageText)), languageText, currencyStr);
    }
    return tidied(text + " " + std::to_string(cents) + std::string(centsStr));
}

std::string GroupInWords(int group, std::string_view language) {
    ExcelApplication().markVolatile();
    if (group < 0 || group > 999) throw host::RuntimeError(host::err::SubscriptOutOfRange);
    const WordTables& words = tablesFor(isPolish(language));
    const int hundreds = group / 100;
    const int rest = group % 100;
    std::string tail;
    if (rest > 10 && rest < 20)
        tail = words.teens[static_cast<std::size_t>(rest - 10)];
    else
        tail = std::string(words.tens[static_cast<std::size_t>(rest / 10)]) + " " +
               std::string(words.units[static_cast<std::size_t>(rest % 10)]);
    return host::Trim(std::string(words.hundreds[static_cast<std::size_t>(hundreds)]) + " " + tail);
}

}  // namespace telm
