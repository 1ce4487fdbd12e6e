#include "host/sheet/NumberFormatCode.h"

#include <mutex>
#include <unordered_set>

namespace host::sheet {

namespace {

struct KeptCodes {
    std::mutex mutex;
    std::unordered_set<std::string> codes;  // nodes stay where they are while the set grows
};

KeptCodes& keptCodes() {
    static KeptCodes* kept = new KeptCodes;  // never destroyed: cells may outlive static objects
    return *kept;
}

}  // namespace

const std::string& NumberFormatCode::none() {
    static const std::string empty;
    return empty;
}

NumberFormatCode& NumberFormatCode::operator=(std::string_view code) {
    if (code.empty()) {
        code_ = nullptr;
        return *this;
    }
    if (code_ && *code_ == code) return *this;
    KeptCodes& kept = keptCodes();
    const std::lock_guard lock(kept.mutex);
    code_ = &*kept.codes.emplace(code).first;
    return *this;
}

}  // namespace host::sheet
