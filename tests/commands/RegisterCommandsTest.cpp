// The file register, the link register, the repair of links to the companion add-in and the
// unpivoted region.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CommandHost.h"
#include "host/sheet/ListObjects.h"
#include "host/ui/Dialogs.h"
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

TEST_F(RegisterCommands, UnpivotWritesOneTripleACell) {
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 4; ++c) host.sheet->cells(r, c)->setValue((r - 1) * 4.0 + c);
    host.cell("B2")->setFormula("'=text");
    host.cell("F1")->setValue("beyond an empty column");
    host.run("UnpivotTable");
    auto out = host.app->activeSheet();
    ASSERT_NE(out, host.sheet);
    EXPECT_EQ(out->usedRange()->address(), "$A$1:$C$12");
    for (int i = 1; i <= 12; ++i) {
        const int r = (i - 1) / 4 + 1, c = (i - 1) % 4 + 1;
        EXPECT_EQ(out->cells(i, 1)->value(), Variant(static_cast<double>(r)));
        EXPECT_EQ(out->cells(i, 2)->value(), Variant(static_cast<double>(c)));
        if (i != 6) {
            EXPECT_EQ(out->cells(i, 3)->value(), Variant(static_cast<double>(i)));
        }
    }
    EXPECT_EQ(out->range("C6")->value(), Variant("=text"));
}
