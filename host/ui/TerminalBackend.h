#pragma once
// The terminal back-end: dialogs shown as text on an output stream and answered on an input stream,
// or by answers given in advance (the command line's --answer and --answers), which are used first.
//
// Answers, typed or given in advance:
//   message box   the button's name in English or Polish (OK, Cancel/Anuluj, Abort/Przerwij,
//                 Retry/Ponów, Ignore/Zignoruj, Yes/Tak, No/Nie; letter case ignored) or its number
//                 1..7; an empty line takes the default button
//   input box     the text; a lone "\cancel" cancels
//   password box  "secret:" and the password (typed at a terminal: the password alone, not echoed)
//   file dialogs  the path; an empty line or "\cancel" cancels
//   forms         actions separated by ";" ("\;" is a ";" inside an action): "NAME=TEXT" sets a text
//                 box, combo box, check box or list entry, "click NAME" clicks a button,
//                 "select NAME ROW" picks a list row (0-based), "select NAME TEXT" selects the first
//                 occurrence of TEXT in a text box, "close" closes the form
// "\cancel" answers any dialog as the Esc key does: the Cancel button of a message box that has one
// (else its default button), a cancelled input box or file dialog, a closed form.
//
// Answers that do not come from a person at a terminal are checked: a password box takes only an
// answer marked "secret:", an answer so marked is never shown nor given to another dialog, and an
// answer that names no button of a message box is refused rather than asked again. When
// the answers run out, a person at a terminal who ends the input (Ctrl-D) gives what an absent user
// gives (the default button, a cancel, a closed form); without a terminal that happens only when
// default answers were allowed. Otherwise the dialog is refused: refusal() names it, and the dialog
// raises a user interrupt (error 18) so that the command stops there.
//
// Password items of connection texts are masked in everything shown. A read broken by Ctrl-C raises
// error 18 as well.

#include <deque>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/ui/Dialogs.h"

namespace host::ui {

// The mark of an answer meant for a password box.
inline constexpr const char* kSecretAnswerPrefix = "secret:";

class TerminalBackend : public Backend {
public:
    // `inputIsTerminal`: `in` reads the terminal of standard input, whose echo is switched off while a
    // password is typed.
    TerminalBackend(std::istream& in, std::ostream& out, bool inputIsTerminal = false)
        : in_(in), out_(out), inputIsTerminal_(inputIsTerminal) {}

    // Queues an answer given in advance.
    void giveAnswer(std::string answer) { answers_.push_back(std::move(answer)); }
    // Lets dialogs left without an answer take what an absent user gives, with or without a terminal.
    void takeDefaults(bool take) { takeDefaults_ = take; }
    // Work to do while a dialog waits for a line from the terminal (timers falling due): it runs what
    // is due and gives the seconds until more falls due, nullopt when nothing is waiting.
    void setIdleWork(std::function<std::optional<double>()> work) { idleWork_ = std::move(work); }
    // The first dialog refused since the last call and why; clears it.
    std::optional<std::string> takeRefusal() { return std::exchange(refusal_, std::nullopt); }
    bool refused() const { return refusal_.has_value(); }

    int messageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> inputBox(const InputBoxRequest& request) override;
    std::vector<std::string> openFile(const OpenFileRequest& request) override;
    std::optional<std::string> saveFile(const SaveFileRequest& request) override;
    std::optional<std::string> pickFolder(const FolderRequest& request) override;
    void showForm(Form& form) override;

private:
    // The next answer: one given in advance, else a line read from the input; nullopt when an absent
    // user answers. Checks the "secret:" mark of answers that were not typed at the terminal.
    std::optional<std::string> nextAnswer(const std::string& question, bool secret = false);
    std::optional<std::string> readLine(bool secret);
    void waitForInput();
    [[noreturn]] void refuse(const std::string& why);
    void show(const std::string& title, const std::string& text);
    std::optional<std::string> askPath(const std::string& title, const std::string& question);
    void runFormAction(Form& form, const std::string& action);

    std::istream& in_;
    std::ostream& out_;
    bool inputIsTerminal_;
    bool takeDefaults_ = false;
    std::deque<std::string> answers_;
    std::function<std::optional<double>()> idleWork_;
    std::string dialog_;  // the dialog being answered, as named in a refusal
    std::optional<std::string> refusal_;
};

// The actions of a form answer: split at ";" except where "\;" writes a ";" into an action.
std::vector<std::string> formActions(const std::string& answer);

}  // namespace host::ui
