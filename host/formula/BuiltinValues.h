#pragma once
// Walking the values an aggregating built-in sees (SUM, AND, COUNT, ...). Private to host/formula.

#include "host/formula/Builtins.h"

namespace host::formula {

// Calls visit(value, inRange) for every cell of a reference argument and every element of an array
// argument (inRange true), and for every other argument as given (inRange false). Blank cells of a
// reference may be left out: visitors ignore blanks in ranges.
template <class Visit>
void forEachValue(Arguments& arguments, const Visit& visit) {
    for (std::size_t i = 0; i < arguments.count(); ++i) {
        if (arguments.isReference(i)) {
            arguments.visitCells(i, [&](CellValueRun run) {
                for (const Variant* v : run) visit(*v, true);
            });
            continue;
        }
        const Variant v = arguments.value(i);
        if (v.isArray()) {
            for (const Variant& element : v.arrayValue().elements()) visit(element, true);
        } else {
            visit(v, false);
        }
    }
}

}  // namespace host::formula
