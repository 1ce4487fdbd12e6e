#pragma once
// Message reporting: every message the add-in has for the user goes through ReportMessage, which
// shows it, logs it to "Errors.log" in the add-in folder or drops it, as the error-reporting level
// (SharedState().ErrorReportingLevel) says:
//   0 nothing; 1 a message box unless an Information Services program runs; 2 always a message box;
//   3 one record in the error log; 4 and any other value nothing.

#include <string>
#include <string_view>

#include "host/base/RuntimeError.h"
#include "host/base/Variant.h"

namespace telm {

// The error-log line of a message: the date and time, " - ", the title, ",", the buttons value as
// decimal text, ",", the prompt with every CR turned into "(&)" (line feeds stay).
std::string ErrorLogLine(std::string_view prompt, const host::Variant& buttons, std::string_view title);

// Shows, logs or drops a message as the error-reporting level says (header comment). `buttons` is
// the message-box style (buttons + icon + default button). Returns the answer (vbOK..vbNo) when a box
// was shown, else Empty. Failures to show the box or write the log raise to the caller.
host::Variant ReportMessage(std::string_view prompt, const host::Variant& buttons, std::string_view title = {});

// Appends `line` as one double-quoted record ending in CR LF to "Errors.log" in the add-in folder,
// creating the file on first use. Raises when the file cannot be written.
void WriteErrorLog(std::string_view line);
// Appends the record of the date and time, " - " and "Error.".
void WriteErrorLog();

// Runs one step whose run-time error is skipped, so that the steps after it still run.
template <class Step>
void IgnoringErrors(Step step) {
    try {
        step();
    } catch (const host::RuntimeError&) {
    }
}

}  // namespace telm
