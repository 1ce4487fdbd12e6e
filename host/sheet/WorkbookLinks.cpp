#include "host/sheet/WorkbookLinks.h"

#include <algorithm>

#include "host/base/Text.h"
#include "host/formula/Address.h"
#include "host/formula/Lexer.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"

namespace host::sheet {

using formula::ReferenceStyle;
using formula::TokenKind;

namespace {

// A full name in the form names are compared in: "/" between folders, upper case.
std::string comparable(const std::string& fullName) { return UCase(Replace(fullName, "\\", "/")); }

// The full name of the workbook an external reference names; "" for one that names no workbook or
// the workbook itself.
std::string linkedName(const Workbook& from, const formula::ReferenceTarget& target) {
    if (target.workbook.empty()) return {};
    if (target.folder.empty()) {
        if (StrComp(target.workbook, from.name(), CompareMethod::Text) == 0) return {};
        auto app = from.application();
        auto open = app ? app->workbooks().find(target.workbook) : nullptr;
        return open ? open->fullName() : target.workbook;
    }
    const std::string full = target.folder + target.workbook;
    return comparable(full) == comparable(from.fullName()) ? std::string() : full;
}

// One formula cell, with its formula in A1 style.
struct FormulaCell {
    WorksheetPtr sheet;
    int row, column;
    std::optional<formula::Area> array;
    std::string text;
};

// The formula cells of the workbook (array formulas once, at their first cell), row by row.
std::vector<FormulaCell> formulaCells(const Workbook& workbook) {
    std::vector<FormulaCell> result;
    for (const auto& sheet : workbook.worksheets()) {
        std::vector<CellKey> keys(sheet->formulaCells().begin(), sheet->formulaCells().end());
        std::sort(keys.begin(), keys.end());
        for (CellKey k : keys) {
            const Cell* cell = sheet->findCell(keyRow(k), keyColumn(k));
            if (!cell || !cell->formula) continue;
            result.push_back({sheet, keyRow(k), keyColumn(k), cell->array,
                              cell->formula->toText(ReferenceStyle::A1, keyRow(k), keyColumn(k))});
        }
    }
    return result;
}

bool namesWorkbook(const formula::Token& t) {
    return (t.kind == TokenKind::Reference || t.kind == TokenKind::QualifiedName) && !t.target.workbook.empty();
}

}  // namespace

std::vector<std::string> linkSources(const Workbook& workbook) {
    std::vector<std::string> sources;
    std::vector<std::string> seen;
    for (const FormulaCell& f : formulaCells(workbook))
        for (const auto& t : formula::tokenize(f.text, 1, ReferenceStyle::A1, f.row, f.column)) {
            if (!namesWorkbook(t)) continue;
            const std::string name = linkedName(workbook, t.target);
            if (name.empty() || std::find(seen.begin(), seen.end(), comparable(name)) != seen.end()) continue;
            seen.push_back(comparable(name));
            sources.push_back(name);
        }
    return sources;
}

int changeLink(Workbook& workbook, const std::string& source, const std::string& replacement) {
    const std::string wanted = comparable(source);
    const std::string normal = Replace(replacement, "\\", "/");
    const std::size_t slash = normal.rfind('/');
    const std::string newFolder = slash == std::string::npos ? std::string() : replacement.substr(0, slash + 1);
    const std::string newName = slash == std::string::npos ? replacement : replacement.substr(slash + 1);

    int changed = 0;
    for (const FormulaCell& f : formulaCells(workbook)) {
        std::string text = f.text;
        bool relinked = false;
        const auto tokens = formula::tokenize(f.text, 1, ReferenceStyle::A1, f.row, f.column);
        // Right to left, so that the offsets of the tokens not yet replaced stay valid.
        for (auto t = tokens.rbegin(); t != tokens.rend(); ++t) {
            if (!namesWorkbook(*t) || comparable(linkedName(workbook, t->target)) != wanted) continue;
            const std::string written = f.text.substr(t->offset, t->length);
            const std::string body = written.substr(written.rfind('!') + 1);
            text.replace(t->offset, t->length, formula::sheetPrefix(newName, t->target.sheet, newFolder) + body);
            relinked = true;
        }
        if (!relinked) continue;
        if (f.array)
            std::make_shared<Range>(f.sheet, std::vector<formula::Area>{*f.array})->setFormulaArray(text);
        else
            f.sheet->cells(f.row, f.column)->setFormula(text);
        ++changed;
    }
    return changed;
}

}  // namespace host::sheet
