// The file register, the link register, the repair of links to the companion add-in and the
// unpivoted region.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "CommandHost.h"
#include "host/XlsxTestSupport.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Application.h"
#include "host/sheet/ListObjects.h"
#include "host/ui/Dialogs.h"
#include "support/AddInHost.h"
#include "support/TempFolder.h"

using host::Variant;
namespace fs = std::filesystem;

namespace {

struct RegisterCommands : ::testing::Test {
    testsupport::CommandHost host;
    testsupport::TempFolder files{"telm-register"};

    void write(const std::string& relative, const std::string& content) {
        const fs::path p = files.path() / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << content;
    }
    // Saves a new workbook whose A1 holds `formula` into the files folder and closes it.
    void saveBook(const std::string& name, const std::string& formula) {
        auto book = host.app->workbooks().add();
        book->sheet(1)->range("A1")->setFormula(formula);
        book->saveAs(files.file(name));
        book->close();
    }
    std::string linkTo(const std::string& book) { return "='" + files.string() + "/[" + book + "]Sheet1'!A1"; }
};

}  // namespace

TEST_F(RegisterCommands, FileRegisterListsTheFolderTreeAsATable) {
    write("a.txt", "abc");
    write("=1+1.txt", "");
    write("sub/b.csv", "1,2");
    write("sub/deeper/c", "");
    fs::create_directory_symlink(files.path(), files.path() / "sub" / "loop");  // no walking in circles
    host.cell("A1")->setValue(files.string());
    host.cell("C20")->setValue("old data");

    host.dialogs.answerMessage(host::ui::vbNo);
    host.run("FileRegisterStart");
    EXPECT_EQ(host.cell("C20")->value(), Variant("old data"));
    EXPECT_EQ(host.lastDialog().title, "TELM.NET - Add-Ins");
    EXPECT_EQ(host.lastDialog().buttons, host::ui::vbYesNo + host::ui::vbQuestion);

    for (int run = 0; run < 2; ++run) host.run("FileRegisterStart");  // Yes, the default button
    auto& tables = host.sheet->listObjects();
    ASSERT_EQ(tables.count(), 1);
    EXPECT_EQ(tables.item(1)->name(), "FileRegister");
    EXPECT_EQ(tables.item(1)->range()->address(), "$A$3:$F$7");
    EXPECT_EQ(host.cell("A1")->value(), Variant(files.string()));
    EXPECT_TRUE(host.cell("C20")->value().isEmpty());
    EXPECT_EQ(host.cell("A3")->value(), Variant("Path"));
    const std::string root = files.string();
    EXPECT_EQ(host.cell("A4")->value(), Variant(root + "/=1+1.txt"));
    EXPECT_EQ(host.cell("C4")->hasFormula(), Variant(false));
    EXPECT_EQ(host.cell("C5")->value(), Variant("a.txt"));
    EXPECT_EQ(host.cell("D5")->value(), Variant("txt"));
    EXPECT_EQ(host.cell("E5")->value(), Variant(3.0));
    EXPECT_EQ(host.cell("F5")->value().type(), host::VarType::Date);
    EXPECT_EQ(host.cell("B6")->value(), Variant(root + "/sub"));
    EXPECT_EQ(host.cell("A7")->value(), Variant(root + "/sub/deeper/c"));
    EXPECT_EQ(host.cell("D7")->value(), Variant(""));
}

TEST_F(RegisterCommands, FileRegisterAsksForTheFolderWhenA1NamesNone) {
    write("only.txt", "");
    host.dialogs.answerMessage(host::ui::vbYes).answerPath(files.string());
    host.run("FileRegisterStart");
    EXPECT_EQ(host.lastDialog().kind, host::ui::DialogKind::Folder);
    EXPECT_EQ(host.lastDialog().title, "TELM.NET - Add-Ins");
    EXPECT_EQ(host.cell("A1")->value(), Variant(files.string() + "/"));
    EXPECT_EQ(host.cell("C4")->value(), Variant("only.txt"));
}

