#include "core/A_Deklaracje.h"

#include <limits>
#include <memory>

#include "host/base/RuntimeError.h"

namespace telm {

namespace {
// The catalogue makes the state large: keep it on the heap.
std::unique_ptr<A_Deklaracje>& instance() {
    static std::unique_ptr<A_Deklaracje> state = std::make_unique<A_Deklaracje>();
    return state;
}
}  // namespace

A_Deklaracje& SharedState() { return *instance(); }

void ResetSharedState() { instance() = std::make_unique<A_Deklaracje>(); }

void IncrementCounter(std::int16_t& counter) {
    if (counter < std::numeric_limits<std::int16_t>::max()) ++counter;
}

host::sheet::Application& ExcelApplication() {
    auto& app = SharedState().ExcelApp;
    if (!app) throw host::RuntimeError(host::err::ObjectNotSet);
    return *app;
}

}  // namespace telm
