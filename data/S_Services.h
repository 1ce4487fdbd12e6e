#pragma once
// The two services that answer the requests of a recalculation cycle, and the translation worker
// behind GETTRANSLATION.
//
// Each service takes its requests in the order of the sorted request list, runs them group by group
// (a group is a run of requests with one connection text, or one language pair) and stores exactly
// one result per request with StoreServiceResult, in that order.
//
// Texts stored or returned besides the sources' values: "GTS!" (translation with the services off),
// "TELM.NET & Google..." (translation while collecting), "###" (the page showed the framing once
// only), "..." (a text whose numbered markers the page's answer lacks), ">>" & k (an ADO statement of
// a batch that answered several rows of several fields; k its position in its group), "." (a
// statement that answered several rows).

#include <string>
#include <vector>

#include "host/base/Variant.h"

namespace telm {

// The address of the translation page: the model parameter TranslationPage (an http address with the
// root path).
inline constexpr const char* kTranslationPageKey = "TranslationPage";

// Runs the ADO requests ("ADO(:)" connection "(::)" SQL) per connection. Statements that may share a
// query (each, read alone, exactly one complete SELECT or WITH statement, so that no text can reach
// into another) are joined into batches of at most ADOSERVICESQLLENGHT characters (a model parameter;
// 2000 when 0 or absent). A source that answers a text of several statements with a result for each
// (Connection::multipleResults) gets a batch as its statements joined by ";" in one round trip; any
// other as one query, each statement wrapped as a derived table whose rows carry its tag. Each request
// is answered from its own rows: one row gives its first value, several rows "." (">>" & k for several
// fields). A statement without rows in its batch, one that cannot share a query, and every statement of
// a batch that fails run alone, answering as with the services off. Equal requests run once.
void RunAdoService(const std::vector<std::string>& requests);

// The translation worker. Marks the calling cell volatile. With the services off: "GTS!"; an empty
// text: the empty text; while collecting: records "GTS(:)" & source & target & "(::)" & text and
// answers "TELM.NET & Google..."; with the services on: the collected result; in a service call: the
// text between the second "XXX. " and the following " .XXX" of the body text of the translation page
// loaded with the address fragment source "|" target "|XXX. " text " .XXX%0A". A failure after the
// empty-text test answers its description.
host::Variant TranslateText(const host::Variant& text, const std::string& source, const std::string& target);

// Runs the translation requests: per language pair, all texts in one page load, text k framed by the
// numbered marker "<k>" on both sides, and each answer cut back out between its markers. Each text is
// sent with "&", "<", "%" and runs of "x" escaped as character references and read back unescaped, so
// that no text can hold a marker or the framing. Ends with automatic calculation.
void RunTranslationService(const std::vector<std::string>& requests);

}  // namespace telm
