#include "host/sheet/ToolbarText.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <variant>

#include "host/base/RuntimeError.h"

namespace host::sheet {

namespace {

constexpr std::string_view fileHeader = "TELM command bars ";
constexpr std::string_view fileVersion = "1";
constexpr std::size_t indentPerLevel = 2;

// A problem on one line of a toolbar file; parseToolbarText adds the file and the line number.
struct BadLine {
    std::string what;
};

// ---- Names of enumerated values

template <class E>
struct Named {
    E value;
    std::string_view name;
};

constexpr std::array<Named<ControlType>, 2> namesOf(ControlType) {
    return {{{ControlType::Button, "button"}, {ControlType::Popup, "popup"}}};
}
constexpr std::array<Named<ButtonStyle>, 4> namesOf(ButtonStyle) {
    return {{{ButtonStyle::Automatic, "automatic"},
             {ButtonStyle::Icon, "icon"},
             {ButtonStyle::Caption, "caption"},
             {ButtonStyle::IconAndCaption, "iconandcaption"}}};
}
constexpr std::array<Named<CommandBarType>, 3> namesOf(CommandBarType) {
    return {{{CommandBarType::Normal, "toolbar"}, {CommandBarType::MenuBar, "menubar"}, {CommandBarType::Popup, "popup"}}};
}
constexpr std::array<Named<CommandBarPosition>, 7> namesOf(CommandBarPosition) {
    return {{{CommandBarPosition::Left, "left"},
             {CommandBarPosition::Top, "top"},
             {CommandBarPosition::Right, "right"},
             {CommandBarPosition::Bottom, "bottom"},
             {CommandBarPosition::Floating, "floating"},
             {CommandBarPosition::Popup, "popup"},
             {CommandBarPosition::MenuBar, "menubar"}}};
}

// ---- Values: writing

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + '"';
}

std::string encode(const std::string& text) { return quoted(text); }
std::string encode(int number) { return std::to_string(number); }
std::string encode(bool flag) { return flag ? "true" : "false"; }
template <class E>
    requires std::is_enum_v<E>
std::string encode(E value) {
    for (const auto& n : namesOf(value)) {
        if (n.value == value) return std::string(n.name);
    }
    return std::to_string(static_cast<int>(value));  // not reached: every value has a name
}

// ---- Values: reading

struct Value {
    std::string text;
    bool quoted = false;
};

void decode(const Value& v, std::string& out) {
    if (!v.quoted) throw BadLine{"a text must be in quotes: " + v.text};
    out = v.text;
}
void decode(const Value& v, int& out) {
    const char* end = v.text.data() + v.text.size();
    const auto [last, ec] = std::from_chars(v.text.data(), end, out);
    if (v.quoted || ec != std::errc() || last != end) throw BadLine{"not a whole number: " + v.text};
}
void decode(const Value& v, bool& out) {
    if (v.quoted || (v.text != "true" && v.text != "false")) throw BadLine{"not true or false: " + v.text};
    out = v.text == "true";
}
template <class E>
    requires std::is_enum_v<E>
void decode(const Value& v, E& out) {
    for (const auto& n : namesOf(out)) {
        if (!v.quoted && n.name == v.text) {
            out = n.value;
            return;
        }
    }
    throw BadLine{"unknown value: " + v.text};
}

// ---- Fields of a line

template <class S>
using Member = std::variant<std::string S::*, int S::*, bool S::*, ControlType S::*, ButtonStyle S::*,
                            CommandBarType S::*, CommandBarPosition S::*>;

template <class S>
struct Field {
    std::string_view key;
    Member<S> member;
    bool always = false;  // written even with its default value
};

using Bar = CommandBarDescription;
using Props = ControlProperties;

const std::array<Field<Bar>, 5> barFields{{
    {"name", &Bar::name, true},
    {"type", &Bar::type, true},
    {"position", &Bar::position},
    {"visible", &Bar::visible},
    {"temporary", &Bar::temporary},
}};

const std::array<Field<Props>, 14> controlFields{{
    {"type", &Props::type, true},
    {"id", &Props::id},
    {"caption", &Props::caption, true},
    {"onaction", &Props::onAction},
    {"tooltip", &Props::tooltipText},
    {"tag", &Props::tag},
    {"parameter", &Props::parameter},
    {"faceid", &Props::faceId},
    {"style", &Props::style},
    {"begingroup", &Props::beginGroup},
    {"visible", &Props::visible},
    {"enabled", &Props::enabled},
    {"temporary", &Props::temporary},
    {"builtin", &Props::builtIn},
}};

template <class S, std::size_t N>
std::string encodeFields(const S& item, const std::array<Field<S>, N>& fields) {
    static const S defaults{};
    std::string out;
    for (const auto& field : fields) {
        std::visit(
            [&](auto member) {
                if (field.always || !(item.*member == defaults.*member)) {
                    out += ' ';
                    out += field.key;
                    out += '=';
                    out += encode(item.*member);
                }
            },
            field.member);
    }
    return out;
}

// Splits `key=value key="text" ...` into keys and values.
std::vector<std::pair<std::string, Value>> splitFields(std::string_view rest) {
    std::vector<std::pair<std::string, Value>> fields;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < rest.size() && rest[i] == ' ') ++i;
    };
    for (skipBlanks(); i < rest.size(); skipBlanks()) {
        const std::size_t equals = rest.find('=', i);
        const std::size_t blank = rest.find(' ', i);
        if (equals == std::string_view::npos || equals > blank) {
            throw BadLine{"expected key=value at \"" + std::string(rest.substr(i, blank - i)) + "\""};
        }
        std::string key(rest.substr(i, equals - i));
        Value value;
        i = equals + 1;
        if (i < rest.size() && rest[i] == '"') {
            value.quoted = true;
            for (++i;; ++i) {
                if (i >= rest.size()) throw BadLine{"the text of " + key + " has no closing quote"};
                if (rest[i] == '"') break;
                if (rest[i] != '\\') {
                    value.text += rest[i];
                    continue;
                }
                const char escaped = ++i < rest.size() ? rest[i] : '\0';
                switch (escaped) {
                case '"': value.text += '"'; break;
                case '\\': value.text += '\\'; break;
                case 'n': value.text += '\n'; break;
                case 'r': value.text += '\r'; break;
                case 't': value.text += '\t'; break;
                default: throw BadLine{"unknown escape in the text of " + key};
                }
            }
            ++i;
            if (i < rest.size() && rest[i] != ' ') throw BadLine{"a blank must follow the text of " + key};
        } else {
            const std::size_t end = std::min(rest.find(' ', i), rest.size());
            value.text = std::string(rest.substr(i, end - i));
            i = end;
        }
        fields.emplace_back(std::move(key), std::move(value));
    }
    return fields;
}

