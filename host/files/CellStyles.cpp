#include "host/files/CellStyles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

#include "host/files/Xml.h"

namespace host::files {

namespace {

// Built-in formats 0-49; ids 23-36 are left to the locale and read as General.
constexpr std::array<const char*, 50> kBuiltinCodes = {
    "", "0", "0.00", "#,##0", "#,##0.00", "\"$\"#,##0_);(\"$\"#,##0)", "\"$\"#,##0_);[Red](\"$\"#,##0)",
    "\"$\"#,##0.00_);(\"$\"#,##0.00)", "\"$\"#,##0.00_);[Red](\"$\"#,##0.00)", "0%", "0.00%", "0.00E+00", "# ?/?",
    "# ?\?/??", "mm-dd-yy", "d-mmm-yy", "d-mmm", "mmm-yy", "h:mm AM/PM", "h:mm:ss AM/PM", "h:mm", "h:mm:ss",
    "m/d/yy h:mm", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, "#,##0_);(#,##0)", "#,##0_);[Red](#,##0)", "#,##0.00_);(#,##0.00)",
    "#,##0.00_);[Red](#,##0.00)", "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",
    "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)",
    "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)",
    "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)", "mm:ss", "[h]:mm:ss", "mmss.0",
    "##0.0E+0", "@"};

constexpr int kFirstCustomId = 164;

}  // namespace

std::optional<std::string> builtinFormatCode(int id) {
    if (id < 0 || id >= static_cast<int>(kBuiltinCodes.size())) return std::nullopt;
    return kBuiltinCodes[id] ? std::string(kBuiltinCodes[id]) : std::string();
}

std::optional<int> builtinFormatId(std::string_view code) {
    for (int id = 0; id < static_cast<int>(kBuiltinCodes.size()); ++id)
        if (kBuiltinCodes[id] && code == kBuiltinCodes[id]) return id;
    return std::nullopt;
}

bool isDateFormatCode(std::string_view code) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const auto close = code.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            i = close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const auto close = code.find(']', i + 1);
            if (close == std::string_view::npos) return false;
            const char inner = static_cast<char>(std::tolower(static_cast<unsigned char>(code[i + 1])));
            if (close > i + 1 && (inner == 'h' || inner == 'm' || inner == 's') &&
                code.find_first_not_of(code[i + 1], i + 1) == close)
                return true;  // elapsed time: [h], [mm], [ss]
            i = close;
        } else {
            switch (std::tolower(static_cast<unsigned char>(c))) {
            case 'd': case 'm': case 'y': case 'h': case 's': return true;
            default: break;
            }
        }
    }
    return false;
}

std::vector<std::string> readCellFormats(const Package& package, const std::string& stylesPart) {
    std::vector<std::string> result;
    pugi::xml_document document;
    if (stylesPart.empty() || !package.load(document, stylesPart)) return result;
    const auto styleSheet = child(document, "styleSheet");
    std::map<int, std::string> custom;
    for (auto f : child(styleSheet, "numFmts").children())
        if (localName(f) == "numFmt") custom[f.attribute("numFmtId").as_int()] = f.attribute("formatCode").value();
    for (auto xf : child(styleSheet, "cellXfs").children()) {
        if (localName(xf) != "xf") continue;
        const int id = xf.attribute("numFmtId").as_int();
        std::string code;
        if (auto it = custom.find(id); it != custom.end()) code = it->second;
        else if (auto builtin = builtinFormatCode(id)) code = *builtin;
        if (code == "General") code.clear();
        result.push_back(std::move(code));
    }
    return result;
}

