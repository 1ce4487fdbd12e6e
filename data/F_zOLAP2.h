#pragma once
// Query builders over data keyed by a short code written character by character (an account code),
// and the OLAP2 worker that runs the MDX one.
//
// A measure expression is a sequence of terms joined by "+" or "-" (a leading "+" is implied); a
// term is a measure name, "/" and a list of masks joined by ">" (add) or "<" (subtract), a leading
// ">" implied; only the first 255 characters after the "/" count. A partial sum is added when the
// mask's sign agrees with its term's sign and subtracted otherwise. A mask is a code pattern read
// character by character: "?" and "*" match any character at their position, "#" an empty position,
// any other character itself. Empty terms and masks give nothing. A term without "/", or an
// expression longer than 32766 characters, raises to the caller.

#include <string>

#include "host/base/Variant.h"

namespace telm {

// The value of `expression` in `cube` (its own brackets included) of an OLAP2 source: a cube with
// one dimension per code position, "[a01]", "[a02]", ...; measure k is "[Measures]." & measurePrefix
// & k & "]". `where` restricts the query (WHERE (where)); `filter` filters every member set.
// A server data source without "user id=" in `options` gets ";Prompt=1" appended to `options`.
// `mode` "mdx" answers the MDX text, "mdxRS:" & rest the text with rest after "ON 0" and no WHERE;
// neither counts nor looks at the archive. After a failure: 0 at error-reporting levels 0 and 1,
// at level 2 the failure text (message 1026 & " / " in front of a text containing "cannot find"),
// an empty value at other levels.
host::Variant GetDataOlap2(const std::string& dataSource, const std::string& catalogue, const std::string& cube,
                           const std::string& measurePrefix, const std::string& expression, std::string& options,
                           const std::string& where, const std::string& mode, const std::string& filter);

// "WITH MEMBER [Measures].[wynik] AS '0" & one signed SUM(set,measure) per mask & "' SELECT
// {[Measures].[wynik]} ON 0"; a mask that selects nothing sums over "{[a01].children}".
std::string BuildMdxFromExpression(const std::string& measurePrefix, std::string expression, const std::string& filter);

// The members a mask selects, one item per restricted position ("[a01].[5]", "[a02].&[]" for "#"),
// joined by "," or, with `cross`, as a cross join of one-member sets "{[a01].[5]}*{[a02].&[]}";
// wrapped in FILTER(..., filter) when `filter` is not empty. Empty when nothing is selected and
// there is no filter.
std::string BuildMemberSet(const std::string& mask, bool cross, const std::string& filter);

// "SELECT SUM(pole) FROM (" & the partial sums joined by " UNION " & ") AS MyAlias", each partial sum
// "SELECT n AS nrw, ±1*SUM(NAME) AS pole " & the template with "{konto}" replaced by the mask ("*" as
// "%", "?" as "_"). n numbers every mask position of the call. A mask ending in "#" is an exact code:
// the "#" goes, and that mask's template compares with "=" instead of LIKE and loses its "%"
// (and its "_" unless it holds "_ = ") for that mask only. NAME is upper-cased character by character
// ("ß" stays "ß"). `first` and `second` are not used.
std::string BuildSqlUnion(const std::string& first, const std::string& second, std::string expression,
                          const std::string& sqlTemplate);

}  // namespace telm
