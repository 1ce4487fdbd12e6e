#pragma once
// Stepping through UTF-8 text by characters (code points). An ill-formed byte sequence counts as one
// character everywhere, so counting and cutting always agree with each other.

#include <cstddef>
#include <string>
#include <string_view>

namespace host {

// True when s is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool isValidUtf8(std::string_view s);

// True when every byte of s is below 0x80, so that bytes and characters are one.
bool isAscii(std::string_view s);

// The ASCII letters' other case; every other byte as it is.
inline char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Number of characters in s.
std::size_t countChars(std::string_view s);

// Byte offset reached from byte `from` after stepping over `count` characters; stops at the end.
std::size_t skipChars(std::string_view s, std::size_t from, std::size_t count);

// The character starting at byte `at` (U+FFFD for an ill-formed sequence); moves `at` past it.
char32_t nextChar(std::string_view s, std::size_t& at);

// Appends the UTF-8 form of a code point; U+FFFD for a value that is no Unicode scalar value.
void appendUtf8(std::string& out, char32_t c);

}  // namespace host