template <class S, std::size_t N>
S decodeFields(std::string_view rest, const std::array<Field<S>, N>& fields) {
    S item{};
    std::vector<std::string_view> seen;
    for (const auto& [key, value] : splitFields(rest)) {
        const auto field = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.key == key; });
        if (field == fields.end()) throw BadLine{"unknown field " + key};
        if (std::find(seen.begin(), seen.end(), field->key) != seen.end()) throw BadLine{"field " + key + " given twice"};
        seen.push_back(field->key);
        std::visit([&](auto member) { decode(value, item.*member); }, field->member);
    }
    return item;
}

// ---- Lines

void writeControls(std::string& out, const std::vector<ControlDescription>& controls, std::size_t depth) {
    for (const auto& control : controls) {
        out += std::string(depth * indentPerLevel, ' ') + "control" + encodeFields(control.properties, controlFields) + '\n';
        writeControls(out, control.controls, depth + 1);
    }
}

// Lines end at CR LF, a lone CR or a lone LF.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return lines;
}

bool isValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

// Reads the bars of one line: a bar line starts a bar; a control line adds a control to the bar or
// to the popup above it, two spaces of indentation per level.
class ToolbarReader {
public:
    void read(std::string_view line) {
        if (!isValidUtf8(line)) throw BadLine{"the text is not UTF-8"};
        const std::size_t indent = std::min(line.find_first_not_of(' '), line.size());
        const std::string_view content = line.substr(indent);
        if (content.empty() || content.front() == '#') return;
        const std::string_view keyword = content.substr(0, content.find(' '));
        const std::string_view rest = content.substr(keyword.size());
        if (indent % indentPerLevel != 0) throw BadLine{"indentation is not a multiple of two spaces"};
        const std::size_t depth = indent / indentPerLevel;
        if (keyword == "bar") {
            if (depth != 0) throw BadLine{"a bar line is indented"};
            readBar(rest);
        } else if (keyword == "control") {
            if (depth == 0) throw BadLine{"a control line is not indented"};
            readControl(depth, rest);
        } else {
            throw BadLine{"unknown line \"" + std::string(keyword) + "\""};
        }
    }

    std::vector<CommandBarDescription> bars;

private:
    void readBar(std::string_view rest) {
        auto bar = decodeFields(rest, barFields);
        if (bar.name.empty()) throw BadLine{"a bar has no name"};
        bars.push_back(std::move(bar));
        levels_.assign(1, &bars.back().controls);
    }

    void readControl(std::size_t depth, std::string_view rest) {
        if (bars.empty()) throw BadLine{"a control comes before any bar"};
        if (depth > levels_.size()) throw BadLine{"a control is not directly inside a bar or a popup"};
        levels_.resize(depth);
        auto& siblings = *levels_.back();
        siblings.push_back(ControlDescription{decodeFields(rest, controlFields), {}});
        if (siblings.back().properties.type == ControlType::Popup) levels_.push_back(&siblings.back().controls);
    }

    // levels_[k]: where a control indented k + 1 levels goes.
    std::vector<std::vector<ControlDescription>*> levels_;
};

}  // namespace

std::string toolbarText(const std::vector<CommandBarDescription>& bars) {
    std::string out = std::string(fileHeader) + std::string(fileVersion) + '\n';
    for (const auto& bar : bars) {
        out += "bar" + encodeFields(bar, barFields) + '\n';
        writeControls(out, bar.controls, 1);
    }
    return out;
}

std::vector<CommandBarDescription> parseToolbarText(std::string_view text, const std::string& fileName) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const auto lines = splitLines(text);
    std::size_t lineNumber = 1;
    try {
        const std::string_view header = lines.empty() ? std::string_view() : lines.front();
        if (!header.starts_with(fileHeader)) throw BadLine{"not a toolbar file"};
        if (header.substr(fileHeader.size()) != fileVersion) throw BadLine{"unsupported version of the format"};
        ToolbarReader reader;
        for (lineNumber = 2; lineNumber <= lines.size(); ++lineNumber) reader.read(lines[lineNumber - 1]);
        return std::move(reader.bars);
    } catch (const BadLine& bad) {
        throw RuntimeError(err::InvalidArgument,
                           "Toolbar file \"" + fileName + "\", line " + std::to_string(lineNumber) + ": " + bad.what);
    }
}

}  // namespace host::sheet
