#include "host/ado/OfflineCubeQuery.h"

#include "host/ado/PivotRefresh.h"
#include "host/base/Text.h"
#include "host/base/TextFile.h"
#include "host/files/FileError.h"
#include "host/files/XlsxReader.h"
#include "host/files/XlsxStore.h"
#include "host/olap/CubeBuilder.h"
#include "host/olap/CubeDatabase.h"
#include "host/olap/CubeStatements.h"
#include "host/sheet/Worksheet.h"

namespace host::ado {

namespace {

// The value of the first "KEY=" line of the file's text.
std::string lineValue(const std::string& text, const std::string& key) {
    for (const std::string& line : splitLines(text))
        if (StrComp(Left(line, Len(key) + 1), key + "=", CompareMethod::Text) == 0) return Mid(line, Len(key) + 2);
    return {};
}

std::string bracketed(const std::string& name) { return "[" + name + "]"; }

// Opening a ".oqy" file through the workbook-file store builds its cube.
[[maybe_unused]] const bool registered = (files::addFileKindReader({isOfflineCubeQueryName, openOfflineCubeQuery}), true);

}  // namespace

bool isOfflineCubeQueryName(const std::string& path) { return StrComp(Right(path, 4), ".oqy", CompareMethod::Text) == 0; }

sheet::WorkbookPtr openOfflineCubeQuery(sheet::Application& application, const std::string& path) {
    const std::string text = readTextFile(path);
    const std::string connection = lineValue(text, "Connection");
    if (connection.empty()) files::failRead(path, "the query file holds no \"Connection=\" line");
    olap::buildCube(connection);

    const auto items = olap::parseProviderText(connection);
    const auto cube = olap::parseCreateCube(olap::providerItem(items, "CREATECUBE"));
    auto book = files::workbookForFile(application, path);
    auto sheet = book->addSheet(nullptr, nullptr, "Sheet1");
    auto table = std::make_shared<sheet::PivotTable>();
    table->connection = "OLEDB;Provider=MSOLAP;Data Source=" + olap::providerItem(items, "Location") + ";Initial Catalog=";
    table->commandText = cube.name;
    table->topRow = 3;
    if (!cube.dimensions.empty() && !cube.dimensions[0].levels.empty())
        table->fields.push_back({bracketed(cube.dimensions[0].name) + "." + bracketed(cube.dimensions[0].levels[0]),
                                 sheet::PivotFieldOrientation::Row});
    if (!cube.measures.empty())
        table->fields.push_back({"[Measures]." + bracketed(cube.measures[0].name), sheet::PivotFieldOrientation::Data});
    sheet->pivotTables().push_back(table);
    refreshPivotTable(*sheet, *table);
    book->setActiveSheet(sheet);
    files::finishReading(*book);
    return book;
}

}  // namespace host::ado
