#pragma once
// The progress of a long calculation in the status bar: from about a second after the calculation
// began, at most four times a second, "Calculating: <done> of <total> cells"; at the end the status
// bar shows its own text again.
//
// The clock is read after every cell that may take its time (one calling a data function) and while
// cells take time; while it stands still between reads (quick cells) it is read after ever longer
// runs of cells, at most kMaxStride, so that a pass over many quick formulas spends next to nothing
// on it.

#include <cstddef>
#include <functional>

namespace host::sheet {

class Application;

class CalculationProgress {
public:
    // clock: seconds from any fixed moment.
    CalculationProgress(Application& application, const std::function<double()>& clock, std::size_t total);
    ~CalculationProgress();
    CalculationProgress(const CalculationProgress&) = delete;
    CalculationProgress& operator=(const CalculationProgress&) = delete;

    // A cell was calculated; mayTakeTime: its formula calls a function that is not built in.
    void cellDone(bool mayTakeTime) {
        ++done_;
        if (--untilRead_ == 0 || mayTakeTime) readClock();
    }

private:
    // Reads the clock, shows the progress when it is time and sets the cells until the next read.
    void readClock();

    Application& application_;
    const std::function<double()>& clock_;
    std::size_t total_;
    std::size_t done_ = 0;
    std::size_t stride_ = 1;     // cells between clock reads
    std::size_t untilRead_ = 1;  // cells left before the next read
    double start_;
    double lastRead_;
    double shown_ = 0;
    bool showing_ = false;
};

// A monotonic clock read cheaply (a few milliseconds' grain).
double coarseSeconds();

}  // namespace host::sheet
