#pragma once
// Text routines of the runtime over UTF-8 text. Positions and lengths count Unicode characters (code
// points), never bytes; positions are 1-based as in the runtime. Case mapping and case-insensitive
// comparison go through ICU. Searching with CompareMethod::Text folds each character on its own
// (simple case folding), so positions stay those of the original text; "ß" does not match "ss" there.
// An argument out of range raises RuntimeError 5 "Invalid procedure call or argument".

#include <string>
#include <string_view>
#include <vector>

#include "host/base/Variant.h"

namespace host {

// StrComp: -1, 0 or 1. Text comparison ignores letter case (full Unicode case folding).
int StrComp(std::string_view a, std::string_view b, CompareMethod method = CompareMethod::Binary);

// Len: the number of characters.
long Len(std::string_view s);
// Left: the first n characters (all of them when n exceeds the length). Error 5 for n < 0.
std::string Left(std::string_view s, long n);
// Right: the last n characters. Error 5 for n < 0.
std::string Right(std::string_view s, long n);
// Mid: the characters from position start on; "" when start is past the end. Error 5 for start < 1.
std::string Mid(std::string_view s, long start);
// Mid: at most length characters from position start. Error 5 for start < 1 or length < 0.
std::string Mid(std::string_view s, long start, long length);

// InStr: position of the first occurrence of needle at or after position start; 0 when not found,
// when the haystack is empty or when start is past its end; start itself for an empty needle.
// Error 5 for start < 1.
long InStr(long start, std::string_view haystack, std::string_view needle,
           CompareMethod method = CompareMethod::Binary);
// InStr from position 1.
long InStr(std::string_view haystack, std::string_view needle, CompareMethod method = CompareMethod::Binary);
// InStrRev: position of the last occurrence of needle that ends at or before position start (-1: the
// end of the text); 0 when not found, when the haystack is empty or when start is past its end; start
// (the length for -1) for an empty needle. Error 5 for start 0 or below -1.
long InStrRev(std::string_view haystack, std::string_view needle, long start = -1,
              CompareMethod method = CompareMethod::Binary);

// Replace: the text from position start on (the part before start is dropped, as the runtime does)
// with at most count occurrences of find (-1: all) replaced, left to right without overlapping.
// Error 5 for start < 1 or count < -1.
std::string Replace(std::string_view s, std::string_view find, std::string_view replaceWith, long start = 1,
                    long count = -1, CompareMethod method = CompareMethod::Binary);

// Replaces every occurrence of find (not empty) in text as Replace does from position 1, leaving the
// text as it is, uncopied, when find does not occur. True when anything was replaced.
bool replaceAll(std::string& text, std::string_view find, std::string_view replaceWith,
                CompareMethod method = CompareMethod::Binary);

// Split: the parts between delimiters, at most limit of them (-1: all; the last part keeps the rest).
// An empty text or a limit of 0 gives no parts; an empty delimiter gives the whole text as one part.
// Error 5 for limit < -1.
std::vector<std::string> Split(std::string_view s, std::string_view delimiter = " ", long limit = -1,
                               CompareMethod method = CompareMethod::Binary);
// Join: the parts with the delimiter between them.
std::string Join(const std::vector<std::string>& parts, std::string_view delimiter = " ");

// UCase, LCase: full Unicode case mapping, language-neutral ("ß" becomes "SS").
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
// Upper case character by character, each to its single upper-case form ("ß" stays "ß").
std::string UCaseEachChar(std::string_view s);
// The text with full Unicode case folding: two texts fold to the same text exactly when StrComp's
// Text comparison finds them equal (for keys that compare without regard to letter case).
std::string CaseFolded(std::string_view s);

// Trim, LTrim, RTrim: remove blanks (U+0020 only) at both ends, at the start, at the end.
std::string Trim(std::string_view s);
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);

// Space: n blanks. Error 5 for n < 0.
std::string Space(long n);
// String: the first character of `character` repeated n times. Error 5 for n < 0 or an empty text.
std::string String(long n, std::string_view character);

// ChrW: the character of a code point; -32768..-1 stand for 32768..65535 as in the runtime. Error 5
// for a surrogate or a value outside -32768..0x10FFFF.
std::string ChrW(long code);
// Chr: the same as ChrW; text is Unicode throughout here.
std::string Chr(long code);
// AscW: the code point of the first character. Error 5 for an empty text.
long AscW(std::string_view s);

// Format of a whole number with a code of "0" digits ("00", "000"): at least as many digits as the
// code has zeros, padded with leading zeros, the minus sign before them (-5 with "00" is "-05"). An
// empty code gives the plain number. Error 5 for any other code.
std::string FormatWhole(long long value, std::string_view code);

}  // namespace host
