#pragma once
// Entry wrappers of the worksheet functions: each prepares the host for a volatile worksheet function,
// sets the pending error text "#Error" and hands its arguments to one worker. Their own steps ignore
// errors; a worker that raises gives an empty result.

#include <string>

#include "host/base/Variant.h"

namespace telm {

// GETDATAOLAP and the OLAP source type of GETDATA: the OLAP worker with the seven texts.
host::Variant GetDataOlapPublic(const std::string& dataSource, const std::string& catalogue, const std::string& cube,
                                const std::string& measure, const std::string& members, const std::string& extra,
                                const std::string& seventh);

// The GETDATA wizard's MDX value lists.
host::Variant OlapListForWizardPublic(const std::string& dataSource, const std::string& catalogue,
                                      const std::string& mdx);

// GETDATAODBC: the ADO query worker with the connection, the query, the third argument's value and no
// permission for server calculation.
host::Variant GetDataOdbcPublic(const host::Variant& connection, const host::Variant& query, host::Variant& third);

// GETDATALINK and the XLS types of GETDATA: the link worker with the link; the second argument is not
// used.
host::Variant GetDataLinkPublic(const std::string& link, const host::Variant& unused);

}  // namespace telm
