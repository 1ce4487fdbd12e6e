#pragma once
// What telm shows of the status bar on standard error: the progress of work that takes long, not each
// text the add-in puts there on its way. A status text is shown once it has stood for a second (when
// the next text replaces it) or when it still stands at the end of a step; the application's own
// progress texts (a long calculation) are shown as they come, since they only appear for long work.

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>

#include "host/base/Variant.h"

namespace telm::app {

class StatusLine {
public:
    explicit StatusLine(std::ostream& err) : err_(err) {}

    // The status bar now shows `value` (a text, or False for the application's own).
    void statusBar(const host::Variant& value);
    void progress(const std::optional<std::string>& text);
    void stepEnded();

private:
    void showPending(bool whateverItsAge);

    std::ostream& err_;
    std::string pending_;  // the status text not shown yet
    std::chrono::steady_clock::time_point since_;
};

}  // namespace telm::app
