#include "host/files/ExternalLinks.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>

#include "host/base/Text.h"
#include "host/files/CellReference.h"
#include "host/files/Xml.h"
#include "host/files/XmlChunks.h"

namespace host::files {

namespace {

namespace fs = std::filesystem;

// "%20" and the like in a file address turned back into characters.
std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A link's file from its relationship target, the folder written as the target writes it ("\" or
// "/"); a relative target lies in the workbook's folder.
ExternalBook bookOf(std::string target, const std::string& workbookPath) {
    target = percentDecoded(target);
    if (target.starts_with("file:///")) target.erase(0, 7);
    else if (target.starts_with("file:")) target.erase(0, 5);
    // A Windows drive path kept as it was written ("/C:/x" from "file:///C:/x").
    if (target.size() > 2 && target[0] == '/' && target[2] == ':') target.erase(0, 1);
    const bool absolute = target.starts_with("/") || target.starts_with("\\") || (target.size() > 1 && target[1] == ':');
    if (!absolute) target = (fs::path(workbookPath).parent_path() / target).lexically_normal().string();
    const std::size_t slash = target.find_last_of("/\\");
    if (slash == std::string::npos) return {"", target, {}, {}};
    return {target.substr(0, slash), target.substr(slash + 1), {}, {}};
}

std::string withoutTrailingSeparator(std::string folder) {
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    return folder;
}

// Folders compared as paths: "\" and "/" alike, letter case as written.
bool sameFolder(std::string a, std::string b) {
    std::replace(a.begin(), a.end(), '\\', '/');
    std::replace(b.begin(), b.end(), '\\', '/');
    return withoutTrailingSeparator(a) == withoutTrailingSeparator(b);
}

// The separator a folder is written with.
char separatorOf(const std::string& folder) {
    return folder.find('/') == std::string::npos && folder.find('\\') != std::string::npos ? '\\' : '/';
}

std::string quoteDoubled(std::string_view text) { return Replace(std::string(text), "'", "''"); }

bool isNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || (c & 0x80); }

// A sheet name written without quotes in a formula: letters, digits, "_" and ".", not first a digit.
bool plainSheetName(std::string_view sheet) {
    if (sheet.empty() || std::isdigit(static_cast<unsigned char>(sheet.front()))) return false;
    return std::all_of(sheet.begin(), sheet.end(), [](char c) { return isNameCharacter(c); });
}

// Calls visit for each stretch of the formula outside its text literals ("..."); visit returns the
// text that replaces it.
template <typename Visit>
std::string outsideLiterals(std::string_view formula, Visit visit) {
    std::string out;
    std::size_t start = 0;
    while (start < formula.size()) {
        const std::size_t quote = formula.find('"', start);
        out += visit(formula.substr(start, quote == std::string_view::npos ? std::string_view::npos : quote - start));
        if (quote == std::string_view::npos) break;
        std::size_t end = quote + 1;
        while (end < formula.size() && !(formula[end] == '"' && (end + 1 >= formula.size() || formula[end + 1] != '"')))
            end += formula[end] == '"' ? 2 : 1;
        out += formula.substr(quote, end + 1 - quote);
        start = end + 1;
    }
    return out;
}

// The cell values a link stores for each sheet of the other workbook.
void readCachedValues(const pugi::xml_node& dataSet, ExternalBook& book) {
    for (auto sheet : dataSet.children()) {
        const auto index = sheet.attribute("sheetId").as_uint(UINT_MAX);
        if (localName(sheet) != "sheetData" || index >= book.sheets.size()) continue;
        auto& values = book.cachedValues[book.sheets[index]];
        for (auto row : sheet.children())
            for (auto cell : row.children()) {
                const auto position = parseCellReference(cell.attribute("r").value());
                const auto v = child(cell, "v");
                if (!position || !v) continue;
                const std::string_view type = cell.attribute("t").value();
                const std::string text = v.text().get();
                Variant value;
                if (type == "str" || type == "s" || type == "inlineStr") value = decodeEscapes(text);
                else if (type == "b") value = text == "1" || text == "true";
                else if (type == "e") value = parseCellError(text).value_or(CellError::Value);
                else value = v.text().as_double();
                values[{position->row, position->column}] = std::move(value);
            }
    }
}

}  // namespace

std::vector<ExternalBook> readExternalBooks(const Package& package, const pugi::xml_node& workbookNode,
                                            const std::vector<Relationship>& workbookRelationships,
                                            const std::string& workbookPath) {
    std::vector<ExternalBook> books;
    for (auto reference : child(workbookNode, "externalReferences").children()) {
        if (localName(reference) != "externalReference") continue;
        ExternalBook book;
        const auto* link = Package::findById(workbookRelationships, attribute(reference, "id").value());
        pugi::xml_document document;
        if (link && !link->external && package.load(document, link->target)) {
            const auto external = child(child(document, "externalLink"), "externalBook");
            const auto fileLinks = package.relationships(link->target);
            const auto* file = Package::findById(fileLinks, attribute(external, "id").value());
            if (file) book = bookOf(file->target, workbookPath);
            for (auto s : child(external, "sheetNames").children()) book.sheets.push_back(s.attribute("val").value());
            readCachedValues(child(external, "sheetDataSet"), book);
        }
        books.push_back(std::move(book));  // an entry without a file keeps its place in the list
    }
    return books;
}

