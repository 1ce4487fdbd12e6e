#pragma once
// The ADO query worker: every SQL request of the data functions. It normalises the connection and
// query texts, decides where the value comes from (the services, server calculation, the archive,
// the request's description or a live query) and shapes the rows to the calling cells.

#include "host/base/Variant.h"

namespace telm {

// The query as it runs: "*" and "?" inside the quoted literals after the first " LIKE" become the SQL
// wildcards "%" and "_"; outside a literal they are operators (the "1*SUM(...)" of a built union) and
// stay.
std::string LikeWildcards(std::string query);

// The answer to one SQL request. `connection` and `query` are texts or arrays of texts (a range's
// values, joined without separator); `mode` ":" asks for the request's description, otherwise True
// adds a header row of field names (a cell reference counts as the cell's value).
// `serverCalculationAllowed` lets the request go to server calculation while it is on. The result is a value, a [row, column] array for the calling range,
// "." when the rows do not fit it, or the no-value answer of the error-reporting level, which any
// failure of the steps takes, whatever its kind (describe mode then ends).
host::Variant GetDataAdoCore(const host::Variant& connection, const host::Variant& query, const host::Variant& mode,
                             bool& serverCalculationAllowed);

// The value a one-row answer gives for its first field, as GetDataAdoCore shapes it: Null, empty, False,
// 0 and the text "." give the number 0.
host::Variant OneRowAnswer(const host::Variant& first);

}  // namespace telm
