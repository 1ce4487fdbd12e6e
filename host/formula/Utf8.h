#pragma once
// Code-point counting and slicing of UTF-8 text for the formula engine's text functions.
// (Stand-in until host/base/Text.h offers Len/Left/Mid; swap the callers over when it does.)

#include <cstddef>
#include <string_view>

namespace host::formula {

// Bytes of the UTF-8 sequence that starts with this byte (1 for a stray continuation byte).
std::size_t utf8SequenceLength(char lead);
// Number of code points.
std::size_t utf8Length(std::string_view text);
// The count code points from the 0-based code point first on (fewer at the end of the text).
std::string_view utf8Slice(std::string_view text, std::size_t first, std::size_t count);

}  // namespace host::formula
