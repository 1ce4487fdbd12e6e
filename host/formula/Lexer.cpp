#include "host/formula/Lexer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "host/formula/ReferenceSyntax.h"
#include "host/base/Utf8.h"

namespace host::formula {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char a = s[i], b = prefix[i];
        if (a != b && !(a >= 'a' && a <= 'z' && a - 'a' + 'A' == b)) return false;
    }
    return true;
}

constexpr CellError kErrorValues[] = {CellError::Null, CellError::Div0, CellError::Value,      CellError::Ref,
                                      CellError::Name, CellError::Num,  CellError::NA, CellError::GettingData};

class Lexer {
public:
    Lexer(std::string_view text, ReferenceStyle style, int anchorRow, int anchorColumn)
        : s_(text), style_(style), anchorRow_(anchorRow), anchorColumn_(anchorColumn) {}

    void run(std::size_t start, std::vector<Token>& tokens) {
        tokens.clear();
        i_ = start;
        for (;;) {
            while (i_ < s_.size() && isSpace(s_[i_])) ++i_;
            Token& t = tokens.emplace_back();
            t.offset = i_;
            if (i_ == s_.size()) return;
            read(t);
            t.length = i_ - t.offset;
        }
    }

private:
    [[noreturn]] void fail(std::size_t offset, std::string reason) const {
        throw FormulaSyntaxError(characterPosition(s_, offset), std::move(reason));
    }

    void read(Token& t) {
        const char c = s_[i_];
        if (c == '"') return readText(t);
        if (c == '#') return readError(t);
        if (c == '\'' || c == '[') return readQualified(t);
        if (isDigit(c) || c == '.' || c == '$' || isNameStart(c)) {
            if (readReference(t, i_)) return;
            if (isDigit(c) || c == '.') return readNumber(t);
            if (c == '$') fail(i_, "unexpected '$'");
            return readName(t);
        }
        readPunctuation(t);
    }

    void readText(Token& t) {
        t.kind = TokenKind::Text;
        for (std::size_t j = i_ + 1; j < s_.size(); ++j) {
            if (s_[j] != '"') {
                t.text += s_[j];
            } else if (j + 1 < s_.size() && s_[j + 1] == '"') {
                t.text += '"';
                ++j;
            } else {
                i_ = j + 1;
                return;
            }
        }
        fail(i_, "unterminated text");
    }

    void readError(Token& t) {
        for (CellError e : kErrorValues) {
            const std::string name = cellErrorText(e);
            if (startsWithNoCase(s_.substr(i_), name)) {
                t.kind = TokenKind::Error;
                t.error = e;
                i_ += name.size();
                return;
            }
        }
        fail(i_, "unknown error value");
    }

    void readNumber(Token& t) {
        std::size_t j = i_;
        while (j < s_.size() && isDigit(s_[j])) ++j;
        if (j < s_.size() && s_[j] == '.') ++j;
        while (j < s_.size() && isDigit(s_[j])) ++j;
        if (j < s_.size() && (s_[j] == 'e' || s_[j] == 'E')) {
            std::size_t k = j + 1;
            if (k < s_.size() && (s_[k] == '+' || s_[k] == '-')) ++k;
            if (k < s_.size() && isDigit(s_[k])) {
                j = k;
                while (j < s_.size() && isDigit(s_[j])) ++j;
            }
        }
        if (j == i_ + 1 && s_[i_] == '.') fail(i_, "unexpected '.'");
        t.kind = TokenKind::Number;
        t.number = std::strtod(std::string(s_.substr(i_, j - i_)).c_str(), nullptr);
        if (!std::isfinite(t.number)) fail(i_, "number too large");
        i_ = j;
    }

    std::size_t nameEnd(std::size_t j) const {
        while (j < s_.size() && isNameCharacter(s_[j])) ++j;
        return j;
    }

    // A name, a function name, or an unquoted sheet name before "!".
    void readName(Token& t) {
        const std::size_t end = nameEnd(i_);
        if (end < s_.size() && s_[end] == '!') {
            t.target.sheet = std::string(s_.substr(i_, end - i_));
            return readAfterQualifier(t, end + 1);
        }
        t.kind = TokenKind::Identifier;
        t.text = std::string(s_.substr(i_, end - i_));
        i_ = end;
    }

