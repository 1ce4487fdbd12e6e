#pragma once
// Command bars of the spreadsheet application: the worksheet menu bar, the toolbars and the context
// menus, each holding controls (buttons and popup menus, popups holding controls of their own).
// A button's OnAction names a macro; Execute hands that name to the macro runner the host registers.
//
// Every object is held by std::shared_ptr and can travel in a host::Variant. Children point to their
// parents weakly, so a collection owns what it holds and nothing keeps itself alive.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/base/Variant.h"

namespace host::sheet {

// Numbered as the automation object model numbers them.
enum class CommandBarType { Normal = 0, MenuBar = 1, Popup = 2 };  // Normal: a toolbar
enum class CommandBarPosition { Left = 0, Top = 1, Right = 2, Bottom = 3, Floating = 4, Popup = 5, MenuBar = 6 };
enum class ControlType { Button = 1, Popup = 10 };
enum class ButtonStyle { Automatic = 0, Icon = 1, Caption = 2, IconAndCaption = 3 };

// The properties of one control.
struct ControlProperties {
    ControlType type = ControlType::Button;
    int id = 1;  // the built-in command's number; 1 for a control the user added
    std::string caption;  // with "&" before the accelerator key, "&&" for a literal "&"
    std::string onAction;  // the macro Execute runs
    std::string tooltipText;
    std::string tag;
    std::string parameter;
    int faceId = 0;
    ButtonStyle style = ButtonStyle::Automatic;
    bool beginGroup = false;
    bool visible = true;
    bool enabled = true;
    bool temporary = false;
    bool builtIn = false;
    friend bool operator==(const ControlProperties&, const ControlProperties&) = default;
};

// A control with its sub-controls as plain data: what built-in bars are made of, what Reset restores
// and what toolbar files hold.
struct ControlDescription {
    ControlProperties properties;
    std::vector<ControlDescription> controls;  // popups only
    friend bool operator==(const ControlDescription&, const ControlDescription&) = default;
};

// A bar with its state and controls as plain data.
struct CommandBarDescription {
    std::string name;
    CommandBarType type = CommandBarType::Normal;
    CommandBarPosition position = CommandBarPosition::Floating;
    bool visible = false;
    bool temporary = false;
    std::vector<ControlDescription> controls;
    friend bool operator==(const CommandBarDescription&, const CommandBarDescription&) = default;
};

class CommandBar;
class CommandBarControl;
class CommandBarControls;
namespace detail {
struct CommandBarsRegistry;
}

// Runs the macro named by a control's OnAction.
using MacroRunner = std::function<void(const std::string& onAction)>;

// The application's collection of command bars. A new one holds the built-in bars.
class CommandBars : public Object {
public:
    CommandBars();
    CommandBars(const CommandBars&) = delete;
    CommandBars& operator=(const CommandBars&) = delete;
    std::string typeName() const override { return "CommandBars"; }

    int count() const;
    // The bar at a 1-based position, or by name ignoring case; error 5 when there is none.
    std::shared_ptr<CommandBar> item(int index) const;
    std::shared_ptr<CommandBar> item(std::string_view name) const;
    // The bars in order; a copy, so deleting bars while going through it is safe.
    std::vector<std::shared_ptr<CommandBar>> items() const;

    // Adds an empty, hidden bar at the end. A Popup position makes a context menu, a MenuBar position a
    // menu bar, any other a toolbar. Error 5 for an empty name or one that is taken (ignoring case).
    std::shared_ptr<CommandBar> add(std::string name, bool temporary = false,
                                    CommandBarPosition position = CommandBarPosition::Floating);
    // Sets the bar of the description's name to its state and controls (name, type and built-in flag
    // of an existing bar stay); adds the bar when there is none of that name.
    std::shared_ptr<CommandBar> restore(const CommandBarDescription& description);

    // The first control with this tag on any bar, searching popups too; nullptr when there is none.
    std::shared_ptr<CommandBarControl> findControl(std::string_view tag) const;

    // The host's way of running macros, used by CommandBarControl::execute.
    void setMacroRunner(MacroRunner runner);
    // The control whose macro is running (inside execute), else nullptr.
    std::shared_ptr<CommandBarControl> actionControl() const;

private:
    std::shared_ptr<CommandBar> find(std::string_view name) const;

    std::shared_ptr<detail::CommandBarsRegistry> registry_;
};

// A menu bar, toolbar or context menu.
class CommandBar : public Object {
public:
    std::string typeName() const override { return "CommandBar"; }

    const std::string& name() const { return name_; }
    CommandBarType type() const { return type_; }
    bool builtIn() const { return builtIn_; }
    bool temporary() const { return temporary_; }
    bool visible() const { return visible_; }
    void setVisible(bool visible) { visible_ = visible; }
    CommandBarPosition position() const { return position_; }
    void setPosition(CommandBarPosition position) { position_ = position; }
    const std::shared_ptr<CommandBarControls>& controls() const { return controls_; }

