#pragma once
// Error numbers of the ODBC provider. Every failure of host/odbc is a host::RuntimeError carrying one
// of these numbers.

#include <string_view>

namespace host::ado {

// The provider's HRESULT-style numbers, as the runtime shows them (negative 32-bit values).
inline constexpr int kDriverError = static_cast<int>(0x80004005u);   // E_FAIL: any driver error
inline constexpr int kLoginRefused = static_cast<int>(0x80040E4Du);  // DB_SEC_E_AUTH_FAILED
inline constexpr int kTimedOut = static_cast<int>(0x80040E31u);      // DB_E_ABORTLIMITREACHED
inline constexpr int kCancelled = static_cast<int>(0x80040E4Eu);     // DB_E_CANCELED: stopped by the user
// A connection text naming a provider that is not there.
inline constexpr int kProviderNotFound = 3706;

// The error number of an ODBC diagnostic: a refused login for SQLSTATE class 28 and for psqlODBC's
// refusals (08001 "password authentication failed" / "no password supplied"), a time-out for HYT00,
// HYT01, the server's statement time-out 57014 and SQLite's "database is locked" after its wait, a
// driver error otherwise.
int errorNumberOf(std::string_view sqlState, std::string_view message);

}  // namespace host::ado