TEST_F(RegisterCommands, LinkRegisterOfAWorkbookLinkingToTwoOthers) {
    saveBook("Plan.xlsx", "=7");
    saveBook("Costs.xlsx", linkTo("Rates.xlsx"));
    host.cell("A1")->setFormula(linkTo("Plan.xlsx") + "+" + linkTo("Costs.xlsx").substr(1));
    host.cell("B2")->setFormula(linkTo("Plan.xlsx"));
    auto book = host.sheet->parent();

    host.run("LinkRegisterStart");
    auto reg = book->findSheet("LinkRegister");
    ASSERT_TRUE(reg);
    const std::string name = book->fullName();
    const std::vector<std::vector<std::string>> expected{{"Workbook", "Link"},
                                                         {name, files.file("Plan.xlsx")},
                                                         {name, files.file("Costs.xlsx")},
                                                         {files.file("Costs.xlsx"), files.file("Rates.xlsx")}};
    for (std::size_t r = 0; r < expected.size(); ++r)
        for (std::size_t c = 0; c < 2; ++c)
            EXPECT_EQ(reg->cells(static_cast<int>(r) + 1, static_cast<int>(c) + 1)->value(), Variant(expected[r][c]));
    EXPECT_TRUE(reg->range("A5")->value().isEmpty());
    EXPECT_FALSE(host.app->workbooks().find("Costs.xlsx"));  // read and closed again
    EXPECT_EQ(host.app->activeWorkbook(), book);
    EXPECT_TRUE(telm::SharedState().RepairLinksOnActivate);
    EXPECT_TRUE(host.dialogs.record().empty());
}

TEST_F(RegisterCommands, LinksToAnotherCopyOfTheCompanionAreRepaired) {
    const std::string stale = "='/old/place/[TELM.NET.xla]Sheet1'!A1";
    const std::string repaired = "='" + host.folder.string() + "/[TELM.NET.xla]Sheet1'!A1";
    host.cell("A1")->setFormula(stale);
    host.cell("A2")->setFormula(linkTo("Other.xlsx"));
    host.run("RepairLinks");
    EXPECT_EQ(host.cell("A1")->formula(), Variant(repaired));
    EXPECT_EQ(host.cell("A2")->formula(), Variant(linkTo("Other.xlsx")));

    // Activating a workbook repairs its links only once a command has asked for it.
    auto second = host.app->workbooks().add();
    second->sheet(1)->range("A1")->setFormula(stale);
    host.sheet->parent()->activate();
    second->activate();
    EXPECT_EQ(second->sheet(1)->range("A1")->formula(), Variant(stale));
    telm::SharedState().RepairLinksOnActivate = true;
    host.sheet->parent()->activate();
    second->activate();
    EXPECT_EQ(second->sheet(1)->range("A1")->formula(), Variant(repaired));
    EXPECT_TRUE(host.dialogs.record().empty());
}

TEST_F(RegisterCommands, UnpivotWritesLabelledTriplesToASheetNamedAfterTheSource) {
    host.sheet->setName("Sales");
    const char* header[] = {"", "2023", "2024", "2025"};
    for (int c = 1; c <= 4; ++c) host.sheet->cells(1, c)->setFormula(header[c - 1]);
    host.cell("A1")->setValue("Region");
    for (int r = 2; r <= 3; ++r) {
        host.sheet->cells(r, 1)->setValue(r == 2 ? "North" : "West");
        for (int c = 2; c <= 4; ++c) host.sheet->cells(r, c)->setValue((r - 2) * 3.0 + c - 1);
    }
    host.cell("C2")->setFormula("'=text");
    host.cell("F1")->setValue("beyond an empty column");
    host.run("UnpivotTable");
    auto out = host.app->activeSheet();
    ASSERT_NE(out, host.sheet);
    EXPECT_EQ(out->name(), "Sales (unpivoted)");
    EXPECT_EQ(out->usedRange()->address(), "$A$1:$C$6");
    for (int i = 1; i <= 6; ++i) {
        const int r = (i - 1) / 3, c = (i - 1) % 3;
        EXPECT_EQ(out->cells(i, 1)->value(), Variant(r == 0 ? "North" : "West"));
        EXPECT_EQ(out->cells(i, 2)->value(), Variant(2023.0 + c));
        if (i != 2) {
            EXPECT_EQ(out->cells(i, 3)->value(), Variant(r * 3.0 + c + 1));
        }
    }
    EXPECT_EQ(out->range("C2")->value(), Variant("=text"));

    // Again: a name of its own; a long source name is cut to fit; a single row goes by position.
    host.sheet->activate();
    host.run("UnpivotTable");
    EXPECT_EQ(host.app->activeSheet()->name(), "Sales (unpivoted 2)");
    auto wide = host.sheet->parent()->addSheet(nullptr, nullptr, "A name of thirty-one characters");
    wide->range("A1:C1")->setValue(7.0);
    wide->activate();
    host.run("UnpivotTable");
    auto single = host.app->activeSheet();
    EXPECT_EQ(single->name(), "A name of thirty-on (unpivoted)");
    EXPECT_EQ(single->range("B3")->value(), Variant(3.0));
    EXPECT_EQ(single->range("C3")->value(), Variant(7.0));
}

