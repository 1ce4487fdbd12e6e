#include "host/sheet/QueryTable.h"

#include "host/base/Text.h"

namespace host::sheet {

std::string untypedConnection(const std::string& stored) {
    for (const char* prefix : {"ODBC;", "OLEDB;"})
        if (StrComp(Left(stored, Len(prefix)), prefix, CompareMethod::Text) == 0) return Mid(stored, Len(prefix) + 1);
    return stored;
}

}  // namespace host::sheet
