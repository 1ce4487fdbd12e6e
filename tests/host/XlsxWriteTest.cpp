#include "host/XlsxTestSupport.h"

#include "host/base/DateSerial.h"
#include "host/sheet/Comment.h"

using namespace host;
using namespace host::sheet;
using xlsxtest::XlsxTest;

namespace {

const char* kOpenpyxlReader = R"PY(
import sys, json, openpyxl
path = sys.argv[1]
formulas = openpyxl.load_workbook(path)
values = openpyxl.load_workbook(path, data_only=True)
out = {"sheets": [], "names": {}}
for ws in formulas.worksheets:
    cells = {}
    for row in ws.iter_rows():
        for c in row:
            if c.value is None and c.comment is None:
                continue
            item = {"v": str(values[ws.title][c.coordinate].value), "t": c.data_type}
            if c.data_type == "f":
                item["f"] = c.value
            if c.number_format != "General":
                item["fmt"] = c.number_format
            if c.comment is not None:
                item["comment"] = [c.comment.text, c.comment.author]
            cells[c.coordinate] = item
    out["sheets"].append({"name": ws.title, "state": ws.sheet_state, "cells": cells,
                          "arrays": {k: v.get("ref") for k, v in ws.formula_attributes.items()}})
for d in formulas.defined_names.definedName:
    out["names"][d.name] = [d.attr_text, bool(d.hidden)]
print(json.dumps(out, sort_keys=True, ensure_ascii=False))
)PY";

// A workbook with one of everything a file holds.
WorkbookPtr sampleWorkbook(Application& app) {
    auto book = app.workbooks().add();
    auto data = book->sheet(1);
    data->setName("Dane");
    data->cellAt(1, 1).value = 12.5;
    data->cellAt(2, 1).value = 7;
    data->cellAt(3, 1).value = "Zażółć gęślą jaźń";
    data->cellAt(4, 1).value = true;
    data->cellAt(5, 1).value = CellError::NA;
    data->cellAt(6, 1).value = Date{dateSerial(2024, 2, 29)};
    data->cellAt(7, 1).value = 0.25;
    data->cellAt(7, 1).numberFormat = "0.00%";
    data->range("B1")->setFormula("=SUM(A1:A2)");
    data->range("B2")->setFormula("=A3&\"!\"");
    data->range("B3")->setFormula("=A1>10");
    data->range("B4")->setFormula("=1/0");
    data->range("C1:C2")->setFormulaArray("=A1:A2*2");
    data->range("A3")->addComment("Uwaga: ąę");
    auto hidden = book->addSheet(nullptr, data, "Ukryty");
    hidden->cellAt(1, 1).value = "ukryty\r\nwiersz";
    hidden->setVisible(SheetVisibility::Hidden);
    auto very = book->addSheet(nullptr, hidden, "Bardzo ukryty");
    very->cellAt(2, 2).value = -1.5e-7;
    very->setVisible(SheetVisibility::VeryHidden);
    book->names().add("Suma", "=Dane!$A$1:$A$2");
    book->names().add("Ukryta", "='Bardzo ukryty'!$B$2")->visible = false;
    auto& properties = book->customDocumentProperties();
    properties.add("Autor", PropertyType::String, "Zoë");
    properties.add("Wersja", PropertyType::Number, 7);
    properties.add("Kurs", PropertyType::Float, 4.25);
    properties.add("Gotowe", PropertyType::Boolean, true);
    properties.add("Dnia", PropertyType::Date, Date{dateSerial(2024, 1, 2, 3, 4, 5)});
    app.calculate();
    data->activate();
    return book;
}

}  // namespace

TEST_F(XlsxTest, OpenpyxlReadsWhatWeWrite) {
    app->userName = "Łukasz";
    auto book = sampleWorkbook(*app);
    const std::string path = file("ours.xlsx");
    book->saveAs(path);
    const std::string json = xlsxtest::runPython(folder.string(), kOpenpyxlReader, path);
    const std::string expected =
        R"J({"names": {"Suma": ["Dane!$A$1:$A$2", false], "Ukryta": ["'Bardzo ukryty'!$B$2", true]}, "sheets": [)J"
        R"J({"arrays": {"C1": "C1:C2"}, "cells": {)J"
        R"J("A1": {"t": "n", "v": "12.5"}, "A2": {"t": "n", "v": "7"}, )J"
        R"J("A3": {"comment": ["Uwaga: ąę", "Łukasz"], "t": "s", "v": "Zażółć gęślą jaźń"}, )J"
        R"J("A4": {"t": "b", "v": "True"}, "A5": {"t": "e", "v": "#N/A"}, )J"
        R"J("A6": {"fmt": "mm-dd-yy", "t": "d", "v": "2024-02-29 00:00:00"}, "A7": {"fmt": "0.00%", "t": "n", "v": "0.25"}, )J"
        R"J("B1": {"f": "=SUM(A1:A2)", "t": "f", "v": "19.5"}, "B2": {"f": "=A3&\"!\"", "t": "f", "v": "Zażółć gęślą jaźń!"}, )J"
        R"J("B3": {"f": "=A1>10", "t": "f", "v": "True"}, "B4": {"f": "=1/0", "t": "f", "v": "#DIV/0!"}, )J"
        R"J("C1": {"f": "=A1:A2*2", "t": "f", "v": "25"}, "C2": {"t": "n", "v": "14"}}, "name": "Dane", "state": "visible"}, )J"
        R"J({"arrays": {}, "cells": {"A1": {"t": "s", "v": "ukryty\r\nwiersz"}}, "name": "Ukryty", "state": "hidden"}, )J"
        R"J({"arrays": {}, "cells": {"B2": {"t": "n", "v": "-1.5e-07"}}, "name": "Bardzo ukryty", "state": "veryHidden"}]})J"
        "\n";
    EXPECT_EQ(json, expected);
}

