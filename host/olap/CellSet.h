#pragma once
// The result of an MDX query, flattened into rows as the platform's recordsets give MDX results: one
// record per tuple of the row axis (one record when there is none), whose fields are first the
// captions of the row members, one field per dimension and level the row axis holds
// ("[Region].[Country].[MEMBER_CAPTION]", Null where the row's member is at another level), then one
// field per tuple of the column axis, named by its members ("[Time].[Year].[2012].[Measures].[Amount]"),
// holding the cell's value (Null for an empty cell).

#include <string>
#include <vector>

#include "host/base/Variant.h"

namespace host::olap {

struct CellSet {
    std::vector<std::string> fields;
    std::vector<std::vector<Variant>> records;
};

}  // namespace host::olap
