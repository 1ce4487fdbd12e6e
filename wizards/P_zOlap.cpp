#include "wizards/P_zOlap.h"

#include <filesystem>
#include <map>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/P_Archiwum.h"
#include "host/base/DateSerial.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/olap/PivotRefresh.h"
#include "host/sheet/Application.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"
#include "host/ui/Dialogs.h"
#include "wizards/AskForAddress.h"
#include "wizards/P_DataSources.h"

namespace telm {

using host::RuntimeError;
using host::Variant;
using host::sheet::PivotFieldOrientation;
using host::sheet::PivotTable;
using host::sheet::RangePtr;

namespace {

constexpr double kOneSecond = 1.0 / 86400.0;
constexpr long kLargeQueryRows = 1000;

// The cell InsertPivotReferenceFormula wrote into, for the conversion a second later.
struct RememberedCell {
    std::weak_ptr<host::sheet::Worksheet> sheet;
    std::string address;
} rememberedCell;

std::string literal(const std::string& text) { return "\"" + host::Replace(text, "\"", "\"\"") + "\""; }

// An item of a connection text ("Data Source=x;Initial Catalog=y"), letter case of the key ignored.
std::string connectionItem(const std::string& connection, const std::string& key) {
    for (const std::string& item : host::Split(connection, ";")) {
        const long equals = host::InStr(item, "=");
        if (equals > 0 && host::StrComp(host::Trim(host::Left(item, equals - 1)), key, host::CompareMethod::Text) == 0)
            return host::Trim(host::Mid(item, equals + 1));
    }
    return {};
}

// The pivot table whose cells hold the referenced cell.
host::sheet::PivotTablePtr pivotTableAt(const RangePtr& cell) {
    for (const auto& table : cell->parent()->pivotTables())
        if (table->tableRange().contains(cell->row(), cell->column())) return table;
    return nullptr;
}

RangePtr referencedCell(const RangePtr& formulaCell, const std::string& reference) {
    if (reference.find('!') != std::string::npos) return ExcelApplication().range(reference);
    return formulaCell->parent()->range(reference);
}

}  // namespace

void InsertPivotReferenceFormula() {
    auto& app = ExcelApplication();
    auto target = app.activeCell();
    if (!target) {
        ReportMessage(GetMessageText(1000), 48, GetMessageText(2002));
        return;
    }
    auto pivotCell = AskForAddress();
    if (!pivotCell) return;
    rememberedCell = {target->parent(), target->address(false, false)};
    target->select();
    const bool sameSheet = pivotCell->parent() == target->parent();
    const std::string reference =
        (sameSheet ? std::string() : "'" + pivotCell->parent()->name() + "'!") + pivotCell->address(false, false);
    app.sendKeys("=" + reference + "~");
    app.onTime(host::nowSerial() + kOneSecond, "GetPivotData2GetDataOlap");
}

void ConvertSelectedPivotFormulas() {
    auto sheet = rememberedCell.sheet.lock();
    if (!sheet) return;
    auto cell = sheet->range(rememberedCell.address);
    cell->select();
    ConvertGetPivotDataFormula(cell);
}

bool ConvertGetPivotDataFormula(const RangePtr& cell) {
    const auto arguments = FunctionArguments(cell->formula().toString(), "GETPIVOTDATA");
    if (arguments.size() < 2) return false;
    auto& app = ExcelApplication();
    auto text = [&](std::size_t i) { return app.evaluateInCell(cell, "=" + arguments[i]).toString(); };
    host::sheet::PivotTablePtr table;
    try {
        table = pivotTableAt(referencedCell(cell, arguments[1]));
    } catch (const RuntimeError&) {
    }
    if (!table || !table->isOlap()) {
        ReportMessage(GetMessageText(109), 48, GetMessageText(2002));
        return false;
    }
    std::string members;
    for (const auto* page : table->fieldsOf(PivotFieldOrientation::Page)) {
        if (page->currentPage.empty()) continue;
        if (page->currentPage.find(',') != std::string::npos) ReportMessage(GetMessageText(111), 48, GetMessageText(2002));
        members += (members.empty() ? "" : ",") + page->currentPage;
    }
    for (std::size_t i = 3; i < arguments.size(); i += 2) members += (members.empty() ? "" : ",") + text(i);
    cell->setFormula("=GETDATAOLAP(" + literal(connectionItem(table->connection, "Data Source")) + "," +
                     literal(connectionItem(table->connection, "Initial Catalog")) + "," + literal(table->commandText) +
                     "," + literal(text(0)) + "," + literal(members) + ")");
    return true;
}

void ClearPivotFieldSubtotals() {
    auto sheet = ExcelApplication().activeSheet();
    if (!sheet) return;
    const int version = SharedState().ExcelVersion;
    for (const auto& table : sheet->pivotTables()) {
        for (auto& field : table->fields) field.subtotals = false;
        if (version == 12 || version == 14 || version == 15) table->classicLayout = true;
        try {
            host::olap::refreshPivotTable(*sheet, *table);
        } catch (const RuntimeError&) {  // the table keeps its last layout
        }
    }
}

}  // namespace telm
