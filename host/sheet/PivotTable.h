#pragma once
// A pivot table: the totals of one data field of a source (a cube, or a relational query) by the items
// of its row fields, laid out on a worksheet from a top-left cell:
//
//   row field captions ...      data field caption
//   item ...          item      value
//   item Total                  subtotal     (an outer row field with subtotals on)
//   Grand Total                 total
//
// The platform keeps the layout it last wrote (refreshed by the data layer, host/ado/PivotRefresh),
// answers the pivot reference formula of each value cell (GETPIVOTDATA) and evaluates it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/formula/Reference.h"

namespace host::sheet {

class Worksheet;

enum class PivotFieldOrientation { Hidden = 0, Row = 1, Column = 2, Page = 3, Data = 4 };

struct PivotField {
    // The field's name in its source: a cube level ("[Region].[Region]") or measure
    // ("[Measures].[Amount]"), or a column of the relational query ("region").
    std::string name;
    PivotFieldOrientation orientation = PivotFieldOrientation::Row;
    bool subtotals = true;
    // A page field's chosen item (its unique name for a cube); empty for all items.
    std::string currentPage{};
};

// One line of the laid-out table: the items of the row fields it totals (fewer than the row fields for
// a subtotal, none for the grand total) and its value.
struct PivotLine {
    std::vector<std::string> items;  // unique names (cube) or values (relational), per row field
    std::vector<std::string> captions;
    Variant value;
};

class PivotTable : public Object {
public:
    std::string typeName() const override { return "PivotTable"; }

    std::string name = "PivotTable1";
    // The source connection: "OLEDB;Provider=MSOLAP;Data Source=...;Initial Catalog=..." for a cube,
    // "ODBC;..." for a relational query.
    std::string connection;
    // The cube's name, or the relational query's SQL.
    std::string commandText;
    int topRow = 1;
    int leftColumn = 1;
    std::vector<PivotField> fields;
    bool classicLayout = false;

    bool isOlap() const;
    // The fields of an orientation, in order.
    std::vector<const PivotField*> fieldsOf(PivotFieldOrientation orientation) const;

    // Lays `lines` out on the sheet (clearing the previous layout) and keeps them.
    void layOut(Worksheet& sheet, std::vector<PivotLine> lines);
    const std::vector<PivotLine>& lines() const { return lines_; }
    // The cells of the laid-out table.
    formula::Area tableRange() const;

    // The pivot reference formula of a value cell of the table
    // (=GETPIVOTDATA("data field",$A$3,"field","item",...)), its anchor prefixed by `sheetPrefix`
    // ("'Sheet1'!"); nullopt for any other cell.
    std::optional<std::string> pivotReferenceFormula(int row, int column, const std::string& sheetPrefix = {}) const;
    // The value a GETPIVOTDATA call asks for: the line whose items are exactly the given field/item
    // pairs (letter case ignored); nullopt when there is none or the data field is another.
    std::optional<Variant> pivotData(const std::string& dataField, const std::vector<std::pair<std::string, std::string>>& pairs) const;

private:
    std::vector<PivotLine> lines_;
    int laidRows_ = 0;
    int laidColumns_ = 0;
};
using PivotTablePtr = std::shared_ptr<PivotTable>;

// The worksheet function GETPIVOTDATA(data field, a cell of the table, field, item, ...): the value of
// the pivot table at that cell; #REF! when there is no such table or line.
Variant getPivotData(std::vector<Variant>& arguments);

// The caption of a field or item name: its last bracketed part ("[Region].[Północ]" -> "Północ").
std::string pivotCaption(const std::string& name);

}  // namespace host::sheet
