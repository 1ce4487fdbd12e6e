#include "host/ui/Controls.h"

#include "host/base/RuntimeError.h"
#include "host/ui/Form.h"

namespace host::ui {

void Control::setFocus() { form().activeControl_ = this; }

Form& Control::form() const {
    if (!form_) throw RuntimeError(err::ObjectNotSet);
    return *form_;
}

void CommandButton::click() {
    if (enabled() && onClick) onClick();
}

void ToggleControl::setValue(bool value) {
    if (value == value_) return;
    value_ = value;
    valueChanged();
    if (onClick) onClick();
}

void CheckBox::click() {
    if (enabled()) setValue(!value());
}

void OptionButton::click() {
    if (enabled()) setValue(true);
}

void OptionButton::valueChanged() {
    if (!value_) return;
    for (const auto& control : form().controls()) {
        auto* peer = dynamic_cast<OptionButton*>(control.get());
        if (peer && peer != this && peer->groupName_ == groupName_) peer->value_ = false;
    }
}

void TextBox::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    if (onChange) onChange();
}

}  // namespace host::ui
