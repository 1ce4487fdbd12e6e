#include "host/files/Xml.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

#include "host/base/Utf8.h"

namespace host::files {

std::string_view localName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node child(const pugi::xml_node& node, std::string_view name) {
    for (auto c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && localName(c) == name) return c;
    return {};
}

pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view name) {
    for (auto a = node.first_attribute(); a; a = a.next_attribute()) {
        std::string_view n = a.name();
        const auto colon = n.find(':');
        if ((colon == std::string_view::npos ? n : n.substr(colon + 1)) == name) return a;
    }
    return {};
}

std::string_view namespaceUri(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    const std::string declaration =
        colon == std::string_view::npos ? std::string("xmlns") : "xmlns:" + std::string(name.substr(0, colon));
    for (auto n = node; n; n = n.parent())
        if (auto a = n.attribute(declaration.c_str())) return a.value();
    return {};
}

int elementDepth(const pugi::xml_node& node) {
    int depth = 0, deepest = 0;
    for (auto n = node.first_child(); n;) {
        const bool element = n.type() == pugi::node_element;
        if (element) deepest = std::max(deepest, depth + 1);
        if (element && n.first_child()) {
            ++depth;
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling() && n != node) {
            n = n.parent();
            --depth;
        }
        if (!n || n == node) break;
        n = n.next_sibling();
    }
    return deepest + (node.type() == pugi::node_element ? 1 : 0);
}

std::string innerText(const pugi::xml_node& node) {
    std::string text;
    for (auto c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
        else if (c.type() == pugi::node_element) text += innerText(c);
    }
    return text;
}

namespace {

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// An "_xHHHH_" escape at position i of text.
bool escapeAt(std::string_view text, std::size_t i) {
    if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return false;
    for (std::size_t k = i + 2; k < i + 6; ++k)
        if (!isHex(text[k])) return false;
    return true;
}

std::string escapeOf(unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "_x%04X_", code);
    return buffer;
}

}  // namespace

std::string decodeEscapes(std::string_view text) {
    if (text.find("_x") == std::string_view::npos) return std::string(text);
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (escapeAt(text, i)) {
            const auto code = static_cast<char32_t>(std::stoul(std::string(text.substr(i + 2, 4)), nullptr, 16));
            appendUtf8(result, code);
            i += 7;
        } else {
            result += text[i++];
        }
    }
    return result;
}

std::string encodeEscapes(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || escapeAt(text, i)) result += escapeOf(c);
        else result += text[i];
    }
    return result;
}

std::string numberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string serialize(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, "", pugi::format_raw);
    // A reader turns a CR written as it is into a line feed; a character reference keeps it. Raw
    // output has no CR of its own, so every CR comes from a text or an attribute.
    std::string text = out.str();
    if (text.find('\r') == std::string::npos) return text;
    std::string kept;
    kept.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\r') kept += "&#13;";
        else kept += c;
    }
    return kept;
}

}  // namespace host::files
