#include "core/F_Pomocnicze.h"

#include <string>
#include <vector>

#include "core/A_Deklaracje.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/Utf8.h"
#include "host/os/System.h"
#include "host/sheet/Workbook.h"

namespace telm {

namespace {

constexpr long kHighestControlCode = 10;
constexpr long kArrayPieceLength = 255;
constexpr long kArrayListLimit = 10000;
constexpr int kWorkbookNormalFormat = -4143;

// The text with its characters in reverse order.
std::string reversedText(std::string_view text) {
    std::vector<char32_t> characters;
    for (std::size_t at = 0; at < text.size();) characters.push_back(host::nextChar(text, at));
    std::string reversed;
    reversed.reserve(text.size());
    for (auto c = characters.rbegin(); c != characters.rend(); ++c) host::appendUtf8(reversed, *c);
    return reversed;
}

}  // namespace

std::string GetParamValue(std::string_view key, std::string_view parameterText, std::string_view delimiter) {
    if (key.empty()) throw host::RuntimeError(host::err::InvalidProcedureCall);
    // Wrapped in delimiters, the first item starts after one and the last ends at one.
    std::string wrapped(delimiter);
    wrapped.append(parameterText).append(delimiter);

    const long keyAt = host::InStr(wrapped, key, host::CompareMethod::Text);
    if (keyAt == 0) return std::string(kParamNotFound);
    const long keyLength = host::Len(key);
    const long valueEnd = host::InStr(keyAt, wrapped, delimiter);
    const std::string after = host::Mid(wrapped, keyAt + keyLength, 1);
    const std::string before = host::Mid(wrapped, keyAt - 1, 1);

    const bool startsItem = before == delimiter || host::AscW(before) <= kHighestControlCode;
    if (after != "=" || !startsItem) return std::string(kParamNotFound);
    return host::Mid(wrapped, keyAt + keyLength + 1, valueEnd - keyAt - keyLength - 1);
}

host::Variant GetToken(std::string_view text, long index, const host::Variant& delimiter) {
    try {
        const std::vector<std::string> pieces = host::Split(text, delimiter.toString());
        if (index == 0) return reversedText(text);
        const long count = static_cast<long>(pieces.size());
        const long position = index > 0 ? index : count + 1 + index;
        if (position < 1 || position > count) return ".";
        return pieces[static_cast<std::size_t>(position - 1)];
    } catch (const host::RuntimeError&) {
        return ".";
    }
}

std::string DoubleQuoted(std::string_view text) { return "\"" + host::Replace(std::string(text), "\"", "\"\"") + "\""; }

std::string TextToArrayConstant(const std::string& text) {
    std::string list;
    const long length = host::Len(text);
    for (long start = 1; start <= length; start += kArrayPieceLength) {
        const std::string piece = host::Mid(text, start, kArrayPieceLength);
        list += ";" + DoubleQuoted(piece);
    }
    return "{" + host::Left(host::Mid(list, 2), kArrayListLimit) + "}";
}

host::Variant GetAppPath() { return host::os::moduleFolder(reinterpret_cast<const void*>(&GetAppPath)); }

std::string ReplaceFolderPlaceholder(std::string_view path) {
    return host::Replace(path, kFolderToken, SharedState().AddInFolder, 1, -1, host::CompareMethod::Text);
}

bool HoldsFolderPlaceholder(std::string_view text) {
    // Case mapping and case folding differ only outside ASCII: an ASCII text is searched as it is.
    if (host::isAscii(text)) return host::InStr(text, kFolderToken, host::CompareMethod::Text) > 0;
    return host::InStr(host::UCase(text), host::UCase(kFolderToken)) > 0;
}

bool ConvertXmlToXls(const std::string& xmlFile) {
    const std::string target = host::Replace(xmlFile, ".xml", "_xml.xls");
    if (target == xmlFile) return false;  // the save would replace the source file
    try {
        auto& app = ExcelApplication();
        app.displayAlerts = false;
        app.screenUpdating = false;
        app.setStatusBar("XML -> XLS ...");
        const auto& books = SharedState().ExcelWorkbooks;
        if (!books) throw host::RuntimeError(host::err::ObjectNotSet);
        const auto book = books->open(xmlFile);
        book->activeSheet()->cells(1, 1)->entireRow()->deleteRows();
        book->saveAs(target, kWorkbookNormalFormat);
        book->close(false);
        app.displayAlerts = true;
        app.screenUpdating = true;
        app.setStatusBar(false);
        return true;
    } catch (const host::RuntimeError&) {
        return false;  // the caller learns only that nothing was converted
    }
}

}  // namespace telm