    // The first control with this tag, searching popups too; nullptr when there is none.
    std::shared_ptr<CommandBarControl> findControl(std::string_view tag) const;
    // Delete: removes the bar from CommandBars. Error 5 for a built-in bar, 1004 when already deleted.
    void remove();
    // Puts a built-in bar's built-in controls back in place of its present ones; a custom bar keeps
    // its controls.
    void reset();
    // The bar's state and controls as data.
    CommandBarDescription describe() const;

private:
    friend class CommandBars;
    CommandBar(const std::shared_ptr<detail::CommandBarsRegistry>& registry, std::string name, CommandBarType type,
               bool builtIn);
    void apply(const CommandBarDescription& description);

    std::weak_ptr<detail::CommandBarsRegistry> registry_;
    std::string name_;
    CommandBarType type_;
    bool builtIn_;
    bool temporary_ = false;
    bool visible_ = false;
    CommandBarPosition position_ = CommandBarPosition::Floating;
    std::shared_ptr<CommandBarControls> controls_;
};

// The controls of a bar or of a popup.
class CommandBarControls : public Object, public std::enable_shared_from_this<CommandBarControls> {
public:
    std::string typeName() const override { return "CommandBarControls"; }

    int count() const { return static_cast<int>(items_.size()); }
    // The control at a 1-based position, or by caption ignoring case and "&" accelerators ("File"
    // and "&File" find "&File", "Save & Close" finds "Save && Close"); error 5 when there is none.
    std::shared_ptr<CommandBarControl> item(int index) const;
    std::shared_ptr<CommandBarControl> item(std::string_view caption) const;
    // The controls in order; a copy, so deleting controls while going through it is safe.
    std::vector<std::shared_ptr<CommandBarControl>> items() const { return items_; }

    // Adds a control before the 1-based position `before` (0: at the end). Id 0 or 1 makes an empty
    // custom control with Id 1; another Id makes a copy of that built-in control. Error 5 for a type
    // other than Button or Popup, an unknown Id, a built-in Id of another type, or a bad position.
    std::shared_ptr<CommandBarControl> add(ControlType type = ControlType::Button, int id = 0, int before = 0,
                                           bool temporary = false);
    // Adds a control made from data (with its sub-controls); `before` as above.
    std::shared_ptr<CommandBarControl> add(const ControlDescription& description, int before = 0);

private:
    friend class CommandBar;
    friend class CommandBarControl;
    explicit CommandBarControls(std::weak_ptr<detail::CommandBarsRegistry> registry);

    void replaceAll(const std::vector<ControlDescription>& descriptions);
    void erase(const CommandBarControl* control);
    std::shared_ptr<CommandBarControl> findByTag(std::string_view tag) const;
    std::vector<ControlDescription> describe() const;

    std::weak_ptr<detail::CommandBarsRegistry> registry_;
    std::vector<std::shared_ptr<CommandBarControl>> items_;
};

// A button or a popup menu on a bar or in a popup.
class CommandBarControl : public Object, public std::enable_shared_from_this<CommandBarControl> {
public:
    std::string typeName() const override { return "CommandBarControl"; }

    ControlType type() const { return p_.type; }
    int id() const { return p_.id; }
    bool builtIn() const { return p_.builtIn; }
    bool temporary() const { return p_.temporary; }
    const std::string& caption() const { return p_.caption; }
    void setCaption(std::string caption) { p_.caption = std::move(caption); }
    const std::string& onAction() const { return p_.onAction; }
    void setOnAction(std::string macro) { p_.onAction = std::move(macro); }
    const std::string& tooltipText() const { return p_.tooltipText; }
    void setTooltipText(std::string text) { p_.tooltipText = std::move(text); }
    const std::string& tag() const { return p_.tag; }
    void setTag(std::string tag) { p_.tag = std::move(tag); }
    const std::string& parameter() const { return p_.parameter; }
    void setParameter(std::string parameter) { p_.parameter = std::move(parameter); }
    int faceId() const { return p_.faceId; }
    void setFaceId(int faceId) { p_.faceId = faceId; }
    ButtonStyle style() const { return p_.style; }
    void setStyle(ButtonStyle style) { p_.style = style; }
    bool beginGroup() const { return p_.beginGroup; }
    void setBeginGroup(bool beginGroup) { p_.beginGroup = beginGroup; }
    bool visible() const { return p_.visible; }
    void setVisible(bool visible) { p_.visible = visible; }
    bool enabled() const { return p_.enabled; }
    void setEnabled(bool enabled) { p_.enabled = enabled; }

    // The controls of a popup; error 438 for a button.
    const std::shared_ptr<CommandBarControls>& controls() const;
    // Delete: removes the control from its parent's controls; error 1004 when already deleted.
    void remove();
    // Runs the OnAction macro through the macro runner, with this control as the action control
    // meanwhile; nothing to run for an empty OnAction. Error 1004 when no macro runner is set or the
    // control was deleted.
    void execute();
    // The control and its sub-controls as data.
    ControlDescription describe() const;

private:
    friend class CommandBarControls;
    CommandBarControl(const std::shared_ptr<CommandBarControls>& parent, ControlProperties properties);

    std::weak_ptr<CommandBarControls> parent_;
    ControlProperties p_;
    std::shared_ptr<CommandBarControls> controls_;  // popups only
};

}  // namespace host::sheet
