#include "host/odbc/SqlStatements.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace host::ado {

namespace {

struct Dialect {
    bool comments = true;          // "--" to the end of the line, "/*" to "*/"
    bool singleBackslash = false;  // '\'' escapes a quote
    bool doubleBackslash = false;  // "\"" escapes a quote
    bool brackets = false;         // [name]
    bool bracketDoubling = false;  // "]]" inside [name] stands for "]"
    bool backticks = false;        // `name`
    bool escapeStrings = false;    // E'...' with backslash escapes
    bool dollarQuotes = false;     // $$...$$ and $tag$...$tag$
    bool nestedComments = false;   // /* /* */ */
    bool returnEndsComment = false;  // "\r" ends a "--" comment as "\n" does
    bool dashNeedsBlank = false;   // "--" starts a comment only before a blank or control character
    bool hashComments = false;     // "#" to the end of the line
    bool hiddenCode = false;       // "/*! ... */" runs what it holds
};

// The readings of the servers the add-in meets, and a reading without comments (a driver that
// passes them on to a server that has none).
constexpr std::array<Dialect, 7> kDialects{{
    // PostgreSQL, and PostgreSQL with standard_conforming_strings off
    {.escapeStrings = true, .dollarQuotes = true, .nestedComments = true, .returnEndsComment = true},
    {.singleBackslash = true, .escapeStrings = true, .dollarQuotes = true, .nestedComments = true,
     .returnEndsComment = true},
    // SQLite
    {.brackets = true, .backticks = true},
    // SQL Server
    {.brackets = true, .bracketDoubling = true, .nestedComments = true, .returnEndsComment = true},
    // MySQL, and MySQL with NO_BACKSLASH_ESCAPES
    {.singleBackslash = true, .doubleBackslash = true, .backticks = true, .dashNeedsBlank = true,
     .hashComments = true, .hiddenCode = true},
    {.backticks = true, .dashNeedsBlank = true, .hashComments = true, .hiddenCode = true},
    {.comments = false},
}};

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

enum class Region { Code, Quoted, Dollar, LineComment, BlockComment };

// One reading of a text, character by character, as one server reads it.
class Reader {
public:
    Reader(std::string_view sql, const Dialect& dialect) : sql_(sql), d_(dialect) {}

    // Reads the text up to `end` (the whole text by default).
    void readTo(std::size_t end = std::string_view::npos) {
        end = std::min(end, sql_.size());
        while (at_ < end) step();
    }

    int statements() const { return statements_ + (content_ ? 1 : 0); }
    bool separated() const { return separated_; }
    bool bracketsClosed() const { return !bracketsBroken_ && brackets_ == 0; }
    Region region() const { return region_; }
    bool inSingleQuotes() const { return region_ == Region::Quoted && close_ == '\''; }

private:
    char next(std::size_t ahead = 1) const { return at_ + ahead < sql_.size() ? sql_[at_ + ahead] : '\0'; }

    void step() {
        switch (region_) {
            case Region::Code: code(); return;
            case Region::Quoted: quoted(); return;
            case Region::Dollar:
                if (sql_.substr(at_, tag_.size()) == tag_) {
                    at_ += tag_.size();
                    region_ = Region::Code;
                } else {
                    ++at_;
                }
                return;
            case Region::LineComment: {
                const char c = sql_[at_++];
                if (c == '\n' || (c == '\r' && d_.returnEndsComment)) region_ = Region::Code;
                return;
            }
            case Region::BlockComment:
                if (d_.nestedComments && sql_[at_] == '/' && next() == '*') {
                    ++depth_;
                    at_ += 2;
                } else if (sql_[at_] == '*' && next() == '/') {
                    at_ += 2;
                    if (--depth_ == 0) region_ = Region::Code;
                } else {
                    ++at_;
                }
                return;
        }
    }

    void quoted() {
        const char c = sql_[at_];
        if (c == '\\' && backslash_) {
            at_ += 2;
            return;
        }
        if (c == close_) {
            // A doubled closing character stands for itself, except "]]" where the server keeps none.
            if (next() == close_ && (close_ != ']' || d_.bracketDoubling)) {
                at_ += 2;
                return;
            }
            region_ = Region::Code;
        }
        ++at_;
    }

    void open(char close, bool backslash, std::size_t length) {
        region_ = Region::Quoted;
        close_ = close;
        backslash_ = backslash;
        at_ += length;
    }

    void code() {
        const char c = sql_[at_];
        if (c == ';') {
            separated_ = true;
            if (content_) ++statements_;
            content_ = false;
            ++at_;
            return;
        }
        if (isBlank(c)) {
            ++at_;
            return;
        }
        if (d_.comments && startsComment(c)) return;
        content_ = true;
        switch (c) {
            case '\'': return open('\'', d_.singleBackslash, 1);
            case '"': return open('"', d_.doubleBackslash, 1);
            case '`':
                if (d_.backticks) return open('`', false, 1);
                break;
            case '[':
                if (d_.brackets) return open(']', false, 1);
                ++brackets_;
                break;
            case ']':
            case ')':
                if (--brackets_ < 0) bracketsBroken_ = true;
                break;
            case '(': ++brackets_; break;
            case '$':
                if (d_.dollarQuotes && dollarQuote()) return;
                break;
            default:
                if (isLetter(c) || isDigit(c)) return word();
        }
        ++at_;
    }

