#pragma once
// Text routines every part of the add-in calls: values out of parameter strings, pieces of delimited
// texts, long texts as worksheet array constants, the add-in library's folder and the folder token.
// None of them keeps state.
//
// A parameter string is a text of items separated by a delimiter (";" everywhere in the add-in); an
// item is a key, "=" directly after it and a value running to the next delimiter. Keys are matched
// without regard to letter case; values come back exactly as written.

#include <string>
#include <string_view>

#include "host/base/Variant.h"

namespace telm {

// The token that stands for the add-in folder in paths, connection texts and model values (matched
// in any letter case).
inline constexpr std::string_view kFolderToken = "[TELM.NET.Folder]";

// The text a parameter string gives for a key it does not hold.
inline constexpr std::string_view kParamNotFound = "#N/A";

// The value of `key` in `parameterText`, or "#N/A". Only the first place where the key's letters
// occur (in any case) is looked at: the key counts as found there when "=" follows directly and the
// character before it is the delimiter, the start of the text, or a control character of code 10 or
// below (a line feed or a tab, not a carriage return); otherwise the key is missing, even if a proper
// item for it follows. The value runs to the next delimiter, across line ends. An empty key raises
// error 5.
std::string GetParamValue(std::string_view key, std::string_view parameterText, std::string_view delimiter);

// One piece of `text` split at every `delimiter` (exact comparison), as a String: index 1 the first
// piece, -1 the last, -2 the one before it; index 0 gives the whole text reversed character by
// character. Gives "." instead of failing: for an index beyond the pieces, a text with no pieces, a
// delimiter that is no text.
host::Variant GetToken(std::string_view text, long index, const host::Variant& delimiter);

// `text` in double quotes, each double quote inside doubled: the form of a formula text literal, of
// a quoted SQL identifier and of a connection-text value that holds ";".
std::string DoubleQuoted(std::string_view text);

// A worksheet array constant holding the text in pieces of 255 characters (the longest text a
// formula may hold): {"piece1";"piece2";...}. Double quotes inside the text are doubled, as the
// formula syntax needs. The list between the braces is cut to 10 000 characters.
std::string TextToArrayConstant(const std::string& text);

// The folder of the add-in's library file (the executable that holds the add-in when it is linked
// in), as a String without a trailing separator.
host::Variant GetAppPath();

// The path with every folder token (in any letter case) replaced by the add-in folder.
std::string ReplaceFolderPlaceholder(std::string_view path);
// Whether the text's upper-case form holds the folder token in upper case.
bool HoldsFolderPlaceholder(std::string_view text);

// Opens the XML file as a workbook, deletes the first row of its active sheet and saves it beside
// the file under the name with every ".xml" (lower case) replaced by "_xml.xls"; True once saved and
// closed. Alerts and screen updating are off meanwhile, the status bar says "XML -> XLS ...". Any
// error gives False at once, reporting nothing: the settings stay as they were changed and the
// workbook stays open. A name without a lower-case ".xml" would be saved over the file itself; it
// gives False before anything is opened or changed.
bool ConvertXmlToXls(const std::string& xmlFile);

}  // namespace telm
