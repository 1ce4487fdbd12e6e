#include "host/base/Utf8.h"

#include <cstdint>
#include <cstring>

#include <unicode/utf8.h>

namespace host {

namespace {

// Decodes one character at `at` and moves past it; negative for an ill-formed sequence.
UChar32 decode(std::string_view s, std::size_t& at) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    const auto length = static_cast<int32_t>(s.size());
    auto i = static_cast<int32_t>(at);
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    at = static_cast<std::size_t>(i);
    return c;
}

constexpr std::size_t wordSize = sizeof(std::uint64_t);

bool isAsciiWord(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, wordSize);
    return (word & 0x8080808080808080ULL) == 0;
}

// Steps over at most maxChars characters from byte `at` (plain ASCII a word at a time); returns how
// many it stepped over.
std::size_t walk(std::string_view s, std::size_t& at, std::size_t maxChars) {
    std::size_t walked = 0;
    while (walked < maxChars && at < s.size()) {
        if (maxChars - walked >= wordSize && s.size() - at >= wordSize && isAsciiWord(s.data() + at)) {
            at += wordSize;
            walked += wordSize;
        } else {
            decode(s, at);
            ++walked;
        }
    }
    return walked;
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    for (std::size_t at = 0; at < s.size();) {
        if (decode(s, at) < 0) return false;
    }
    return true;
}

bool isAscii(std::string_view s) {
    unsigned char any = 0;  // one OR over all bytes: the loop vectorises
    for (const char c : s) any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

std::size_t countChars(std::string_view s) {
    std::size_t at = 0;
    return walk(s, at, s.size());
}

std::size_t skipChars(std::string_view s, std::size_t from, std::size_t count) {
    std::size_t at = from;
    walk(s, at, count);
    return at;
}

char32_t nextChar(std::string_view s, std::size_t& at) {
    const UChar32 c = decode(s, at);
    return c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
}

void appendUtf8(std::string& out, char32_t c) {
    uint8_t buffer[U8_MAX_LENGTH];
    int32_t length = 0;
    UBool failed = false;
    U8_APPEND(buffer, length, U8_MAX_LENGTH, static_cast<UChar32>(c), failed);
    if (failed) {
        out += "\xEF\xBF\xBD";
        return;
    }
    out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

}  // namespace host
