#include "analyses/BusyState.h"

#include "core/A_Deklaracje.h"

namespace telm {

BusyState::BusyState()
    : app_(ExcelApplication()),
      calculation_(app_.calculation()),
      screenUpdating_(app_.screenUpdating),
      statusBar_(app_.statusBar()) {
    app_.setCalculation(host::sheet::CalculationMode::Manual);
    app_.screenUpdating = false;
}

BusyState::~BusyState() {
    app_.setStatusBar(statusBar_);
    app_.screenUpdating = screenUpdating_;
    try {
        app_.setCalculation(calculation_);  // back to automatic recalculates, and a formula may fail
    } catch (...) {
    }
}

void BusyState::status(const std::string& text) { app_.setStatusBar(text); }

}  // namespace telm
