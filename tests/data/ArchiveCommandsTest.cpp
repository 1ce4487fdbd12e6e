// The archive commands run as a user runs them: by macro name through the companion add-in, on a
// workbook of GETDATA and GETDATAODBC cells over a SQLite database, answering the dialogs.

#include <gtest/gtest.h>

#include <filesystem>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "data/P_Archiwum.h"
#include "data/P_ArchiwumCommands.h"
#include "host/sheet/Comment.h"
#include "support/ArchiveWorkbook.h"

using host::Variant;
using host::sheet::SheetVisibility;
using namespace telm;
using testsupport::ArchiveWorkbook;
using testsupport::quote;


TEST(ArchiveCommandsTest, ArchivedCellsKeepTheirValuesUntilTheirRequestChanges) {
    ArchiveWorkbook t;
    EXPECT_EQ(t.shown("A1"), Variant(10.5));
    t.app->run("MoveToArchive");  // one cell selected: the whole sheet, without asking
    t.expectIdle();
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();

    // The twin sheet: hidden, right after its sheet, which stays active with its active cell.
    ASSERT_TRUE(t.twin());
    EXPECT_EQ(t.book->indexOf(*t.twin()), 2);
    EXPECT_EQ(t.twin()->visible(), SheetVisibility::Hidden);
    EXPECT_EQ(t.app->activeSheet(), t.sheet);
    EXPECT_EQ(t.app->activeCell()->address(), "$C$1");
    // Data cells only, with their requests; the constant and the plain formula stay out.
    EXPECT_EQ(t.twinValue("A1"), Variant(10.5));
    EXPECT_EQ(t.twinValue("A2"), Variant(7.0));
    EXPECT_EQ(t.twinValue("A3"), Variant(7.0));
    EXPECT_EQ(t.recorded("A1"), t.key("Anna"));
    EXPECT_EQ(t.recorded("A2"), t.key("Adam"));
    EXPECT_TRUE(t.twinValue("B1").isEmpty());
    EXPECT_TRUE(t.twinValue("B2").isEmpty());
    const auto comment = t.twin()->range("A1")->comment();
    EXPECT_NE(comment->text().find("\n\n"), std::string::npos);
    EXPECT_NE(comment->text().find(", \r" + t.app->userName + ", "), std::string::npos) << comment->text();
    EXPECT_EQ(comment->shape()->height, 150);
    EXPECT_EQ(comment->shape()->width, 500);
    // One log line per archived cell: where, the value before, the request.
    EXPECT_EQ(t.log(), "\\[" + t.book->name() + "]Sheet1!$A$1 : 10.5 : " + t.key("Anna") + "\r\n\\[" +
                           t.book->name() + "]Sheet1!$A$2 : 7 : " + t.key("Adam") + "\r\n\\[" + t.book->name() +
                           "]Sheet1!$A$3 : 7 : " + t.key("Adam") + "\r\n");

    // New source data: the archived cells keep their values, a new cell shows the new one.
    t.setAmount("Anna", 99);
    SharedState().ArchiveHitCount = 0;
    t.app->calculate();
    EXPECT_EQ(t.shown("A1"), Variant(10.5));
    EXPECT_EQ(t.shown("B2"), Variant(21.0));
    EXPECT_GE(SharedState().ArchiveHitCount, 3);
    t.sheet->range("D1")->setFormula("=GETDATA(\"Amount\",\"Anna\")");
    EXPECT_EQ(t.shown("D1"), Variant(99.0));

    // A changed argument: the archive no longer answers for the cell.
    t.sheet->range("A1")->setFormula("=GETDATA(\"Amount\",\"Adam\")");
    EXPECT_EQ(t.shown("A1"), Variant("#Arch!"));
    t.sheet->range("A2")->setFormula("=GETDATAODBC(" + quote(t.connection) + "," + quote(t.odbcQuery("Anna")) + ",FALSE)");
    EXPECT_EQ(t.shown("A2"), Variant("#Arch!"));
    t.app->run("SelectArchiveErrors");
    EXPECT_EQ(t.app->selection()->address(), "$A$1,$A$2");
}

