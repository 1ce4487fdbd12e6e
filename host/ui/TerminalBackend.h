#pragma once
// The terminal back-end: dialogs shown as text on an output stream and answered on an input stream,
// or by answers given in advance (the command line's --answer), which are used first.
//
// Answers, typed or given in advance:
//   message box   the button's name (OK, Cancel, Abort, Retry, Ignore, Yes, No; letter case ignored)
//                 or its number 1..7; an empty line takes the default button
//   input box     the text; a lone "\cancel" cancels
//   file dialogs  the path; an empty line or "\cancel" cancels
//   forms         actions separated by ";": "NAME=TEXT" sets a text box, combo box, check box or
//                 list entry,
//                 "click NAME" clicks a button, "select NAME ROW" picks a list row (0-based),
//                 "select NAME TEXT" selects the first occurrence of TEXT in a text box,
//                 "close" closes the form
// "\cancel" answers any dialog as the Esc key does: the Cancel button of a message box that has one
// (else its default button), a cancelled input box or file dialog, a closed form.
// With no answer given and nothing more to read, every dialog takes what an absent user gives:
// the default button, a cancel, a closed form.
//
// Password items of connection texts are masked in everything shown; a password is read without
// echo when the input is a terminal, and a password given in advance is not shown. A read broken by
// Ctrl-C raises instead of taking the absent user's answer.

#include <deque>
#include <iosfwd>
#include <string>

#include "host/ui/Dialogs.h"

namespace host::ui {

class TerminalBackend : public Backend {
public:
    // `inputIsTerminal`: `in` reads the terminal of standard input, whose echo is switched off while a
    // password is typed.
    TerminalBackend(std::istream& in, std::ostream& out, bool inputIsTerminal = false)
        : in_(in), out_(out), inputIsTerminal_(inputIsTerminal) {}

    // Queues an answer given in advance.
    void giveAnswer(std::string answer) { answers_.push_back(std::move(answer)); }

    int messageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> inputBox(const InputBoxRequest& request) override;
    std::vector<std::string> openFile(const OpenFileRequest& request) override;
    std::optional<std::string> saveFile(const SaveFileRequest& request) override;
    std::optional<std::string> pickFolder(const FolderRequest& request) override;
    void showForm(Form& form) override;

private:
    // The next answer: one given in advance, else a line read from the input; nullopt at its end.
    std::optional<std::string> nextAnswer(const std::string& question, bool secret = false);
    std::optional<std::string> readLine(bool secret);
    void show(const std::string& title, const std::string& text);
    std::optional<std::string> askPath(const std::string& title, const std::string& question);
    void runFormAction(Form& form, const std::string& action);

    std::istream& in_;
    std::ostream& out_;
    bool inputIsTerminal_;
    std::deque<std::string> answers_;
};

}  // namespace host::ui
