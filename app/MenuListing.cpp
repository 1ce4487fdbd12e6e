#include "app/MenuListing.h"

#include <ostream>
#include <string>

namespace telm::app {

using host::sheet::CommandBarControl;
using host::sheet::ControlType;

namespace {

// A caption as shown: "&" marks the accelerator, "&&" is a literal "&".
std::string shownCaption(const std::string& caption) {
    std::string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        else if (caption[i] == '&') continue;
        shown += caption[i];
    }
    return shown;
}

// Toolbar buttons show their tooltips (their captions are hidden behind their icons).
void printControl(const CommandBarControl& control, int depth, bool onToolbar, std::ostream& out) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    const bool byTooltip = (onToolbar || control.caption().empty()) && !control.tooltipText().empty();
    const std::string caption = shownCaption(byTooltip ? control.tooltipText() : control.caption());
    if (control.type() == ControlType::Popup) {
        out << indent << caption << "\n";
        for (const auto& child : control.controls()->items()) printControl(*child, depth + 1, onToolbar, out);
        return;
    }
    out << indent << caption << "\t" << control.onAction() << "\n";
}

}  // namespace

void printInstalledCommands(const host::sheet::CommandBars& bars, std::ostream& out) {
    for (const auto& bar : bars.items()) {
        bool named = false;
        for (const auto& control : bar->controls()->items()) {
            if (control->builtIn()) continue;
            if (!named) out << bar->name() << "\n";
            named = true;
            printControl(*control, 1, bar->type() == host::sheet::CommandBarType::Normal, out);
        }
    }
}

}  // namespace telm::app
