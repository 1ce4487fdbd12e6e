#include "wizards/P_zOlap.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/F_Pomocnicze.h"
#include "core/P_ObslBledow.h"
#include "data/P_Archiwum.h"
#include "host/ado/PivotRefresh.h"
#include "host/base/DateSerial.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/formula/Formula.h"
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
    const std::string reference = ReferenceFrom(*target, *pivotCell, false, false);
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
    using host::formula::textLiteral;
    cell->setFormula("=GETDATAOLAP(" + textLiteral(connectionItem(table->connection, "Data Source")) + "," +
                     textLiteral(connectionItem(table->connection, "Initial Catalog")) + "," +
                     textLiteral(table->commandText) + "," + textLiteral(text(0)) + "," + textLiteral(members) + ")");
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
            host::ado::refreshPivotTable(*sheet, *table);
        } catch (const RuntimeError&) {  // the table keeps its last layout
        }
    }
}

namespace {

// What an offline cube is built from: the query and the dimensions and measures the workbook's
// pivot tables name; nullopt after the message that says why not.
struct CubeSource {
    std::string connection;  // the query table's ODBC connection text
    std::string sql;
    long rows = 0;
    std::vector<std::string> dimensions, measures;
};

std::optional<CubeSource> cubeSourceOf(const host::sheet::Workbook& book) {
    auto fail = [](int message) {
        ReportMessage(GetMessageText(message), 48, GetMessageText(2011));
        return std::nullopt;
    };
    const auto querySheet = book.findSheet("Query");
    if (!querySheet || querySheet->queryTables().size() != 1) return fail(149);
    const auto& query = *querySheet->queryTables().front();
    CubeSource source;
    source.connection = host::sheet::untypedConnection(query.connection);
    source.sql = query.commandText;
    source.rows = query.resultRange.rows() - (query.fieldNames ? 1 : 0);
    for (const auto& sheet : book.worksheets()) {
        for (const auto& table : sheet->pivotTables()) {
            if (!table->fieldsOf(PivotFieldOrientation::Column).empty()) return fail(153);
            const auto data = table->fieldsOf(PivotFieldOrientation::Data);
            if (data.size() > 1) return fail(151);
            for (const auto* row : table->fieldsOf(PivotFieldOrientation::Row))
                if (std::find(source.dimensions.begin(), source.dimensions.end(), row->name) == source.dimensions.end())
                    source.dimensions.push_back(row->name);
            for (const auto* measure : data) {
                if (std::find(source.measures.begin(), source.measures.end(), measure->name) != source.measures.end())
                    return fail(151);
                source.measures.push_back(measure->name);
            }
        }
    }
    if (source.dimensions.empty() || source.measures.empty()) return fail(150);
    return source;
}

// The query without its WHERE clause (up to GROUP BY, ORDER BY or the end).
std::string withoutWhere(const std::string& sql) {
    const long where = host::InStr(sql, " WHERE ", host::CompareMethod::Text);
    if (where == 0) return sql;
    long end = 0;
    for (const char* next : {" GROUP BY ", " ORDER BY "}) {
        const long at = host::InStr(where + 1, sql, next, host::CompareMethod::Text);
        if (at > 0 && (end == 0 || at < end)) end = at;
    }
    return host::Left(sql, where - 1) + (end > 0 ? host::Mid(sql, end) : std::string());
}

// A connection-text value, in double quotes when it holds ";".
std::string itemValue(const std::string& value) {
    return value.find(';') == std::string::npos ? value : DoubleQuoted(value);
}

std::string cubeConnection(const CubeSource& source, const std::string& cubeFile, const std::string& cube) {
    std::string definition, columns, select;
    for (const std::string& d : source.dimensions) {
        definition += "DIMENSION [" + d + "], LEVEL [All " + d + "] TYPE ALL, LEVEL [" + d + "], ";
        columns += "[" + d + "].[" + d + "], ";
        select += d + ", ";
    }
    for (std::size_t m = 0; m < source.measures.size(); ++m) {
        const std::string& name = source.measures[m];
        definition += "MEASURE [" + name + "] FUNCTION SUM" + std::string(m + 1 < source.measures.size() ? ", " : "");
        columns += "[Measures].[" + name + "]" + std::string(m + 1 < source.measures.size() ? ", " : "");
        select += name + std::string(m + 1 < source.measures.size() ? ", " : "");
    }
    return "Provider=MSOLAP;Location=" + itemValue(cubeFile) + ";SOURCE_DSN=" + itemValue(source.connection) +
           ";CREATECUBE=" + itemValue("CREATE CUBE [" + cube + "] (" + definition + ")") +
           ";INSERTINTO=" + itemValue("INSERT INTO [" + cube + "] (" + columns + ") SELECT " + select + " FROM (" + source.sql + ") q");
}

}  // namespace

void BuildOfflineCube() {
    auto& app = ExcelApplication();
    const auto book = app.activeWorkbook();
    if (!book || book->path().empty()) {
        ReportMessage(GetMessageText(1008), 48, GetMessageText(2011));
        return;
    }
    try {
        auto source = cubeSourceOf(*book);
        if (!source) return;
        if (source->rows > kLargeQueryRows &&
            ReportMessage(GetMessageText(155), 36, GetMessageText(2011)) != Variant(host::ui::vbYes))
            return;
        if (host::InStr(source->sql, " WHERE ", host::CompareMethod::Text) > 0 &&
            ReportMessage(GetMessageText(156), 36, GetMessageText(2011)) == Variant(host::ui::vbYes))
            source->sql = withoutWhere(source->sql);
        std::string cube = book->name();
        if (const auto dot = cube.rfind('.'); dot != std::string::npos) cube.resize(dot);
        const std::string base = book->path() + "\\" + cube;
        const std::string queryFile = base + ".oqy";
        std::error_code ignored;
        std::filesystem::remove(host::nativePath(queryFile), ignored);
        for (const std::string& line : {std::string("QueryType=OLEDB"), std::string("Version=1"), std::string("CommandType=Cube"),
                                        "Connection=" + cubeConnection(*source, host::nativePath(base + ".cub"), cube),
                                        "CommandText=" + cube})
            AppendLogLine(line, queryFile, false, "");
        ReportMessage(queryFile + " " + GetMessageText(154), 64, GetMessageText(2011));
        if (ReportMessage(GetMessageText(157), 36, GetMessageText(2011)) == Variant(host::ui::vbYes))
            app.workbooks().open(host::nativePath(queryFile));
    } catch (const RuntimeError& e) {
        ReportMessage(GetMessageText(152) + e.description(), 48, GetMessageText(2011));
    }
}

}  // namespace telm
