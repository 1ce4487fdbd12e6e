#include "host/ui/Controls.h"

#include <algorithm>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
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
    selStart_ = selLength_ = 0;
    if (onChange) onChange();
}

void TextBox::setSelection(long start, long length) {
    const long size = Len(text_);
    selStart_ = std::clamp(start, 0L, size);
    selLength_ = std::clamp(length, 0L, size - selStart_);
}

std::string TextBox::selText() const { return Mid(text_, selStart_ + 1, selLength_); }

}  // namespace host::ui
