#pragma once
// Number formats: a value shown with a format code of the spreadsheet ("0.00", "#,##0", "0%",
// "yyyy-mm-dd", "General", sections separated by ";"), as the TEXT function and cell display give it.

#include <string>
#include <string_view>

#include "host/base/Variant.h"

namespace host {

// The value formatted with the code. Texts pass through the text section ("@") or unchanged;
// Booleans give "TRUE"/"FALSE"; error values their text.
std::string formatValue(const Variant& value, std::string_view code);

// The spreadsheet's General display of a number: up to 11 characters, switching to scientific
// notation ("1.23457E+11") when the number does not fit.
std::string formatGeneral(double value);

}  // namespace host
