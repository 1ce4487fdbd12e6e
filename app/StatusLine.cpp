#include "app/StatusLine.h"

#include <ostream>

namespace telm::app {

namespace {

constexpr std::chrono::seconds kLongWork{1};

void showLine(std::ostream& err, const std::string& text) { err << "... " << text << "\n"; }

}  // namespace

void StatusLine::showPending(bool whateverItsAge) {
    if (!pending_.empty() && (whateverItsAge || std::chrono::steady_clock::now() - since_ >= kLongWork))
        showLine(err_, pending_);
    pending_.clear();
}

void StatusLine::statusBar(const host::Variant& value) {
    showPending(false);
    if (!value.isString()) return;
    pending_ = value.stringValue();
    since_ = std::chrono::steady_clock::now();
}

void StatusLine::progress(const std::optional<std::string>& text) {
    if (text) showLine(err_, *text);
}

void StatusLine::stepEnded() { showPending(true); }

}  // namespace telm::app
