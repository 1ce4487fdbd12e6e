#include "host/formula/Utf8.h"

namespace host::formula {

namespace {

// Byte offset of the 0-based code point index (the text's size when it has fewer).
std::size_t byteOffset(std::string_view text, std::size_t index) {
    std::size_t offset = 0;
    for (; index > 0 && offset < text.size(); --index) offset += utf8SequenceLength(text[offset]);
    return offset < text.size() ? offset : text.size();
}

}  // namespace

std::size_t utf8SequenceLength(char lead) {
    const auto b = static_cast<unsigned char>(lead);
    if (b >= 0xF0) return 4;
    if (b >= 0xE0) return 3;
    if (b >= 0xC0) return 2;
    return 1;
}

std::size_t utf8Length(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); i += utf8SequenceLength(text[i])) ++n;
    return n;
}

std::string_view utf8Slice(std::string_view text, std::size_t first, std::size_t count) {
    const std::size_t begin = byteOffset(text, first);
    const std::string_view rest = text.substr(begin);
    return rest.substr(0, byteOffset(rest, count));
}

}  // namespace host::formula