TEST(ArchiveCommandsTest, PointsAndClearedCells) {
    ArchiveWorkbook t;
    t.app->run("MoveToArchive");
    t.setAmount("Adam", 3);

    // Points go to the GETDATA cells only (the function's name in either letter case).
    t.app->run("EraseArchive2");
    t.expectIdle();
    EXPECT_EQ(t.twinValue("A1"), Variant("."));
    EXPECT_EQ(t.twinValue("A3"), Variant("."));
    EXPECT_EQ(t.recorded("A1"), "");
    EXPECT_EQ(t.twinValue("A2"), Variant(7.0));
    t.app->calculate();
    EXPECT_EQ(t.shown("A1"), Variant("."));
    EXPECT_EQ(t.shown("A3"), Variant("."));
    EXPECT_EQ(t.shown("A2"), Variant(7.0));

    // Cleared: the GETDATA cells are live again.
    t.app->run("EraseArchive1");
    t.expectIdle();
    EXPECT_TRUE(t.twinValue("A1").isEmpty());
    t.app->calculate();
    EXPECT_EQ(t.shown("A1"), Variant(10.5));
    EXPECT_EQ(t.shown("A3"), Variant(3.0));
    EXPECT_EQ(t.shown("A2"), Variant(7.0));
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();

    // In Polish the cells are found by "DANE(".
    t.sheet->range("A4")->setFormula("=DANE(\"Amount\",\"Anna\")");
    t.app->run("MoveToArchive");
    SharedState().LanguageIndex = 0;
    t.app->run("EraseArchive2");
    EXPECT_EQ(t.twinValue("A4"), Variant("."));
    EXPECT_EQ(t.twinValue("A1"), Variant(10.5));
}

TEST(ArchiveCommandsTest, TheWorkRangeAsked) {
    ArchiveWorkbook t;
    // Two cells selected: "Only current selection?" Yes archives the selection alone.
    t.sheet->range("A1:A2")->select();
    t.dialogs.answerMessage(host::ui::vbYes);
    t.app->run("MoveToArchive");
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    const auto& asked = t.dialogs.record().front();
    EXPECT_EQ(asked.prompt, "Only current selection?\n(Clicking 'No' causes moving the whole sheet)");
    EXPECT_EQ(asked.title, "TELM.NET - Archivisation");
    EXPECT_EQ(asked.buttons, host::ui::vbYesNo);
    EXPECT_EQ(t.twinValue("A1"), Variant(10.5));
    EXPECT_TRUE(t.twinValue("A3").isEmpty());
    // No: the whole sheet.
    t.dialogs.answerMessage(host::ui::vbNo);
    t.app->run("RefreshArchive");
    EXPECT_EQ(t.twinValue("A3"), Variant(7.0));
    // 100,000 cells or more: the used range without asking; 99,999 still asks.
    t.dialogs.reset();
    t.sheet->range("A1:A100000")->select();
    EXPECT_EQ(GetWorkRange()->address(), "$A$1:$B$3");
    EXPECT_TRUE(t.dialogs.record().empty());
    t.sheet->range("A1:A99999")->select();
    t.dialogs.answerMessage(host::ui::vbYes);
    EXPECT_EQ(GetWorkRange()->address(), "$A$1:$A$3");
    EXPECT_EQ(t.dialogs.record().size(), 1u);
    // A selection beside the used range: nothing to archive.
    t.sheet->range("X1:X2")->select();
    EXPECT_EQ(GetWorkRange(), nullptr);
    t.dialogs.answerMessage(host::ui::vbYes);
    t.app->run("MoveToArchive");
    t.expectIdle();
}

