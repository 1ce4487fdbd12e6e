#pragma once
// Runs a parsed MDX query over one cube. A cell is the value of its measure at the point of the cube
// that the slicer, the row tuple and the column tuple name (the All member for every other
// dimension). A base measure's value is one aggregate the database computes over the leaves under
// the point's members; a calculated measure's value is its expression at that point. A SUM of an
// additive base measure over a cross join of members that do not overlap is asked of the database as
// one aggregate as well; other sums add their tuples' values.

#include "host/olap/CellSet.h"
#include "host/olap/Cube.h"
#include "host/olap/MdxParser.h"

namespace host::olap {

// Raises "cannot find" for a dimension, level, member or measure the cube lacks, a syntax error for a
// set where a value belongs (and the other way round).
CellSet evaluateMdx(Cube& cube, const MdxQuery& query);

}  // namespace host::olap
