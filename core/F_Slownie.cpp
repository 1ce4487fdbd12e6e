#include "core/F_Slownie.h"

#include <array>
#include <cmath>
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

    // Rounded to the cent, halves to even (the default rounding mode); 100 cents make one more unit,
    // which stays in range since any fraction on the largest whole part is already out of range.
    std::int64_t whole = static_cast<std::int64_t>(std::trunc(value));
    int cents = static_cast<int>(std::nearbyint((value - static_cast<double>(whole)) * 100.0));
    if (cents == 100) {
        ++whole;
        cents = 0;
    }

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
