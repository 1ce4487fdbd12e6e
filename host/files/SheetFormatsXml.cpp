#include "host/files/SheetFormatsXml.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>

#include "host/base/Text.h"
#include "host/files/Xml.h"
#include "host/formula/Reference.h"

namespace host::files {

namespace {

constexpr const char* kDefaultColumnWidth = "9.140625";

// "" for General, as the style table takes it.
std::string styleCode(const std::string& code) {
    return StrComp(code, "General", CompareMethod::Text) == 0 ? std::string() : code;
}

std::string columnCode(const sheet::SheetFormats& formats, int column) {
    const auto* band = formats.columns().find(column);
    return band ? band->code : formats.sheet();
}

std::string rowCode(const sheet::SheetFormats& formats, int row) {
    const auto* band = formats.rows().find(row);
    return band ? band->code : std::string();
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

void setAttribute(Attributes& attributes, const std::string& name, const std::string& value) {
    for (auto& [n, v] : attributes)
        if (n == name) {
            v = value;
            return;
        }
    attributes.emplace_back(name, value);
}

const std::string* findAttribute(const Attributes& attributes, const std::string& name) {
    for (const auto& [n, v] : attributes)
        if (n == name) return &v;
    return nullptr;
}

// The new style of a column or row whose own style is `style` (an attribute value, or none; a value
// that is no style index counts as none).
std::uint32_t restyled(const std::string* style, const std::string& code, CellStyleTable& styles) {
    std::uint32_t index = 0;
    if (style) std::from_chars(style->data(), style->data() + style->size(), index);
    return styles.styleOf(index, styleCode(code));
}

void applyColumnFormats(const sheet::SheetFormats& formats, const sheet::SheetFormats& asRead, XmlChunks& layout,
                        CellStyleTable& styles) {
    std::vector<int> changed;
    for (int c = 1; c <= formula::kMaxColumns; ++c)
        if (columnCode(formats, c) != columnCode(asRead, c)) changed.push_back(c);
    if (changed.empty()) return;
    // Each column's attributes as the part has them, min and max aside.
    std::vector<Attributes> columns(formula::kMaxColumns + 1);
    auto* chunk = layout.find("cols");
    pugi::xml_document document;
    if (chunk && document.load_string(chunk->text.c_str())) {
        for (auto col : document.first_child().children()) {
            Attributes attributes;
            for (auto a : col.attributes())
                if (std::string_view(a.name()) != "min" && std::string_view(a.name()) != "max")
                    attributes.emplace_back(a.name(), a.value());
            const int first = std::max(1, col.attribute("min").as_int());
            const int last = std::min(formula::kMaxColumns, col.attribute("max").as_int());
            for (int c = first; c <= last; ++c) columns[c] = attributes;
        }
    }
    for (int c : changed) {
        Attributes& attributes = columns[c];
        setAttribute(attributes, "style", std::to_string(restyled(findAttribute(attributes, "style"), columnCode(formats, c), styles)));
        if (!findAttribute(attributes, "width")) setAttribute(attributes, "width", kDefaultColumnWidth);
    }
    // Neighbouring columns of the same attributes share one element.
    std::string text = "<" + layout.prefix + "cols>";
    for (int c = 1; c <= formula::kMaxColumns;) {
        int last = c;
        while (last < formula::kMaxColumns && columns[last + 1] == columns[c]) ++last;
        if (!columns[c].empty()) {
            text += "<" + layout.prefix + "col min=\"" + std::to_string(c) + "\" max=\"" + std::to_string(last) + "\"";
            for (const auto& [name, value] : columns[c]) text += " " + name + "=\"" + escapeXml(value) + "\"";
            text += "/>";
        }
        c = last + 1;
    }
    text += "</" + layout.prefix + "cols>";
    if (chunk) {
        chunk->text = std::move(text);
    } else {
        const auto at = layout.placeBefore({"sheetData"});
        layout.children.insert(layout.children.begin() + static_cast<std::ptrdiff_t>(at), {"cols", std::move(text)});
    }
}

// Replaces or adds one attribute in the attribute text of an element (` name="value"` pairs).
void setAttributeText(std::string& text, const std::string& name, const std::string& value) {
    const std::string key = " " + name + "=\"";
    if (const auto at = text.find(key); at != std::string::npos) {
        const auto end = text.find('"', at + key.size());
        text.replace(at + key.size(), end - at - key.size(), value);
    } else {
        text += key + value + "\"";
    }
}

std::optional<std::string> attributeText(const std::string& text, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const auto at = text.find(key);
    if (at == std::string::npos) return std::nullopt;
    return text.substr(at + key.size(), text.find('"', at + key.size()) - at - key.size());
}

void applyRowFormats(const sheet::SheetFormats& formats, const sheet::SheetFormats& asRead,
                     std::map<int, std::string>& rowAttributes, CellStyleTable& styles) {
    std::vector<int> rows;
    for (const auto* bands : {&formats.rows(), &asRead.rows()})
        for (const auto& band : bands->bands())
            for (int r = band.first; r <= band.last; ++r) rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int r : rows) {
        const std::string code = rowCode(formats, r);
        if (code == rowCode(asRead, r)) continue;
        std::string& text = rowAttributes[r];
        const auto style = attributeText(text, "s");
        setAttributeText(text, "s", std::to_string(restyled(style ? &*style : nullptr, code, styles)));
        setAttributeText(text, "customFormat", "1");
    }
}

}  // namespace

void applySheetFormats(const sheet::SheetFormats& formats, const sheet::SheetFormats& asRead, XmlChunks& layout,
                       std::map<int, std::string>& rowAttributes, CellStyleTable& styles) {
    applyColumnFormats(formats, asRead, layout, styles);
    applyRowFormats(formats, asRead, rowAttributes, styles);
}

namespace {

std::string formatCode(const pugi::xml_attribute& style, const std::vector<std::string>& cellFormats) {
    const auto index = style.as_uint();
    const std::string code = index < cellFormats.size() ? cellFormats[index] : std::string();
    return code.empty() ? std::string("General") : code;
}

}  // namespace

void readRowFormat(pugi::xml_node row, const std::vector<std::string>& cellFormats, sheet::Worksheet& sheet) {
    if (!row.attribute("customFormat").as_bool() || !row.attribute("s")) return;
    const int r = row.attribute("r").as_int();
    if (r >= 1 && r <= formula::kMaxRows) sheet.formats().setRows(r, r, formatCode(row.attribute("s"), cellFormats));
}

void readSheetFormats(pugi::xml_node worksheet, const std::vector<std::string>& cellFormats, sheet::Worksheet& sheet) {
    auto& formats = sheet.formats();
    for (auto col : child(worksheet, "cols").children()) {
        if (localName(col) != "col" || !col.attribute("style")) continue;
        const int first = col.attribute("min").as_int(), last = col.attribute("max").as_int();
        if (first < 1 || last < first || last > formula::kMaxColumns) continue;
        formats.setColumns(first, last, formatCode(col.attribute("style"), cellFormats));
    }
    if (formats.empty()) return;
    std::vector<sheet::CellKey> unstyled;
    for (const auto& [key, cell] : sheet.allCells())
        if (cell.numberFormat.empty() && !sheet.numberFormatAt(sheet::keyRow(key), sheet::keyColumn(key)).empty())
            unstyled.push_back(key);
    for (sheet::CellKey key : unstyled) sheet.cellAt(sheet::keyRow(key), sheet::keyColumn(key)).numberFormat = "General";
}

}  // namespace host::files
