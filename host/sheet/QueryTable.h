#pragma once
// A query table: an external-data range of a worksheet filled from a database query. The platform
// keeps its connection, its SQL and the range its rows occupy; the add-in reads them to write an
// equivalent formula.

#include <string>

#include "host/base/Variant.h"
#include "host/formula/Reference.h"

namespace host::sheet {

class QueryTable : public Object {
public:
    std::string typeName() const override { return "QueryTable"; }

    std::string name;
    // The connection as the spreadsheet stores it: "ODBC;" followed by the ODBC connection text.
    std::string connection;
    // The query's SQL (CommandText).
    std::string commandText;
    // The cells the rows occupy, field names first when fieldNames is set.
    formula::Area resultRange = formula::Area::cell(1, 1);
    bool fieldNames = true;
};
using QueryTablePtr = std::shared_ptr<QueryTable>;

// A stored connection without the spreadsheet's type prefix ("ODBC;", "OLEDB;", any letter case).
std::string untypedConnection(const std::string& stored);

}  // namespace host::sheet
