#include "data/ModelFileText.h"

#include "host/base/TextFile.h"

namespace telm {

std::vector<std::string> ModelFileLines(std::string_view text) {
    if (text.find('\r') == std::string_view::npos) return host::splitLines(text);
    std::vector<std::string> lines;
    std::size_t lineBegin = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') continue;
        lines.emplace_back(text.substr(lineBegin, i - lineBegin));
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lineBegin = i + 1;
    }
    if (lineBegin < text.size()) lines.emplace_back(text.substr(lineBegin));
    return lines;
}

std::string ModelFileLineEnd(std::string_view text) {
    return text.find('\n') != std::string_view::npos && text.find('\r') == std::string_view::npos ? "\n" : "\r\n";
}

bool ModelValueNeedsEscapes(std::string_view value) {
    return value.find_first_of("\r\n\t") != std::string_view::npos || value.find(":::") != std::string_view::npos;
}

std::string EscapeModelValue(std::string_view value) {
    std::string text;
    for (char c : value) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '\r': text += "\\r"; break;
        case '\n': text += "\\n"; break;
        case '\t': text += "\\t"; break;
        case ':': text += "\\c"; break;
        default: text += c;
        }
    }
    return text;
}

std::string UnescapeModelValue(std::string_view text) {
    std::string value;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            value += text[i];
            continue;
        }
        switch (text[i + 1]) {
        case '\\': value += '\\'; break;
        case 'r': value += '\r'; break;
        case 'n': value += '\n'; break;
        case 't': value += '\t'; break;
        case 'c': value += ':'; break;
        default: value += text[i]; continue;
        }
        ++i;
    }
    return value;
}

}  // namespace telm