TEST(CommandsWithoutWorkbook, RegistersAndUnpivotingSayThatNoWorkbookIsOpen) {
    testsupport::AddInHost host;
    host.start();
    for (auto& book : host.app->workbooks().list())
        if (book != host.app->thisWorkbook()) book->close(false);
    for (const char* macro : {"FileRegisterStart", "LinkRegisterStart", "UnpivotTable"}) {
        host.dialogs.reset();
        host.app->run(macro);
        ASSERT_EQ(host.dialogs.record().size(), 1u) << macro;
        EXPECT_EQ(host.dialogs.record()[0].prompt, "No workbook open.") << macro;
        EXPECT_EQ(host.app->takeCommandFailure(), std::optional<std::string>("No workbook open.")) << macro;
    }
}

TEST_F(RegisterCommands, TheFileRegisterIsATableFormulasUseAndASecondOneReplaces) {
    write("a.txt", "abc");
    write("b.txt", "");
    host.cell("A1")->setValue(files.string());
    host.run("FileRegisterStart");
    auto other = host.sheet->parent()->addSheet(nullptr, host.sheet);
    other->range("H1")->setFormula("=COUNTA(FileRegister)");
    EXPECT_EQ(other->range("H1")->value(), Variant(12.0));  // two files of six fields, headings not counted
    // A second register on another sheet takes the name over.
    write("c.txt", "12");
    other->range("A1")->setValue(files.string());
    other->activate();
    host.run("FileRegisterStart");
    ASSERT_EQ(other->listObjects().count(), 1);
    EXPECT_EQ(other->listObjects().item(1)->name(), "FileRegister");
    EXPECT_EQ(host.sheet->listObjects().count(), 0);
    other->range("H2")->setFormula("=COUNTA(FileRegister)");
    EXPECT_EQ(other->range("H2")->value(), Variant(18.0));

    // The register is a table of the saved file, for another program and for the next session.
    testsupport::TempFolder saved{"telm-register-saved"};
    const std::string file = saved.file("Register.xlsx");
    host.sheet->parent()->saveAs(file);
    EXPECT_EQ(xlsxtest::runPython(saved.string(), R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
for ws in wb.worksheets:
    for table in ws.tables.values():
        print(ws.title, table.name, table.ref, [c.name for c in table.tableColumns])
)PY", file),
              other->name() + " FileRegister A3:F6 ['Path', 'Folder', 'Name', 'Extension', 'Size', 'Modified']\n");
    auto reader = host::sheet::Application::create();
    host::files::attachWorkbookStore(*reader);
    auto book = reader->workbooks().open(file);
    ASSERT_EQ(book->sheet(other->name())->listObjects().count(), 1);
    EXPECT_EQ(book->sheet(other->name())->listObjects().item(1)->name(), "FileRegister");
    book->sheet(1)->range("A1")->setFormula("=COUNTA(FileRegister)");
    EXPECT_EQ(book->sheet(1)->range("A1")->value(), Variant(18.0));
}

TEST_F(RegisterCommands, ARegisterMadeAgainOverOneReadFromAFileLeavesOneTableOfItsNewSize) {
    write("a.txt", "abc");
    write("b.txt", "");
    write("c.txt", "12");
    // A workbook of another program: its register (styled, filtered) lists one file, and a table of
    // the user's own sits on another sheet.
    testsupport::TempFolder saved{"telm-register-reread"};
    const std::string file = saved.file("Books.xlsx");
    xlsxtest::runPython(saved.string(), R"PY(
import sys, openpyxl
from openpyxl.worksheet.table import Table, TableStyleInfo
wb = openpyxl.Workbook()
reg = wb.active
reg.title = "Reg"
reg["A1"] = sys.argv[2]
reg.append([])
reg.append(["Path", "Folder", "Name", "Extension", "Size", "Modified"])
reg.append(["old", "old", "old", "txt", 1, 2])
register = Table(displayName="FileRegister", ref="A3:F4")
register.tableStyleInfo = TableStyleInfo(name="TableStyleLight9", showRowStripes=False)
reg.add_table(register)
own = wb.create_sheet("Prices")
for row in (["Item", "Price"], ["pen", 2], ["ink", 5]):
    own.append(row)
own.add_table(Table(displayName="Prices", ref="A1:B3"))
wb.create_sheet("Empty")["A1"] = sys.argv[2]
wb.save(sys.argv[1])
)PY", file + "' '" + files.string());
    const std::string showTables = R"PY(
import sys, zipfile, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
for ws in wb.worksheets:
    for table in ws.tables.values():
        style = table.tableStyleInfo.name if table.tableStyleInfo else None
        print(ws.title, table.name, table.ref, style, len(table.tableColumns))
print(sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if n.startswith("xl/tables/")))
)PY";

    // Made again on its own sheet: the file's part takes the new size and keeps its style.
    auto book = host.app->workbooks().open(file);
    book->sheet("Reg")->activate();
    host.run("FileRegisterStart");
    book->save();
    EXPECT_EQ(xlsxtest::runPython(saved.string(), showTables, file),
              "Reg FileRegister A3:F6 TableStyleLight9 6\n"
              "Prices Prices A1:B3 None 2\n"
              "['xl/tables/table1.xml', 'xl/tables/table2.xml']\n");

    // Made on another sheet, it takes the name over: the first sheet's part goes.
    book->sheet("Empty")->activate();
    host.run("FileRegisterStart");
    book->save();
    book->close();
    EXPECT_EQ(xlsxtest::runPython(saved.string(), showTables, file),
              "Prices Prices A1:B3 None 2\n"
              "Empty FileRegister A3:F6 TableStyleMedium2 6\n"
              "['xl/tables/table2.xml', 'xl/tables/table3.xml']\n");
    auto reread = host.app->workbooks().open(file);
    reread->sheet("Reg")->range("H1")->setFormula("=COUNTA(FileRegister)+SUM(Prices)");
    EXPECT_EQ(reread->sheet("Reg")->range("H1")->value(), Variant(25.0));
}

