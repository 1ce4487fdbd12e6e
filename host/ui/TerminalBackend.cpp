#include "host/ui/TerminalBackend.h"

#include <istream>
#include <ostream>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/ui/Form.h"

namespace host::ui {

namespace {

constexpr const char* kButtonNames[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
constexpr const char* kCancel = "\\cancel";

void printBox(std::ostream& out, const std::string& title, const std::string& text) {
    out << "[" << (title.empty() ? std::string("TELM.NET") : title) << "]\n" << text << "\n";
}

}  // namespace

std::optional<std::string> TerminalBackend::nextAnswer(const std::string& question) {
    out_ << question << std::flush;
    if (!answers_.empty()) {
        std::string answer = std::move(answers_.front());
        answers_.pop_front();
        out_ << answer << "\n";
        return answer;
    }
    std::string line;
    if (!std::getline(in_, line)) {
        out_ << "\n";
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

int TerminalBackend::messageBox(const MessageBoxRequest& request) {
    printBox(out_, request.title, request.prompt);
    const auto answers = buttonAnswers(request.buttons);
    std::string choices;
    for (int a : answers) choices += (choices.empty() ? "" : "/") + std::string(kButtonNames[a]);
    for (;;) {
        auto answer = nextAnswer("(" + choices + ") ");
        if (!answer || answer->empty()) return defaultAnswer(request.buttons);
        for (int a : answers)
            if (StrComp(*answer, kButtonNames[a], CompareMethod::Text) == 0 || *answer == std::to_string(a)) return a;
        out_ << "Answer one of: " << choices << "\n";
    }
}

std::optional<std::string> TerminalBackend::inputBox(const InputBoxRequest& request) {
    printBox(out_, request.title, request.prompt);
    auto answer = nextAnswer(request.defaultText.empty() ? "> " : "[" + request.defaultText + "] > ");
    if (!answer || *answer == kCancel) return std::nullopt;
    return answer->empty() ? request.defaultText : *answer;
}

std::optional<std::string> TerminalBackend::askPath(const std::string& title, const std::string& question) {
    printBox(out_, title, question);
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
    if (words.size() == 3 && StrComp(words[0], "select", CompareMethod::Text) == 0) {
        form.control<ListControl>(words[1]).setListIndex(static_cast<int>(Variant(words[2]).toLong()));
        return;
    }
    throw RuntimeError(err::InvalidProcedureCall, "Unknown form action: " + a);
}

void TerminalBackend::showForm(Form& form) {
    while (form.visible()) {
        out_ << "[" << form.caption() << "]\n";
        for (const auto& c : form.controls()) {
            if (!c->visible()) continue;
            out_ << "  " << c->name() << " (" << c->typeName() << "): " << c->shownText() << "\n";
            if (auto* list = dynamic_cast<ListControl*>(c.get()))
                for (int r = 0; r < list->listCount(); ++r) out_ << "      " << r << ": " << list->list(r) << "\n";
        }
        auto answer = nextAnswer("form> ");
        if (!answer) {
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
