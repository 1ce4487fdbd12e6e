#pragma once
// Splits a formula text into tokens. References are recognised here, in full (qualifier and body),
// and resolved to absolute coordinates, because what is a reference depends on the style.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/formula/Formula.h"
#include "host/formula/Node.h"

namespace host::formula {

enum class TokenKind {
    Number,
    Text,
    Error,
    Reference,
    Identifier,     // a name or a function name
    QualifiedName,  // "Sheet1!MyName"
    Operator,       // + - * / ^ & = <> < > <= >= % :
    LeftParen,
    RightParen,
    LeftBrace,
    RightBrace,
    Comma,
    Semicolon,
    End,
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::size_t offset = 0;  // bytes from the start of the text
    std::size_t length = 0;  // bytes
    std::string text;        // Text: its value; others: as written
    double number = 0;       // Number
    CellError error = CellError::Value;  // Error
    ReferenceTarget target;  // Reference
    ReferenceFlags flags;    // Reference
};

// The tokens of text from byte offset start on, ending with an End token. Raises FormulaSyntaxError.
std::vector<Token> tokenize(std::string_view text, std::size_t start, ReferenceStyle style, int anchorRow,
                            int anchorColumn);
// The same into tokens, replacing what it held (its room is reused: parsing many formulas allocates
// no token list each).
void tokenize(std::vector<Token>& tokens, std::string_view text, std::size_t start, ReferenceStyle style, int anchorRow,
              int anchorColumn);

// The 1-based character position of a byte offset, as syntax errors report it.
std::size_t characterPosition(std::string_view text, std::size_t offset);

}  // namespace host::formula