TEST(ArchiveCommandsTest, TheStateComesBackAfterAFailure) {
    ArchiveWorkbook t;
    t.app->setCalculation(host::sheet::CalculationMode::Automatic);
    t.sheet->range("A1:A2")->select();
    t.app->setStatusBar("Working elsewhere");
    t.app->screenUpdating = false;
    t.dialogs.answerInput("not a button");  // the question of the work range meets a wrong answer
    EXPECT_THROW(ArchiveRange(), host::ui::ScriptMismatch);
    EXPECT_EQ(t.app->statusBar(), Variant("Working elsewhere"));
    EXPECT_FALSE(t.app->screenUpdating);
    t.app->setStatusBar(false);
    t.app->screenUpdating = true;
    t.expectIdle();
    t.dialogs.reset();
    t.sheet->range("C1")->select();
    // An archive sheet is never archived, and a twin name over 31 characters archives nothing and
    // says so.
    ASSERT_FALSE(t.twin());
    auto twin = t.book->addSheet(nullptr, t.sheet, "Sheet1.a");
    twin->range("A1")->setFormula("=GETDATA(\"Amount\",\"Anna\")");
    twin->activate();
    t.app->run("MoveToArchive");
    EXPECT_FALSE(t.book->findSheet("Sheet1.a.a"));
    EXPECT_FALSE(twin->range("A1")->comment());
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
    for (int length : {30, 31}) {
        t.dialogs.reset();
        t.sheet->setName(std::string(static_cast<std::size_t>(length), 'x'));
        t.sheet->activate();
        t.app->run("MoveToArchive");
        t.dialogs.answerMessage(host::ui::vbOK);
        t.app->run("ShowHideArchive");
        EXPECT_EQ(t.book->sheetCount(), 2);
        ASSERT_EQ(t.dialogs.record().size(), 3u) << t.messages();
        EXPECT_EQ(t.dialogs.record()[0].prompt, GetMessageText(1061) + t.sheet->name());
        EXPECT_EQ(t.dialogs.record()[2].prompt, GetMessageText(1061) + t.sheet->name());
        EXPECT_TRUE(t.app->takeCommandFailure());
    }
    // 29 characters leave room for ".a".
    t.sheet->setName(std::string(29, 'x'));
    t.app->run("MoveToArchive");
    ASSERT_TRUE(t.book->findSheet(std::string(29, 'x') + ".a"));
    EXPECT_EQ(t.book->findSheet(std::string(29, 'x') + ".a")->range("A1")->value(), Variant(10.5));
    t.expectIdle();
}

TEST(ArchiveCommandsTest, ShowHideAndDelete) {
    ArchiveWorkbook t;
    // Without a twin sheet: "No archive for active sheet. Create one?" Cancel changes nothing.
    t.dialogs.answerMessage(host::ui::vbCancel);
    t.app->run("ShowHideArchive");
    EXPECT_FALSE(t.twin());
    EXPECT_EQ(t.dialogs.record().back().prompt, "No archive for active sheet.\n\nCreate one?");
    EXPECT_EQ(t.dialogs.record().back().buttons, host::ui::vbOKCancel + host::ui::vbQuestion);
    t.dialogs.answerMessage(host::ui::vbOK);
    t.app->run("ShowHideArchive");
    ASSERT_TRUE(t.twin());
    EXPECT_EQ(t.twin()->visible(), SheetVisibility::Hidden);
    EXPECT_TRUE(t.app->screenUpdating);
    // Shown and selected, hidden again from itself.
    t.app->run("ShowHideArchive");
    EXPECT_EQ(t.twin()->visible(), SheetVisibility::Visible);
    EXPECT_EQ(t.app->activeSheet(), t.twin());
    t.app->run("ShowHideArchive");
    EXPECT_EQ(t.twin()->visible(), SheetVisibility::Hidden);
    EXPECT_EQ(t.app->activeSheet(), t.sheet);
    // Hidden from its sheet.
    t.app->run("ShowHideArchive");
    t.sheet->activate();
    t.app->run("ShowHideArchive");
    EXPECT_EQ(t.twin()->visible(), SheetVisibility::Hidden);

    // Deleted from its sheet; then the sheet has none: "Archive error".
    t.dialogs.reset();
    t.app->run("RemoveArchive");
    EXPECT_FALSE(t.twin());
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
    t.app->run("RemoveArchive");
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, "Archive error");
    EXPECT_EQ(t.dialogs.record()[0].title, "TELM.NET - Archivisation");
    EXPECT_EQ(t.dialogs.record()[0].buttons, host::ui::vbExclamation);
    EXPECT_TRUE(t.app->displayAlerts);
    // Erasing without a twin sheet: the same message under the system's name.
    t.app->run("EraseArchive1");
    EXPECT_EQ(t.dialogs.record().back().prompt, "Archive error");
    EXPECT_EQ(t.dialogs.record().back().title, "TELM.NET");
    t.expectIdle();
    // Deleted from itself.
    t.app->run("MoveToArchive");
    t.app->run("ShowHideArchive");
    ASSERT_EQ(t.app->activeSheet(), t.twin());
    t.app->run("RemoveArchive");
    EXPECT_FALSE(t.twin());

    // Without a workbook: "No workbook open."
    t.book->close();
    t.dialogs.reset();
    t.app->run("ShowHideArchive");
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, "No workbook open.");
    EXPECT_TRUE(t.app->screenUpdating);
}

