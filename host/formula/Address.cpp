#include "host/formula/Address.h"

#include "host/base/RuntimeError.h"
#include "host/formula/Lexer.h"
#include "host/formula/ReferenceSyntax.h"

namespace host::formula {

namespace {

bool needsQuotes(const std::string& name) {
    if (name.empty()) return false;
    if (name.front() >= '0' && name.front() <= '9') return true;
    for (char c : name)
        if (!isNameCharacter(c) || c == '\\') return true;
    return looksLikeReference(name);
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

}  // namespace

std::string columnLetters(int column) {
    std::string letters;
    for (; column > 0; column = (column - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters;
}

std::vector<ReferenceTarget> parseAddress(std::string_view text, ReferenceStyle style, int anchorRow, int anchorColumn) {
    std::vector<Token> tokens;
    try {
        tokens = tokenize(text, 0, style, anchorRow, anchorColumn);
    } catch (const FormulaSyntaxError&) {
        throw RuntimeError(err::InvalidArgument);
    }
    std::vector<ReferenceTarget> targets;
    for (std::size_t i = 0; i < tokens.size(); i += 2) {
        if (tokens[i].kind != TokenKind::Reference) throw RuntimeError(err::InvalidArgument);
        targets.push_back(tokens[i].target);
        const TokenKind next = tokens[i + 1].kind;
        if (next == TokenKind::End) return targets;
        if (next != TokenKind::Comma) throw RuntimeError(err::InvalidArgument);
    }
    throw RuntimeError(err::InvalidArgument);
}

std::string formatArea(const Area& area, bool rowAbsolute, bool columnAbsolute, ReferenceStyle style, int anchorRow,
                       int anchorColumn) {
    const ReferenceFlags flags{rowAbsolute, columnAbsolute, rowAbsolute, columnAbsolute};
    return formatAreaWithFlags(area, flags, style, anchorRow, anchorColumn);
}

std::string sheetPrefix(const std::string& workbook, const std::string& sheet, const std::string& folder) {
    if (workbook.empty() && sheet.empty() && folder.empty()) return "";
    // Without a sheet the qualifier names the file itself: "'/folder/Addin.xla'!".
    const std::string qualifier =
        sheet.empty() ? folder + workbook : folder + (workbook.empty() ? "" : "[" + workbook + "]") + sheet;
    const bool quote = !folder.empty() || needsQuotes(sheet) || (!workbook.empty() && needsQuotes(workbook));
    return (quote ? quoted(qualifier) : qualifier) + "!";
}

}  // namespace host::formula
