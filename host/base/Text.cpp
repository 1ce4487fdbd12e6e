#include "host/base/Text.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace host {

int StrComp(std::string_view a, std::string_view b, CompareMethod method) {
    if (method == CompareMethod::Binary) {
        const int c = a.compare(b);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    icu::UnicodeString ua = icu::UnicodeString::fromUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())));
    icu::UnicodeString ub = icu::UnicodeString::fromUTF8(icu::StringPiece(b.data(), static_cast<int32_t>(b.size())));
    const int8_t c = ua.caseCompare(ub, U_FOLD_CASE_DEFAULT);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return std::string(s);
}

}  // namespace host
