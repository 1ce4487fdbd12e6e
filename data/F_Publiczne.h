#pragma once
// Entry wrappers of the worksheet functions: each prepares the host for a volatile worksheet function,
// sets the pending error text "#Error" and hands its arguments to one worker. Their own steps ignore
// errors; a worker that raises gives an empty result.

#include <string>

#include "host/base/Variant.h"

namespace telm {

// GETDATAODBC: the ADO query worker with the connection, the query, the third argument's value and no
// permission for server calculation.
host::Variant GetDataOdbcPublic(const host::Variant& connection, const host::Variant& query, host::Variant& third);

// GETDATALINK and the XLS types of GETDATA: the link worker with the link; the second argument is not
// used.
host::Variant GetDataLinkPublic(const std::string& link, const host::Variant& unused);

}  // namespace telm
