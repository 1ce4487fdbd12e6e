#pragma once
// Finds a non-empty needle in a text, byte for byte (binary comparison) or ignoring letter case
// (text comparison: each character folded on its own with Unicode simple case folding, so that a
// match always covers whole characters of the original text). Matches are reported as byte ranges
// of the original text. The text is folded as the search walks it, so a search costs only as much
// as the text it passes over; when text and needle are both ASCII, folding is ASCII lower-casing
// (no other character folds to an ASCII one there). Used by the searching routines of Text.h.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/base/Variant.h"

namespace host {

class TextFinder {
public:
    struct Match {
        std::size_t begin;  // byte offset of the first byte of the match
        std::size_t end;    // byte offset just past the match
    };

    // The needle must not be empty. Both views must outlive the finder.
    TextFinder(std::string_view text, std::string_view needle, CompareMethod method);

    // The first match starting at or after byte `from` (a character boundary of the text).
    std::optional<Match> next(std::size_t from) const;
    // The last match in the text.
    std::optional<Match> last() const;

private:
    // The end of a case-insensitive match starting at byte `at`, if there is one.
    std::optional<std::size_t> foldedMatchEnd(std::size_t at) const;
    // Whether the needle matches at byte `at`, ASCII letters compared without case.
    bool asciiMatchAt(std::size_t at) const;

    std::string_view text_;
    std::string_view needle_;
    bool ignoreCase_;
    bool asciiOnly_ = false;
    std::u32string foldedNeedle_;
};

}  // namespace host
