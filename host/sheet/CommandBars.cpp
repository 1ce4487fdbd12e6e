#include "host/sheet/CommandBars.h"

#include <algorithm>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/CommandBarsBuiltIn.h"

namespace host::sheet {

namespace detail {
// What the bars and controls of one CommandBars share.
struct CommandBarsRegistry {
    std::vector<std::shared_ptr<CommandBar>> bars;
    MacroRunner macroRunner;
    std::weak_ptr<CommandBarControl> actionControl;
};
}  // namespace detail

namespace {

RuntimeError invalidArgument() { return RuntimeError(err::InvalidProcedureCall); }

// The caption as shown: single "&" accelerator marks dropped, "&&" read as "&".
std::string withoutAccelerators(std::string_view caption) {
    std::string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            shown += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
            shown += '&';
            ++i;
        }
    }
    return shown;
}

template <class T>
const std::shared_ptr<T>& atPosition(const std::vector<std::shared_ptr<T>>& items, int index) {
    if (index < 1 || index > static_cast<int>(items.size())) throw invalidArgument();
    return items[static_cast<std::size_t>(index - 1)];
}

CommandBarType typeForPosition(CommandBarPosition position) {
    switch (position) {
    case CommandBarPosition::Popup: return CommandBarType::Popup;
    case CommandBarPosition::MenuBar: return CommandBarType::MenuBar;
    default: return CommandBarType::Normal;
    }
}

// Makes a control the action control while its macro runs, and restores the previous one after.
class ActionControlScope {
public:
    ActionControlScope(detail::CommandBarsRegistry& registry, const std::shared_ptr<CommandBarControl>& control)
        : registry_(registry), previous_(registry.actionControl) {
        registry_.actionControl = control;
    }
    ~ActionControlScope() { registry_.actionControl = previous_; }
    ActionControlScope(const ActionControlScope&) = delete;
    ActionControlScope& operator=(const ActionControlScope&) = delete;

private:
    detail::CommandBarsRegistry& registry_;
    std::weak_ptr<CommandBarControl> previous_;
};

}  // namespace

// ---- CommandBars

CommandBars::CommandBars() : registry_(std::make_shared<detail::CommandBarsRegistry>()) {
    for (const auto& description : builtInCommandBars()) {
        auto bar = std::shared_ptr<CommandBar>(new CommandBar(registry_, description.name, description.type, true));
        bar->apply(description);
        registry_->bars.push_back(std::move(bar));
    }
}

int CommandBars::count() const { return static_cast<int>(registry_->bars.size()); }

std::shared_ptr<CommandBar> CommandBars::item(int index) const { return atPosition(registry_->bars, index); }

std::shared_ptr<CommandBar> CommandBars::item(std::string_view name) const {
    if (auto bar = find(name)) return bar;
    throw invalidArgument();
}

std::vector<std::shared_ptr<CommandBar>> CommandBars::items() const { return registry_->bars; }

std::shared_ptr<CommandBar> CommandBars::find(std::string_view name) const {
    for (const auto& bar : registry_->bars) {
        if (StrComp(bar->name(), name, CompareMethod::Text) == 0) return bar;
    }
    return nullptr;
}

std::shared_ptr<CommandBar> CommandBars::add(std::string name, bool temporary, CommandBarPosition position) {
    if (name.empty() || find(name)) throw invalidArgument();
    auto bar = std::shared_ptr<CommandBar>(new CommandBar(registry_, std::move(name), typeForPosition(position), false));
    bar->temporary_ = temporary;
    bar->position_ = position;
    registry_->bars.push_back(bar);
    return bar;
}

std::shared_ptr<CommandBar> CommandBars::restore(const CommandBarDescription& description) {
    auto bar = find(description.name);
    if (!bar) {
        bar = add(description.name, description.temporary, description.position);
        bar->type_ = description.type;
    }
    bar->apply(description);
    return bar;
}

std::shared_ptr<CommandBarControl> CommandBars::findControl(std::string_view tag) const {
    for (const auto& bar : registry_->bars) {
        if (auto control = bar->findControl(tag)) return control;
    }
    return nullptr;
}

void CommandBars::setMacroRunner(MacroRunner runner) { registry_->macroRunner = std::move(runner); }

std::shared_ptr<CommandBarControl> CommandBars::actionControl() const { return registry_->actionControl.lock(); }

// ---- CommandBar

CommandBar::CommandBar(const std::shared_ptr<detail::CommandBarsRegistry>& registry, std::string name,
                       CommandBarType type, bool builtIn)
    : registry_(registry),
      name_(std::move(name)),
      type_(type),
      builtIn_(builtIn),
      controls_(new CommandBarControls(registry)) {}

void CommandBar::apply(const CommandBarDescription& description) {
    visible_ = description.visible;
    position_ = description.position;
    controls_->replaceAll(description.controls);
}

std::shared_ptr<CommandBarControl> CommandBar::findControl(std::string_view tag) const {
    return controls_->findByTag(tag);
}

