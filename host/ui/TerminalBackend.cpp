#include "host/ui/TerminalBackend.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
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
constexpr const char* kCancel = "\\cancel";

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
    out_ << "[" << (title.empty() ? std::string("TELM.NET") : maskPasswords(title)) << "]\n"
         << maskPasswords(text) << "\n";
}

std::optional<std::string> TerminalBackend::readLine(bool secret) {
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

std::optional<std::string> TerminalBackend::nextAnswer(const std::string& question, bool secret) {
    out_ << question << std::flush;
    if (!answers_.empty()) {
        std::string answer = std::move(answers_.front());
        answers_.pop_front();
        out_ << (secret ? std::string("********") : answer) << "\n";
        return answer;
    }
    return readLine(secret);
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
            if (StrComp(*answer, kButtonNames[a], CompareMethod::Text) == 0 || *answer == std::to_string(a)) return a;
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
        for (const auto& action : Split(*answer, ";")) {
            try {
                runFormAction(form, action);
            } catch (const RuntimeError& e) {
                out_ << e.description() << "\n";
            }
            if (!form.visible()) return;
        }
    }
}

}  // namespace host::ui
