#include "host/ado/SqlStatements.h"

namespace host::ado {

namespace {

struct Dialect {
    bool bracketQuotes;     // [name]
    bool backslashEscapes;  // 'it\'s'
    bool comments;          // -- to the end of the line, /* to the first */
};

// The statements of `sql` that hold anything besides blanks and comments.
int statementCount(std::string_view sql, Dialect dialect) {
    int count = 0;
    bool content = false;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == ';') {
            if (content) ++count;
            content = false;
            continue;
        }
        if (dialect.comments && c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            i = sql.find('\n', i);
            if (i == std::string_view::npos) break;
            continue;
        }
        if (dialect.comments && c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            i = sql.find("*/", i + 2);
            if (i == std::string_view::npos) break;
            ++i;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        content = true;
        const char close = c == '\'' || c == '"' ? c : c == '[' && dialect.bracketQuotes ? ']' : '\0';
        if (!close) continue;
        for (++i; i < sql.size() && sql[i] != close; ++i)
            if (dialect.backslashEscapes && sql[i] == '\\') ++i;
        if (i >= sql.size()) break;  // an open quote runs to the end
    }
    return count + (content ? 1 : 0);
}

}  // namespace

bool addsStatements(std::string_view original, std::string_view changed) {
    // Without a ';' the changed text holds one statement at most, and an original that starts with
    // anything but blanks or a comment holds one at least, whatever the dialect.
    if (changed.find(';') == std::string_view::npos) {
        const std::size_t first = original.find_first_not_of(" \t\r\n");
        if (first != std::string_view::npos && original[first] != '-' && original[first] != '/') return false;
    }
    for (int way = 0; way < 8; ++way) {
        const Dialect dialect{(way & 1) != 0, (way & 2) != 0, (way & 4) != 0};
        if (statementCount(changed, dialect) > statementCount(original, dialect)) return true;
    }
    return false;
}

}  // namespace host::ado
