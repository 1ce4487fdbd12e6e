#pragma once
// XML helpers shared by the workbook reader and writer: element names without their namespace
// prefix, the "_xHHHH_" escapes that workbook files use for characters XML cannot hold, and
// serialising a document.

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace host::files {

// The deepest nesting of elements a workbook file may have: far beyond any real file, and the
// bound on every walk down a document.
inline constexpr int kMaxXmlDepth = 256;
// The depth of the deepest element under the node (1 for an element without child elements),
// found without recursion.
int elementDepth(const pugi::xml_node& node);

// The element's name without a namespace prefix ("sheet" for "x:sheet").
std::string_view localName(const pugi::xml_node& node);
// The first child element with the given local name (an empty node when there is none).
pugi::xml_node child(const pugi::xml_node& node, std::string_view name);
// The attribute with the given local name ("id" finds "r:id").
pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view name);
// The namespace URI of the element's name, from the xmlns declarations of it and its ancestors.
std::string_view namespaceUri(const pugi::xml_node& node);
// The text of the element and of every element inside it, joined.
std::string innerText(const pugi::xml_node& node);

// Text as stored ("_x000D_" and the like) turned back into the characters it stands for.
std::string decodeEscapes(std::string_view text);
// Text with the characters XML 1.0 cannot hold (control characters) written as "_xHHHH_", and
// "_x" sequences that would read as such an escape protected.
std::string encodeEscapes(std::string_view text);

// A number as files write it: the shortest text that reads back as the same double.
std::string numberText(double value);

// The document as UTF-8 text with an XML declaration, without indentation; a CR is written as a
// character reference, so that it reads back as a CR.
std::string serialize(const pugi::xml_document& document);

}  // namespace host::files