    // A comment's start at the current place; moves past its opening.
    bool startsComment(char c) {
        if (c == '-' && next() == '-' && (!d_.dashNeedsBlank || static_cast<unsigned char>(next(2)) <= ' ')) {
            region_ = Region::LineComment;
            at_ += 2;
            return true;
        }
        if (c == '#' && d_.hashComments) {
            region_ = Region::LineComment;
            ++at_;
            return true;
        }
        if (c == '/' && next() == '*') {
            if (d_.hiddenCode && next(2) == '!') {
                at_ += 3;  // the server runs what follows
                return true;
            }
            region_ = Region::BlockComment;
            depth_ = 1;
            at_ += 2;
            return true;
        }
        return false;
    }

    // A name or a number, read whole: a quote right after one letter E opens an escape string, and
    // a "$" inside a name belongs to the name. A number ends before a "$".
    void word() {
        const bool number = isDigit(sql_[at_]);
        std::size_t end = at_ + 1;
        while (end < sql_.size() &&
               (isLetter(sql_[end]) || isDigit(sql_[end]) || (sql_[end] == '$' && !number) || (number && sql_[end] == '.')))
            ++end;
        if (d_.escapeStrings && end == at_ + 1 && (sql_[at_] == 'E' || sql_[at_] == 'e') && next() == '\'')
            return open('\'', true, 2);
        at_ = end;
    }

    // "$tag$" (tag possibly empty) opens a dollar quote; "$1" is a parameter.
    bool dollarQuote() {
        std::size_t end = at_ + 1;
        if (end < sql_.size() && isDigit(sql_[end])) return false;
        while (end < sql_.size() && (isLetter(sql_[end]) || isDigit(sql_[end]))) ++end;
        if (end >= sql_.size() || sql_[end] != '$') return false;
        tag_ = sql_.substr(at_, end + 1 - at_);
        region_ = Region::Dollar;
        at_ = end + 1;
        return true;
    }

    std::string_view sql_;
    const Dialect& d_;
    std::size_t at_ = 0;
    Region region_ = Region::Code;
    char close_ = '\0';
    bool backslash_ = false;
    std::string_view tag_;
    int depth_ = 0;
    int statements_ = 0;
    bool content_ = false;
    bool separated_ = false;
    long brackets_ = 0;
    bool bracketsBroken_ = false;
};

Reader readWhole(std::string_view sql, const Dialect& dialect) {
    Reader reader(sql, dialect);
    reader.readTo();
    return reader;
}

// Whether every reading takes the text alike: it holds none of what the readings tell apart
// (backslashes, brackets, backticks, dollar quotes, "#", "--" and "/*").
bool readAlikeByAll(std::string_view sql) {
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\\' || c == '[' || c == '`' || c == '$' || c == '#') return false;
        if (i + 1 < sql.size() && ((c == '-' && sql[i + 1] == '-') || (c == '/' && sql[i + 1] == '*'))) return false;
    }
    return true;
}

}  // namespace

bool addsStatements(std::string_view original, std::string_view changed) {
    // Without a ';' the changed text holds one statement at most, and an original that starts with
    // anything but blanks or a comment holds one at least, in every reading.
    if (changed.find(';') == std::string_view::npos) {
        const std::size_t first = original.find_first_not_of(" \t\r\n\f\v");
        if (first != std::string_view::npos && original[first] != '-' && original[first] != '/' && original[first] != '#')
            return false;
    }
    return std::any_of(kDialects.begin(), kDialects.end(), [&](const Dialect& dialect) {
        return readWhole(changed, dialect).statements() > readWhole(original, dialect).statements();
    });
}

bool isSingleCompleteStatement(std::string_view sql) {
    auto complete = [&](const Dialect& dialect) {
        const Reader reader = readWhole(sql, dialect);
        return reader.statements() == 1 && !reader.separated() && reader.bracketsClosed() &&
               reader.region() == Region::Code;
    };
    if (readAlikeByAll(sql)) return complete(kDialects.front());
    return std::all_of(kDialects.begin(), kDialects.end(), complete);
}

bool staysInPlace(std::string_view sql, std::size_t position, std::string_view value) {
    const bool inLiteral = std::all_of(kDialects.begin(), kDialects.end(), [&](const Dialect& dialect) {
        Reader reader(sql, dialect);
        reader.readTo(position);
        return reader.inSingleQuotes();
    });
    if (inLiteral) return value.find_first_of("'\\") == std::string_view::npos;
    // Bytes of non-ASCII letters take no part in any server's syntax.
    return !value.empty() && std::all_of(value.begin(), value.end(),
                                         [](char c) { return isLetter(c) || isDigit(c) || c == '%' || c == '.'; });
}

}  // namespace host::ado
