#pragma once
// The scripted back-end: plays the user from answers queued in advance and records every dialog it
// was shown, so that tests (and library code run without a terminal) never block.
//
// Answers are taken in queue order, one per dialog. With the queue empty, a dialog gets what an
// absent user gives: a message box its default button, input boxes and file and folder dialogs
// a cancel, a form a close by its window's X. A queued answer of the wrong kind for the dialog shown
// raises ScriptMismatch.

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/ui/Dialogs.h"

namespace host::ui {

enum class DialogKind { MessageBox, InputBox, OpenFile, SaveFile, Folder, Form };

// "message box", "input box", ...
std::string dialogKindName(DialogKind kind);

// A test script that does not fit what the code showed. Deliberately no RuntimeError, so that code
// trapping run-time errors cannot hide it from the test.
class ScriptMismatch : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// What a form's control showed when the form appeared.
struct ControlSnapshot {
    std::string name;
    std::string typeName;
    std::string text;  // Control::shownText()
};

// One dialog the back-end was shown.
struct ShownDialog {
    DialogKind kind = DialogKind::MessageBox;
    std::string title{};               // forms: the caption
    std::string prompt{};              // message and input boxes
    int buttons = 0;                   // message boxes
    std::string initialText{};         // input box default, save-as initial name, folder picker start
    std::vector<FileFilter> filters{}; // file dialogs
    std::string formName{};            // forms
    std::vector<ControlSnapshot> controls{};  // forms, in the order of the form's controls
    bool answered = false;             // false: no answer was queued, the absent user's answer was given

    // The snapshot text of the control named `name` (letter case ignored); ScriptMismatch when the form had none.
    const std::string& control(std::string_view name) const;
};

class ScriptedBackend : public Backend {
public:
    using FormScript = std::function<void(Form&)>;

    // Queue answers; each returns *this for chaining.
    // A message box answer (vbOK..vbNo); ScriptMismatch at the box when it has no such button.
    ScriptedBackend& answerMessage(int answer);
    // An input box entry ("" is an empty entry, not a cancel).
    ScriptedBackend& answerInput(std::string text);
    ScriptedBackend& cancelInput();
    // The chosen path of an open, save-as or folder dialog.
    ScriptedBackend& answerPath(std::string path);
    // The chosen files of a multi-select open dialog.
    ScriptedBackend& answerPaths(std::vector<std::string> paths);
    // Cancels an open, save-as or folder dialog.
    ScriptedBackend& cancelPath();
    // What the user does with a form: the script gets the shown form. A form still shown when the
    // script returns is closed by its window's X.
    ScriptedBackend& actOnForm(FormScript script);

    // Answers not yet taken.
    std::size_t pendingAnswers() const { return queue_.size(); }
    // Everything shown, in order (a dialog shown from a form's handler comes after the form).
    const std::vector<ShownDialog>& record() const { return record_; }
    // Empties the queue and the record.
    void reset();

    int messageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> inputBox(const InputBoxRequest& request) override;
    std::vector<std::string> openFile(const OpenFileRequest& request) override;
    std::optional<std::string> saveFile(const SaveFileRequest& request) override;
    std::optional<std::string> pickFolder(const FolderRequest& request) override;
    void showForm(Form& form) override;

private:
    struct MessageAnswer {
        int answer;
    };
    struct InputAnswer {
        std::optional<std::string> text;
    };
    struct PathAnswer {
        std::vector<std::string> paths;  // empty: cancel
    };
    using Answer = std::variant<MessageAnswer, InputAnswer, PathAnswer, FormScript>;

    // Records the dialog and takes the next answer, which must be an A; nullopt when none is queued.
    template <class A>
    std::optional<A> take(ShownDialog shown);
    // The single path of a save-as or folder dialog's answer.
    static std::optional<std::string> singlePath(std::optional<PathAnswer> answer, DialogKind kind);

    std::deque<Answer> queue_;
    std::vector<ShownDialog> record_;
};

// The process's default back-end (the one backend() gives until another is set).
std::shared_ptr<ScriptedBackend> defaultScriptedBackend();
// For tests: makes the default scripted back-end current, empties its queue and record, returns it.
ScriptedBackend& resetScriptedBackend();

}  // namespace host::ui
