#pragma once
// Failures of the cube engine: host::RuntimeError with the data-access layer's driver-error number,
// so that the add-in sees them as it sees any provider's error.

#include <string>

namespace host::olap {

// "Syntax error at position N: <what>." (N counts characters from 1).
[[noreturn]] void throwSyntaxError(long position, const std::string& what);
// "Cannot find <what>." for an unknown cube, dimension, level, member or measure.
[[noreturn]] void throwCannotFind(const std::string& what);
// Any other failure, with the message as given.
[[noreturn]] void throwCubeError(const std::string& message);

// A name as MDX writes it: "[name]" with "]" doubled.
std::string bracketed(const std::string& name);

}  // namespace host::olap
