// GETDATALINK and the XLS types of GETDATA over closed workbook files on disk.

#include <gtest/gtest.h>

#include <fstream>

#include "core/A_Deklaracje.h"
#include "data/F_Dane.h"
#include "data/F_Lacze.h"
#include "data/P_Archiwum.h"
#include "host/sheet/Comment.h"
#include "support/ArchiveWorkbook.h"
#include "support/LinkBooks.h"

using host::Array;
using host::Variant;
using telm::SharedState;
using testsupport::LinkBooks;

namespace {

Variant block(std::initializer_list<std::initializer_list<Variant>> rows) {
    Array a = Array::matrix(static_cast<long>(rows.size()), static_cast<long>(rows.begin()->size()));
    long r = 1;
    for (const auto& row : rows) {
        long c = 1;
        for (const Variant& v : row) a(r, c++) = v;
        ++r;
    }
    return a;
}

// What an archive command does after its describe-mode re-entry of a formula.
void endDescribeRequest() {
    SharedState().DescribeModeRequested = false;
    SharedState().DescribeModeActive = false;
}

}  // namespace

TEST(GetDataLink, OneCellAndItsDescription) {
    LinkBooks t;
    const std::string link = t.planLink("B2");
    EXPECT_EQ(t.link(link), Variant(100.0));
    EXPECT_EQ(SharedState().CurrentConnectionText, Variant(link));
    EXPECT_EQ(SharedState().DataFunctionCallCount, 1);
    // Asked by an archive command, the cell answers its request with the address in R1C1 form.
    SharedState().DescribeModeRequested = true;
    EXPECT_EQ(t.link(link, "A2"), Variant("l(:)" + t.planLink("R2C2")));
    endDescribeRequest();
    // The ":" argument answers the link as written, without reading anything.
    EXPECT_EQ(t.formula("A3", "=GETDATALINK(" + testsupport::quote(link) + ",\":\")"), Variant("l(:)" + link));
    // A text, and an address written in other letter case and with dollar signs.
    EXPECT_EQ(t.link(t.planLink("a3"), "A4"), Variant("Południe"));
    EXPECT_EQ(t.link(t.planLink("$C$2"), "A5"), Variant(200.0));
}

TEST(GetDataLink, BlockAndAddressAlreadyInR1C1) {
    LinkBooks t;
    t.sheet->range("A1:B2")->setFormulaArray("=GETDATALINK(" + testsupport::quote(t.planLink("B2:C3")) + ")");
    EXPECT_EQ(t.sheet->range("A1:B2")->value(), block({{100.0, 200.0}, {300.0, "tekst"}}));
    // A block is read cell by cell even when a description is asked for.
    SharedState().DescribeModeRequested = true;
    t.sheet->range("A1:B2")->calculate();
    EXPECT_EQ(t.sheet->range("A1:B2")->value(), block({{100.0, 200.0}, {300.0, "tekst"}}));
    endDescribeRequest();
    EXPECT_EQ(t.link(t.planLink("R3C2"), "D1"), Variant(300.0));
    EXPECT_EQ(t.link(t.planLink("R2C3"), "D2"), Variant(200.0));
}

TEST(GetDataLink, FailuresByErrorReportingLevel) {
    LinkBooks t;
    const std::string errorCell = t.planLink("D2");  // #DIV/0!
    const std::string hashText = t.planLink("D3");   // "#uwaga"
    EXPECT_EQ(t.link(errorCell, "A1"), Variant(0.0));
    EXPECT_EQ(t.link(hashText, "A2"), Variant(0.0));
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(t.link(errorCell, "A3"), Variant("# / #Err: " + t.planLink("R2C4")));
    EXPECT_EQ(t.link(hashText, "A4"), Variant("#uwaga"));
    // A missing file, a missing sheet and a text that is no link: the failure text, nothing crashes.
    const std::string missingFile = "'" + t.sub + "\\[Brak.xlsx]Budget'!B2";
    const std::string missingSheet = "'" + t.sub + "\\[Plan.xlsx]Nie ma'!B2";
    EXPECT_EQ(t.link(missingFile, "A5"), Variant("# / #Err: '" + t.sub + "\\[Brak.xlsx]Budget'!R2C2"));
    EXPECT_EQ(t.link(missingSheet, "A6"), Variant("# / #Err: '" + t.sub + "\\[Plan.xlsx]Nie ma'!R2C2"));
    EXPECT_EQ(t.link("no link at all", "A7").toString().substr(0, 1), "#");
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(t.link(missingFile, "B5"), Variant(0.0));
    EXPECT_EQ(t.link(missingSheet, "B6"), Variant(0.0));
    EXPECT_EQ(t.link("", "B7"), Variant(0.0));
    EXPECT_EQ(t.link("x", "B8"), Variant(0.0));
    // Above level 2 the worker answers nothing, which the cell shows as 0.
    SharedState().ErrorReportingLevel = 3;
    std::string link = missingFile;
    EXPECT_TRUE(telm::GetDataLinkCore(link).isEmpty());
    // A block larger than any sheet of links needs is refused rather than read cell by cell.
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(t.link(t.planLink("A1:XFD1048576"), "C6"), Variant(0.0));
    // Called with no workbook open, the address cannot be measured: the link goes as written.
    t.sheet->parent()->close();
    std::string withoutSheet = t.planLink("B2");
    EXPECT_EQ(telm::GetDataLinkCore(withoutSheet).toDouble(), 0.0);
}

