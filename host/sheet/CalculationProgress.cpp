#include "host/sheet/CalculationProgress.h"

#include <time.h>

#include <string>

#include "host/sheet/Application.h"

namespace host::sheet {

namespace {

constexpr double kFirstAfter = 1.0;  // seconds
constexpr double kEvery = 0.25;

}  // namespace

double coarseSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

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
