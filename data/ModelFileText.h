#pragma once
// How the text of a model file is taken apart into lines, and how a value that a plain field line
// cannot hold is written so that it reads back exactly.

#include <string>
#include <string_view>
#include <vector>

namespace telm {

// The lines of a model file. A file that ends its lines with CR LF (or CR) keeps a lone LF inside the
// line it stands in; a file without any CR (one edited where lines end at LF) ends its lines at LF.
std::vector<std::string> ModelFileLines(std::string_view text);

// The line end the file's text uses: "\n" for a text with LF and no CR, else "\r\n".
std::string ModelFileLineEnd(std::string_view text);

// Whether a field line "Key=value" would read back as something else: the value holds a line end, a
// tab (the loader removes tabs) or ":::" (the loader cuts comments there).
bool ModelValueNeedsEscapes(std::string_view value);

// The escaped form of a value, written after "Key*=": backslash, CR, LF, tab and colon become \\, \r,
// \n, \t and \c, so that the line holds no line end, no tab and no ":::".
std::string EscapeModelValue(std::string_view value);
// The value of an escaped form; an unknown escape stays as written.
std::string UnescapeModelValue(std::string_view text);

}  // namespace telm
