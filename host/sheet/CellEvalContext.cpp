#include "host/sheet/CellEvalContext.h"

#include "host/base/DateSerial.h"
#include "host/base/NumberFormat.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/sheet/Calculator.h"
#include "host/sheet/ListObjects.h"
#include "host/sheet/References.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

namespace {

// A reference that names no sheet is on the formula's own sheet.
bool onOwnSheet(const formula::ReferenceTarget& target) { return target.workbook.empty() && target.sheet.empty(); }

Variant valuesOf(const Worksheet& sheet, const formula::Area& area) {
    if (area.cellCount() > kMaxArrayCells) return CellError::Value;
    return areaValues(sheet, area, true);
}

}  // namespace

const Cell* CellEvalContext::knownCell(CellKey key) const {
    if (known_.empty() || sheet_.dropCount() != knownDrops_) return nullptr;
    for (const KnownCell& k : known_)
        if (k.key == key) return k.cell;
    return nullptr;
}

Variant CellEvalContext::referenceValues(const formula::ReferenceTarget& target) {
    if (onOwnSheet(target)) {
        if (target.area.isSingleCell())
            if (const Cell* cell = knownCell(cellKey(target.area.top, target.area.left))) return value2Of(*cell);
        return valuesOf(sheet_, target.area);
    }
    if (namesClosedWorkbook(application_, target)) {
        if (auto* store = application_.workbookStore())
            return store->readClosed(target.folder, target.workbook, target.sheet, target.area);
        return CellError::Ref;
    }
    auto sheet = resolveSheet(application_, sheet_, target);
    if (!sheet) return CellError::Ref;
    return valuesOf(*sheet, target.area);
}

const Variant* CellEvalContext::cellValueInPlace(const formula::ReferenceTarget& target) {
    if (!onOwnSheet(target) || !target.area.isSingleCell()) return nullptr;
    const int row = target.area.top, column = target.area.left;
    const Cell* cell = knownCell(cellKey(row, column));
    if (!cell) cell = sheet_.findCell(row, column);
    static const Variant blank;
    return cell ? value2InPlace(*cell) : &blank;
}

void CellEvalContext::visitCells(const formula::ReferenceTarget& target, const formula::VisitCellValues& visit) {
    if (onOwnSheet(target)) return visitAreaValues(sheet_, target.area, visit);
    if (namesClosedWorkbook(application_, target)) return EvalContext::visitCells(target, visit);
    auto sheet = resolveSheet(application_, sheet_, target);
    if (!sheet) return formula::visitOne(visit, CellError::Ref);
    visitAreaValues(*sheet, target.area, visit);
}

Variant CellEvalContext::sharedResult(const formula::Builtin& builtin, std::span<const formula::ReferenceTarget> targets,
                                     const std::function<Variant()>& compute) {
    std::vector<SharedResults::SheetArea> areas;
    areas.reserve(targets.size());
    for (const formula::ReferenceTarget& target : targets) {
        // Cells of a closed workbook are read from its file: nothing to share.
        if (namesClosedWorkbook(application_, target)) return compute();
        const Worksheet* sheet = onOwnSheet(target) ? &sheet_ : resolveSheet(application_, sheet_, target).get();
        if (!sheet) return compute();
        areas.push_back({sheet, target.area});
    }
    return application_.calculator().sharedResult(&builtin, std::move(areas), compute);
}

Variant CellEvalContext::referenceObject(const formula::ReferenceTarget& target) {
    auto sheet = resolveSheet(application_, sheet_, target);
    if (!sheet) return referenceValues(target);
    return std::make_shared<Range>(sheet, std::vector<formula::Area>{target.area});
}

std::optional<formula::ReferenceTarget> CellEvalContext::resolveName(const std::string& name) {
    auto book = sheet_.parent();
    if (!book) return std::nullopt;
    if (auto n = book->names().find(name)) {
        auto targets = n->targets();
        if (targets.size() == 1) return targets.front();
        return std::nullopt;
    }
    // A table's name stands for its rows below the header.
    for (const auto& sheet : book->worksheets())
        for (const auto& table : sheet->listObjects().items()) {
            if (StrComp(table->name(), name, CompareMethod::Text) != 0) continue;
            formula::Area body = table->area();
            if (body.bottom > body.top) ++body.top;
            return formula::ReferenceTarget{{}, {}, sheet->name(), body};
        }
    return std::nullopt;
}

const formula::UserFunction* CellEvalContext::findUserFunction(const std::string& name) {
    return application_.findFunction(name);
}

Variant CellEvalContext::unknownFunction(const std::string& name) {
    application_.calculator().noteUnknownFunction(name);
    return formula::EvalContext::unknownFunction(name);
}

Date CellEvalContext::now() { return Date{nowSerial()}; }

std::string CellEvalContext::formatText(const Variant& value, const std::string& formatCode) {
    // A value the code cannot show (a negative date) makes TEXT give #VALUE!.
    if (auto text = tryFormatValue(value, formatCode)) return *text;
    throw RuntimeError(err::InvalidArgument);
}

}  // namespace host::sheet
