#pragma once
// Text files: read as UTF-8, or as Windows-1250 (the Polish code page of files written on the
// original platform) when the bytes are not valid UTF-8; written as UTF-8 without a byte order mark,
// except that text appended to a file of the Polish code page is written in that code page.
// Paths may use "\" or "/" between folders. isValidUtf8 comes with host/base/Utf8.h.

#include <string>
#include <string_view>
#include <vector>

#include "host/base/Utf8.h"

namespace host {

// The whole text of a file as UTF-8 (a UTF-8 byte order mark dropped). Errors: 53 "File not found",
// 75 "Path/File access error" for any other failure to read.
std::string readTextFile(const std::string& path);

// The lines of a text; a line ends at CR LF, a lone CR or a lone LF. A terminator at the very end
// adds no empty line; an empty text has no lines.
std::vector<std::string> splitLines(std::string_view text);

// Writes the text to the file as UTF-8, replacing the file or appending to it (in the file's own
// encoding, UTF-8 or the Polish code page, so that the whole file reads back). Errors: 76 "Path not
// found" when the folder does not exist, 70 "Permission denied" when the file may not be written,
// 75 "Path/File access error" otherwise.
void writeTextFile(const std::string& path, std::string_view text, bool append);

// Whether text appended to the file reads back as it is: always for a new file or one in UTF-8, for a
// file of the Polish code page only when that code page has every character of the text.
bool fitsFileEncoding(const std::string& path, std::string_view text);

}  // namespace host
