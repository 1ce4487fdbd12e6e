// Reading a format code: sections, their tokens and the layout of their digit placeholders.

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "host/base/NumberFormatCode.h"
#include "host/base/Utf8.h"

namespace host::numfmt {

namespace {

Token makeToken(TokenKind kind, std::string text = {}, int width = 0) {
    Token t;
    t.kind = kind;
    t.text = std::move(text);
    t.width = width;
    return t;
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool startsWithNoCase(std::string_view s, std::size_t at, std::string_view word) {
    if (s.size() - at < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(s[at + i]) != lower(word[i])) return false;
    return true;
}

// The sections of a code: split at ";" outside quotes, brackets and escapes.
std::vector<std::string_view> splitSections(std::string_view code) {
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    bool quoted = false, bracket = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (quoted) {
            quoted = c != '"';
        } else if (bracket) {
            bracket = c != ']';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '[') {
            bracket = true;
        } else if ((c == '\\' || c == '_' || c == '*') && i + 1 < code.size()) {
            ++i;
        } else if (c == ';') {
            sections.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(code.substr(start));
    return sections;
}

std::optional<Condition> readCondition(std::string_view s) {
    using Op = Condition::Op;
    static const std::pair<std::string_view, Op> kOps[] = {{"<=", Op::LessEqual}, {">=", Op::GreaterEqual},
                                                          {"<>", Op::NotEqual},  {"<", Op::Less},
                                                          {">", Op::Greater},    {"=", Op::Equal}};
    for (const auto& [text, op] : kOps) {
        if (s.substr(0, text.size()) != text) continue;
        const std::string number(s.substr(text.size()));
        char* end = nullptr;
        const double limit = std::strtod(number.c_str(), &end);
        if (end == number.c_str() || *end != '\0') return std::nullopt;
        return Condition{op, limit};
    }
    return std::nullopt;
}

// "[...]": a condition, an elapsed time unit, a currency text "[$€-407]"; colours and locales show
// nothing.
void readBracket(std::string_view inner, Section& section) {
    if (inner.empty()) return;
    if (inner[0] == '<' || inner[0] == '>' || inner[0] == '=') {
        section.condition = readCondition(inner);
        return;
    }
    if (inner[0] == '$') {
        const std::size_t dash = inner.find('-');
        const std::string_view symbol = inner.substr(1, dash == std::string_view::npos ? std::string_view::npos : dash - 1);
        if (!symbol.empty()) section.tokens.push_back(makeToken(TokenKind::Literal, std::string(symbol)));
        return;
    }
    const char unit = lower(inner[0]);
    for (char c : inner)
        if (lower(c) != unit) return;
    const TokenKind kind = unit == 'h'   ? TokenKind::ElapsedHours
                           : unit == 'm' ? TokenKind::ElapsedMinutes
                           : unit == 's' ? TokenKind::ElapsedSeconds
                                         : TokenKind::Literal;
    if (kind != TokenKind::Literal)
        section.tokens.push_back(makeToken(kind, {}, static_cast<int>(inner.size())));
}

void addLiteral(Section& section, std::string_view text) {
    if (!section.tokens.empty() && section.tokens.back().kind == TokenKind::Literal)
        section.tokens.back().text += text;
    else
        section.tokens.push_back(makeToken(TokenKind::Literal, std::string(text)));
}

void tokenize(std::string_view s, Section& section) {
    std::size_t i = 0;
    auto nextCharText = [&](std::size_t at) {
        std::size_t end = at;
        nextChar(s, end);
        return s.substr(at, end - at);
    };
    while (i < s.size()) {
        const char c = s[i];
        const char l = lower(c);
        if (c == '"') {
            const std::size_t close = s.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? s.size() : close;
            addLiteral(section, s.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '\\' || c == '_' || c == '*') {
            if (i + 1 >= s.size()) {
                addLiteral(section, s.substr(i, 1));
                ++i;
                continue;
            }
            const std::string_view next = nextCharText(i + 1);
            if (c == '\\') addLiteral(section, next);
            if (c == '_') addLiteral(section, " ");  // a space as wide as the character: one space here
            i += 1 + next.size();                    // "*x" fills a column; TEXT shows nothing for it
        } else if (c == '[') {
            const std::size_t close = s.find(']', i);
            const std::size_t end = close == std::string_view::npos ? s.size() : close;
            readBracket(s.substr(i + 1, end - i - 1), section);
            i = end + 1;
        } else if (c == '0' || c == '#' || c == '?') {
            section.tokens.push_back(makeToken(TokenKind::Digit, std::string(1, c)));
            section.tokens.back().symbol = c;
            ++i;
        } else if (c == '.' || c == ',' || c == '%' || c == '@') {
            const TokenKind kind = c == '.'   ? TokenKind::Point
                                   : c == ',' ? TokenKind::Comma
                                   : c == '%' ? TokenKind::Percent
                                              : TokenKind::TextPlaceholder;
            section.tokens.push_back(makeToken(kind, std::string(1, c)));
            ++i;
        } else if (l == 'e' && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
            section.tokens.push_back(makeToken(TokenKind::Exponent, std::string(s.substr(i, 2))));
            i += 2;
        } else if (startsWithNoCase(s, i, "General")) {
            section.tokens.push_back(makeToken(TokenKind::General));
            i += 7;
        } else if (startsWithNoCase(s, i, "AM/PM")) {
            section.tokens.push_back(makeToken(TokenKind::AmPm, "AM"));  // in capitals however written
            section.tokens.back().pmText = "PM";
            i += 5;
        } else if (startsWithNoCase(s, i, "A/P")) {
            section.tokens.push_back(makeToken(TokenKind::AmPm, c == 'a' ? "a" : "A"));
            section.tokens.back().pmText = s[i + 2] == 'p' ? "p" : "P";
            i += 3;
        } else if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's') {
            std::size_t n = 1;
            while (i + n < s.size() && lower(s[i + n]) == l) ++n;
            const TokenKind kind = l == 'y'   ? TokenKind::Year
                                   : l == 'm' ? TokenKind::Month
                                   : l == 'd' ? TokenKind::Day
                                   : l == 'h' ? TokenKind::Hour
                                              : TokenKind::Second;
            section.tokens.push_back(makeToken(kind, {}, static_cast<int>(n)));
            i += n;
        } else {
            const std::string_view ch = nextCharText(i);
            addLiteral(section, ch);
            i += ch.size();
        }
    }
}

bool isDateToken(TokenKind k) { return k >= TokenKind::Year && k <= TokenKind::AmPm; }

// The date or time token before (step -1) or after (step +1) position i, skipping literals.
const Token* neighbourDateToken(const std::vector<Token>& tokens, std::size_t i, int step) {
    for (long j = static_cast<long>(i) + step; j >= 0 && j < static_cast<long>(tokens.size()); j += step)
        if (isDateToken(tokens[j].kind)) return &tokens[j];
    return nullptr;
}

// Minutes among months, fractions of seconds, 12-hour clock; points elsewhere are literal.
void resolveDate(Section& section) {
    auto& tokens = section.tokens;
    std::vector<Token> out;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token t = tokens[i];
        if (t.kind == TokenKind::Month && t.width <= 2) {
            const Token* before = neighbourDateToken(tokens, i, -1);
            const Token* after = neighbourDateToken(tokens, i, +1);
            if ((before && (before->kind == TokenKind::Hour || before->kind == TokenKind::ElapsedHours)) ||
                (after && (after->kind == TokenKind::Second || after->kind == TokenKind::ElapsedSeconds)))
                t.kind = TokenKind::Minute;
        }
        if (t.kind == TokenKind::AmPm) section.twelveHour = true;
        const bool afterSeconds = !out.empty() && (out.back().kind == TokenKind::Second ||
                                                   out.back().kind == TokenKind::ElapsedSeconds);
        if (t.kind == TokenKind::Point && afterSeconds && i + 1 < tokens.size() && tokens[i + 1].symbol == '0') {
            int n = 0;
            while (i + 1 < tokens.size() && tokens[i + 1].symbol == '0') ++n, ++i;
            section.secondDecimals = std::min(n, 3);
            out.push_back(makeToken(TokenKind::Literal, "."));
            out.push_back(makeToken(TokenKind::SecondFraction, {}, section.secondDecimals));
            continue;
        }
        if (t.kind != TokenKind::Literal && !isDateToken(t.kind)) t = makeToken(TokenKind::Literal, t.text);
        out.push_back(std::move(t));
    }
    tokens = std::move(out);
}

// Digit placeholders by part, the decimal point, thousands and scaling commas, percent signs.
void resolveNumber(Section& section) {
    auto& tokens = section.tokens;
    enum { Integer, Fraction, Exponent } part = Integer;
    bool integerHash = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token& t = tokens[i];
        switch (t.kind) {
        case TokenKind::Digit:
            if (part == Integer) ++section.integerDigits, integerHash |= t.symbol == '#';
            else if (part == Fraction) ++section.fractionDigits;
            else ++section.exponentDigits;
            break;
        case TokenKind::Point:
            if (part == Integer) part = Fraction;
            else t.kind = TokenKind::Literal;
            break;
        case TokenKind::Exponent:
            if (part == Exponent) t.kind = TokenKind::Literal;
            part = Exponent;
            break;
        case TokenKind::Percent: ++section.percents; break;
        case TokenKind::Comma: {
            std::size_t end = i;
            while (end < tokens.size() && tokens[end].kind == TokenKind::Comma) ++end;
            const bool afterDigit = i > 0 && tokens[i - 1].kind == TokenKind::Digit;
            const bool beforeDigit = end < tokens.size() && tokens[end].kind == TokenKind::Digit;
            if (afterDigit && beforeDigit && part == Integer) section.grouping = true;
            else if (afterDigit && part != Exponent) section.scaleThousands += static_cast<int>(end - i);
            else
                for (std::size_t j = i; j < end; ++j) tokens[j].kind = TokenKind::Literal;
            i = end - 1;
            break;
        }
        default: break;
        }
    }
    section.engineering = integerHash && section.integerDigits > 1;
    if (part != Exponent)  // an exponent sign without placeholders after it is literal text
        for (Token& t : tokens)
            if (t.kind == TokenKind::Exponent) t.kind = TokenKind::Literal;
}

// "# ?/?", "?/8", "# ??/100": a "/" right after digit placeholders, with placeholders or a number
// after it. The placeholders just before the "/" are the numerator, those before them the whole part;
// points, commas and percent signs are literal there. False for a section that is no fraction.
bool resolveFraction(Section& section) {
    auto& tokens = section.tokens;
    std::size_t bar = 0;
    while (bar < tokens.size() && !(bar > 0 && tokens[bar].kind == TokenKind::Literal &&
                                    tokens[bar].text.starts_with("/") && tokens[bar - 1].kind == TokenKind::Digit))
        ++bar;
    if (bar == tokens.size()) return false;
    const std::string after = tokens[bar].text.substr(1);
    const std::size_t fixedLength = std::min(after.find_first_not_of("0123456789"), after.size());
    std::size_t end = bar + 1;
    if (fixedLength > 0) {
        section.fixedDenominator = std::strtol(after.substr(0, std::min<std::size_t>(fixedLength, 9)).c_str(), nullptr, 10);
        if (section.fixedDenominator == 0) return false;
    } else {
        if (after.empty() == false) return false;
        while (end < tokens.size() && tokens[end].kind == TokenKind::Digit) ++end;
        if (end == bar + 1) return false;
    }
    std::vector<Token> out;
    std::size_t numeratorStart = bar;
    while (numeratorStart > 0 && tokens[numeratorStart - 1].kind == TokenKind::Digit) --numeratorStart;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token t = tokens[i];
        if (i == bar) {
            out.push_back(makeToken(TokenKind::FractionBar, "/"));
            if (fixedLength > 0) {
                out.push_back(makeToken(TokenKind::Denominator, after.substr(0, fixedLength)));
                if (fixedLength < after.size()) out.push_back(makeToken(TokenKind::Literal, after.substr(fixedLength)));
            }
            continue;
        }
        if (t.kind == TokenKind::Digit) {
            if (i >= numeratorStart && i < bar) t.kind = TokenKind::Numerator, ++section.numeratorDigits;
            else if (i > bar && i < end) t.kind = TokenKind::Denominator, ++section.denominatorDigits;
            else if (i < numeratorStart) ++section.integerDigits;
            else t.kind = TokenKind::Literal;
        } else if (t.kind != TokenKind::Literal) {
            t.kind = TokenKind::Literal;
        }
        out.push_back(std::move(t));
    }
    tokens = std::move(out);
    section.fraction = true;
    return true;
}

Section readSection(std::string_view text) {
    Section section;
    tokenize(text, section);
    bool date = false, general = false, textPlaceholder = false;
    for (const Token& t : section.tokens) {
        date |= isDateToken(t.kind);
        general |= t.kind == TokenKind::General;
        textPlaceholder |= t.kind == TokenKind::TextPlaceholder;
    }
    section.kind = textPlaceholder ? SectionKind::Text
                   : date          ? SectionKind::Date
                   : general       ? SectionKind::General
                                   : SectionKind::Number;
    if (section.kind == SectionKind::Date) resolveDate(section);
    if (section.kind == SectionKind::Number && !resolveFraction(section)) resolveNumber(section);
    return section;
}

FormatCode readFormat(std::string_view code) {
    FormatCode format;
    const auto parts = splitSections(code);
    for (std::size_t i = 0; i < parts.size() && i < 4; ++i) {
        Section section = readSection(parts[i]);
        const bool textSection = i == 3 || (section.kind == SectionKind::Text && i > 0 && i + 1 == parts.size());
        if (textSection) format.textSection = std::move(section);
        else format.numberSections.push_back(std::move(section));
    }
    // A single section with "@" serves texts; numbers then show as in General.
    if (format.numberSections.size() == 1 && format.numberSections[0].kind == SectionKind::Text && !format.textSection)
        format.textSection = format.numberSections[0];
    return format;
}

}  // namespace

bool Condition::holds(double value) const {
    switch (op) {
    case Op::Always: return true;
    case Op::Less: return value < limit;
    case Op::LessEqual: return value <= limit;
    case Op::Greater: return value > limit;
    case Op::GreaterEqual: return value >= limit;
    case Op::Equal: return value == limit;
    case Op::NotEqual: return value != limit;
    }
    return false;
}

bool Condition::onlyNonPositive() const { return (op == Op::Less || op == Op::LessEqual) && limit <= 0; }

std::shared_ptr<const FormatCode> compileFormat(std::string_view code) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<const FormatCode>> cache;
    std::string key(code);
    {
        std::lock_guard lock(mutex);
        if (auto it = cache.find(key); it != cache.end()) return it->second;
    }
    auto format = std::make_shared<const FormatCode>(readFormat(code));
    std::lock_guard lock(mutex);
    if (cache.size() >= 1000) cache.clear();  // codes come from workbooks; keep the cache bounded
    cache.emplace(std::move(key), format);
    return format;
}

}  // namespace host::numfmt
