#include "host/ui/Dialogs.h"

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/ui/ScriptedBackend.h"

namespace host::ui {

namespace {

std::shared_ptr<Backend>& currentBackend() {
    static std::shared_ptr<Backend> current = defaultScriptedBackend();
    return current;
}

// Lines of a prompt end with CR LF, a lone CR or LF; the back-end always gets "\n".
std::string withUnixLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        }
    }
    return out;
}

std::vector<std::string> splitAndTrim(std::string_view text, char separator) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(Trim(text.substr(start, end == std::string_view::npos ? end : end - start)));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

constexpr int kInputNumber = 1;
constexpr int kInputLogical = 4;

// The value of an Application.InputBox entry as `type` asks for it; nullopt when the entry is refused.
std::optional<Variant> readInputEntry(const std::string& entry, int type) {
    if (type & kInputNumber) {
        if (const auto number = parseNumber(entry)) return Variant(*number);
    }
    if (type & kInputLogical) {
        const std::string word = Trim(entry);
        if (StrComp(word, "TRUE", CompareMethod::Text) == 0) return Variant(true);
        if (StrComp(word, "FALSE", CompareMethod::Text) == 0) return Variant(false);
    }
    const bool acceptsText = type == 0 || (type & ~(kInputNumber | kInputLogical)) != 0;
    if (acceptsText) return Variant(entry);
    return std::nullopt;
}

}  // namespace

std::vector<int> buttonAnswers(int buttons) {
    switch (buttons & 0xF) {
    case vbOKOnly: return {vbOK};
    case vbOKCancel: return {vbOK, vbCancel};
    case vbAbortRetryIgnore: return {vbAbort, vbRetry, vbIgnore};
    case vbYesNoCancel: return {vbYes, vbNo, vbCancel};
    case vbYesNo: return {vbYes, vbNo};
    case vbRetryCancel: return {vbRetry, vbCancel};
    default: throw RuntimeError(err::InvalidProcedureCall);
    }
}

int defaultAnswer(int buttons) {
    const std::vector<int> answers = buttonAnswers(buttons);
    const std::size_t position = static_cast<std::size_t>((buttons >> 8) & 0xF);
    return position < answers.size() ? answers[position] : answers.front();
}

std::vector<FileFilter> parseFileFilter(std::string_view filter) {
    if (Trim(filter).empty()) return {{"All Files (*.*)", {"*.*"}}};
    const std::vector<std::string> parts = splitAndTrim(filter, ',');
    if (parts.size() % 2 != 0) throw RuntimeError(err::InvalidArgument);
    std::vector<FileFilter> filters;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        FileFilter entry{parts[i], {}};
        for (std::string& pattern : splitAndTrim(parts[i + 1], ';')) {
            if (!pattern.empty()) entry.patterns.push_back(std::move(pattern));
        }
        if (entry.patterns.empty()) throw RuntimeError(err::InvalidArgument);
        filters.push_back(std::move(entry));
    }
    return filters;
}

Backend& backend() { return *currentBackend(); }

void setBackend(std::shared_ptr<Backend> b) {
    currentBackend() = b ? std::move(b) : defaultScriptedBackend();
}

int MsgBox(std::string_view prompt, int buttons, std::string_view title) {
    buttonAnswers(buttons);  // an unknown button set fails before anything is shown
    return backend().messageBox({withUnixLineBreaks(prompt), std::string(title), buttons});
}

std::string InputBox(std::string_view prompt, std::string_view title, std::string_view defaultText) {
    return backend()
        .inputBox({withUnixLineBreaks(prompt), std::string(title), std::string(defaultText)})
        .value_or(std::string());
}

std::string PasswordBox(std::string_view prompt, std::string_view title) {
    InputBoxRequest request{withUnixLineBreaks(prompt), std::string(title), {}, 2, true};
    return backend().inputBox(request).value_or(std::string());
}

Variant ApplicationInputBox(std::string_view prompt, std::string_view title, const Variant& defaultValue, int type) {
    const bool noDefault = defaultValue.isEmpty() || defaultValue.isMissing();
    InputBoxRequest request{withUnixLineBreaks(prompt), std::string(title),
                            noDefault ? std::string() : defaultValue.toString(), type};
    for (;;) {
        const std::optional<std::string> entry = backend().inputBox(request);
        if (!entry) return Variant(false);
        if (std::optional<Variant> value = readInputEntry(*entry, type)) return std::move(*value);
        MsgBox((type & kInputNumber) ? "Number is not valid." : "Logical value is not valid.", vbExclamation,
               title);
        request.defaultText = *entry;  // the refused entry stays in the box for correction
    }
}

Variant GetOpenFilename(std::string_view filter, std::string_view title, bool multiSelect) {
    const std::vector<std::string> paths =
        backend().openFile({parseFileFilter(filter), std::string(title), multiSelect});
    if (paths.empty()) return Variant(false);
    if (!multiSelect) return Variant(paths.front());
    return Variant(Array::vector(std::vector<Variant>(paths.begin(), paths.end()), 1));
}

Variant GetSaveAsFilename(std::string_view initialName, std::string_view filter, std::string_view title) {
    const std::optional<std::string> path =
        backend().saveFile({std::string(initialName), parseFileFilter(filter), std::string(title)});
    return path ? Variant(*path) : Variant(false);
}

std::string PickFolder(std::string_view title, std::string_view initialFolder) {
    return backend().pickFolder({std::string(title), std::string(initialFolder)}).value_or(std::string());
}

}  // namespace host::ui
