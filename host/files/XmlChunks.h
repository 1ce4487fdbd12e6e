#pragma once
// A part's XML text taken apart at the children of its root element, so that a writer can replace
// the children it makes and copy every other one as the file had it, byte for byte.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::files {

struct XmlChunk {
    std::string name;  // the element's local name ("sheetData" for "x:sheetData")
    std::string text;  // the element as written, with the blanks that follow it
};

struct XmlChunks {
    std::string head;    // the declaration, anything before the root and the root's start tag
    std::string prefix;  // the root's namespace prefix with its colon ("x:"), "" for none
    std::vector<XmlChunk> children;
    std::string tail;  // the root's end tag and what follows it

    std::string text() const;
    // The first child with the local name; nullptr when there is none.
    XmlChunk* find(std::string_view name);
    const XmlChunk* find(std::string_view name) const;
    // The place before the first child whose name is one of those given (children.size() when none).
    std::size_t placeBefore(const std::vector<std::string_view>& names) const;
};

// Splits the text; nullopt when it has no root element with children (a writer then makes the part
// anew). The content of an element named `opaque` is passed over without being looked at.
std::optional<XmlChunks> splitXml(std::string_view xml, std::string_view opaque = {});

// Sets (or, with nullopt, removes) an attribute of the first start tag in the text whose local name
// is `element`; the value is escaped. False when there is no such tag.
bool setTagAttribute(std::string& xml, std::string_view element, std::string_view attribute,
                     const std::optional<std::string>& value);

// The value (as written, unescaped) of an attribute of the first start tag in the text whose local name
// is `element`; nullopt when there is none.
std::optional<std::string> tagAttribute(std::string_view xml, std::string_view element, std::string_view attribute);

// Text escaped for an attribute value or element content.
std::string escapeXml(std::string_view text);

}  // namespace host::files
