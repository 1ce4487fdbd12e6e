#include "host/sheet/CalculationProgress.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "host/os/CoarseClock.h"
#include "host/sheet/Application.h"

namespace host::sheet {

namespace {

constexpr double kFirstAfter = 1.0;  // seconds
constexpr double kEvery = 0.25;
// The longest run of cells between two clock reads: a run of cells slow enough to move the clock is
// noticed at most this many cells late.
constexpr std::size_t kMaxStride = 32;

}  // namespace

double coarseSeconds() { return std::chrono::duration<double>(os::coarseNow().time_since_epoch()).count(); }

CalculationProgress::CalculationProgress(Application& application, const std::function<double()>& clock,
                                         std::size_t total)
    : application_(application), clock_(clock), total_(total), start_(clock()), lastRead_(start_) {}

CalculationProgress::~CalculationProgress() {
    if (showing_) application_.showProgress(std::nullopt);
}

void CalculationProgress::readClock() {
    const double now = clock_();
    stride_ = now == lastRead_ ? std::min(stride_ * 2, kMaxStride) : 1;
    untilRead_ = stride_;
    lastRead_ = now;
    if (now - start_ < kFirstAfter || (showing_ && now - shown_ < kEvery)) return;
    showing_ = true;
    shown_ = now;
    application_.showProgress("Calculating: " + std::to_string(done_) + " of " + std::to_string(total_) + " cells");
}

}  // namespace host::sheet
