#include "host/ui/TerminalBackend.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <istream>
#include <ostream>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/os/Interrupt.h"
#include "host/ui/Form.h"
#include "host/ui/Secrets.h"

namespace host::ui {

namespace {

constexpr const char* kButtonNames[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
constexpr const char* kPolishButtonNames[] = {"", "OK", "Anuluj", "Przerwij", "Ponów", "Zignoruj", "Tak", "Nie"};
constexpr const char* kCancel = "\\cancel";

bool namesButton(const std::string& answer, int button) {
    return StrComp(answer, kButtonNames[button], CompareMethod::Text) == 0 ||
           StrComp(answer, kPolishButtonNames[button], CompareMethod::Text) == 0 || answer == std::to_string(button);
}

// A dialog as a refusal names it: its title and the first line of its text.
std::string dialogName(const std::string& title, const std::string& text) {
    const std::string first = text.substr(0, text.find_first_of("\r\n"));
    return "\"" + maskPasswords(title.empty() ? std::string("TELM.NET") : title) + (first.empty() ? "" : ": ") +
           maskPasswords(first) + "\"";
}

// Switches the echo of the terminal of standard input off while it lives.
class EchoOff {
public:
    EchoOff() : active_(::tcgetattr(STDIN_FILENO, &saved_) == 0) {
        if (!active_) return;
        termios quiet = saved_;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    ~EchoOff() {
        if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios saved_{};
    bool active_;
};

}  // namespace

void TerminalBackend::show(const std::string& title, const std::string& text) {
    dialog_ = dialogName(title, text);
    out_ << "[" << (title.empty() ? std::string("TELM.NET") : maskPasswords(title)) << "]\n"
         << maskPasswords(text) << "\n";
}

void TerminalBackend::waitForInput() {
    if (!idleWork_) return;
    for (;;) {
        const auto next = idleWork_();
        // Only a terminal is watched while timers run; other input is read at once.
        if (!next || !inputIsTerminal_ || in_.rdbuf()->in_avail() > 0 || os::interruptRequested()) return;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int milliseconds = static_cast<int>(std::clamp(std::ceil(*next * 1000), 10.0, 1000.0));
        if (::poll(&input, 1, milliseconds) != 0) return;  // a line, the end of input or a signal
    }
}

std::optional<std::string> TerminalBackend::readLine(bool secret) {
    waitForInput();
    std::string line;
    bool read;
    if (secret && inputIsTerminal_) {
        EchoOff quiet;
        read = static_cast<bool>(std::getline(in_, line));
        out_ << "\n";
    } else {
        read = static_cast<bool>(std::getline(in_, line));
    }
    if (os::interruptRequested()) throw RuntimeError(err::UserInterrupt, standardDescription(err::UserInterrupt));
    if (!read) {
        out_ << "\n";
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void TerminalBackend::refuse(const std::string& why) {
    out_ << "\n";
    if (!refusal_) refusal_ = why;
    throw RuntimeError(err::UserInterrupt, why);
}

std::optional<std::string> TerminalBackend::nextAnswer(const std::string& question, bool secret) {
    out_ << question << std::flush;
    std::optional<std::string> answer;
    const bool typed = answers_.empty() && inputIsTerminal_;
    if (!answers_.empty()) {
        answer = std::move(answers_.front());
        answers_.pop_front();
    } else {
        answer = readLine(secret);
    }
    if (!answer) {
        if (inputIsTerminal_ || takeDefaults_) return std::nullopt;
        refuse("the dialog " + dialog_ + " got no answer (give one with --answer or --answers, or take the "
               "default buttons with --defaults)");
    }
    if (typed) return answer;
    const bool marked = answer->starts_with(kSecretAnswerPrefix);
    if (marked && !secret)
        refuse("a password answer (" + std::string(kSecretAnswerPrefix) + "...) came for the dialog " + dialog_ +
               ", which does not ask for a password; it was not used (are the answers in order?)");
    if (secret && !marked && !answer->empty() && *answer != kCancel)
        refuse("the dialog " + dialog_ + " asks for a password: give it as " + kSecretAnswerPrefix + "PASSWORD");
    if (marked) answer->erase(0, std::string_view(kSecretAnswerPrefix).size());
    out_ << (secret ? std::string("********") : *answer) << "\n";
    return answer;
}

int TerminalBackend::messageBox(const MessageBoxRequest& request) {
    show(request.title, request.prompt);
    const auto answers = buttonAnswers(request.buttons);
    std::string choices;
    for (int a : answers) choices += (choices.empty() ? "" : "/") + std::string(kButtonNames[a]);
    for (;;) {
        auto answer = nextAnswer("(" + choices + ") ");
        if (!answer || answer->empty()) return defaultAnswer(request.buttons);
        if (*answer == kCancel)
            return std::find(answers.begin(), answers.end(), vbCancel) != answers.end() ? vbCancel
                                                                                       : defaultAnswer(request.buttons);
        for (int a : answers)
            if (namesButton(*answer, a)) return a;
        // A person at the terminal is asked again; an answer given in advance was meant for another dialog.
        if (!inputIsTerminal_)
            refuse("the answer '" + *answer + "' names no button of the dialog " + dialog_ + " (" + choices +
                   "; are the answers in order?)");
        out_ << "Answer one of: " << choices << "\n";
    }
}

std::optional<std::string> TerminalBackend::inputBox(const InputBoxRequest& request) {
    show(request.title, request.prompt);
    const std::string question =
        request.defaultText.empty() || request.secret ? "> " : "[" + maskPasswords(request.defaultText) + "] > ";
    auto answer = nextAnswer(question, request.secret);
    if (!answer || *answer == kCancel) return std::nullopt;
    return answer->empty() ? request.defaultText : *answer;
}

std::optional<std::string> TerminalBackend::askPath(const std::string& title, const std::string& question) {
    show(title, question);
    auto answer = nextAnswer("path> ");
    if (!answer || answer->empty() || *answer == kCancel) return std::nullopt;
    return answer;
}

std::vector<std::string> TerminalBackend::openFile(const OpenFileRequest& request) {
    auto path = askPath(request.title, "Open a file");
    if (!path) return {};
    return request.multiSelect ? Split(*path, ";") : std::vector<std::string>{*path};
}

std::optional<std::string> TerminalBackend::saveFile(const SaveFileRequest& request) {
    return askPath(request.title, "Save as (suggested: " + request.initialName + ")");
}

std::optional<std::string> TerminalBackend::pickFolder(const FolderRequest& request) {
    return askPath(request.title, "Choose a folder (from: " + request.initialFolder + ")");
}

void TerminalBackend::runFormAction(Form& form, const std::string& action) {
    const std::string a = Trim(action);
    if (a.empty()) return;
    if (StrComp(a, "close", CompareMethod::Text) == 0) {
        form.close();
        return;
    }
    if (const auto eq = a.find('='); eq != std::string::npos) {
        Control& c = form.control(Trim(a.substr(0, eq)));
        const std::string value = a.substr(eq + 1);
        if (auto* text = dynamic_cast<TextBox*>(&c)) text->setText(value);
        else if (auto* toggle = dynamic_cast<ToggleControl*>(&c)) toggle->setValue(Variant(value).toBool());
        else if (auto* list = dynamic_cast<ListBox*>(&c)) list->setValue(value);
        else if (auto* combo = dynamic_cast<ComboBox*>(&c)) combo->setText(value);
        else throw RuntimeError(err::InvalidProcedureCall, "'" + c.name() + "' takes no value");
        return;
    }
    const auto words = Split(a, " ");
    if (words.size() == 2 && StrComp(words[0], "click", CompareMethod::Text) == 0) {
        Control& c = form.control(words[1]);
        if (auto* button = dynamic_cast<CommandButton*>(&c)) button->click();
        else if (auto* toggle = dynamic_cast<ToggleControl*>(&c)) toggle->click();
        else throw RuntimeError(err::InvalidProcedureCall, "'" + c.name() + "' cannot be clicked");
        return;
    }
    if (words.size() >= 3 && StrComp(words[0], "select", CompareMethod::Text) == 0) {
        Control& c = form.control(words[1]);
        if (auto* text = dynamic_cast<TextBox*>(&c)) {
            // "select NAME SOME TEXT": selects the first occurrence of the text in the text box.
            const std::string wanted = Trim(Mid(a, InStr(a, words[1]) + Len(words[1])));
            const long at = InStr(text->text(), wanted);
            if (at == 0) throw RuntimeError(err::InvalidProcedureCall, "'" + wanted + "' is not in " + c.name());
            text->setFocus();
            text->setSelection(at - 1, Len(wanted));
            return;
        }
        if (words.size() == 3) {
            form.control<ListControl>(words[1]).setListIndex(static_cast<int>(Variant(words[2]).toLong()));
            return;
        }
    }
    throw RuntimeError(err::InvalidProcedureCall, "Unknown form action: " + a);
}

void TerminalBackend::showForm(Form& form) {
    while (form.visible()) {
        dialog_ = dialogName(form.caption(), "");
        out_ << "[" << maskPasswords(form.caption()) << "]\n";
        for (const auto& c : form.controls()) {
            if (!c->visible()) continue;
            out_ << "  " << c->name() << " (" << c->typeName() << "): " << maskPasswords(c->shownText()) << "\n";
            if (auto* list = dynamic_cast<ListControl*>(c.get()))
                for (int r = 0; r < list->listCount(); ++r)
                    out_ << "      " << r << ": " << maskPasswords(list->list(r)) << "\n";
        }
        auto answer = nextAnswer("form> ");
        if (!answer || *answer == kCancel) {
            form.close();
            return;
        }
        for (const auto& action : formActions(*answer)) {
            try {
                runFormAction(form, action);
            } catch (const RuntimeError& e) {
                out_ << e.description() << "\n";
            }
            if (!form.visible()) return;
        }
    }
}

std::vector<std::string> formActions(const std::string& answer) {
    std::vector<std::string> actions(1);
    for (std::size_t i = 0; i < answer.size(); ++i) {
        if (answer[i] == '\\' && i + 1 < answer.size() && answer[i + 1] == ';') {
            actions.back() += ';';
            ++i;
        } else if (answer[i] == ';') {
            actions.emplace_back();
        } else {
            actions.back() += answer[i];
        }
    }
    return actions;
}

}  // namespace host::ui
