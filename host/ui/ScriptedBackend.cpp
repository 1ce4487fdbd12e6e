#include "host/ui/ScriptedBackend.h"

#include <algorithm>

#include "host/base/Text.h"
#include "host/ui/Form.h"

namespace host::ui {

std::string dialogKindName(DialogKind kind) {
    switch (kind) {
    case DialogKind::MessageBox: return "message box";
    case DialogKind::InputBox: return "input box";
    case DialogKind::OpenFile: return "open-file dialog";
    case DialogKind::SaveFile: return "save-as dialog";
    case DialogKind::Folder: return "folder picker";
    case DialogKind::Form: return "form";
    }
    return "dialog";
}

const std::string& ShownDialog::control(std::string_view name) const {
    for (const ControlSnapshot& c : controls) {
        if (StrComp(c.name, name, CompareMethod::Text) == 0) return c.text;
    }
    throw ScriptMismatch("form " + formName + " showed no control named " + std::string(name));
}

ScriptedBackend& ScriptedBackend::answerMessage(int answer) {
    queue_.emplace_back(MessageAnswer{answer});
    return *this;
}

ScriptedBackend& ScriptedBackend::answerInput(std::string text) {
    queue_.emplace_back(InputAnswer{std::move(text)});
    return *this;
}

ScriptedBackend& ScriptedBackend::cancelInput() {
    queue_.emplace_back(InputAnswer{std::nullopt});
    return *this;
}

ScriptedBackend& ScriptedBackend::answerPath(std::string path) { return answerPaths({std::move(path)}); }

ScriptedBackend& ScriptedBackend::answerPaths(std::vector<std::string> paths) {
    queue_.emplace_back(PathAnswer{std::move(paths)});
    return *this;
}

ScriptedBackend& ScriptedBackend::cancelPath() { return answerPaths({}); }

ScriptedBackend& ScriptedBackend::actOnForm(FormScript script) {
    queue_.emplace_back(std::move(script));
    return *this;
}

void ScriptedBackend::reset() {
    queue_.clear();
    record_.clear();
}

template <class A>
std::optional<A> ScriptedBackend::take(ShownDialog shown) {
    static const char* const answerKinds[] = {"a message box", "an input box", "a file or folder dialog", "a form"};
    static_assert(std::size(answerKinds) == std::variant_size_v<Answer>);

    const DialogKind kind = shown.kind;
    shown.answered = !queue_.empty();
    record_.push_back(std::move(shown));
    if (queue_.empty()) return std::nullopt;
    if (!std::holds_alternative<A>(queue_.front())) {
        throw ScriptMismatch("a " + dialogKindName(kind) + " was shown, but the next queued answer is for " +
                             answerKinds[queue_.front().index()]);
    }
    A answer = std::get<A>(std::move(queue_.front()));
    queue_.pop_front();
    return answer;
}

int ScriptedBackend::messageBox(const MessageBoxRequest& request) {
    const auto answer =
        take<MessageAnswer>({.kind = DialogKind::MessageBox, .title = request.title, .prompt = request.prompt,
                             .buttons = request.buttons});
    if (!answer) return defaultAnswer(request.buttons);
    const std::vector<int> offered = buttonAnswers(request.buttons);
    if (std::find(offered.begin(), offered.end(), answer->answer) == offered.end()) {
        throw ScriptMismatch("queued answer " + std::to_string(answer->answer) +
                             " is no button of the message box \"" + request.prompt + "\"");
    }
    return answer->answer;
}

std::optional<std::string> ScriptedBackend::inputBox(const InputBoxRequest& request) {
    const auto answer = take<InputAnswer>({.kind = DialogKind::InputBox, .title = request.title,
                                           .prompt = request.prompt, .initialText = request.defaultText});
    return answer ? answer->text : std::nullopt;
}

std::vector<std::string> ScriptedBackend::openFile(const OpenFileRequest& request) {
    auto answer = take<PathAnswer>({.kind = DialogKind::OpenFile, .title = request.title, .filters = request.filters});
    if (!answer) return {};
    if (!request.multiSelect && answer->paths.size() > 1) {
        throw ScriptMismatch("several paths queued for a single-choice open-file dialog");
    }
    return std::move(answer->paths);
}

std::optional<std::string> ScriptedBackend::saveFile(const SaveFileRequest& request) {
    return singlePath(take<PathAnswer>({.kind = DialogKind::SaveFile, .title = request.title,
                                        .initialText = request.initialName, .filters = request.filters}),
                      DialogKind::SaveFile);
}

std::optional<std::string> ScriptedBackend::pickFolder(const FolderRequest& request) {
    return singlePath(take<PathAnswer>({.kind = DialogKind::Folder, .title = request.title,
                                        .initialText = request.initialFolder}),
                      DialogKind::Folder);
}

std::optional<std::string> ScriptedBackend::singlePath(std::optional<PathAnswer> answer, DialogKind kind) {
    if (!answer || answer->paths.empty()) return std::nullopt;
    if (answer->paths.size() > 1) throw ScriptMismatch("several paths queued for a " + dialogKindName(kind));
    return std::move(answer->paths.front());
}

void ScriptedBackend::showForm(Form& form) {
    ShownDialog shown{.kind = DialogKind::Form, .title = form.caption(), .formName = form.name()};
    for (const auto& control : form.controls()) {
        shown.controls.push_back({control->name(), control->typeName(), control->shownText()});
    }
    if (const auto script = take<FormScript>(std::move(shown))) (*script)(form);
}

std::shared_ptr<ScriptedBackend> defaultScriptedBackend() {
    static const std::shared_ptr<ScriptedBackend> instance = std::make_shared<ScriptedBackend>();
    return instance;
}

ScriptedBackend& resetScriptedBackend() {
    const std::shared_ptr<ScriptedBackend> scripted = defaultScriptedBackend();
    scripted->reset();
    setBackend(scripted);
    return *scripted;
}

}  // namespace host::ui
