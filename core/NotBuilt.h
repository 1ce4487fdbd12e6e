#pragma once
// Procedures that this version of the add-in does not provide yet. Calling one is a run-time error,
// which worksheet functions turn into their result and commands report like any other failure.

#include <string_view>

namespace telm {

[[noreturn]] void NotBuilt(std::string_view procedure);

}  // namespace telm
