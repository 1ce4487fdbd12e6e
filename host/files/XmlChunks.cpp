#include "host/files/XmlChunks.h"

namespace host::files {

namespace {

constexpr auto npos = std::string_view::npos;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view localOf(std::string_view name) {
    const auto colon = name.find(':');
    return colon == npos ? name : name.substr(colon + 1);
}

// The position of the '>' that ends the tag starting at `start`; quoted values may hold '>'.
std::size_t tagEnd(std::string_view xml, std::size_t start) {
    char quote = 0;
    for (std::size_t i = start + 1; i < xml.size(); ++i) {
        const char c = xml[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i;
        }
    }
    return npos;
}

std::string_view tagName(std::string_view xml, std::size_t start) {
    std::size_t end = start + 1;
    while (end < xml.size() && !isBlank(xml[end]) && xml[end] != '>' && xml[end] != '/') ++end;
    return xml.substr(start + 1, end - start - 1);
}

// Where markup other than an element ends (declarations, comments, character data), or npos when
// the '<' at `start` opens an element or an end tag.
std::size_t skipOther(std::string_view xml, std::size_t start) {
    const std::string_view rest = xml.substr(start);
    auto after = [&](std::string_view close) {
        const auto at = xml.find(close, start);
        return at == npos ? xml.size() : at + close.size();
    };
    if (rest.starts_with("<?")) return after("?>");
    if (rest.starts_with("<!--")) return after("-->");
    if (rest.starts_with("<![CDATA[")) return after("]]>");
    if (rest.starts_with("<!")) return after(">");
    return npos;
}

}  // namespace

std::string XmlChunks::text() const {
    std::size_t size = head.size() + tail.size();
    for (const auto& c : children) size += c.text.size();
    std::string result;
    result.reserve(size);
    result += head;
    for (const auto& c : children) result += c.text;
    result += tail;
    return result;
}

XmlChunk* XmlChunks::find(std::string_view name) {
    for (auto& c : children)
        if (c.name == name) return &c;
    return nullptr;
}

const XmlChunk* XmlChunks::find(std::string_view name) const { return const_cast<XmlChunks*>(this)->find(name); }

std::size_t XmlChunks::placeBefore(const std::vector<std::string_view>& names) const {
    for (std::size_t i = 0; i < children.size(); ++i)
        for (auto n : names)
            if (children[i].name == n) return i;
    return children.size();
}

std::optional<XmlChunks> splitXml(std::string_view xml, std::string_view opaque) {
    XmlChunks result;
    std::vector<std::pair<std::size_t, std::string_view>> starts;  // of the root's children
    std::size_t headEnd = npos, rootClose = npos;
    int depth = 0;
    for (std::size_t p = xml.find('<'); p != npos && rootClose == npos; p = xml.find('<', p)) {
        if (const auto skipped = skipOther(xml, p); skipped != npos) {
            p = skipped;
            continue;
        }
        const std::size_t end = tagEnd(xml, p);
        if (end == npos) return std::nullopt;
        if (xml[p + 1] == '/') {
            if (--depth == 0) rootClose = p;
            p = end + 1;
            continue;
        }
        const std::string_view name = tagName(xml, p);
        const bool empty = xml[end - 1] == '/';
        if (depth == 0) {
            if (empty) return std::nullopt;
            headEnd = end + 1;
            const auto colon = name.find(':');
            result.prefix = colon == npos ? std::string() : std::string(name.substr(0, colon + 1));
        } else if (depth == 1) {
            starts.emplace_back(p, localOf(name));
            if (!empty && !opaque.empty() && localOf(name) == opaque) {
                const auto close = xml.find("</" + std::string(name), end);
                if (close == npos) return std::nullopt;
                p = close;  // the end tag itself is read next
                ++depth;
                continue;
            }
        }
        if (!empty) ++depth;
        p = end + 1;
    }
    if (headEnd == npos || rootClose == npos || starts.empty()) return std::nullopt;
    result.head = xml.substr(0, starts.front().first);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1].first : rootClose;
        result.children.push_back({std::string(starts[i].second), std::string(xml.substr(starts[i].first, end - starts[i].first))});
    }
    result.tail = xml.substr(rootClose);
    return result;
}

namespace {

// Where an attribute of a start tag is: from the blank before its name to its closing quote.
struct AttributePlace {
    std::size_t tagEnd = npos;  // the tag's '>'; npos when there is no such tag
    std::size_t blank = npos;   // npos when the tag lacks the attribute
    std::size_t open = 0, close = 0;
};

AttributePlace findAttribute(std::string_view xml, std::string_view element, std::string_view attribute) {
    AttributePlace place;
    for (std::size_t p = xml.find('<'); p != npos; p = xml.find('<', p + 1)) {
        if (skipOther(xml, p) != npos || xml[p + 1] == '/') continue;
        const std::string_view name = tagName(xml, p);
        if (localOf(name) != element) continue;
        place.tagEnd = tagEnd(xml, p);
        if (place.tagEnd == npos) return place;
        for (std::size_t i = p + 1 + name.size(); i < place.tagEnd;) {
            const std::size_t blank = i;
            while (i < place.tagEnd && isBlank(xml[i])) ++i;
            if (i >= place.tagEnd || xml[i] == '/') break;
            const std::size_t nameStart = i;
            while (i < place.tagEnd && xml[i] != '=' && !isBlank(xml[i])) ++i;
            const std::string_view found = xml.substr(nameStart, i - nameStart);
            const std::size_t open = xml.find_first_of("\"'", i);
            const std::size_t close = open == npos ? npos : xml.find(xml[open], open + 1);
            if (close == npos || close >= place.tagEnd) break;
            if (found == attribute) {
                place.blank = blank;
                place.open = open;
                place.close = close;
                return place;
            }
            i = close + 1;
        }
        return place;
    }
    return place;
}

}  // namespace

bool setTagAttribute(std::string& xml, std::string_view element, std::string_view attribute,
                     const std::optional<std::string>& value) {
    const AttributePlace place = findAttribute(xml, element, attribute);
    if (place.tagEnd == npos) return false;
    if (place.blank != npos) {
        if (value) xml.replace(place.open + 1, place.close - place.open - 1, escapeXml(*value));
        else xml.erase(place.blank, place.close + 1 - place.blank);
    } else if (value) {
        const std::size_t at = xml[place.tagEnd - 1] == '/' ? place.tagEnd - 1 : place.tagEnd;
        xml.insert(at, " " + std::string(attribute) + "=\"" + escapeXml(*value) + "\"");
    }
    return true;
}

std::optional<std::string> tagAttribute(std::string_view xml, std::string_view element, std::string_view attribute) {
    const AttributePlace place = findAttribute(xml, element, attribute);
    if (place.blank == npos) return std::nullopt;
    return std::string(xml.substr(place.open + 1, place.close - place.open - 1));
}

std::string escapeXml(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': result += "&amp;"; break;
        case '<': result += "&lt;"; break;
        case '>': result += "&gt;"; break;
        case '"': result += "&quot;"; break;
        case '\r': result += "&#13;"; break;
        default: result += c;
        }
    }
    return result;
}

}  // namespace host::files
