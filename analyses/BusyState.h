#pragma once
// The state a long command works in: calculation manual, screen updating off and its progress in the
// status bar. What it found is given back when the object ends, whichever way the command ends.

#include <string>

#include "host/base/Variant.h"
#include "host/sheet/Application.h"

namespace telm {

class BusyState {
public:
    // Raises 91 when the host application was never handed in.
    BusyState();
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
