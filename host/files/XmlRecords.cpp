#include "host/files/XmlRecords.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <vector>

#include "host/files/FileError.h"
#include "host/files/Xml.h"

namespace host::files {

namespace {

struct Field {
    std::size_t column;
    std::string value;
};

class RecordTable {
public:
    // Adds a record's fields as the next row.
    void addRecord(const pugi::xml_node& record) {
        rows_.emplace_back();
        collect(record, "");
    }

    void write(const std::string& path, sheet::Worksheet& sheet) const {
        if (names_.size() > static_cast<std::size_t>(formula::kMaxColumns))
            failRead(path, "its records have " + std::to_string(names_.size()) +
                               " fields, more than a sheet's columns");
        if (rows_.size() >= static_cast<std::size_t>(formula::kMaxRows))
            failRead(path, "it has " + std::to_string(rows_.size()) + " records, more than a sheet's rows");
        for (std::size_t c = 0; c < names_.size(); ++c) sheet.cellAt(1, static_cast<int>(c) + 1).value = names_[c];
        for (std::size_t r = 0; r < rows_.size(); ++r)
            for (const Field& field : rows_[r]) {
                if (field.value.empty()) continue;
                const int row = static_cast<int>(r) + 2, column = static_cast<int>(field.column) + 1;
                sheet.cellAt(row, column).value = typedValue(field.value);
            }
    }

private:
    void collect(const pugi::xml_node& element, const std::string& path) {
        const std::string prefix = path.empty() ? std::string() : path + "/";
        bool hasAttributes = false;
        for (auto a : element.attributes()) {
            const std::string_view name = a.name();
            if (name == "xmlns" || name.starts_with("xmlns:")) continue;
            hasAttributes = true;
            add(prefix + "@" + std::string(name), a.value());
        }
        bool hasElements = false;
        for (auto c : element.children()) {
            if (c.type() != pugi::node_element) continue;
            hasElements = true;
            collect(c, prefix + c.name());
        }
        if (hasElements) return;
        const std::string text = innerText(element);
        if (!text.empty() || !hasAttributes) add(path.empty() ? std::string(element.name()) : path, text);
    }

    void add(const std::string& name, std::string value) {
        auto [it, added] = columns_.try_emplace(name, names_.size());
        if (added) names_.push_back(name);
        auto& row = rows_.back();
        for (const Field& f : row)
            if (f.column == it->second) return;
        row.push_back({it->second, std::move(value)});
    }

    // A text that reads as a plain decimal number ("12", "-3.5", "1e3", blanks around it) becomes
    // that number; any other text stays text.
    static Variant typedValue(const std::string& text) {
        const auto first = text.find_first_not_of(" \t\r\n");
        const auto last = text.find_last_not_of(" \t\r\n");
        if (first == std::string::npos) return text;
        const std::string_view number(text.data() + first, last - first + 1);
        if (number.find_first_not_of("0123456789.eE+-") != std::string_view::npos || number.front() == '+') return text;
        double value = 0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) return text;
        return value;
    }

    std::vector<std::string> names_;
    std::unordered_map<std::string, std::size_t> columns_;
    std::vector<std::vector<Field>> rows_;
};

std::vector<pugi::xml_node> childElements(const pugi::xml_node& node) {
    std::vector<pugi::xml_node> elements;
    for (auto c : node.children())
        if (c.type() == pugi::node_element) elements.push_back(c);
    return elements;
}

// The records: the children of the element reached by going down through single children.
std::vector<pugi::xml_node> records(pugi::xml_node node) {
    auto children = childElements(node);
    while (children.size() == 1) {
        node = children.front();
        children = childElements(node);
    }
    if (children.empty()) return {node};
    return children;
}

}  // namespace

void readXmlRecords(const pugi::xml_node& root, const std::string& path, sheet::Worksheet& sheet) {
    RecordTable table;
    for (const auto& record : records(root)) table.addRecord(record);
    table.write(path, sheet);
}

}  // namespace host::files
