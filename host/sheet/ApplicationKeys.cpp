// Application::sendKeys: the keystrokes the add-in sends, and the edit line they play.

#include <string_view>

#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"

namespace host::sheet {

namespace {

enum class Key { F2, F9, Escape, Other };

// The keys of a SendKeys text: "{F2}", "{F9}" and "{ESC}" (any letter case) are recognised, every
// other key or character counts as Other.
std::vector<Key> parseKeys(std::string_view keys) {
    std::vector<Key> result;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::size_t close = keys[i] == '{' ? keys.find('}', i + 1) : std::string_view::npos;
        if (close == std::string_view::npos) {
            result.push_back(Key::Other);
            continue;
        }
        const std::string name = UCase(keys.substr(i + 1, close - i - 1));
        result.push_back(name == "F2" ? Key::F2 : name == "F9" ? Key::F9 : name == "ESC" ? Key::Escape : Key::Other);
        i = close;
    }
    return result;
}

}  // namespace

void Application::sendKeys(const std::string& keys) {
    sentKeys_.push_back(keys);
    for (Key key : parseKeys(keys)) {
        const auto before = editLine_;
        auto cell = activeCell();
        if (key == Key::F2 && cell) {
            editLine_ = cell->formula().toString();
        } else if (key == Key::F9 && cell && editLine_ && editLine_->size() > 1 && editLine_->front() == '=') {
            editLine_ = formula::constantFormulaText(evaluateInCell(cell, *editLine_));
        } else if (key == Key::Escape) {
            editLine_.reset();
        }
        if (editLine_ != before && onEditLine) onEditLine(editLine_.value_or(std::string()));
    }
}

}  // namespace host::sheet
