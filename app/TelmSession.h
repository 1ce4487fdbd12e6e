#pragma once
// One run of `telm`: the platform application with the companion add-in started on the add-in
// folder, the workbook files opened and the steps run in order.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#include "app/StatusLine.h"
#include "app/TelmOptions.h"
#include "host/base/RuntimeError.h"
#include "host/companion/Companion.h"
#include "host/sheet/Application.h"
#include "host/ui/TerminalBackend.h"

namespace telm::app {

// A step, or the start, that failed; what() names it and says why ("--print ZZZ: not a cell
// reference").
struct TelmFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Ctrl-C stopped the run.
struct TelmInterrupted : std::runtime_error {
    TelmInterrupted() : std::runtime_error("interrupted") {}
};

class TelmSession {
public:
    // Starts the application and the add-in (dialogs on `err`, answered from `in`), and opens the
    // workbooks. Raises TelmFailure.
    TelmSession(const TelmOptions& options, std::istream& in, std::ostream& out, std::ostream& err,
                bool inputIsTerminal = false);
    ~TelmSession();

    // Runs the steps in order, and after each one the macros it scheduled that fall due within
    // kMacroWaitBound; the first failing step or macro raises TelmFailure, Ctrl-C TelmInterrupted, and
    // nothing later runs. Macros scheduled for later are named on the error stream at the end.
    void runSteps(const std::vector<Step>& steps);

private:
    void start(const TelmOptions& options);
    // Runs `work` as part of `what` ("--run X"): raises TelmFailure naming it when the work raises,
    // shows an error box, leaves a dialog unanswered or a command notes its failure.
    void checked(const std::string& what, const std::function<void()>& work);
    void runScheduledMacros(const std::string& after);
    std::optional<double> runDueMacrosWhileWaiting();
    void runStep(const Step& step);
    host::sheet::RangePtr range(const std::string& address);
    void refreshAll();
    void print(const std::string& rangeText, bool formulas);
    void eval(const std::string& formulaText);
    host::sheet::WorkbookPtr activeWorkbook() const;
    // Says on the error stream, once for each, which functions the platform could not calculate.
    void reportUnknownFunctions();

    std::ostream& out_;
    std::ostream& err_;
    StatusLine status_;
    std::set<std::string> reportedFunctions_;
    std::shared_ptr<host::ui::TerminalBackend> dialogs_;
    std::shared_ptr<host::sheet::Application> app_;
    std::unique_ptr<host::companion::Companion> companion_;
    std::optional<host::RuntimeError> unhandled_;  // a run-time error box shown during the step
    host::sheet::WorksheetPtr scratch_;
    int scratchRow_ = 0;
};

// The folder of the running program.
std::string programFolder();

}  // namespace telm::app
