#pragma once
// The request-batching services: their switches and the login cache's reset.

namespace telm {

// Services off: data functions call their sources directly. Unless silent, message 160.
void SwitchServicesOff(bool silent);
// Forgets every cached data-source login (the cache keeps one empty entry); message 158.
void ClearAuthorisationTable();

}  // namespace telm
