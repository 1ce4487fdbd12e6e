#pragma once
// Texts of workbook files: the shared-strings part, and rich text (runs) read as plain text.

#include <pugixml.hpp>

#include <string>
#include <unordered_map>
#include <vector>

#include "host/files/Package.h"

namespace host::files {

// The plain text of a string item (<si>, <is>, a comment's <text>): its <t>, or its runs' texts
// joined; phonetic hints are left out.
std::string richText(const pugi::xml_node& item);

// The shared strings of the package, by index (none when the part is absent).
std::vector<std::string> readSharedStrings(const Package& package, const std::string& part);

// Shared strings of a file being written: each distinct text once, in order of first use.
class SharedStringTable {
public:
    // The index of a text.
    int indexOf(const std::string& text);
    bool empty() const { return texts_.empty(); }
    // The shared-strings part.
    std::string xml() const;

private:
    std::vector<const std::string*> texts_;
    std::unordered_map<std::string, int> index_;
};

// Appends <t> with the text (escaped, spaces kept) to an element.
void appendText(pugi::xml_node parent, const std::string& text);

}  // namespace host::files
