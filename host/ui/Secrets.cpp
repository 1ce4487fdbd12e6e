#include "host/ui/Secrets.h"

#include <regex>

namespace host::ui {

std::string maskPasswords(std::string_view text) {
    static const std::regex item(R"(((?:pwd|password)\s*=\s*)(\{[^}]*\}?|"[^"]*"?|[^;\r\n]*))",
                                 std::regex::icase | std::regex::ECMAScript);
    return std::regex_replace(std::string(text), item, "$1****");
}

}  // namespace host::ui
