#pragma once
// The source behind "{Microsoft Excel Driver (*.xls)}": a workbook file whose sheet areas are read
// into tables of an in-memory SQLite database when a query names them, the query then running there.
// A query names a table as
//   Sheet1$A1:C9, [My Sheet$A1:C9] or `My Sheet$A1:C9`    a range of a sheet;
//   [Sheet1$] or `Sheet1$`                                 the sheet's used range;
//   `Sheet1$B2`, `Sheet1$Total`, [Total], `Total` or a bare name after FROM or JOIN
//                                                          a cell or a defined name of the workbook.
// The first row of a table gives the column names (an empty one becomes F1, F2, ... by position), the
// other rows the records; a single cell is one record of the column F1. A column whose values are all
// numbers (or empty) is numeric, any other a text column. Texts in quotes are left alone.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "host/formula/Reference.h"
#include "host/odbc/Odbc.h"
#include "host/sheet/Application.h"

namespace host::ado {

class ExcelSource {
public:
    // `database` is the open in-memory SQLite connection; `store` reads the workbook file.
    ExcelSource(odbc::ConnectionHandle& database, std::string workbookPath,
                std::shared_ptr<sheet::WorkbookStore> store);

    // Loads every table the query names (each once per connection) and gives the query with the
    // table names replaced by their tables. Raises kDriverError for a missing or unreadable workbook,
    // sheet or name, and for a table of more than kMaxTableCells cells.
    std::string prepare(const std::string& sql);

    static constexpr long long kMaxTableCells = 1 << 20;

private:
    // The table of Sheet$reference: a range or cell address, a defined name, or (empty) the used range.
    std::string sheetTable(const std::string& sheet, const std::string& reference);
    // The table of a defined name; nullopt when the workbook has no such name (or cannot be read).
    std::optional<std::string> nameTable(const std::string& name);
    std::string load(const std::string& sheet, const formula::Area& area);

    odbc::ConnectionHandle& database_;
    std::string workbookPath_;
    std::shared_ptr<sheet::WorkbookStore> store_;
    std::map<std::string, std::string> tables_;  // "SHEET$R1C1:R2C2" -> table name
};

}  // namespace host::ado
