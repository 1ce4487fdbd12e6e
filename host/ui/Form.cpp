#include "host/ui/Form.h"

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/ui/Dialogs.h"

namespace host::ui {

namespace {
constexpr int kObjectNotFound = -2147024809;  // the forms library's "invalid argument" result
constexpr int kFormAlreadyShown = 400;
}  // namespace

Form::Form(std::string name, std::string caption) : name_(std::move(name)), caption_(std::move(caption)) {}

void Form::adopt(std::unique_ptr<Control> control) {
    for (const auto& existing : controls_) {
        if (StrComp(existing->name(), control->name(), CompareMethod::Text) == 0) {
            throw RuntimeError(err::InvalidProcedureCall,
                               "A control named \"" + control->name() + "\" is already on form " + name_);
        }
    }
    control->form_ = this;
    controls_.push_back(std::move(control));
}

Control& Form::control(std::string_view name) const {
    for (const auto& control : controls_) {
        if (StrComp(control->name(), name, CompareMethod::Text) == 0) return *control;
    }
    throw RuntimeError(kObjectNotFound, "Could not find the specified object.");
}

void Form::throwTypeMismatch() { throw RuntimeError(err::TypeMismatch); }

void Form::show() {
    if (visible_) throw RuntimeError(kFormAlreadyShown, "Form already displayed; can't show modally");
    visible_ = true;
    try {
        if (onActivate) onActivate();
        if (visible_) backend().showForm(*this);
    } catch (...) {
        visible_ = false;
        throw;
    }
    if (visible_) close();
}

void Form::close() {
    if (onClose) onClose();
    hide();
}

void Form::pressEnter() { clickButton(&CommandButton::isDefault); }

void Form::pressEscape() { clickButton(&CommandButton::isCancel); }

void Form::clickButton(bool (CommandButton::*flag)() const) {
    for (const auto& control : controls_) {
        auto* button = dynamic_cast<CommandButton*>(control.get());
        if (button && (button->*flag)() && button->visible()) {
            button->click();
            return;
        }
    }
}

}  // namespace host::ui
