#pragma once
// The OLAP query functions: the worker of GETDATAOLAP, the GETDATA source type OLAP with a complete
// provider connection text, and the MDX value lists of the GETDATA wizard.
//
// Failures: until the connection text is built they give "#Błąd!"; after it, a failure text (the
// query's own, or "#" & ErrorDetail & " / " & ErrorText) gives 0 at error-reporting levels 0 and 1,
// the text at level 2 ("#Brak danych dla zadanych argumentów. Zapytanie jest prawidłowe." in place
// of any text containing "cannot find") and an empty value at other levels. While PromptCancelled
// holds they answer "Przerwane.".

#include <string>

#include "host/base/Variant.h"

namespace telm {

// The single value of `measure` summed over the cross join of `members` ("[Czas].[2012],[Produkt].&[17]",
// "[Dim].[*]" for a whole dimension) in `cube`, through the OLAP provider on `dataSource` and
// `catalogue` with `extra` connection items. A server data source with "USER ID=" in `extra` uses
// the first such text the add-in met for that data source (LastOlapConnections), "&" standing for ";". `seventh` ":" (or
// describe mode) answers the request key; otherwise the archive may answer.
host::Variant GetDataOlapCore(const std::string& dataSource, const std::string& catalogue, const std::string& cube,
                              const std::string& measure, std::string members, std::string extra,
                              const std::string& seventh);

// The single value of the model's MDX text `mdx` on a complete provider connection text; the text
// itself while the sibling workbooks' query-text flag (InfoSheetValue) is True.
host::Variant GetDataQueryText(const std::string& connection, const std::string& mdx);

// The whole result of `mdx` as a [row, column] array (Null items as "."), for the wizard's value
// lists; the sum of its numbers when called from a single cell's formula; `mdx` itself while the
// query-text flag of the sibling workbooks "telm2rdl.xls" and "telm2xml.xla" (cell A1 of their sheet
// "info") is True. "#Błąd!" for any failure.
host::Variant OlapListForWizard(const std::string& dataSource, const std::string& catalogue, const std::string& mdx);

}  // namespace telm
