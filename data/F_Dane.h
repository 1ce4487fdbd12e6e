#pragma once
// The data model and the GETDATA engine.

#include <vector>

#include "host/base/Variant.h"

namespace telm {

// The GETDATA engine: the first item of the list holds the formula's arguments as an array.
host::Variant GetDataByModel(std::vector<host::Variant>& argumenty);

}  // namespace telm