TEST(ArchiveCommandsTest, WithoutLogFolderOnlyTheLogIsLost) {
    ArchiveWorkbook t;
    std::filesystem::remove_all(t.folder.file("Log"));
    t.app->run("MoveToArchive");
    EXPECT_EQ(t.twinValue("A1"), Variant(10.5));
    EXPECT_EQ(t.recorded("A1"), t.key("Anna"));
    EXPECT_FALSE(std::filesystem::exists(t.folder.file("Log")));
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
}

TEST(ArchiveCommandsTest, CommentsOfAnEmptyQueryAreNotResized) {
    ArchiveWorkbook t;
    t.app->run("MoveToArchive");
    auto cell = t.twin()->range("D1");
    std::string request = "s(:)DSN=x;(:)";
    cell->addComment(EncodeSourceComment(request) + "\n\n" + ArchiveSignature());
    cell->comment()->shape()->height = 50;
    FormatArchiveComments("Sheet1.a");
    EXPECT_EQ(cell->comment()->shape()->height, 50);
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, "Procedura już była uruchamiana w tym arkuszu.");
    EXPECT_EQ(t.dialogs.record()[0].title, "TELM.NET - TELM2XML");
    EXPECT_EQ(t.dialogs.record()[0].buttons, host::ui::vbCritical);
}

TEST(ArchiveCommandsTest, SelectingCellsByTheirText) {
    ArchiveWorkbook t;
    t.sheet->range("E5")->setFormula("'pre #ARCH! post");
    t.sheet->range("E6")->setFormula("=NA()");
    t.sheet->range("C3")->select();
    t.app->run("SelectArchiveErrors");
    EXPECT_EQ(t.app->selection()->address(), "$E$5");
    // No match: the selection stays.
    t.sheet->range("E5")->clearContents();
    t.sheet->range("C3")->select();
    t.app->run("SelectArchiveErrors");
    EXPECT_EQ(t.app->selection()->address(), "$C$3");
}