TEST_F(RegisterCommands, AddInCallsQualifiedByAnOldPathOpenAndAreRepaired) {
    // A workbook written elsewhere, calling the add-in's function through the add-in's old file.
    const std::string file = files.file("Old calls.xlsx");
    const std::string written = xlsxtest::runPython(files.string(), R"PY(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws["A1"] = "='/old/place/TELM.NET.xla'!VALUE2STRING(12)"
ws["A2"] = "=VALUE2STRING(12)"
ws["A3"] = "=TELM.NET.xla!VALUE2STRING(5)"
wb.save(sys.argv[1])
)PY", file);
    ASSERT_EQ(written, "");
    auto book = host.app->workbooks().open(file);
    auto sheet = book->sheet(1);
    EXPECT_EQ(sheet->range("A1")->formula(), Variant("='/old/place/TELM.NET.xla'!VALUE2STRING(12)"));
    EXPECT_EQ(sheet->range("A3")->formula(), Variant("=TELM.NET.xla!VALUE2STRING(5)"));

    host.run("RepairLinks");
    const std::string inUse = host.app->thisWorkbook()->fullName();
    EXPECT_EQ(sheet->range("A1")->formula(), Variant("='" + inUse + "'!VALUE2STRING(12)"));
    EXPECT_EQ(sheet->range("A3")->formula(), Variant("=TELM.NET.xla!VALUE2STRING(5)"));  // names no other copy
    EXPECT_EQ(sheet->range("A1")->value(), sheet->range("A2")->value());
    EXPECT_FALSE(sheet->range("A1")->value().isError());
    EXPECT_TRUE(host.dialogs.record().empty());
}

namespace {

// Folders `depth` deep under `root`, each named by 200 letters and holding one file, built one level
// at a time as their full paths outgrow what the system takes; removed the same way.
struct DeepTree {
    static constexpr int kDepth = 25;
    const std::string root, name = std::string(200, 'd');

    explicit DeepTree(std::string folder) : root(std::move(folder)) {
        int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; level < kDepth && fd >= 0; ++level) {
            ::mkdirat(fd, name.c_str(), 0755);
            ::close(::openat(fd, ("f" + std::to_string(level) + ".txt").c_str(), O_CREAT | O_WRONLY, 0644));
            const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        if (fd >= 0) ::close(fd);
    }
    ~DeepTree() { removeBelow(::open(root.c_str(), O_RDONLY | O_DIRECTORY), 0); }

    void removeBelow(int fd, int level) {
        if (fd < 0) return;
        if (level < kDepth) {
            removeBelow(::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY), level + 1);
            ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
            ::unlinkat(fd, ("f" + std::to_string(level) + ".txt").c_str(), 0);
        }
        ::close(fd);
    }
};

}  // namespace

TEST_F(RegisterCommands, AFolderTreeDeeperThanThePathLimitIsListedWhole) {
    write("top.txt", "");
    const DeepTree tree(files.string());
    host.cell("A1")->setValue(files.string());
    host.run("FileRegisterStart");
    const auto table = host.sheet->listObjects().item(1);
    EXPECT_EQ(table->range()->rowCount(), 1 + 1 + DeepTree::kDepth);
    const std::string deepest = host.sheet->cells(table->area().bottom, 1)->value().toString();
    EXPECT_GT(deepest.size(), 4096u);
    EXPECT_TRUE(deepest.ends_with("/f" + std::to_string(DeepTree::kDepth - 1) + ".txt")) << deepest.substr(deepest.size() - 20);
}
