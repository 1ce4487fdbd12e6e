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

// Shared strings of a file being written: those of the file the workbook was read from, at their
// indexes (so that a text keeps its formatted runs), then each new text once, in order of first use.
class SharedStringTable {
public:
    SharedStringTable() = default;
    // The plain texts of the file's shared strings, by index.
    explicit SharedStringTable(const std::vector<std::string>& kept);
    // The index of a text.
    int indexOf(const std::string& text);
    bool empty() const { return texts_.empty(); }
    // True when texts were added to those of the file.
    bool added() const { return texts_.size() > kept_; }
    // The shared-strings part: the file's part (keptPart; "" for none) with the added texts.
    std::string xml(const std::string& keptPart = {}) const;

private:
    std::vector<const std::string*> texts_;
    std::size_t kept_ = 0;
    std::unordered_map<std::string, int> index_;
};

// Appends <t> with the text (escaped, spaces kept) to an element.
void appendText(pugi::xml_node parent, const std::string& text);

}  // namespace host::files
