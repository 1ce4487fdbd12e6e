#pragma once
// Links into other workbooks as workbook files store them: a formula names the other workbook by its
// place in the workbook's list of external links ("[1]Sheet1!B2"), and each entry of that list is an
// externalLink part whose relationship gives the other workbook's file. The platform's formulas name
// the file itself ("'/folder/[Book.xlsx]Sheet1'!B2"); these routines turn one form into the other.

#include <string>
#include <string_view>
#include <vector>

#include "host/files/Package.h"

namespace host::files {

// One entry of a workbook's list of external links.
struct ExternalBook {
    std::string folder;  // "" when the link names no folder
    std::string name;    // "Book.xlsx"
    std::vector<std::string> sheets;  // the sheet names the link lists, for new links
};

// The workbook part's list of external links, in order (entry 1 first). A link's path relative to
// the workbook is taken from workbookPath's folder; "file:" addresses are turned into paths.
std::vector<ExternalBook> readExternalBooks(const Package& package, const pugi::xml_node& workbookNode,
                                            const std::vector<Relationship>& workbookRelationships,
                                            const std::string& workbookPath);

// The formula text as read from a file with each "[N]" naming entry N of books turned into the
// platform's external reference to that workbook file. Indexes not in the list stay as written.
std::string withBookPaths(std::string_view formula, const std::vector<ExternalBook>& books);

// The platform's formula text with each external reference to another workbook file turned into
// "[N]" of books; a workbook not in the list is added to it (with the sheets named).
std::string withBookIndexes(std::string_view formula, std::vector<ExternalBook>& books);

// The externalLink part of a link this platform adds: the other workbook's sheet names.
std::string externalLinkXml(const ExternalBook& book);
// The relationship target of a link's file: the path, relative to the workbook's folder when the
// other file lies in it.
std::string externalLinkTarget(const ExternalBook& book, const std::string& workbookPath);

}  // namespace host::files
