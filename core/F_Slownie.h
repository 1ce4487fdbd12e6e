#pragma once
// Amounts in words, the engine of the worksheet function VALUE2STRING: a money amount from 0 to
// 999 999 999 999 written in Polish or English words (Polish złoty as the built-in currency), or as
// a row of three-letter digit codes.

#include <string>
#include <string_view>

#include "host/base/Variant.h"

namespace telm {

// Result texts for amounts out of range.
inline constexpr std::string_view kAmountTooLarge = "#ARG! (>=10^12)";
inline constexpr std::string_view kAmountNegative = "#ARG! (<0)";

// The amount in words: "Jeden tysiąc dwieście trzydzieści cztery złote 56/100" (language "PL" in any
// letter case; any other value chooses English: "One thousand two hundred thirty four Polish Zlotys
// 56/100"). The cents come from the amount as the sheet shows it (15 significant digits), rounded to
// two places, halves to even (1.015 and 1.025 both give 2/100); 100 cents carry into the whole part.
// A non-empty currencyStr replaces the currency word of the units group; centsStr follows the cents
// number. With ThreeLetters the digits are written as codes instead ("JED#DWA#ZER#TRZ#07/100").
// Amounts above 999 999 999 999 give kAmountTooLarge, below 0 kAmountNegative. Spelling a non-zero
// whole part in words marks the calling formula volatile (error 91 without the application); a
// language that cannot be turned into text then raises its conversion error; an error value as the
// language raises Type mismatch in every mode. NaN raises error 5.
std::string AmountInWords(double value, const host::Variant& language, std::string_view currencyStr,
                          std::string_view centsStr, bool ThreeLetters);

// The words of one group of three digits (0 to 999; "" for 0), trimmed at the ends but possibly with
// two blanks inside ("sto  pięć"). Marks the calling formula volatile first (error 91 without the
// application). Error 9 for a group outside 0 to 999.
std::string GroupInWords(int group, std::string_view language);

}  // namespace telm
