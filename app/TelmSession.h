#pragma once
// One run of `telm`: the platform application with the companion add-in started on the add-in
// folder, the workbook files opened and the steps run in order.

#include <iosfwd>
#include <memory>

#include "app/TelmOptions.h"
#include "host/companion/Companion.h"
#include "host/sheet/Application.h"
#include "host/ui/TerminalBackend.h"

namespace telm::app {

class TelmSession {
public:
    // Starts the application and the add-in, and opens the workbooks. Raises host::RuntimeError.
    TelmSession(const TelmOptions& options, std::istream& in, std::ostream& out, std::ostream& err);
    ~TelmSession();

    // Runs the steps in order; the first failing step raises.
    void runSteps(const std::vector<Step>& steps);

private:
    void runStep(const Step& step);
    void print(const std::string& rangeText, bool formulas);
    void eval(const std::string& formulaText);
    host::sheet::WorkbookPtr activeWorkbook() const;

    std::ostream& out_;
    std::shared_ptr<host::ui::TerminalBackend> dialogs_;
    std::shared_ptr<host::sheet::Application> app_;
    std::unique_ptr<host::companion::Companion> companion_;
    host::sheet::WorksheetPtr scratch_;
    int scratchRow_ = 0;
};

// The folder of the running program.
std::string programFolder();

}  // namespace telm::app
