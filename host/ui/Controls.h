#pragma once
// Controls of user forms: labels, buttons, check boxes, option buttons, text boxes.
//
// The code that owns a form wires the controls' handlers (std::function members); the user, a real
// one at a back-end or a test script, drives the controls through the same properties and through
// the user actions click() and dblClick(). Changing a value fires the control's handler whether code
// or the user changed it, as in the runtime's forms. User actions on a disabled control do nothing.

#include <functional>
#include <string>

namespace host::ui {

class Form;

// Base of all controls: a name unique on its form, Enabled, Visible and the focus.
class Control {
public:
    explicit Control(std::string name) : name_(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    // The runtime's type name of the control ("TextBox", "ListBox").
    virtual std::string typeName() const = 0;
    // The text the control shows: the caption of labels, buttons and check boxes, the text of text,
    // list and combo boxes.
    virtual std::string shownText() const = 0;

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool visible() const { return visible_; }
    void setVisible(bool visible) { visible_ = visible; }
    // Makes this the form's active control.
    void setFocus();

protected:
    // The form the control is on; Object variable not set for a control that was not added to one.
    Form& form() const;

private:
    friend class Form;
    std::string name_;
    bool enabled_ = true;
    bool visible_ = true;
    Form* form_ = nullptr;
};

// A control with a caption.
class CaptionedControl : public Control {
public:
    using Control::Control;
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption) { caption_ = std::move(caption); }
    std::string shownText() const override { return caption_; }

private:
    std::string caption_;
};

class Label : public CaptionedControl {
public:
    using CaptionedControl::CaptionedControl;
    std::string typeName() const override { return "Label"; }
};

class CommandButton : public CaptionedControl {
public:
    using CaptionedControl::CaptionedControl;
    std::string typeName() const override { return "CommandButton"; }

    // Default: Enter on the form clicks it. Cancel: Escape on the form clicks it.
    bool isDefault() const { return isDefault_; }
    void setDefault(bool value) { isDefault_ = value; }
    bool isCancel() const { return isCancel_; }
    void setCancel(bool value) { isCancel_ = value; }

    // The user clicks the button: runs onClick.
    void click();
    std::function<void()> onClick;

private:
    bool isDefault_ = false;
    bool isCancel_ = false;
};

// A check box or option button: a caption and a Boolean Value.
class ToggleControl : public CaptionedControl {
public:
    using CaptionedControl::CaptionedControl;
    bool value() const { return value_; }
    void setValue(bool value);
    // The user clicks the control: a check box toggles, an option button becomes selected.
    virtual void click() = 0;
    // Fired when Value changes by setValue or click (not when another option button of the group
    // clears this one).
    std::function<void()> onClick;

protected:
    // Runs after Value changed, before onClick.
    virtual void valueChanged() {}
    bool value_ = false;
};

class CheckBox : public ToggleControl {
public:
    using ToggleControl::ToggleControl;
    std::string typeName() const override { return "CheckBox"; }
    void click() override;
};

// Selecting an option button clears the other option buttons of its form with the same group name.
class OptionButton : public ToggleControl {
public:
    using ToggleControl::ToggleControl;
    std::string typeName() const override { return "OptionButton"; }
    const std::string& groupName() const { return groupName_; }
    void setGroupName(std::string name) { groupName_ = std::move(name); }
    void click() override;

private:
    void valueChanged() override;
    std::string groupName_;
};

class TextBox : public Control {
public:
    using Control::Control;
    std::string typeName() const override { return "TextBox"; }
    std::string shownText() const override { return text_; }
    const std::string& text() const { return text_; }
    // Sets the text; fires onChange when it differs.
    void setText(std::string text);
    // Value is the text.
    const std::string& value() const { return text_; }
    void setValue(std::string text) { setText(std::move(text)); }
    std::function<void()> onChange;

    // The selected part of the text, in characters from 0 (SelStart, SelLength); setting the text
    // clears the selection. A selection past the end of the text is cut to it.
    long selStart() const { return selStart_; }
    long selLength() const { return selLength_; }
    void setSelection(long start, long length);
    // The selected text (SelText).
    std::string selText() const;

private:
    std::string text_;
    long selStart_ = 0;
    long selLength_ = 0;
};

}  // namespace host::ui
