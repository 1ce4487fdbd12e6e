#include "host/olap/OlapErrors.h"

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/odbc/OdbcErrors.h"

namespace host::olap {

void throwSyntaxError(long position, const std::string& what) {
    throwCubeError("Syntax error at position " + std::to_string(position) + ": " + what + ".");
}

void throwCannotFind(const std::string& what) { throwCubeError("Cannot find " + what + "."); }

void throwCubeError(const std::string& message) { throw RuntimeError(ado::kDriverError, "[OLAP] " + message); }

std::string bracketed(const std::string& name) { return "[" + Replace(name, "]", "]]") + "]"; }

}  // namespace host::olap
