// Formula::parse: recursive descent over the lexer's tokens, by the spreadsheet's operator precedence
// (loosest first): comparisons, &, + -, * /, ^, %, unary - +, ":".

#include <algorithm>

#include "host/base/Utf8.h"
#include "host/formula/Builtins.h"
#include "host/formula/Formula.h"
#include "host/formula/Lexer.h"
#include "host/formula/Node.h"

namespace host::formula {

namespace {

using NodePtr = ParseNode*;

// The nodes of the formula being parsed (one at a time), kept from formula to formula with their
// room, so that parsing the usual formula allocates no nodes.
class NodePool {
public:
    void restart() {
        // A very long formula's many nodes are not kept for good.
        if (nodes_.size() > kKept) nodes_.resize(kKept);
        used_ = 0;
    }
    ParseNode* take(NodeKind kind) {
        if (used_ == nodes_.size()) nodes_.push_back(std::make_unique<ParseNode>());
        ParseNode* n = nodes_[used_++].get();
        n->kind = kind;
        n->constant = Variant();
        n->target.folder.clear();
        n->target.workbook.clear();
        n->target.sheet.clear();
        n->target.area = {};
        n->flags = {};
        n->name.clear();
        n->builtin = nullptr;
        n->op = Operator::Add;
        n->children.clear();
        n->slot = 0;
        return n;
    }

private:
    static constexpr std::size_t kKept = 256;
    std::vector<std::unique_ptr<ParseNode>> nodes_;
    std::size_t used_ = 0;
};

NodePool& nodePool() {
    thread_local NodePool pool;
    return pool;
}

struct OperatorSpelling {
    std::string_view text;
    Operator op;
};

// Binary operators by precedence level, loosest first.
const std::vector<std::vector<OperatorSpelling>> kBinaryLevels = {
    {{"=", Operator::Equal}, {"<>", Operator::NotEqual}, {"<", Operator::Less}, {">", Operator::Greater},
     {"<=", Operator::LessEqual}, {">=", Operator::GreaterEqual}},
    {{"&", Operator::Concat}},
    {{"+", Operator::Add}, {"-", Operator::Subtract}},
    {{"*", Operator::Multiply}, {"/", Operator::Divide}},
    {{"^", Operator::Power}},
};

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'a' && x <= 'z' ? x - 'a' + 'A' : x) == (y >= 'a' && y <= 'z' ? y - 'a' + 'A' : y);
           });
}

std::optional<bool> booleanLiteral(const Token& t) {
    if (t.kind != TokenKind::Identifier) return std::nullopt;
    if (equalsNoCase(t.text, "TRUE")) return true;
    if (equalsNoCase(t.text, "FALSE")) return false;
    return std::nullopt;
}

class Parser {
public:
    // Starts a new formula in the node pool: the nodes of the one parsed before are given again.
    Parser(std::string_view text, const std::vector<Token>& tokens) : text_(text), tokens_(tokens) {
        pool_.restart();
    }

    NodePtr formula() {
        NodePtr root = expression();
        if (peek().kind != TokenKind::End) unexpected(peek());
        return root;
    }

private:
    const Token& peek() const { return tokens_[p_]; }
    const Token& take() { return tokens_[p_ < tokens_.size() - 1 ? p_++ : p_]; }
    bool isOperator(std::string_view op) const { return peek().kind == TokenKind::Operator && peek().text == op; }

    [[noreturn]] void fail(const Token& at, std::string reason) const {
        throw FormulaSyntaxError(characterPosition(text_, at.offset), std::move(reason));
    }
    [[noreturn]] void unexpected(const Token& t) const {
        if (t.kind == TokenKind::End) fail(t, "unexpected end of formula");
        fail(t, "unexpected '" + std::string(text_.substr(t.offset, t.length)) + "'");
    }
    void expectClosing(TokenKind kind, std::string_view what) {
        if (peek().kind == kind) {
            take();
            return;
        }
        if (peek().kind == TokenKind::End) fail(peek(), "missing '" + std::string(what) + "'");
        unexpected(peek());
    }

    // Nesting (parentheses, arguments, signs) is limited so that no text can exhaust the stack.
    struct NestingGuard {
        NestingGuard(Parser& p) : parser(p) {
            if (++parser.nesting_ > kMaxNesting) parser.fail(parser.peek(), "formula nested too deeply");
        }
        NestingGuard(const NestingGuard&) = delete;
        ~NestingGuard() { --parser.nesting_; }
        Parser& parser;
    };
    static constexpr int kMaxNesting = 256;

