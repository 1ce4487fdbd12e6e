#pragma once
// User forms: a Form holds named controls and is shown modally through the current back-end
// (host/ui/Dialogs.h). The user, at a back-end or in a test script, works with the controls and
// ends the dialog through a handler that hides the form, or by closing the form's window.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/ui/Controls.h"
#include "host/ui/ListControls.h"

namespace host::ui {

// A user form. Derive from it or compose it, add the controls, wire their handlers, then Show.
class Form {
public:
    explicit Form(std::string name, std::string caption = {});
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The form's name (its class name in the add-in, "fFormHaslo").
    const std::string& name() const { return name_; }
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption) { caption_ = std::move(caption); }

    // Adds a control of type T named `name`; error 5 when the form already has a control of that name.
    template <class T>
    T& add(std::string name) {
        auto control = std::make_unique<T>(std::move(name));
        T& added = *control;
        adopt(std::move(control));
        return added;
    }
    // The control named `name` (letter case ignored); error -2147024809 when there is none.
    Control& control(std::string_view name) const;
    // The same, as a T; Type mismatch when it is another kind of control.
    template <class T>
    T& control(std::string_view name) const {
        if (auto* typed = dynamic_cast<T*>(&control(name))) return *typed;
        throwTypeMismatch();
    }
    // All controls in the order they were added.
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

    // Shows the form modally: fires onActivate, hands the form to the back-end and returns when the
    // form is hidden. Error 400 when the form is already shown.
    void show();
    // Hides the form; a modal Show returns.
    void hide() { visible_ = false; }
    // The user closes the window (its X): fires onClose, then hides the form.
    void close();
    bool visible() const { return visible_; }

    // The control that has the focus; nullptr before any has.
    Control* activeControl() const { return activeControl_; }
    // The user presses Enter / Escape: clicks the enabled Default / Cancel button, if there is one.
    void pressEnter();
    void pressEscape();

    std::function<void()> onActivate;
    std::function<void()> onClose;

private:
    friend class Control;
    void adopt(std::unique_ptr<Control> control);
    [[noreturn]] static void throwTypeMismatch();
    void clickButton(bool (CommandButton::*flag)() const);

    std::string name_;
    std::string caption_;
    std::vector<std::unique_ptr<Control>> controls_;
    Control* activeControl_ = nullptr;
    bool visible_ = false;
};

}  // namespace host::ui
