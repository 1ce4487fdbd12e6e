#pragma once
// The request-batching services: their three switches, the request list and the result store, the
// recalculation cycle that fills them, and the commands that switch, clear and reset.
//
// A request is one text, also its sort and search key: service name, "(:)", key, "(::)", payload
// ("ADO(:)" connection "(::)" SQL; "GTS(:)" source & target language "(::)" text). Requests compare
// as whole texts by their UTF-16 code units, letter case included.
//
// Switch states as a data function sees them (SharedState()):
//   Off           ServicesOff, ServiceDirectCall    sources are called directly
//   On            none                              the result of the last cycle is looked up
//   Collecting    ServiceCollecting                 the request is recorded, a placeholder shown
//   Service call  ServiceDirectCall                 a service runs the source itself

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/base/Variant.h"

namespace telm {

// -1, 0 or 1: the order of two texts by their UTF-16 code units.
int CompareRequests(std::string_view a, std::string_view b);

// Records a request while the services collect: the list always ends with one empty slot, which the
// request fills before a new empty slot is added.
void AddServiceRequest(const std::string& request);

// Sorts the list ascending by CompareRequests, in place.
std::vector<std::string>& SortVariantArray(std::vector<std::string>& list);

// The position of `key` in the sorted list between low and high (by default its bounds), -1 when it
// is absent. Among equal entries any one may be found.
long BinarySearchRequest(const std::vector<std::string>& list, std::string_view key, std::optional<long> low = {},
                         std::optional<long> high = {});

// The result the last cycle stored for the request; "(?)" when the request was not collected, or on
// any failure of the lookup.
host::Variant GetServiceResult(const host::Variant& request);

// Stores a service's result at ServiceResultCounter and advances it (the services store in list order).
void StoreServiceResult(const host::Variant& result);

// The recalculation cycle: a collecting pass in manual mode (every open workbook when full, else the
// active sheet), the batch phase (the ADO service, then the translation service) under status message
// 162, and the result pass that switching back to automatic calculation brings. A failure reaches the
// caller after the switches, the status bar and automatic calculation are restored.
void CalculateWithServices(bool full);

// Services on; unless silent, message 159.
void SwitchServicesOn(bool silent);
// Services off: data functions call their sources directly. Unless silent, message 160.
void SwitchServicesOff(bool silent);
// Empties the request list and the result store (one empty entry each); message 161.
void ClearServicesTable();
// Forgets every cached data-source login (the cache keeps one empty entry); message 158.
void ClearAuthorisationTable();

}  // namespace telm
