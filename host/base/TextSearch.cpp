// The searching routines of Text.h: InStr, InStrRev, Replace, replaceAll, Split.
#include <optional>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/TextFinder.h"
#include "host/base/Utf8.h"

namespace host {

long InStr(long start, std::string_view haystack, std::string_view needle, CompareMethod method) {
    if (start < 1) throw RuntimeError(err::InvalidProcedureCall);
    const std::size_t from = skipChars(haystack, 0, static_cast<std::size_t>(start - 1));
    if (from >= haystack.size()) return 0;
    if (needle.empty()) return start;
    const std::string_view rest = haystack.substr(from);
    const auto match = TextFinder(rest, needle, method).next(0);
    if (!match) return 0;
    return start + static_cast<long>(countChars(rest.substr(0, match->begin)));
}

long InStr(std::string_view haystack, std::string_view needle, CompareMethod method) {
    return InStr(1, haystack, needle, method);
}

long InStrRev(std::string_view haystack, std::string_view needle, long start, CompareMethod method) {
    if (start == 0 || start < -1) throw RuntimeError(err::InvalidProcedureCall);
    const long length = Len(haystack);
    if (start == -1) start = length;
    if (haystack.empty() || start > length) return 0;
    if (needle.empty()) return start;
    const std::string_view searched = haystack.substr(0, skipChars(haystack, 0, static_cast<std::size_t>(start)));
    const auto match = TextFinder(searched, needle, method).last();
    if (!match) return 0;
    return 1 + static_cast<long>(countChars(searched.substr(0, match->begin)));
}

namespace {

// The text with at most `count` matches of the finder replaced (-1: all), left to right without
// overlapping; nullopt when nothing matches.
std::optional<std::string> replacedMatches(std::string_view text, const TextFinder& finder,
                                           std::string_view replaceWith, long count) {
    std::optional<TextFinder::Match> match = finder.next(0);
    if (!match) return std::nullopt;
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    long replaced = 0;
    do {
        out.append(text, copied, match->begin - copied);
        out += replaceWith;
        copied = match->end;
    } while ((count == -1 || ++replaced < count) && (match = finder.next(copied)));
    out.append(text, copied);
    return out;
}

}  // namespace

std::string Replace(std::string_view s, std::string_view find, std::string_view replaceWith, long start, long count,
                    CompareMethod method) {
    if (start < 1 || count < -1) throw RuntimeError(err::InvalidProcedureCall);
    const std::string_view rest = s.substr(skipChars(s, 0, static_cast<std::size_t>(start - 1)));
    if (find.empty() || count == 0) return std::string(rest);
    std::optional<std::string> out = replacedMatches(rest, TextFinder(rest, find, method), replaceWith, count);
    return out ? std::move(*out) : std::string(rest);
}

bool replaceAll(std::string& text, std::string_view find, std::string_view replaceWith, CompareMethod method) {
    if (find.empty() || text.empty()) return false;
    std::optional<std::string> out = replacedMatches(text, TextFinder(text, find, method), replaceWith, -1);
    if (!out) return false;
    text = std::move(*out);
    return true;
}

std::vector<std::string> Split(std::string_view s, std::string_view delimiter, long limit, CompareMethod method) {
    if (limit < -1) throw RuntimeError(err::InvalidProcedureCall);
    std::vector<std::string> parts;
    if (s.empty() || limit == 0) return parts;
    if (!delimiter.empty()) {
        const TextFinder finder(s, delimiter, method);
        std::size_t partBegin = 0;
        while (limit == -1 || static_cast<long>(parts.size()) + 1 < limit) {
            const auto match = finder.next(partBegin);
            if (!match) break;
            parts.emplace_back(s.substr(partBegin, match->begin - partBegin));
            partBegin = match->end;
        }
        s.remove_prefix(partBegin);
    }
    parts.emplace_back(s);
    return parts;
}

}  // namespace host
