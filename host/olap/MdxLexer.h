#pragma once
// Tokens of MDX and of the cube statements (CREATE CUBE, INSERT INTO): bracketed names "[...]"
// ("]]" standing for "]"), words, numbers, quoted strings ('...' or "...", the quote doubled inside),
// and symbols. Positions are character positions from 1, as syntax errors report them.

#include <string>
#include <string_view>
#include <vector>

namespace host::olap {

struct Token {
    enum class Kind { Name, Word, Number, String, Symbol, End };
    Kind kind = Kind::End;
    std::string text;  // the name without brackets, the string without quotes, the word or symbol as written
    long position = 0;
};

// Splits `source` into tokens ending with an End token. `firstPosition` is the position of the
// source's first character within the text the user wrote. Raises a syntax error for an unclosed
// bracket or string and for a character that starts no token.
std::vector<Token> tokenize(std::string_view source, long firstPosition = 1);

// A cursor over tokens with the checks both grammars need.
class TokenCursor {
public:
    explicit TokenCursor(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    const Token& peek(std::size_t ahead = 0) const;
    const Token& next();
    bool atEnd() const { return peek().kind == Token::Kind::End; }
    // True (and consumed) when the next token is that symbol, or that word in any letter case.
    bool acceptSymbol(std::string_view symbol);
    bool acceptWord(std::string_view word);
    bool isWord(std::string_view word, std::size_t ahead = 0) const;
    // Consume or raise a syntax error naming what was expected.
    void expectSymbol(std::string_view symbol);
    void expectWord(std::string_view word);
    std::string expectName();  // a bracketed name or a plain word
    [[noreturn]] void fail(const std::string& expected) const;

private:
    std::vector<Token> tokens_;
    std::size_t at_ = 0;
};

}  // namespace host::olap