namespace {

// The styles part of a new workbook: one font, the two fills every file has, one border, General.
constexpr const char* kNewStyles =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="1"><border/></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
    R"(</styleSheet>)";

// The namespace prefix of an element's name with its colon ("" for none).
std::string prefixOf(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    return std::string(name.substr(0, name.size() - localName(node).size()));
}

// The child element named `name` of the style sheet, made (before the first of `before`) when missing.
pugi::xml_node section(pugi::xml_node sheet, const char* name, const char* before) {
    if (auto found = child(sheet, name)) return found;
    const std::string full = prefixOf(sheet) + name;
    if (auto next = child(sheet, before)) return sheet.insert_child_before(full.c_str(), next);
    return sheet.prepend_child(full.c_str());
}

}  // namespace

CellStyleTable::CellStyleTable(std::vector<std::string> formats) : formats_(std::move(formats)) {
    if (formats_.empty()) formats_.emplace_back();
}

std::uint32_t CellStyleTable::styleOf(std::uint32_t style, const std::string& formatCode) {
    if (style < formats_.size() ? formats_[style] == formatCode : formatCode.empty()) return style;
    const std::uint32_t base = style < formats_.size() ? style : 0;
    if (formats_[base] == formatCode) return base;
    const auto next = static_cast<std::uint32_t>(formats_.size() + added_.size());
    return added_.try_emplace({base, formatCode}, next).first->second;
}

std::string CellStyleTable::stylesXml(const std::string& stylesPart) const {
    if (added_.empty() && !stylesPart.empty()) return stylesPart;
    pugi::xml_document document;
    const std::string& text = stylesPart.empty() ? std::string(kNewStyles) : stylesPart;
    document.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
    auto sheet = document.document_element();
    auto numFmts = section(sheet, "numFmts", "fonts");
    auto cellXfs = section(sheet, "cellXfs", "cellStyles");
    std::vector<pugi::xml_node> xfs;
    for (auto xf : cellXfs.children())
        if (localName(xf) == "xf") xfs.push_back(xf);
    int nextId = kFirstCustomId;
    std::map<std::string, int> customIds;
    for (auto f : numFmts.children()) {
        if (localName(f) != "numFmt") continue;
        nextId = std::max(nextId, f.attribute("numFmtId").as_int() + 1);
        customIds.emplace(f.attribute("formatCode").value(), f.attribute("numFmtId").as_int());
    }
    auto idOf = [&](const std::string& code) {
        if (code.empty()) return 0;
        if (auto builtin = builtinFormatId(code)) return *builtin;
        if (auto it = customIds.find(code); it != customIds.end()) return it->second;
        auto f = numFmts.append_child((prefixOf(numFmts) + "numFmt").c_str());
        f.append_attribute("numFmtId") = nextId;
        f.append_attribute("formatCode") = code.c_str();
        customIds.emplace(code, nextId);
        return nextId++;
    };
    std::vector<std::pair<std::uint32_t, const std::pair<std::uint32_t, std::string>*>> byIndex;
    for (const auto& [key, index] : added_) byIndex.emplace_back(index, &key);
    std::sort(byIndex.begin(), byIndex.end());
    for (const auto& [index, key] : byIndex) {
        pugi::xml_node xf = key->first < xfs.size() ? cellXfs.append_copy(xfs[key->first])
                                                    : cellXfs.append_child((prefixOf(cellXfs) + "xf").c_str());
        auto id = xf.attribute("numFmtId");
        if (!id) id = xf.append_attribute("numFmtId");
        id = idOf(key->second);
        auto apply = xf.attribute("applyNumberFormat");
        if (!apply) apply = xf.append_attribute("applyNumberFormat");
        apply = 1;
    }
    int customCount = 0;
    for (auto f : numFmts.children()) customCount += localName(f) == "numFmt";
    if (customCount == 0) sheet.remove_child(numFmts);
    else (numFmts.attribute("count") ? numFmts.attribute("count") : numFmts.append_attribute("count")) = customCount;
    (cellXfs.attribute("count") ? cellXfs.attribute("count") : cellXfs.append_attribute("count")) =
        static_cast<unsigned>(xfs.size() + added_.size());
    return serialize(document);
}

}  // namespace host::files