TEST(ArchiveCommandsTest, SheetsOfUnusualShape) {
    ArchiveWorkbook t;
    // A cell in the sheet's last corner: the used range is the whole sheet, visited where cells are.
    t.sheet->range("XFD1048576")->setFormula("=GETDATA(\"Amount\",\"Adam\")");
    t.app->run("MoveToArchive");
    EXPECT_EQ(t.twinValue("XFD1048576"), Variant(7.0));
    t.sheet->range("XFD1048576")->setFormula("=GETDATA(\"Amount\",\"Anna\")");
    t.app->run("SelectArchiveErrors");
    EXPECT_EQ(t.app->selection()->address(), "$XFD$1048576");
    t.app->run("EraseArchive2");
    EXPECT_EQ(t.twinValue("XFD1048576"), Variant("."));

    // An array formula cannot be entered again cell by cell: it stays live, its twin cells untouched.
    t.sheet->range("D1:E1")->setFormulaArray("=GETDATAODBC(" + quote(t.connection) +
                                             ",\"SELECT Amount, Region FROM Sales WHERE Region = 'Anna'\",FALSE)");
    t.app->run("MoveToArchive");
    EXPECT_TRUE(t.twinValue("D1").isEmpty());
    EXPECT_FALSE(t.twin()->range("D1")->comment());
    EXPECT_EQ(t.shown("E1"), Variant("Anna"));

    // A sheet whose name holds ".a" elsewhere: its twin sheet leads back to it.
    auto actual = t.book->addSheet(nullptr, nullptr, "Q1.actual");
    actual->range("A1")->setFormula("=GETDATA(\"Amount\",\"Anna\")");
    actual->activate();
    t.app->run("MoveToArchive");
    t.app->run("ShowHideArchive");
    ASSERT_EQ(t.app->activeSheet()->name(), "Q1.actual.a");
    t.app->run("ShowHideArchive");
    EXPECT_EQ(t.app->activeSheet(), actual);
    EXPECT_EQ(t.book->sheet("Q1.actual.a")->visible(), SheetVisibility::Hidden);
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
}

TEST(ArchiveCommandsTest, TheUsersOwnSheetNamedLikeATwinIsNeverWrittenNorDeleted) {
    ArchiveWorkbook t;
    auto own = t.book->addSheet(nullptr, t.sheet, "Sheet1.a");
    own->range("A1")->setValue("my plan");
    own->range("A2")->setValue(42.0);
    own->range("A2")->addComment("checked by Ewa\nsee the mail");
    auto notes = t.book->addSheet(nullptr, nullptr, "Notes.a");
    notes->range("B2")->setValue("keep me");
    auto unchanged = [&] {
        EXPECT_EQ(own->range("A1")->value(), Variant("my plan"));
        EXPECT_EQ(own->range("A2")->value(), Variant(42.0));
        ASSERT_TRUE(own->range("A2")->comment());
        EXPECT_EQ(own->range("A2")->comment()->text(), "checked by Ewa\nsee the mail");
        EXPECT_EQ(own->visible(), SheetVisibility::Visible);
        EXPECT_EQ(notes->range("B2")->value(), Variant("keep me"));
        EXPECT_EQ(t.book->sheetCount(), 3);
    };
    const std::string refusal = GetMessageText(1060) + "Sheet1.a";
    for (const char* command : {"MoveToArchive", "EraseArchive1", "EraseArchive2", "ShowHideArchive", "RemoveArchive"}) {
        t.dialogs.reset();
        t.sheet->activate();
        t.sheet->range("C1")->select();
        t.app->run(command);
        unchanged();
        ASSERT_EQ(t.dialogs.record().size(), 1u) << command << "\n" << t.messages();
        EXPECT_EQ(t.dialogs.record()[0].prompt, refusal) << command;
        EXPECT_TRUE(t.app->takeCommandFailure()) << command;
    }
    // Active itself.
    for (const char* command : {"ShowHideArchive", "RemoveArchive"}) {
        t.dialogs.reset();
        notes->activate();
        t.app->run(command);
        unchanged();
        ASSERT_EQ(t.dialogs.record().size(), 1u) << command << "\n" << t.messages();
        EXPECT_EQ(t.dialogs.record()[0].prompt, GetMessageText(1060) + "Notes.a");
    }
    // Refreshing the archives of the saved workbook leaves the user's sheet alone too.
    const std::string file = t.folder.file("own.xlsx");
    t.book->saveAs(file);
    t.book->close();
    RefreshWorkbookArchives(file);
    auto reader = host::sheet::Application::create();
    host::files::attachWorkbookStore(*reader);
    auto saved = reader->workbooks().open(file)->sheet("Sheet1.a");
    EXPECT_EQ(saved->range("A2")->value(), Variant(42.0));
    ASSERT_TRUE(saved->range("A2")->comment());
    EXPECT_EQ(saved->range("A2")->comment()->text(), "checked by Ewa\nsee the mail");
}

