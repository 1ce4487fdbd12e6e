#include "host/files/CellStyles.h"

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

int CellStyleTable::styleOf(const std::string& formatCode) {
    auto [it, added] = indexOf_.emplace(formatCode, static_cast<int>(codes_.size()));
    if (added) codes_.push_back(formatCode);
    return it->second;
}

std::string CellStyleTable::stylesXml() const {
    pugi::xml_document document;
    auto root = document.append_child("styleSheet");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    std::vector<int> ids;
    auto numFmts = root.append_child("numFmts");
    int nextCustom = kFirstCustomId;
    for (const auto& code : codes_) {
        if (auto builtin = builtinFormatId(code)) {
            ids.push_back(*builtin);
            continue;
        }
        ids.push_back(nextCustom);
        auto f = numFmts.append_child("numFmt");
        f.append_attribute("numFmtId") = nextCustom++;
        f.append_attribute("formatCode") = code.c_str();
    }
    numFmts.prepend_attribute("count") = nextCustom - kFirstCustomId;
    if (nextCustom == kFirstCustomId) root.remove_child(numFmts);

    auto font = root.append_child("fonts");
    font.append_attribute("count") = 1;
    auto f = font.append_child("font");
    f.append_child("sz").append_attribute("val") = 11;
    f.append_child("name").append_attribute("val") = "Calibri";
    auto fills = root.append_child("fills");
    fills.append_attribute("count") = 2;
    fills.append_child("fill").append_child("patternFill").append_attribute("patternType") = "none";
    fills.append_child("fill").append_child("patternFill").append_attribute("patternType") = "gray125";
    auto borders = root.append_child("borders");
    borders.append_attribute("count") = 1;
    borders.append_child("border");
    auto styleXfs = root.append_child("cellStyleXfs");
    styleXfs.append_attribute("count") = 1;
    styleXfs.append_child("xf").append_attribute("numFmtId") = 0;

    auto xfs = root.append_child("cellXfs");
    xfs.append_attribute("count") = static_cast<int>(ids.size());
    for (int id : ids) {
        auto xf = xfs.append_child("xf");
        xf.append_attribute("numFmtId") = id;
        xf.append_attribute("fontId") = 0;
        xf.append_attribute("fillId") = 0;
        xf.append_attribute("borderId") = 0;
        xf.append_attribute("xfId") = 0;
        if (id != 0) xf.append_attribute("applyNumberFormat") = 1;
    }
    auto cellStyles = root.append_child("cellStyles");
    cellStyles.append_attribute("count") = 1;
    auto normal = cellStyles.append_child("cellStyle");
    normal.append_attribute("name") = "Normal";
    normal.append_attribute("xfId") = 0;
    normal.append_attribute("builtinId") = 0;
    return serialize(document);
}

}  // namespace host::files
