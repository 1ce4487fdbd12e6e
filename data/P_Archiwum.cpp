#include "data/P_Archiwum.h"

namespace telm {

// No archive yet: every request goes live.
std::optional<host::Variant> ArchiveDecision(const std::string&, ArchiveOrder) { return std::nullopt; }

}  // namespace telm