TEST(ArchiveCommandsTest, ACallInsideAnExpressionStaysLiveAndItsFormulaUnchanged) {
    ArchiveWorkbook t;
    const std::string odbc = "GETDATAODBC(" + quote(t.connection) + "," + quote(ArchiveWorkbook::odbcQuery("Adam")) +
                             ",FALSE)";
    const std::vector<std::pair<std::string, Variant>> expressions = {
        {"=GETDATA(\"Amount\",\"Anna\")*1.5%", Variant(0.1575)},
        {"=-GETDATA(\"Amount\",\"Adam\")^2", Variant(49.0)},
        {"=SUM(GETDATA(\"Amount\",\"Adam\"),{1,2})", Variant(10.0)},
        {"=" + odbc + "&\" zł\"", Variant("7 zł")},
        {"=GETDATA(\"Amount\",\"Anna\")*1E-3", Variant(0.0105)}};
    int row = 5;
    for (const auto& [formula, value] : expressions) t.sheet->cells(row++, 1)->setFormula(formula);
    t.sheet->range("A10")->setFormula("= GETDATA( \"Amount\" , \"Anna\" )");
    std::vector<Variant> formulas;
    for (int r = 5; r <= 10; ++r) formulas.push_back(t.sheet->cells(r, 1)->formula());

    t.app->run("MoveToArchive");
    t.setAmount("Adam", 8);
    t.app->calculate();
    row = 5;
    for (const auto& [formula, value] : expressions) {
        EXPECT_TRUE(t.twin()->cells(row, 1)->value().isEmpty()) << formula;
        EXPECT_FALSE(t.twin()->cells(row, 1)->comment()) << formula;
        ++row;
    }
    EXPECT_EQ(t.sheet->range("A5")->value(), Variant(0.1575));
    EXPECT_EQ(t.sheet->range("A6")->value(), Variant(64.0));  // live: the new amount
    EXPECT_EQ(t.sheet->range("A7")->value(), Variant(11.0));
    EXPECT_EQ(t.sheet->range("A8")->value(), Variant("8 zł"));
    // The whole call, spaces and all, is archived and answers its frozen value.
    EXPECT_EQ(t.twinValue("A10"), Variant(10.5));
    EXPECT_EQ(t.recorded("A10"), t.key("Anna"));
    EXPECT_EQ(t.shown("A10"), Variant(10.5));
    EXPECT_EQ(t.shown("A2"), Variant(7.0));  // archived before the change
    for (int r = 5; r <= 10; ++r) EXPECT_EQ(t.sheet->cells(r, 1)->formula(), formulas[static_cast<std::size_t>(r - 5)]);
}

TEST(ArchiveCommandsTest, ARequestHoldingLineBreaksComparesEqualToTheLiveOne) {
    ArchiveWorkbook t;
    const std::vector<std::string> queries = {"SELECT Amount\nFROM Sales\nWHERE Region = 'Adam'",
                                              "SELECT Amount FROM Sales WHERE Region = 'Anna';\n"};
    for (std::size_t i = 0; i < queries.size(); ++i)
        t.sheet->cells(4, static_cast<int>(i) + 4)
            ->setFormula("=GETDATAODBC(" + quote(t.connection) + "," + quote(queries[i]) + ",FALSE)");
    t.app->run("MoveToArchive");
    t.setAmount("Adam", 8);
    t.setAmount("Anna", 9);
    t.app->calculate();
    EXPECT_EQ(t.shown("D4"), Variant(7.0));
    EXPECT_EQ(t.shown("E4"), Variant(10.5));
    EXPECT_EQ(t.recorded("D4"), "s(:)" + t.connection + "(:)" + queries[0]);
    EXPECT_EQ(t.recorded("E4"), "s(:)" + t.connection + "(:)" + queries[1]);
}
