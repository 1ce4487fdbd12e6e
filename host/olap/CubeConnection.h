#pragma once
// The OLAP provider behind "Provider=MSOLAP..." connection texts: a connection to where the text's
// cubes live (CubeDatabase.h) that answers MDX queries with flattened results (CellSet.h). A text
// that carries CREATECUBE and INSERTINTO builds its cube first (CubeBuilder.h).

#include <string>

#include "host/olap/CellSet.h"
#include "host/olap/CubeDatabase.h"

namespace host::olap {

class CubeConnection {
public:
    // A user name or password given replaces the text's "User ID" and "Password". Raises as
    // buildCube and CubeDatabase do.
    CubeConnection(const std::string& connectionText, const std::string& user, const std::string& password,
                   int loginTimeout);

    // Runs an MDX query within `commandTimeout` seconds in all (0: no limit). Raises a syntax
    // error naming its position, "cannot find" for an unknown cube, dimension, member or measure,
    // kTimedOut when the time is up, the driver's failure otherwise.
    CellSet execute(const std::string& mdx, int commandTimeout);

private:
    CubeDatabase database_;
};

}  // namespace host::olap
