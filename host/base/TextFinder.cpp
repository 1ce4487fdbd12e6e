#include "host/base/TextFinder.h"

#include <unicode/uchar.h>

#include "host/base/Utf8.h"

namespace host {

namespace {

char32_t foldCase(char32_t c) {
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

}  // namespace

TextFinder::TextFinder(std::string_view text, std::string_view needle, CompareMethod method)
    : text_(text), needle_(needle), ignoreCase_(method == CompareMethod::Text) {
    if (!ignoreCase_) return;
    asciiOnly_ = isAscii(needle) && isAscii(text);
    if (asciiOnly_) return;
    for (std::size_t at = 0; at < needle.size();) foldedNeedle_.push_back(foldCase(nextChar(needle, at)));
}

std::optional<TextFinder::Match> TextFinder::next(std::size_t from) const {
    if (!ignoreCase_) {
        const std::size_t at = text_.find(needle_, from);
        if (at == std::string_view::npos) return std::nullopt;
        return Match{at, at + needle_.size()};
    }
    if (asciiOnly_) {
        if (needle_.size() > text_.size()) return std::nullopt;
        // Candidates are the places of the needle's first byte, in either case (a byte without case
        // is searched for as it is).
        const char first = asciiLower(needle_[0]);
        const std::size_t lastStart = text_.size() - needle_.size();
        if (first == asciiUpper(first)) {
            for (std::size_t at = text_.find(first, from); at <= lastStart; at = text_.find(first, at + 1))
                if (asciiMatchAt(at)) return Match{at, at + needle_.size()};
            return std::nullopt;
        }
        for (std::size_t at = from; at <= lastStart; ++at)
            if (asciiLower(text_[at]) == first && asciiMatchAt(at)) return Match{at, at + needle_.size()};
        return std::nullopt;
    }
    for (std::size_t at = from; at < text_.size(); at = skipChars(text_, at, 1)) {
        if (const auto end = foldedMatchEnd(at)) return Match{at, *end};
    }
    return std::nullopt;
}

std::optional<TextFinder::Match> TextFinder::last() const {
    if (!ignoreCase_) {
        const std::size_t at = text_.rfind(needle_);
        if (at == std::string_view::npos) return std::nullopt;
        return Match{at, at + needle_.size()};
    }
    if (asciiOnly_) {
        for (std::size_t at = text_.size() + 1; at-- > needle_.size();) {
            const std::size_t begin = at - needle_.size();
            if (asciiMatchAt(begin)) return Match{begin, at};
        }
        return std::nullopt;
    }
    std::optional<Match> found;
    for (std::size_t at = 0; at < text_.size(); at = skipChars(text_, at, 1)) {
        if (const auto end = foldedMatchEnd(at)) found = Match{at, *end};
    }
    return found;
}

bool TextFinder::asciiMatchAt(std::size_t at) const {
    for (std::size_t i = 0; i < needle_.size(); ++i)
        if (asciiLower(text_[at + i]) != asciiLower(needle_[i])) return false;
    return true;
}

std::optional<std::size_t> TextFinder::foldedMatchEnd(std::size_t at) const {
    for (const char32_t wanted : foldedNeedle_) {
        if (at >= text_.size() || foldCase(nextChar(text_, at)) != wanted) return std::nullopt;
    }
    return at;
}

}  // namespace host
