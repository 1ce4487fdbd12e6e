#pragma once
// What the reader keeps of a workbook package for the writer: the package's bytes, so that the parts
// the platform does not read are copied as they are, and of the parts it rewrites everything it does
// not model, kept as the file wrote it.

#include <memory>
#include <string>
#include <vector>

#include "host/files/ExternalLinks.h"
#include "host/files/Package.h"
#include "host/files/XmlChunks.h"
#include "host/formula/Reference.h"
#include "host/sheet/FileExtras.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// Kept on the workbook.
struct StoredWorkbook : sheet::FileExtras {
    std::shared_ptr<const std::string> package;  // the file as it was read
    std::string path;                              // for messages
    std::string workbookPart;
    XmlChunks workbookXml;  // the workbook part; its sheets and names are written anew
    std::vector<Relationship> rootRelationships;
    std::vector<Relationship> workbookRelationships;

    // Entries of the file's sheet list in their order: a worksheet of the workbook, or a sheet the
    // platform does not model (a chart sheet), kept as its element.
    struct SheetEntry {
        std::weak_ptr<const sheet::Worksheet> worksheet;
        std::string element;  // for other sheets only
    };
    std::vector<SheetEntry> sheets;
    // Names that belong to one sheet, as written; localSheetId indexes `sheets`.
    struct LocalName {
        std::string element;
        std::size_t sheet;
    };
    std::vector<LocalName> localNames;

    std::string sharedStringsPart;             // "" when the file had none
    std::vector<std::string> sharedStrings;    // their plain texts, by index
    std::string stylesPart;                    // "" when the file had none
    std::vector<std::string> cellFormats;      // format code by style index
    std::string customPropertiesPart;          // "" when the file had none
    std::string customPropertiesAsRead;        // the properties read, as the writer would write them
    std::vector<ExternalBook> externalBooks;   // the file's links into other workbooks, in order
};

// A table (list object) as the file held it: a save keeps its part while the sheet's table of that
// name keeps its area and headings, rewrites the part's name, area and columns when they change, and
// drops the part when the sheet has no such table any more.
struct TableAsRead {
    std::string name;
    formula::Area area;
    std::vector<std::string> columns;  // the header row's column names
    std::string link;                  // the sheet's relationship to the part
    std::string part;
};

// Kept on each worksheet read from the package.
struct StoredSheet : sheet::FileExtras {
    std::string part;
    int sheetId = 0;
    XmlChunks xml;  // the worksheet part; the cells, dimension and legacy drawing are written anew
    std::vector<Relationship> relationships;
    std::string commentsAsRead;  // the comments read, as the writer would write them
    // The query tables read, as they were, and the ids of the sheet's relationships that hold them.
    std::vector<sheet::QueryTable> queryTablesAsRead;
    std::vector<std::string> queryTableLinks;
    sheet::SheetFormats formatsAsRead;     // the row, column and sheet formats read
    std::vector<TableAsRead> tablesAsRead;  // the tables (list objects) read
};

}  // namespace host::files
