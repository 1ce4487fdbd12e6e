#include "data/F_Dane.h"

#include "core/NotBuilt.h"

namespace telm {

host::Variant GetDataByModel(std::vector<host::Variant>&) { NotBuilt("GetDataByModel"); }

}  // namespace telm
