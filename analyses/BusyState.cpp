#include "analyses/BusyState.h"

#include "core/A_Deklaracje.h"
#include "host/base/RuntimeError.h"

namespace telm {

BusyState::BusyState(bool manualCalculation)
    : app_(ExcelApplication()),
      calculation_(app_.calculation()),
      screenUpdating_(app_.screenUpdating),
      statusBar_(app_.statusBar()) {
    if (manualCalculation) app_.setCalculation(host::sheet::CalculationMode::Manual);
    app_.screenUpdating = false;
}

BusyState::~BusyState() {
    app_.setStatusBar(statusBar_);
    app_.screenUpdating = screenUpdating_;
    if (app_.calculation() == calculation_) return;
    try {
        app_.setCalculation(calculation_);  // back to automatic recalculates, and a formula may fail
    } catch (const host::RuntimeError&) {
        // a destructor cannot pass it on; the mode is set before the recalculation runs
    }
}

void BusyState::status(const std::string& text) { app_.setStatusBar(text); }

}  // namespace telm
