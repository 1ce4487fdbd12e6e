// Application::sendKeys: the keystrokes the add-in sends, and the edit line they play.

#include <string_view>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/Utf8.h"
#include "host/formula/Address.h"
#include "host/sheet/Application.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Range.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

namespace {

enum class Key { F2, F9, Escape, Enter, Character };

struct Keystroke {
    Key key;
    std::string character;  // the typed character (a whole UTF-8 sequence) of Key::Character
};

// The keys of a SendKeys text: "{F2}", "{F9}", "{ESC}" and "{ENTER}" (any letter case) and "~" (Enter)
// are recognised; any other character is typed, and another key in braces is ignored.
std::vector<Keystroke> parseKeys(std::string_view keys) {
    std::vector<Keystroke> result;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == '~') {
            result.push_back({Key::Enter, {}});
            continue;
        }
        const std::size_t close = keys[i] == '{' ? keys.find('}', i + 1) : std::string_view::npos;
        if (close == std::string_view::npos) {
            const std::size_t length = skipChars(keys, i, 1) - i;
            result.push_back({Key::Character, std::string(keys.substr(i, length))});
            i += length - 1;
            continue;
        }
        const std::string name = UCase(keys.substr(i + 1, close - i - 1));
        if (name == "F2") result.push_back({Key::F2, {}});
        else if (name == "F9") result.push_back({Key::F9, {}});
        else if (name == "ESC") result.push_back({Key::Escape, {}});
        else if (name == "ENTER") result.push_back({Key::Enter, {}});
        i = close;
    }
    return result;
}

// What Enter enters: the edit line, or, when the edit line is "=" and a reference to one value cell
// of a pivot table (the user pointed at it), that cell's pivot reference formula.
std::string enteredText(Application& app, const Range& target, const std::string& line) {
    if (line.size() < 2 || line.front() != '=') return line;
    try {
        const auto pointed = app.range(line.substr(1));
        if (pointed->rowCount() != 1 || pointed->columnCount() != 1) return line;
        const auto sheet = pointed->parent();
        // The sheet's name, and its workbook's when that is another one, as a reference writes them.
        const auto book = sheet->parent();
        const std::string prefix =
            sheet == target.parent()
                ? std::string()
                : formula::sheetPrefix(book != target.parent()->parent() ? book->name() : std::string(), sheet->name());
        for (const auto& table : sheet->pivotTables())
            if (auto reference = table->pivotReferenceFormula(pointed->row(), pointed->column(), prefix)) return *reference;
    } catch (const RuntimeError&) {  // no reference: the text as typed
    }
    return line;
}

}  // namespace

void Application::sendKeys(const std::string& keys) {
    sentKeys_.push_back(keys);
    for (const Keystroke& stroke : parseKeys(keys)) {
        const auto before = editLine_;
        auto cell = activeCell();
        if (stroke.key == Key::F2 && cell) {
            editLine_ = cell->formula().toString();
        } else if (stroke.key == Key::F9 && cell && editLine_ && editLine_->size() > 1 && editLine_->front() == '=') {
            editLine_ = formula::constantFormulaText(evaluateInCell(cell, *editLine_));
        } else if (stroke.key == Key::Escape) {
            editLine_.reset();
        } else if (stroke.key == Key::Character && cell) {
            editLine_ = editLine_.value_or(std::string()) + stroke.character;
        } else if (stroke.key == Key::Enter && cell && editLine_) {
            const std::string entered = enteredText(*this, *cell, *editLine_);
            editLine_.reset();
            cell->setFormula(entered);
        }
        if (editLine_ != before && onEditLine) onEditLine(editLine_.value_or(std::string()));
    }
}

}  // namespace host::sheet
