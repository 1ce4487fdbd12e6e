#include "host/base/Text.h"

#include <algorithm>

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "host/base/RuntimeError.h"
#include "host/base/Utf8.h"

namespace host {

namespace {

icu::UnicodeString toUnicode(std::string_view s) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUtf8(const icu::UnicodeString& s) {
    std::string out;
    s.toUTF8String(out);
    return out;
}

void requireArgument(bool valid) {
    if (!valid) throw RuntimeError(err::InvalidProcedureCall);
}

}  // namespace

int StrComp(std::string_view a, std::string_view b, CompareMethod method) {
    if (method == CompareMethod::Binary) {
        const int c = a.compare(b);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (isAscii(a) && isAscii(b)) {
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
            if (const int d = asciiLower(a[i]) - asciiLower(b[i]); d != 0) return d < 0 ? -1 : 1;
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    const int8_t c = toUnicode(a).caseCompare(toUnicode(b), U_FOLD_CASE_DEFAULT);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

long Len(std::string_view s) {
    return static_cast<long>(countChars(s));
}

std::string Left(std::string_view s, long n) {
    requireArgument(n >= 0);
    return std::string(s.substr(0, skipChars(s, 0, static_cast<std::size_t>(n))));
}

std::string Right(std::string_view s, long n) {
    requireArgument(n >= 0);
    const std::size_t length = countChars(s);
    const auto keep = static_cast<std::size_t>(n);
    if (keep >= length) return std::string(s);
    return std::string(s.substr(skipChars(s, 0, length - keep)));
}

std::string Mid(std::string_view s, long start) {
    requireArgument(start >= 1);
    return std::string(s.substr(skipChars(s, 0, static_cast<std::size_t>(start - 1))));
}

std::string Mid(std::string_view s, long start, long length) {
    requireArgument(start >= 1 && length >= 0);
    const std::size_t begin = skipChars(s, 0, static_cast<std::size_t>(start - 1));
    const std::size_t end = skipChars(s, begin, static_cast<std::size_t>(length));
    return std::string(s.substr(begin, end - begin));
}

std::string Join(const std::vector<std::string>& parts, std::string_view delimiter) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += delimiter;
        out += parts[i];
    }
    return out;
}

// ASCII texts, the usual case, change case byte by byte; others through Unicode's full mappings.
std::string UCase(std::string_view s) {
    if (isAscii(s)) {
        std::string out(s);
        std::ranges::transform(out, out.begin(), asciiUpper);
        return out;
    }
    return toUtf8(toUnicode(s).toUpper(icu::Locale::getRoot()));
}

std::string LCase(std::string_view s) {
    if (isAscii(s)) {
        std::string out(s);
        std::ranges::transform(out, out.begin(), asciiLower);
        return out;
    }
    return toUtf8(toUnicode(s).toLower(icu::Locale::getRoot()));
}

std::string UCaseEachChar(std::string_view s) {
    if (isAscii(s)) return UCase(s);
    const icu::UnicodeString text = toUnicode(s);
    icu::UnicodeString out;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) out.append(u_toupper(text.char32At(i)));
    return toUtf8(out);
}

std::string CaseFolded(std::string_view s) {
    if (isAscii(s)) return LCase(s);
    return toUtf8(toUnicode(s).foldCase(U_FOLD_CASE_DEFAULT));
}

std::string LTrim(std::string_view s) {
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string() : std::string(s.substr(first));
}

std::string RTrim(std::string_view s) {
    const std::size_t last = s.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string() : std::string(s.substr(0, last + 1));
}

std::string Trim(std::string_view s) {
    return LTrim(RTrim(s));
}

std::string Space(long n) {
    requireArgument(n >= 0);
    return std::string(static_cast<std::size_t>(n), ' ');
}

std::string String(long n, std::string_view character) {
    requireArgument(n >= 0 && !character.empty());
    const std::string_view first = character.substr(0, skipChars(character, 0, 1));
    std::string out;
    out.reserve(first.size() * static_cast<std::size_t>(n));
    for (long i = 0; i < n; ++i) out += first;
    return out;
}

std::string ChrW(long code) {
    requireArgument(code >= -32768 && code <= 0x10FFFF);
    if (code < 0) code += 65536;
    requireArgument(code < 0xD800 || code > 0xDFFF);
    std::string out;
    appendUtf8(out, static_cast<char32_t>(code));
    return out;
}

std::string Chr(long code) {
    return ChrW(code);
}

long AscW(std::string_view s) {
    requireArgument(!s.empty());
    std::size_t at = 0;
    return static_cast<long>(nextChar(s, at));
}

std::string FormatWhole(long long value, std::string_view code) {
    requireArgument(code.find_first_not_of('0') == std::string_view::npos);
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < code.size()) digits.insert(0, code.size() - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

}  // namespace host