std::string withBookPaths(std::string_view formula, const std::vector<ExternalBook>& books) {
    return outsideLiterals(formula, [&](std::string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool tokenStart = i == 0 || !(isNameCharacter(text[i - 1]) || text[i - 1] == ']' || text[i - 1] == ')');
            const std::size_t close = text[i] == '[' && tokenStart ? text.find(']', i) : std::string_view::npos;
            const std::string_view digits = close == std::string_view::npos ? std::string_view() : text.substr(i + 1, close - i - 1);
            const bool index = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
            const std::size_t n = index && digits.size() < 6 ? std::stoul(std::string(digits)) : 0;
            if (n == 0 || n > books.size() || books[n - 1].name.empty()) {
                out += text[i];
                continue;
            }
            const ExternalBook& book = books[n - 1];
            const std::string place = quoteDoubled(
                (book.folder.empty() ? "" : book.folder + separatorOf(book.folder)) + "[" + book.name + "]");
            const bool quoted = i > 0 && text[i - 1] == '\'';
            const std::size_t bang = text.find('!', close);
            if (quoted) {
                out += place;
            } else if (bang != std::string_view::npos && bang > close + 1) {
                out += "'" + place + quoteDoubled(text.substr(close + 1, bang - close - 1)) + "'!";
                i = bang;
                continue;
            } else {
                out += text.substr(i, close + 1 - i);  // a name of the other workbook: as written
            }
            i = close;
        }
        return out;
    });
}

std::string withBookIndexes(std::string_view formula, std::vector<ExternalBook>& books) {
    auto indexed = [&](const std::string& folder, const std::string& name, const std::string& sheet) {
        auto it = std::find_if(books.begin(), books.end(), [&](const ExternalBook& b) {
            return StrComp(b.name, name, CompareMethod::Text) == 0 && sameFolder(b.folder, folder);
        });
        if (it == books.end()) it = books.insert(books.end(), ExternalBook{folder, name, {}, {}});
        if (std::find(it->sheets.begin(), it->sheets.end(), sheet) == it->sheets.end()) it->sheets.push_back(sheet);
        const std::string index = "[" + std::to_string(it - books.begin() + 1) + "]";
        return plainSheetName(sheet) ? index + sheet : "'" + index + quoteDoubled(sheet) + "'";
    };
    return outsideLiterals(formula, [&](std::string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool tokenStart = i == 0 || !(isNameCharacter(text[i - 1]) || text[i - 1] == ']' || text[i - 1] == ')');
            if (text[i] == '[' && tokenStart) {  // "[Book.xlsx]Sheet1!": a workbook without a folder
                const std::size_t close = text.find(']', i);
                const std::size_t bang = close == std::string_view::npos ? close : text.find('!', close);
                const std::string_view name = close == std::string_view::npos ? std::string_view() : text.substr(i + 1, close - i - 1);
                const bool isIndex = std::all_of(name.begin(), name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
                if (bang != std::string_view::npos && !isIndex && bang > close + 1 &&
                    plainSheetName(text.substr(close + 1, bang - close - 1))) {
                    out += indexed("", std::string(name), std::string(text.substr(close + 1, bang - close - 1))) + "!";
                    i = bang;
                    continue;
                }
            }
            if (text[i] != '\'' || !tokenStart) {
                out += text[i];
                continue;
            }
            // A quoted sheet reference: its end, quotes doubled inside.
            std::size_t end = i + 1;
            std::string inside;
            while (end < text.size() && !(text[end] == '\'' && (end + 1 >= text.size() || text[end + 1] != '\''))) {
                inside += text[end];
                end += text[end] == '\'' ? 2 : 1;
            }
            const std::size_t open = inside.find('[');
            const std::size_t close = open == std::string::npos ? open : inside.find(']', open);
            if (end + 1 >= text.size() || text[end + 1] != '!' || close == std::string::npos) {
                out += text.substr(i, std::min(end + 1, text.size()) - i);
                i = end;
                continue;
            }
            out += indexed(withoutTrailingSeparator(inside.substr(0, open)), inside.substr(open + 1, close - open - 1),
                           inside.substr(close + 1));
            i = end;
        }
        return out;
    });
}

std::string externalLinkXml(const ExternalBook& book) {
    std::string sheets;
    for (const auto& sheet : book.sheets) sheets += "<sheetName val=\"" + escapeXml(sheet) + "\"/>";
    return std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)") +
           R"(<externalLink xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
           R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
           R"(<externalBook r:id="rId1"><sheetNames>)" + sheets + "</sheetNames></externalBook></externalLink>";
}

std::string externalLinkTarget(const ExternalBook& book, const std::string& workbookPath) {
    if (book.folder.empty() || sameFolder(book.folder, fs::path(workbookPath).parent_path().string())) return book.name;
    return withoutTrailingSeparator(book.folder) + separatorOf(book.folder) + book.name;
}

}  // namespace host::files
