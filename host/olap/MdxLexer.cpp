#include "host/olap/MdxLexer.h"

#include <cctype>

#include "host/olap/OlapErrors.h"
#include "host/base/Text.h"
#include "host/base/Utf8.h"

namespace host::olap {

namespace {

bool isWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool isWordPart(unsigned char c) { return isWordStart(c) || std::isdigit(c) || c == '$'; }

// Reads a bracketed name or quoted string whose opening character is at `at`; `close` ends it and,
// doubled, stands for itself.
std::string readEnclosed(std::string_view s, std::size_t& at, char close, long position, const char* what) {
    std::string text;
    for (std::size_t i = at + 1;; ++i) {
        if (i >= s.size()) throwSyntaxError(position, std::string("the ") + what + " is never closed");
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close) {
                text += close;
                ++i;
                continue;
            }
            at = i + 1;
            return text;
        }
        text += s[i];
    }
}

}  // namespace

std::vector<Token> tokenize(std::string_view s, long firstPosition) {
    std::vector<Token> tokens;
    std::size_t at = 0;
    long position = firstPosition;  // the character position of byte `at`
    while (at < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[at]);
        const std::size_t start = at;
        Token token;
        token.position = position;
        if (std::isspace(c)) {
            ++at;
        } else if (c == '[') {
            token.kind = Token::Kind::Name;
            token.text = readEnclosed(s, at, ']', position, "bracket");
        } else if (c == '\'' || c == '"') {
            token.kind = Token::Kind::String;
            token.text = readEnclosed(s, at, static_cast<char>(c), position, "quoted text");
        } else if (std::isdigit(c) || (c == '.' && at + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[at + 1])))) {
            token.kind = Token::Kind::Number;
            while (at < s.size() && (std::isdigit(static_cast<unsigned char>(s[at])) || s[at] == '.')) ++at;
            if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
                std::size_t e = at + 1;
                if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
                if (e < s.size() && std::isdigit(static_cast<unsigned char>(s[e]))) {
                    at = e;
                    while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at]))) ++at;
                }
            }
            token.text = std::string(s.substr(start, at - start));
        } else if (isWordStart(c)) {
            token.kind = Token::Kind::Word;
            while (at < s.size() && isWordPart(static_cast<unsigned char>(s[at]))) ++at;
            token.text = std::string(s.substr(start, at - start));
        } else {
            token.kind = Token::Kind::Symbol;
            const std::string_view two = s.substr(at, 2);
            if (two == "<=" || two == ">=" || two == "<>") {
                token.text = std::string(two);
                at += 2;
            } else if (std::string_view("{}(),.*+-/=<>&;:").find(static_cast<char>(c)) != std::string_view::npos) {
                token.text = std::string(1, static_cast<char>(c));
                ++at;
            } else {
                std::size_t one = at;
                nextChar(s, one);
                throwSyntaxError(position, "unexpected character \"" + std::string(s.substr(at, one - at)) + "\"");
            }
        }
        position += static_cast<long>(countChars(s.substr(start, at - start)));
        if (token.kind != Token::Kind::End) tokens.push_back(std::move(token));
    }
    tokens.push_back(Token{Token::Kind::End, {}, position});
    return tokens;
}

const Token& TokenCursor::peek(std::size_t ahead) const {
    return tokens_[std::min(at_ + ahead, tokens_.size() - 1)];
}

const Token& TokenCursor::next() {
    const Token& token = peek();
    if (at_ + 1 < tokens_.size()) ++at_;
    return token;
}

bool TokenCursor::acceptSymbol(std::string_view symbol) {
    if (peek().kind != Token::Kind::Symbol || peek().text != symbol) return false;
    next();
    return true;
}

bool TokenCursor::isWord(std::string_view word, std::size_t ahead) const {
    const Token& token = peek(ahead);
    return token.kind == Token::Kind::Word && StrComp(token.text, word, CompareMethod::Text) == 0;
}

bool TokenCursor::acceptWord(std::string_view word) {
    if (!isWord(word)) return false;
    next();
    return true;
}

void TokenCursor::expectSymbol(std::string_view symbol) {
    if (!acceptSymbol(symbol)) fail("\"" + std::string(symbol) + "\"");
}

void TokenCursor::expectWord(std::string_view word) {
    if (!acceptWord(word)) fail(std::string(word));
}

std::string TokenCursor::expectName() {
    if (peek().kind != Token::Kind::Name && peek().kind != Token::Kind::Word) fail("a name");
    return next().text;
}

void TokenCursor::fail(const std::string& expected) const {
    const Token& token = peek();
    throwSyntaxError(token.position, "expected " + expected + ", found " +
                                         (token.kind == Token::Kind::End ? std::string("the end of the text")
                                                                         : "\"" + token.text + "\""));
}

}  // namespace host::olap
