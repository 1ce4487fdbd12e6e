#pragma once
// Number formats: a value shown with a format code of the spreadsheet ("0.00", "#,##0", "0%",
// "yyyy-mm-dd", "General", sections separated by ";"), as the TEXT function and cell display give it.
//
// Codes: digit placeholders 0, # and ? (a space), thousands "," and trailing "," dividing by 1000,
// "." and "%", scientific "E+"/"E-", literal characters, "\x", quoted text, "_x" (one space), "*x"
// (nothing), "@" for the text, up to four sections (positive; negative, shown without a minus; zero;
// text), colours ignored, conditions "[>100]", currency texts "[$€-407]", dates and times with y, m,
// d, h, s, AM/PM, A/P, elapsed [h] [m] [s] and fractions of seconds "ss.00", fractions "# ?/?".
// Serials count days the spreadsheet's way: day 1 is 1 January 1900 and day 60 is 29 February 1900.
// An empty code is General.

#include <optional>
#include <string>
#include <string_view>

#include "host/base/Variant.h"

namespace host {

// The value formatted with the code, or nullopt when the code cannot show it: a date or time code for
// a negative serial or one past 31 December 9999 (TEXT gives #VALUE! there). Texts go through the
// text section or pass unchanged; Booleans give "TRUE"/"FALSE"; error values their text; Empty counts
// as 0.
std::optional<std::string> tryFormatValue(const Variant& value, std::string_view code);

// tryFormatValue, with "#VALUE!" for a value the code cannot show.
std::string formatValue(const Variant& value, std::string_view code);

// What a cell shows for a value the code cannot show: the cell filled with "#".
inline constexpr std::string_view kCellFill = "########";
// tryFormatValue as a cell shows it: kCellFill for a value the code cannot show (a negative date, a
// number too large once scaled by "%").
std::string displayText(const Variant& value, std::string_view code);

// The spreadsheet's General display of a number: up to 11 characters (the sign not counted), in
// scientific notation ("1.23457E+11", "1E-07") from 1E+11 up and below 1E-4.
std::string formatGeneral(double value);

}  // namespace host