TEST_F(XlsxTest, WhatWeWriteReadsBackTheSame) {
    auto book = sampleWorkbook(*app);
    const std::string path = file("round.xlsm");
    book->saveAs(path, 52);
    EXPECT_EQ(book->fileFormat, 52);
    EXPECT_EQ(book->name(), "round.xlsm");
    book->close();

    auto again = app->workbooks().open(path);
    auto original = sampleWorkbook(*app);
    ASSERT_EQ(again->sheetCount(), original->sheetCount());
    for (int i = 1; i <= original->sheetCount(); ++i) {
        auto a = original->sheet(i);
        auto b = again->sheet(i);
        EXPECT_EQ(a->name(), b->name());
        EXPECT_EQ(a->visible(), b->visible());
        for (const auto& [key, cell] : a->allCells()) {
            const auto* read = b->findCell(keyRow(key), keyColumn(key));
            const std::string where = a->name() + " " + std::to_string(keyRow(key)) + "," + std::to_string(keyColumn(key));
            ASSERT_TRUE(read) << where;
            EXPECT_EQ(read->value.type() == VarType::Long ? Variant(read->value.toDouble()) : read->value,
                      cell.value.type() == VarType::Long ? Variant(cell.value.toDouble()) : cell.value)
                << where;
            EXPECT_EQ(read->array, cell.array) << where;
            EXPECT_EQ(bool(read->formula), bool(cell.formula)) << where;
            if (cell.formula) {
                EXPECT_EQ(read->formula->toText(formula::ReferenceStyle::A1, keyRow(key), keyColumn(key)),
                          cell.formula->toText(formula::ReferenceStyle::A1, keyRow(key), keyColumn(key)));
            }
            EXPECT_EQ(bool(read->comment), bool(cell.comment)) << where;
            if (cell.comment) {
                EXPECT_EQ(read->comment->text(), cell.comment->text());
            }
        }
    }
    EXPECT_EQ(again->sheet(1)->findCell(6, 1)->numberFormat, "mm-dd-yy");
    EXPECT_EQ(again->sheet(1)->findCell(7, 1)->numberFormat, "0.00%");
    EXPECT_EQ(again->names().item("Ukryta")->refersTo(), "='Bardzo ukryty'!$B$2");
    EXPECT_FALSE(again->names().item("Ukryta")->visible);
    ASSERT_EQ(again->customDocumentProperties().count(), 5);
    for (const auto& p : original->customDocumentProperties().all()) {
        EXPECT_EQ(again->customDocumentProperties().item(p->name())->type(), p->type());
        EXPECT_EQ(again->customDocumentProperties().item(p->name())->value(), p->value());
    }
}

TEST_F(XlsxTest, SavingReplacesTheFileOnlyWhenComplete) {
    auto book = app->workbooks().add();
    book->sheet(1)->cellAt(1, 1).value = "first";
    const std::string path = file("safe.xlsx");
    book->saveAs(folder.string() + "\\safe.xlsx");
    EXPECT_EQ(book->fullName(), path);
    const std::string firstContent = xlsxtest::readAll(path);

    book->sheet(1)->cellAt(1, 1).value = "second";
    book->save();
    EXPECT_NE(xlsxtest::readAll(path), firstContent);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);  // no temporary file left behind

    // A folder in place of the file: the save fails, naming the file, and leaves nothing behind.
    std::filesystem::create_directory(folder / "taken.xlsx");
    try {
        book->saveAs(file("taken.xlsx"));
        ADD_FAILURE() << "saving over a folder succeeded";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::InvalidArgument);
        EXPECT_NE(e.description().find("taken.xlsx"), std::string::npos) << e.description();
    }
    files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
    EXPECT_EQ(book->name(), "safe.xlsx");
}
