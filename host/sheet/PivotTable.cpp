#include "host/sheet/PivotTable.h"

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/formula/Address.h"
#include "host/formula/Formula.h"
#include "host/sheet/Range.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

namespace {

}  // namespace

std::string pivotCaption(const std::string& name) {
    const auto open = name.rfind('[');
    const auto close = name.rfind(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return name;
    return name.substr(open + 1, close - open - 1);
}

bool PivotTable::isOlap() const { return InStr(connection, "MSOLAP", CompareMethod::Text) > 0; }

std::vector<const PivotField*> PivotTable::fieldsOf(PivotFieldOrientation orientation) const {
    std::vector<const PivotField*> out;
    for (const auto& f : fields)
        if (f.orientation == orientation) out.push_back(&f);
    return out;
}

formula::Area PivotTable::tableRange() const {
    return {topRow, leftColumn, topRow + std::max(laidRows_, 1) - 1, leftColumn + std::max(laidColumns_, 1) - 1};
}

void PivotTable::layOut(Worksheet& sheet, std::vector<PivotLine> lines) {
    if (laidRows_ > 0) {
        const auto old = tableRange();
        sheet.range(sheet.cells(old.top, old.left), sheet.cells(old.bottom, old.right))->clearContents();
    }
    const auto rowFields = fieldsOf(PivotFieldOrientation::Row);
    const auto dataFields = fieldsOf(PivotFieldOrientation::Data);
    const int valueColumn = leftColumn + static_cast<int>(rowFields.size());
    for (std::size_t k = 0; k < rowFields.size(); ++k)
        sheet.cells(topRow, leftColumn + static_cast<int>(k))->setValue(pivotCaption(rowFields[k]->name));
    if (!dataFields.empty()) sheet.cells(topRow, valueColumn)->setValue(pivotCaption(dataFields[0]->name));
    int row = topRow + 1;
    for (const PivotLine& line : lines) {
        if (line.items.empty()) {
            sheet.cells(row, leftColumn)->setValue("Grand Total");
        } else if (line.items.size() < rowFields.size()) {
            sheet.cells(row, leftColumn + static_cast<int>(line.items.size()) - 1)->setValue(line.captions.back() + " Total");
        } else {
            for (std::size_t k = 0; k < line.captions.size(); ++k)
                sheet.cells(row, leftColumn + static_cast<int>(k))->setValue(line.captions[k]);
        }
        sheet.cells(row, valueColumn)->setValue(line.value);
        ++row;
    }
    lines_ = std::move(lines);
    laidRows_ = row - topRow;
    laidColumns_ = static_cast<int>(rowFields.size()) + 1;
}

std::optional<std::string> PivotTable::pivotReferenceFormula(int row, int column, const std::string& sheetPrefix) const {
    const auto rowFields = fieldsOf(PivotFieldOrientation::Row);
    const auto dataFields = fieldsOf(PivotFieldOrientation::Data);
    const int index = row - topRow - 1;
    if (dataFields.empty() || column != leftColumn + static_cast<int>(rowFields.size()) || index < 0 ||
        index >= static_cast<int>(lines_.size()))
        return std::nullopt;
    const std::string anchor = sheetPrefix + "$" + formula::columnLetters(leftColumn) + "$" + std::to_string(topRow);
    std::string text = "=GETPIVOTDATA(" + formula::textLiteral(dataFields[0]->name) + "," + anchor;
    const PivotLine& line = lines_[index];
    for (std::size_t k = 0; k < line.items.size(); ++k) text += "," + formula::textLiteral(rowFields[k]->name) + "," + formula::textLiteral(line.items[k]);
    return text + ")";
}

std::optional<Variant> PivotTable::pivotData(const std::string& dataField,
                                             const std::vector<std::pair<std::string, std::string>>& pairs) const {
    const auto rowFields = fieldsOf(PivotFieldOrientation::Row);
    const auto dataFields = fieldsOf(PivotFieldOrientation::Data);
    auto same = [](const std::string& a, const std::string& b) { return StrComp(a, b, CompareMethod::Text) == 0; };
    if (dataFields.empty() || !(same(dataFields[0]->name, dataField) || same(pivotCaption(dataFields[0]->name), dataField)))
        return std::nullopt;
    for (const PivotLine& line : lines_) {
        if (line.items.size() != pairs.size()) continue;
        bool matches = true;
        for (const auto& [field, item] : pairs) {
            std::size_t k = 0;
            while (k < line.items.size() && !same(rowFields[k]->name, field)) ++k;
            if (k == line.items.size() || !same(line.items[k], item)) matches = false;
        }
        if (matches) return line.value;
    }
    return std::nullopt;
}

Variant getPivotData(std::vector<Variant>& arguments) {
    if (arguments.size() < 2 || arguments.size() % 2 != 0) return CellError::Ref;
    const auto cell = asRange(arguments[1]);
    if (!cell) return CellError::Ref;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 2; i + 1 < arguments.size(); i += 2) pairs.emplace_back(arguments[i].toString(), arguments[i + 1].toString());
    for (const auto& table : cell->parent()->pivotTables()) {
        if (!table->tableRange().contains(cell->row(), cell->column())) continue;
        if (auto value = table->pivotData(arguments[0].toString(), pairs)) return *value;
    }
    return CellError::Ref;
}

}  // namespace host::sheet
