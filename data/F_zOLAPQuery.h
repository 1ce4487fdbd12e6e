#pragma once
// The query step that the OLAP workers share: the provider's connection text, the request key, the
// question to the sibling buffering add-in "Plendor.xla", the run of one MDX statement (directly or
// through that add-in's buffer) and the answer the error-reporting level gives after a failure.

#include <string>

#include "host/base/Variant.h"

namespace telm {

// "Provider=" & CurrentOlapProvider & ";Data Source=" & dataSource & ";Initial Catalog=" & catalogue
// & ";" & extra.
std::string OlapConnectionText(const std::string& dataSource, const std::string& catalogue, const std::string& extra);

// The request's SourceDescription: "m(:)" & connection & "(:)" & mdx.
std::string OlapRequestKey(const std::string& connection, const std::string& mdx);

// WebServiceBuffering := the Boolean answer of the macro "Plendor.xla!czyBuforowanie"; False when the
// macro cannot be run (the sibling add-in is not open) or its answer is no Boolean.
void AskBufferingAddIn();

// "#" & ErrorDetail & " / " & ErrorText: the failure text when no step left a text of its own.
std::string PendingFailureText();

// True for a text beginning with "#", the mark of a failure text.
bool IsFailureText(const host::Variant& value);

// The single value of an MDX statement through the data primitive, or a failure text beginning
// with "#" (PendingFailureText when the primitive gives no value).
host::Variant RunOlapQuery(const std::string& connection, const std::string& mdx);

// RunOlapQuery, or the buffered route: after asking the sibling add-in (AskBufferingAddIn), the
// request goes to its buffer ("Plendor.xla!BUFOR" with the request key, "https://" written "http://"
// and "serwer" left out) when buffering is on, events are enabled and the data source is no local
// file (a drive path such as "c:\...", a path beginning with "/" or "\", a name ending ".cub"). The
// buffer's #N/A answer becomes "#Błąd logowania".
host::Variant RunOlapQueryOrBuffer(const std::string& dataSource, const std::string& connection,
                                   const std::string& mdx);


}  // namespace telm
