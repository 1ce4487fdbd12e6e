#include "data/S_ServiceManager.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/S_Services.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/ConnectionPool.h"
#include "host/sheet/Worksheet.h"

namespace telm {

using host::Variant;
using host::sheet::CalculationMode;

namespace {

constexpr std::string_view kPayloadSeparator = "(::)";
constexpr std::string_view kAdoService = "ADO(:)";
constexpr std::string_view kTranslationService = "GTS(:)";
constexpr const char* kNotCollected = "(?)";

bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// Characters from U+E000 to U+FFFF (UTF-8 lead bytes EE and EF) come after the surrogate pairs of
// the characters above U+FFFF (lead bytes F0 to F4) in UTF-16, though before them in UTF-8.
bool isHighBmp(unsigned char lead) { return lead == 0xEE || lead == 0xEF; }
bool isSupplementary(unsigned char lead) { return lead >= 0xF0; }

// The position of the first byte where the texts differ (the shorter one's length when one starts the
// other). Requests share long prefixes (service and connection text): compared eight bytes at a time.
std::size_t firstDifference(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) break;
    }
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

std::vector<std::string> requestsOf(const std::vector<std::string>& list, std::string_view service) {
    std::vector<std::string> out;
    for (const std::string& r : list)
        if (r.starts_with(service)) out.push_back(r);
    return out;
}

}  // namespace

int CompareRequests(std::string_view a, std::string_view b) {
    const std::size_t at = firstDifference(a, b);
    if (at == a.size() && at == b.size()) return 0;
    if (at == a.size()) return -1;
    if (at == b.size()) return 1;
    // The texts share everything before the differing byte, so its character starts at the same place
    // in both.
    std::size_t start = at;
    while (start > 0 && isContinuationByte(static_cast<unsigned char>(a[start]))) --start;
    const auto la = static_cast<unsigned char>(a[start]);
    const auto lb = static_cast<unsigned char>(b[start]);
    if (isSupplementary(la) && isHighBmp(lb)) return -1;
    if (isHighBmp(la) && isSupplementary(lb)) return 1;
    return static_cast<unsigned char>(a[at]) < static_cast<unsigned char>(b[at]) ? -1 : 1;
}

void AddServiceRequest(const std::string& request) {
    auto& list = SharedState().ServiceRequestList;
    if (list.empty()) throw host::RuntimeError(host::err::SubscriptOutOfRange);
    list.back() = request;
    list.emplace_back();
}

std::vector<std::string>& SortVariantArray(std::vector<std::string>& list) {
    std::sort(list.begin(), list.end(),
              [](const std::string& a, const std::string& b) { return CompareRequests(a, b) < 0; });
    return list;
}

long BinarySearchRequest(const std::vector<std::string>& list, std::string_view key, std::optional<long> low,
                         std::optional<long> high) {
    long lo = low.value_or(0);
    long hi = high.value_or(static_cast<long>(list.size()) - 1);
    if (lo < 0 || hi >= static_cast<long>(list.size()) || lo > hi) return -1;
    for (;;) {
        // A key outside the range's first and last entries cannot be in it.
        if (CompareRequests(key, list[hi]) > 0 || CompareRequests(key, list[lo]) < 0) return -1;
        const long mid = lo + (hi - lo) / 2;
        const int c = CompareRequests(list[mid], key);
        if (c == 0) return mid;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
}

Variant GetServiceResult(const Variant& request) {
    try {
        const auto& s = SharedState();
        const long i = BinarySearchRequest(s.ServiceRequestList, request.toString());
        if (i < 0 || i >= static_cast<long>(s.ServiceResults.size())) return kNotCollected;
        return s.ServiceResults[static_cast<std::size_t>(i)];
    } catch (const host::RuntimeError&) {
        return kNotCollected;
    }
}

void StoreServiceResult(const Variant& result) {
    auto& s = SharedState();
    if (s.ServiceResultCounter < 0 || s.ServiceResultCounter >= static_cast<std::int32_t>(s.ServiceResults.size()))
        throw host::RuntimeError(host::err::SubscriptOutOfRange);
    s.ServiceResults[static_cast<std::size_t>(s.ServiceResultCounter++)] = result;
}

void CalculateWithServices(bool full) {
    auto& s = SharedState();
    auto& app = ExcelApplication();
    s.ServiceResultCounter = 0;
    s.ServiceDirectCall = false;
    try {
        app.setCalculation(CalculationMode::Manual);
        s.ServiceRequestList.assign(1, std::string());
        s.ServiceCollecting = true;
        if (full) {
            app.calculate();
        } else {
            auto sheet = app.activeSheet();
            if (!sheet) throw host::RuntimeError(host::err::ObjectNotSet);
            sheet->calculate();
        }
        s.ServiceCollecting = false;
        app.setStatusBar(GetMessageText(162));
        if (s.ServiceRequestList.size() != 1) {
            std::vector<std::string> list = std::move(s.ServiceRequestList);
            list.pop_back();
            SortVariantArray(list);
            std::erase_if(list, [](const std::string& r) { return r.find(kPayloadSeparator) == std::string::npos; });
            s.ServiceRequestList = list;
            if (list.empty()) throw host::RuntimeError(host::err::SubscriptOutOfRange);
            s.ServiceResults.assign(list.size(), Variant());
            // Sorted, every ADO request comes before every translation request, as the results do.
            if (auto ado = requestsOf(list, kAdoService); !ado.empty()) RunAdoService(ado);
            if (auto gts = requestsOf(list, kTranslationService); !gts.empty()) RunTranslationService(gts);
        }
        app.setStatusBar(false);
        app.setCalculation(CalculationMode::Automatic);
    } catch (...) {
        // Back to the services' idle state with the host's own status bar and automatic calculation,
        // as a finished cycle leaves them; the failure goes on to the caller.
        s.ServiceCollecting = false;
        s.ServiceDirectCall = false;
        try {
            app.setStatusBar(false);
            app.setCalculation(CalculationMode::Automatic);
        } catch (const host::RuntimeError&) {  // the original failure is the one to report
        }
        throw;
    }
}

void SwitchServicesOn(bool silent) {
    auto& s = SharedState();
    s.ServicesOff = false;
    s.ServiceDirectCall = false;
    if (!silent) ReportMessage(GetMessageText(159), 64, GetMessageText(2000));
}

void SwitchServicesOff(bool silent) {
    auto& s = SharedState();
    s.ServicesOff = true;
    s.ServiceDirectCall = true;
    if (!silent) ReportMessage(GetMessageText(160), 64, GetMessageText(2000));
}

void ClearServicesTable() {
    auto& s = SharedState();
    s.ServiceRequestList.assign(1, std::string());
    s.ServiceResults.assign(1, Variant());
    ReportMessage(GetMessageText(161), 64, GetMessageText(2000));
}

void ClearAuthorisationTable() {
    SharedState().AuthorisationTable = host::Array::vector({host::Variant(std::string())});
    host::ado::clearConnectionPool();
    ReportMessage(GetMessageText(158), 64, GetMessageText(2008));
}

}  // namespace telm