    // "'My Sheet'!", "'folder\[Book.xlsx]Sheet 1'!", "[Book.xlsx]Sheet1!".
    void readQualified(Token& t) {
        std::string qualifier;
        std::size_t j = i_;
        if (s_[j] == '\'') {
            for (++j;; ++j) {
                if (j >= s_.size()) fail(i_, "unterminated sheet name");
                if (s_[j] != '\'') qualifier += s_[j];
                else if (j + 1 < s_.size() && s_[j + 1] == '\'') qualifier += s_[j++];
                else break;
            }
            ++j;
        } else {
            const std::size_t close = s_.find(']', j);
            if (close == std::string_view::npos) fail(i_, "missing ']'");
            j = nameEnd(close + 1);
            qualifier = std::string(s_.substr(i_, j - i_));
        }
        if (j >= s_.size() || s_[j] != '!') fail(j, "missing '!' after the sheet name");
        const std::size_t open = qualifier.find('[');
        const std::size_t close = qualifier.find(']', open == std::string::npos ? 0 : open);
        if (open != std::string::npos && close != std::string::npos) {
            t.target.folder = qualifier.substr(0, open);
            t.target.workbook = qualifier.substr(open + 1, close - open - 1);
            t.target.sheet = qualifier.substr(close + 1);
        } else {
            t.target.sheet = qualifier;
        }
        readAfterQualifier(t, j + 1);
    }

    void readAfterQualifier(Token& t, std::size_t body) {
        if (readReference(t, body)) return;
        const std::size_t end = body < s_.size() && isNameStart(s_[body]) ? nameEnd(body) : body;
        if (end == body) fail(body, "missing reference after '!'");
        t.kind = TokenKind::QualifiedName;
        t.text = std::string(s_.substr(i_, end - i_));
        // A function of an add-in file, "'/folder/Addin.xla'!F(...)": the qualifier names the file.
        if (end < s_.size() && s_[end] == '(' && t.target.workbook.empty()) {
            const std::size_t cut = t.target.sheet.find_last_of("/\\");
            t.target.folder = cut == std::string::npos ? std::string() : t.target.sheet.substr(0, cut + 1);
            t.target.workbook = t.target.sheet.substr(cut == std::string::npos ? 0 : cut + 1);
            t.target.sheet.clear();
        }
        i_ = end;
    }

    bool readReference(Token& t, std::size_t body) {
        const auto match = matchArea(s_.substr(body), style_, anchorRow_, anchorColumn_);
        if (!match) return false;
        if (match->outsideSheet) fail(body, "reference outside the sheet");
        t.kind = TokenKind::Reference;
        t.target.area = match->area;
        t.flags = match->flags;
        i_ = body + match->length;
        return true;
    }

    void readPunctuation(Token& t) {
        static constexpr std::string_view kTwoCharacterOperators[] = {"<>", "<=", ">="};
        for (std::string_view op : kTwoCharacterOperators) {
            if (s_.substr(i_, 2) == op) {
                t.kind = TokenKind::Operator;
                t.text = std::string(op);
                i_ += 2;
                return;
            }
        }
        const char c = s_[i_];
        switch (c) {
        case '(': t.kind = TokenKind::LeftParen; break;
        case ')': t.kind = TokenKind::RightParen; break;
        case '{': t.kind = TokenKind::LeftBrace; break;
        case '}': t.kind = TokenKind::RightBrace; break;
        case ',': t.kind = TokenKind::Comma; break;
        case ';': t.kind = TokenKind::Semicolon; break;
        case '+': case '-': case '*': case '/': case '^': case '&': case '=': case '<': case '>': case '%': case ':':
            t.kind = TokenKind::Operator;
            t.text = std::string(1, c);
            break;
        default:
            fail(i_, "unexpected character '" + std::string(s_.substr(i_, skipChars(s_, i_, 1) - i_)) + "'");
        }
        ++i_;
    }

    std::string_view s_;
    ReferenceStyle style_;
    int anchorRow_;
    int anchorColumn_;
    std::size_t i_ = 0;
};

}  // namespace

std::vector<Token> tokenize(std::string_view text, std::size_t start, ReferenceStyle style, int anchorRow,
                            int anchorColumn) {
    std::vector<Token> tokens;
    // Room for the tokens of a usual formula at once (a token is at most one per character).
    tokens.reserve(std::min<std::size_t>(text.size() - std::min(start, text.size()) + 1, 32));
    tokenize(tokens, text, start, style, anchorRow, anchorColumn);
    return tokens;
}

void tokenize(std::vector<Token>& tokens, std::string_view text, std::size_t start, ReferenceStyle style, int anchorRow,
              int anchorColumn) {
    Lexer(text, style, anchorRow, anchorColumn).run(start, tokens);
}

std::size_t characterPosition(std::string_view text, std::size_t offset) {
    return countChars(text.substr(0, offset)) + 1;
}

}  // namespace host::formula