    NodePtr expression() {
        const NestingGuard guard(*this);
        return binaryLevel(0);
    }

    NodePtr binaryLevel(std::size_t level) {
        if (level == kBinaryLevels.size()) return percent();
        NodePtr left = binaryLevel(level + 1);
        for (;;) {
            const auto& ops = kBinaryLevels[level];
            const auto it = std::find_if(ops.begin(), ops.end(), [&](const auto& o) { return isOperator(o.text); });
            if (it == ops.end()) return left;
            take();
            auto n = makeNode(NodeKind::Binary);
            n->op = it->op;
            n->children.reserve(2);
            n->children.push_back(left);
            n->children.push_back(binaryLevel(level + 1));
            left = n;
        }
    }

    NodePtr percent() {
        NodePtr operand = unary();
        while (isOperator("%")) {
            take();
            auto n = makeNode(NodeKind::Percent);
            n->children.push_back(operand);
            operand = n;
        }
        return operand;
    }

    NodePtr unary() {
        if (isOperator("-") || isOperator("+")) {
            const NestingGuard guard(*this);
            auto n = makeNode(NodeKind::Unary);
            n->op = take().text == "-" ? Operator::Negate : Operator::Plus;
            n->children.push_back(unary());
            return n;
        }
        return range();
    }

    NodePtr range() {
        NodePtr left = primary();
        while (isOperator(":")) {
            take();
            auto n = makeNode(NodeKind::Binary);
            n->op = Operator::Range;
            n->children.reserve(2);
            n->children.push_back(left);
            n->children.push_back(primary());
            left = n;
        }
        return left;
    }

    NodePtr primary() {
        const Token& t = take();
        switch (t.kind) {
        case TokenKind::Number: return constant(t.number);
        case TokenKind::Text: return constant(t.text);
        case TokenKind::Error: return constant(t.error);
        case TokenKind::Reference: {
            auto n = makeNode(NodeKind::Reference);
            n->target = t.target;
            n->flags = t.flags;
            return n;
        }
        case TokenKind::QualifiedName: {
            if (peek().kind == TokenKind::LeftParen) return call(t);  // a function of an add-in file
            auto n = makeNode(NodeKind::Name);
            n->name = t.text;
            return n;
        }
        case TokenKind::Identifier:
            if (peek().kind == TokenKind::LeftParen) return call(t);
            if (auto b = booleanLiteral(t)) return constant(*b);
            {
                auto n = makeNode(NodeKind::Name);
                n->name = t.text;
                return n;
            }
        case TokenKind::LeftParen: {
            auto n = makeNode(NodeKind::Parentheses);
            n->children.push_back(expression());
            expectClosing(TokenKind::RightParen, ")");
            return n;
        }
        case TokenKind::LeftBrace: return arrayConstant();
        default: unexpected(t);
        }
    }

    NodePtr call(const Token& nameToken) {
        take();  // "("
        auto n = makeNode(NodeKind::Function);
        const Builtin* builtin = findBuiltin(nameToken.text);
        n->name = builtin ? std::string(builtin->name) : nameToken.text;
        n->builtin = builtin;
        if (peek().kind == TokenKind::RightParen) {
            take();
        } else {
            for (;;) {
                const TokenKind k = peek().kind;
                if (k == TokenKind::End) fail(peek(), "missing ')'");
                n->children.push_back(k == TokenKind::Comma || k == TokenKind::RightParen ? makeNode(NodeKind::Missing)
                                                                                          : expression());
                if (peek().kind != TokenKind::Comma) break;
                take();
            }
            expectClosing(TokenKind::RightParen, ")");
        }
        const auto count = static_cast<int>(n->children.size());
        if (builtin && (count < builtin->minArguments || count > builtin->maxArguments))
            fail(nameToken, "wrong number of arguments to " + n->name);
        return n;
    }

