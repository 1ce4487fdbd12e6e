#pragma once
// The state a long command works in: screen updating off, its progress in the status bar and, for a
// command that writes cells, calculation manual. What it found is given back when the object ends,
// whichever way the command ends. (Calculation going back to automatic recalculates every volatile
// cell, each data function querying again: commands that write no cells leave it alone.)

#include <string>

#include "host/base/Variant.h"
#include "host/sheet/Application.h"

namespace telm {

class BusyState {
public:
    // Raises 91 when the host application was never handed in.
    explicit BusyState(bool manualCalculation);
    ~BusyState();
    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

    // Shows the command's progress.
    void status(const std::string& text);

private:
    host::sheet::Application& app_;
    host::sheet::CalculationMode calculation_;
    bool screenUpdating_;
    host::Variant statusBar_;
};

}  // namespace telm