TEST(GetDataLink, FolderTokenAndNamesWrittenByOpenpyxl) {
    LinkBooks t;
    EXPECT_EQ(t.link("'[TELM.NET.Folder]\\sub\\[Plan.xlsx]Budget'!B3", "A1"), Variant(300.0));
    SharedState().DescribeModeRequested = true;
    EXPECT_EQ(t.link("'[telm.net.folder]/sub/[Plan.xlsx]Budget'!B3", "A2"),
              Variant("l(:)'" + t.folder.string() + "/sub/[Plan.xlsx]Budget'!R3C2"));
    endDescribeRequest();
    EXPECT_EQ(t.link("'" + t.sub + "/[Py.xlsx]Dane'!B1", "A3"), Variant("Kwota zł"));
    EXPECT_EQ(t.link("'" + t.sub + "\\[Py.xlsx]Mój arkusz'!B2", "A4"), Variant(7.0));
}

TEST(GetDataLink, ArchiveAnswersBeforeTheFile) {
    LinkBooks t;
    auto twin = t.sheet->parent()->addSheet(nullptr, t.sheet);
    twin->setName(t.sheet->name() + ".a");
    const std::string link = t.planLink("B2");
    std::string comment = "l(:)" + t.planLink("R2C2");
    telm::EncodeSourceComment(comment);
    twin->range("A1")->setValue(555.0);
    twin->range("A1")->addComment(comment + "\n\n2026.01.01 10:00:00");
    EXPECT_EQ(t.link(link, "A1"), Variant(555.0));
    EXPECT_EQ(SharedState().ArchiveHitCount, 1);
    // The same twin cell for another request: the archive says so.
    twin->range("A2")->setValue(555.0);
    twin->range("A2")->addComment(comment + "\n\n2026.01.01 10:00:00");
    EXPECT_EQ(t.link(t.planLink("B3"), "A2"), Variant("#Arch!"));
}

TEST(GetDataLink, ArchivedByTheArchiveCommand) {
    LinkBooks t;
    EXPECT_EQ(t.link(t.planLink("B2")), Variant(100.0));
    t.sheet->range("A1")->select();
    t.app->run("MoveToArchive");
    auto twin = t.sheet->parent()->findSheet(t.sheet->name() + ".a");
    ASSERT_TRUE(twin);
    std::string comment = twin->range("A1")->comment()->text();
    EXPECT_EQ(telm::DecodeSourceComment(comment), "l(:)" + t.planLink("R2C2"));
    // The source changes: the archived value stays; another link in the cell is a mismatch.
    testsupport::writePlanBook(t.plan, 42);
    t.app->calculate();
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(100.0));
    EXPECT_EQ(t.link(t.planLink("B2"), "D1"), Variant(42.0));
    EXPECT_EQ(t.link(t.planLink("C2")), Variant("#Arch!"));
}

TEST(GetDataLink, ClosedFileIsReadOnceWhileUnchangedAndAnewOnAnyChange) {
    LinkBooks t;
    EXPECT_EQ(t.link(t.planLink("B2")), Variant(100.0));
    // Unchanged: the kept copy answers, without reading the file again.
    const auto time = std::filesystem::last_write_time(t.plan);
    t.sheet->range("A1")->calculate();
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(100.0));
    // Another workbook of the same size in its place, given the old time again (touch -r): read anew.
    const auto size = std::filesystem::file_size(t.plan);
    const std::string side = t.folder.file("side.xlsx");
    double value = 101;
    for (testsupport::writePlanBook(side, value); std::filesystem::file_size(side) != size && value < 999;)
        testsupport::writePlanBook(side, ++value);
    ASSERT_EQ(std::filesystem::file_size(side), size);
    std::ofstream(t.plan, std::ios::binary | std::ios::trunc) << testsupport::readFile(side);
    std::filesystem::last_write_time(t.plan, time);
    t.sheet->range("A1")->calculate();
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(value));
    // Bytes that are no workbook, same size and time: read anew, and unreadable.
    std::ofstream(t.plan, std::ios::binary | std::ios::trunc) << std::string(size, 'x');
    std::filesystem::last_write_time(t.plan, time);
    t.sheet->range("A1")->calculate();
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(0.0));
    // A new workbook in its place: its value.
    testsupport::writePlanBook(t.plan, 42);
    t.sheet->range("A1")->calculate();
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(42.0));
}

TEST(GetDataLink, XlsTypesOfGetData) {
    LinkBooks t;
    std::ofstream(t.folder.file("DataModel.par")) << "PARAMETERS=ServerCalculation=0\n"
                                                     "[Measure Plan]\nType=XLS\nGetDataArguments={cell}\n"
                                                     "ConnectionText='[TELM.NET.Folder]\\sub\\[Plan.xlsx]Budget'!{cell}\n"
                                                     "[Measure Plan2]\nType=xls2\nGetDataArguments={cell}\n"
                                                     "ConnectionText='[TELM.NET.Folder]\\sub\\[Plan.xlsx]Budget'!{cell}\n";
    telm::LoadDataModel(false);
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Plan\",\"C2\")"), Variant(200.0));
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Plan2\",\"R3C2\")"), Variant(300.0));
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"Plan\",\"B2\",\":\")"),
              Variant("l(:)'" + t.folder.string() + "\\sub\\[Plan.xlsx]Budget'!R2C2"));
    EXPECT_FALSE(SharedState().DescribeModeActive);
}