    // "{1,2;3,4}": rows separated by ";", columns by ","; elements are constants.
    NodePtr arrayConstant() {
        std::vector<std::vector<Variant>> rows(1);
        for (;;) {
            rows.back().push_back(arrayElement());
            const Token& separator = take();
            if (separator.kind == TokenKind::Comma) continue;
            if (separator.kind == TokenKind::Semicolon || separator.kind == TokenKind::RightBrace) {
                if (rows.size() > 1 && rows.back().size() != rows.front().size())
                    fail(separator, "array rows differ in length");
                if (separator.kind == TokenKind::RightBrace) break;
                rows.emplace_back();
                continue;
            }
            if (separator.kind == TokenKind::End) fail(separator, "missing '}'");
            unexpected(separator);
        }
        Array array = Array::matrix(static_cast<long>(rows.size()), static_cast<long>(rows.front().size()));
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < rows[r].size(); ++c)
                array(static_cast<long>(r + 1), static_cast<long>(c + 1)) = std::move(rows[r][c]);
        return constant(std::move(array));
    }

    Variant arrayElement() {
        const Token& t = take();
        if (t.kind == TokenKind::Operator && (t.text == "-" || t.text == "+")) {
            const Token& number = take();
            if (number.kind != TokenKind::Number) unexpected(number);
            return t.text == "-" ? -number.number : number.number;
        }
        if (t.kind == TokenKind::Number) return t.number;
        if (t.kind == TokenKind::Text) return t.text;
        if (t.kind == TokenKind::Error) return t.error;
        if (auto b = booleanLiteral(t)) return *b;
        unexpected(t);
    }

    NodePtr makeNode(NodeKind kind) { return pool_.take(kind); }
    NodePtr constant(Variant value) {
        auto n = makeNode(NodeKind::Constant);
        n->constant = std::move(value);
        return n;
    }

    NodePool& pool_ = nodePool();
    std::string_view text_;
    const std::vector<Token>& tokens_;
    std::size_t p_ = 0;
    int nesting_ = 0;
};

[[noreturn]] void failTooLong(std::size_t position) {
    throw FormulaSyntaxError(position, "the formula is longer than " + std::to_string(kMaxFormulaLength) + " characters");
}

// Raises the error of a formula text longer than `limit` characters (none when it is not): a syntax
// error the allowed part already has (too deep a nesting), else the length.
void refuseLongFormula(std::string_view text, std::size_t start, std::size_t limit, ReferenceStyle style, int anchorRow,
                       int anchorColumn) {
    const std::size_t end = skipChars(text, start, limit);
    if (end == text.size()) return;
    const std::string_view allowed = text.substr(0, end);
    std::vector<Token> tokens;
    try {
        tokens = tokenize(allowed, start, style, anchorRow, anchorColumn);
    } catch (const FormulaSyntaxError&) {
        tokens.clear();  // a token cut at the limit
    }
    if (!tokens.empty()) {
        try {
            Parser(allowed, tokens).formula();
        } catch (const FormulaSyntaxError& e) {
            if (e.position() <= characterPosition(allowed, end) - 1) throw;
        }
    }
    failTooLong(characterPosition(text, end));
}

}  // namespace

FormulaSyntaxError::FormulaSyntaxError(std::size_t position, std::string reason)
    : RuntimeError(err::InvalidArgument, "Formula error at position " + std::to_string(position) + ": " + reason),
      position_(position),
      reason_(std::move(reason)) {}

Formula Formula::parse(std::string_view text, ReferenceStyle style, int anchorRow, int anchorColumn) {
    const std::size_t start = !text.empty() && text.front() == '=' ? 1 : 0;
    // The limit counts the formula as A1 style writes it. R1C1 references are longer: an R1C1 text
    // may be up to four times as long, and is measured in A1 style once read.
    const std::size_t limit = style == ReferenceStyle::A1 ? kMaxFormulaLength : 4 * kMaxFormulaLength;
    if (text.size() - start > kMaxFormulaLength) refuseLongFormula(text, start, limit, style, anchorRow, anchorColumn);
    thread_local std::vector<Token> tokens;  // reused from formula to formula
    tokenize(tokens, text, start, style, anchorRow, anchorColumn);
    Formula formula(FormulaTree::from(*Parser(text, tokens).formula()));
    if (style == ReferenceStyle::R1C1 && text.size() - start > kMaxFormulaLength &&
        countChars(formula.toText(ReferenceStyle::A1, anchorRow, anchorColumn)) - 1 > kMaxFormulaLength)
        failTooLong(kMaxFormulaLength + 1 + start);
    return formula;
}

}  // namespace host::formula
