#pragma once
// The archive of fetched values in hidden twin sheets.

#include <optional>
#include <string>

#include "host/base/Variant.h"

namespace telm {

enum class ArchiveOrder { Standard, EmptyTwinFirst };

// The archive decision for the calling cell and the request `key`: the value to answer (the archived
// value, a served point, or "#Arch!"), or nullopt to go on with a live query.
std::optional<host::Variant> ArchiveDecision(const std::string& key, ArchiveOrder order = ArchiveOrder::Standard);

}  // namespace telm
