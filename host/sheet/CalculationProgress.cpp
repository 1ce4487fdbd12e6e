#include "host/sheet/CalculationProgress.h"

#include <chrono>
#include <string>

#include "host/os/CoarseClock.h"
#include "host/sheet/Application.h"

namespace host::sheet {

namespace {

constexpr double kFirstAfter = 1.0;  // seconds
constexpr double kEvery = 0.25;

}  // namespace

double coarseSeconds() { return std::chrono::duration<double>(os::coarseNow().time_since_epoch()).count(); }

CalculationProgress::CalculationProgress(Application& application, const std::function<double()>& clock,
                                         std::size_t total)
    : application_(application), clock_(clock), total_(total), start_(clock()) {}

CalculationProgress::~CalculationProgress() {
    if (showing_) application_.showProgress(std::nullopt);
}

void CalculationProgress::cellDone() {
    ++done_;
    const double now = clock_();
    if (now - start_ < kFirstAfter || (showing_ && now - shown_ < kEvery)) return;
    showing_ = true;
    shown_ = now;
    application_.showProgress("Calculating: " + std::to_string(done_) + " of " + std::to_string(total_) + " cells");
}

}  // namespace host::sheet
