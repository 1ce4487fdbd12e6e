#include "host/ui/Secrets.h"

#include <array>

namespace host::ui {

namespace {

constexpr std::array<std::string_view, 2> kPasswordWords{"password", "pwd"};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The length of the password word at `at` (letter case ignored), 0 when none starts there.
std::size_t passwordWordAt(std::string_view text, std::size_t at) {
    for (std::string_view word : kPasswordWords) {
        if (text.size() - at < word.size()) continue;
        std::size_t i = 0;
        while (i < word.size() && lower(text[at + i]) == word[i]) ++i;
        if (i == word.size()) return word.size();
    }
    return 0;
}

// Where the value starting at `at` ends: a braced value at its closing brace ("}}" inside stands for
// "}"), a quoted one (an OLE DB text's "..." or '...') at its closing quote, doubled inside, all at the
// end of the text when never closed; a plain value at the next ";" or line end.
std::size_t valueEnd(std::string_view text, std::size_t at) {
    if (at < text.size() && (text[at] == '{' || text[at] == '"' || text[at] == '\'')) {
        const char close = text[at] == '{' ? '}' : text[at];
        for (std::size_t i = at + 1; i < text.size(); ++i) {
            if (text[i] != close) continue;
            if (i + 1 < text.size() && text[i + 1] == close) {
                ++i;
                continue;
            }
            return i + 1;
        }
        return text.size();
    }
    const std::size_t end = text.find_first_of(";\r\n", at);
    return end == std::string_view::npos ? text.size() : end;
}

}  // namespace

std::string maskPasswords(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;  // text before this is in `out`
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t word = passwordWordAt(text, at);
        if (word == 0) {
            ++at;
            continue;
        }
        std::size_t i = at + word;
        while (i < text.size() && isSpace(text[i])) ++i;
        if (i == text.size() || text[i] != '=') {
            at = i;  // the blanks after the word start no other word
            continue;
        }
        ++i;
        while (i < text.size() && isSpace(text[i])) ++i;
        out.append(text.substr(copied, i - copied)).append("****");
        copied = at = valueEnd(text, i);
    }
    out.append(text.substr(copied));
    return out;
}

}  // namespace host::ui