void CommandBar::remove() {
    if (builtIn_) throw invalidArgument();
    auto registry = registry_.lock();
    if (!registry) throw RuntimeError(err::InvalidArgument, "The command bar \"" + name_ + "\" was deleted");
    std::erase_if(registry->bars, [this](const auto& bar) { return bar.get() == this; });
    registry_.reset();
}

void CommandBar::reset() {
    if (const auto* builtIn = builtIn_ ? findBuiltInCommandBar(name_) : nullptr) {
        controls_->replaceAll(builtIn->controls);
    }
}

CommandBarDescription CommandBar::describe() const {
    return CommandBarDescription{name_, type_, position_, visible_, temporary_, controls_->describe()};
}

// ---- CommandBarControls

CommandBarControls::CommandBarControls(std::weak_ptr<detail::CommandBarsRegistry> registry)
    : registry_(std::move(registry)) {}

std::shared_ptr<CommandBarControl> CommandBarControls::item(int index) const { return atPosition(items_, index); }

std::shared_ptr<CommandBarControl> CommandBarControls::item(std::string_view caption) const {
    // The text may be the caption as shown ("Save & Close") or as written ("&File", "Save && Close").
    const std::string shownWanted = withoutAccelerators(caption);
    for (const auto& control : items_) {
        const std::string shown = withoutAccelerators(control->caption());
        if (StrComp(shown, caption, CompareMethod::Text) == 0 || StrComp(shown, shownWanted, CompareMethod::Text) == 0) {
            return control;
        }
    }
    throw invalidArgument();
}

std::shared_ptr<CommandBarControl> CommandBarControls::add(ControlType type, int id, int before, bool temporary) {
    ControlDescription description;
    description.properties.type = type;
    if (id != 0 && id != 1) {
        const auto* builtIn = findBuiltInControl(id);
        if (!builtIn || builtIn->properties.type != type) throw invalidArgument();
        description = *builtIn;
    }
    description.properties.temporary = temporary;
    return add(description, before);
}

std::shared_ptr<CommandBarControl> CommandBarControls::add(const ControlDescription& description, int before) {
    const auto type = description.properties.type;
    const bool knownType = type == ControlType::Button || type == ControlType::Popup;
    const bool childrenFit = type == ControlType::Popup || description.controls.empty();
    if (!knownType || !childrenFit || before < 0 || before > count() + 1) throw invalidArgument();

    auto control = std::shared_ptr<CommandBarControl>(new CommandBarControl(shared_from_this(), description.properties));
    for (const auto& child : description.controls) control->controls_->add(child);
    const auto at = before == 0 ? items_.end() : items_.begin() + (before - 1);
    items_.insert(at, control);
    return control;
}

void CommandBarControls::replaceAll(const std::vector<ControlDescription>& descriptions) {
    for (const auto& control : items_) control->parent_.reset();
    items_.clear();
    for (const auto& description : descriptions) add(description);
}

void CommandBarControls::erase(const CommandBarControl* control) {
    std::erase_if(items_, [control](const auto& item) { return item.get() == control; });
}

std::shared_ptr<CommandBarControl> CommandBarControls::findByTag(std::string_view tag) const {
    for (const auto& control : items_) {
        if (control->tag() == tag) return control;
        if (control->controls_) {
            if (auto inner = control->controls_->findByTag(tag)) return inner;
        }
    }
    return nullptr;
}

std::vector<ControlDescription> CommandBarControls::describe() const {
    std::vector<ControlDescription> descriptions;
    descriptions.reserve(items_.size());
    for (const auto& control : items_) descriptions.push_back(control->describe());
    return descriptions;
}

// ---- CommandBarControl

CommandBarControl::CommandBarControl(const std::shared_ptr<CommandBarControls>& parent, ControlProperties properties)
    : parent_(parent), p_(std::move(properties)) {
    if (p_.type == ControlType::Popup) controls_.reset(new CommandBarControls(parent->registry_));
}

const std::shared_ptr<CommandBarControls>& CommandBarControl::controls() const {
    if (!controls_) throw RuntimeError(err::NoSuchMember);
    return controls_;
}

void CommandBarControl::remove() {
    auto parent = parent_.lock();
    if (!parent) throw RuntimeError(err::InvalidArgument, "The control \"" + p_.caption + "\" was deleted");
    const auto self = shared_from_this();  // keeps this alive while the parent lets go of it
    parent->erase(this);
    parent_.reset();
}

void CommandBarControl::execute() {
    const auto parent = parent_.lock();
    if (!parent) throw RuntimeError(err::InvalidArgument, "The control \"" + p_.caption + "\" was deleted");
    const auto registry = parent->registry_.lock();
    if (!registry || !registry->macroRunner) {
        throw RuntimeError(err::InvalidArgument, "No macro runner is set to run \"" + p_.onAction + "\"");
    }
    if (p_.onAction.empty()) return;
    // Copies: the macro may change the control's OnAction or replace the runner while it runs.
    const std::string macro = p_.onAction;
    const MacroRunner runner = registry->macroRunner;
    ActionControlScope scope(*registry, shared_from_this());
    runner(macro);
}

ControlDescription CommandBarControl::describe() const {
    return ControlDescription{p_, controls_ ? controls_->describe() : std::vector<ControlDescription>{}};
}

}  // namespace host::sheet
