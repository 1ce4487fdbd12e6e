#include "host/olap/MdxParser.h"

#include <charconv>

#include "host/base/Text.h"
#include "host/olap/MdxLexer.h"
#include "host/olap/OlapErrors.h"

namespace host::olap {

namespace {

MdxNode makeNode(MdxNode::Kind kind, long position) {
    MdxNode node;
    node.kind = kind;
    node.position = position;
    return node;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : cursor_(std::move(tokens)) {}

    MdxQuery query() {
        MdxQuery q;
        if (cursor_.acceptWord("WITH")) {
            do q.measures.push_back(calculatedMeasure());
            while (cursor_.isWord("MEMBER"));
        }
        cursor_.expectWord("SELECT");
        do axis(q);
        while (cursor_.acceptSymbol(","));
        cursor_.expectWord("FROM");
        q.cube = cursor_.expectName();
        if (cursor_.acceptWord("WHERE")) q.slicer = expression();
        cursor_.acceptSymbol(";");
        if (!cursor_.atEnd()) cursor_.fail("the end of the query");
        return q;
    }

    MdxNode wholeExpression() {
        MdxNode node = expression();
        if (!cursor_.atEnd()) cursor_.fail("the end of the expression");
        return node;
    }

private:
    CalculatedMeasure calculatedMeasure() {
        cursor_.expectWord("MEMBER");
        const Token& start = cursor_.peek();
        const MdxNode target = postfix();
        if (target.kind != MdxNode::Kind::Path || target.path.size() != 2 || target.path[1].isKey ||
            StrComp(target.path[0].text, "Measures", CompareMethod::Text) != 0)
            throwSyntaxError(start.position, "a calculated member must be a measure [Measures].[name]");
        cursor_.expectWord("AS");
        CalculatedMeasure measure{target.path[1].text, {}};
        if (cursor_.peek().kind == Token::Kind::String) {
            const Token& text = cursor_.next();
            measure.expression = Parser(tokenize(text.text, text.position + 1)).wholeExpression();
        } else {
            measure.expression = expression();
        }
        return measure;
    }

    void axis(MdxQuery& q) {
        MdxNode set = expression();
        cursor_.expectWord("ON");
        const Token& which = cursor_.peek();
        std::optional<MdxNode>* target = nullptr;
        if (cursor_.acceptWord("COLUMNS") || (which.kind == Token::Kind::Number && which.text == "0")) target = &q.columns;
        else if (cursor_.acceptWord("ROWS") || (which.kind == Token::Kind::Number && which.text == "1")) target = &q.rows;
        else cursor_.fail("0, 1, COLUMNS or ROWS");
        if (which.kind == Token::Kind::Number) cursor_.next();
        if (target->has_value()) throwSyntaxError(which.position, "the axis is given twice");
        *target = std::move(set);
    }

    MdxNode expression() {
        Nesting nesting(*this);
        MdxNode left = additive();
        for (const char* op : {"=", "<>", "<=", ">=", "<", ">"})
            if (isSymbol(op)) return binary(std::move(left), [this] { return additive(); });
        return left;
    }

    MdxNode additive() {
        MdxNode left = multiplicative();
        while (isSymbol("+") || isSymbol("-")) left = binary(std::move(left), [this] { return multiplicative(); });
        return left;
    }

    MdxNode multiplicative() {
        MdxNode left = unary();
        while (isSymbol("*") || isSymbol("/")) left = binary(std::move(left), [this] { return unary(); });
        return left;
    }

    template <class Operand>
    MdxNode binary(MdxNode left, Operand operand) {
        const Token& op = cursor_.next();
        MdxNode node = makeNode(MdxNode::Kind::Binary, op.position);
        node.name = op.text;
        node.items.push_back(std::move(left));
        node.items.push_back(operand());
        return node;
    }

    MdxNode unary() {
        while (cursor_.acceptSymbol("+")) continue;  // a unary plus changes nothing
        const Token& token = cursor_.peek();
        if (cursor_.acceptSymbol("-")) {
            Nesting nesting(*this);
            MdxNode node = makeNode(MdxNode::Kind::Negate, token.position);
            node.items.push_back(unary());
            return node;
        }
        return postfix();
    }

    MdxNode postfix() {
        MdxNode node = primary();
        while (cursor_.acceptSymbol(".")) {
            const Token& token = cursor_.peek();
            const bool children = cursor_.acceptWord("CHILDREN");
            if (children || cursor_.acceptWord("MEMBERS")) {
                MdxNode wrapped = makeNode(children ? MdxNode::Kind::Children : MdxNode::Kind::Members, token.position);
                wrapped.items.push_back(std::move(node));
                node = std::move(wrapped);
            } else if (node.kind == MdxNode::Kind::Path) {
                node.path.push_back(segment());
            } else {
                cursor_.fail("CHILDREN or MEMBERS");
            }
        }
        return node;
    }

    PathSegment segment() {
        const bool key = cursor_.acceptSymbol("&");
        if (key && cursor_.peek().kind != Token::Kind::Name) cursor_.fail("a key in brackets");
        return PathSegment{cursor_.expectName(), key};
    }

    // The items of a list up to `close`, separated by ","; `allowEmpty` for "{}".
    std::vector<MdxNode> list(std::string_view close, bool allowEmpty) {
        std::vector<MdxNode> items;
        if (allowEmpty && cursor_.acceptSymbol(close)) return items;
        do items.push_back(expression());
        while (cursor_.acceptSymbol(","));
        cursor_.expectSymbol(close);
        return items;
    }

    MdxNode primary() {
        const Token& token = cursor_.peek();
        MdxNode node = makeNode(MdxNode::Kind::Path, token.position);
        if (token.kind == Token::Kind::Number) {
            node.kind = MdxNode::Kind::Number;
            const auto [end, ec] = std::from_chars(token.text.data(), token.text.data() + token.text.size(), node.number);
            if (ec != std::errc() || end != token.text.data() + token.text.size())
                throwSyntaxError(token.position, "\"" + token.text + "\" is no number");
            cursor_.next();
        } else if (token.kind == Token::Kind::Word && cursor_.peek(1).kind == Token::Kind::Symbol &&
                   cursor_.peek(1).text == "(") {
            node.kind = MdxNode::Kind::Call;
            node.name = UCase(token.text);
            if (node.name != "SUM" && node.name != "FILTER" && node.name != "CROSSJOIN")
                throwSyntaxError(token.position, "unknown function " + token.text);
            cursor_.next();
            cursor_.next();
            node.items = list(")", false);
        } else if (token.kind == Token::Kind::Name || token.kind == Token::Kind::Word) {
            node.path.push_back(segment());
        } else if (cursor_.acceptSymbol("{")) {
            node.kind = MdxNode::Kind::Braces;
            node.items = list("}", true);
        } else if (cursor_.acceptSymbol("(")) {
            node.kind = MdxNode::Kind::Parentheses;
            node.items = list(")", false);
        } else {
            cursor_.fail("a member, a set or a number");
        }
        return node;
    }

    bool isSymbol(std::string_view s) const {
        return cursor_.peek().kind == Token::Kind::Symbol && cursor_.peek().text == s;
    }

    // Guards the depth of nested expressions, so that deep input cannot exhaust the stack.
    struct Nesting {
        explicit Nesting(Parser& p) : parser(p) {
            if (++parser.depth_ > kMaxNesting) throwSyntaxError(parser.cursor_.peek().position, "the query is nested too deeply");
        }
        ~Nesting() { --parser.depth_; }
        Parser& parser;
    };

    TokenCursor cursor_;
    int depth_ = 0;
};

}  // namespace

MdxQuery parseMdx(const std::string& text) { return Parser(tokenize(text)).query(); }

std::string pathText(const std::vector<PathSegment>& path) {
    std::string text;
    for (const PathSegment& segment : path) text += (text.empty() ? "" : ".") + std::string(segment.isKey ? "&" : "") + bracketed(segment.text);
    return text;
}

}  // namespace host::olap
