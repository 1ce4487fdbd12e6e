#pragma once
// Text routines of the runtime over UTF-8 text. Positions and lengths count Unicode characters (code
// points), never bytes; positions are 1-based as in the runtime. Case mapping and case-insensitive
// comparison go through ICU.

#include <string>
#include <string_view>

#include "host/base/Variant.h"

namespace host {

// StrComp: -1, 0 or 1. Text comparison ignores letter case (full Unicode case folding).
int StrComp(std::string_view a, std::string_view b, CompareMethod method = CompareMethod::Binary);

// Trim: removes blanks (U+0020) at both ends.
std::string Trim(std::string_view s);

}  // namespace host
