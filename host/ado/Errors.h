#pragma once
// Error numbers and texts of the data-access layer: the provider's (OdbcErrors.h) and the object
// model's own. Every failure of host/ado is a host::RuntimeError carrying one of these numbers.

#include <string>

#include "host/odbc/OdbcErrors.h"

namespace host::ado {

// The object model's own numbers.
inline constexpr int kNoCurrentRecord = 3021;
inline constexpr int kObjectClosed = 3704;
inline constexpr int kObjectOpen = 3705;
inline constexpr int kConnectionUnusable = 3709;

// The object model's description of kNoCurrentRecord, kObjectClosed, kObjectOpen, kConnectionUnusable.
std::string objectModelDescription(int number);

}  // namespace host::ado
