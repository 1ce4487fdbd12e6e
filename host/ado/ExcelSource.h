#pragma once
// The source behind "{Microsoft Excel Driver (*.xls)}": a workbook file whose sheet ranges are read
// into tables of an in-memory SQLite database when a query names them, the query then running there.
// A range is named in the FROM clause as Sheet1$A1:C9 or [My Sheet$A1:C9]; the first row of the range
// gives the column names (an empty one becomes F1, F2, ... by position), the other rows the records.
// A column whose values are all numbers (or empty) is numeric, any other a text column.

#include <map>
#include <memory>
#include <string>

#include "host/ado/Odbc.h"
#include "host/sheet/Application.h"

namespace host::ado {

class ExcelSource {
public:
    // `database` is the open in-memory SQLite connection; `store` reads the workbook file.
    ExcelSource(odbc::ConnectionHandle& database, std::string workbookPath,
                std::shared_ptr<sheet::WorkbookStore> store);

    // Loads every range the query names (each once per connection) and gives the query with the
    // range names replaced by their tables. Raises kDriverError for a whole sheet without a range,
    // a missing or unreadable workbook or sheet.
    std::string prepare(const std::string& sql);

private:
    std::string load(const std::string& sheet, const std::string& range);

    odbc::ConnectionHandle& database_;
    std::string workbookPath_;
    std::shared_ptr<sheet::WorkbookStore> store_;
    std::map<std::string, std::string> tables_;  // "sheet$range" -> table name
};

}  // namespace host::ado
