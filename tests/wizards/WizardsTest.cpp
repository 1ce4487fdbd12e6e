// The data-model formula commands and the forms behind them, driven through the companion add-in as a
// user drives them: the GETDATA wizard over a data model with comma, SQL and MDX value lists, the
// parametrisation form, filling a selection, the data-source definition form, and the query-table
// wizard.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "data/F_Dane.h"
#include "host/base/TextFile.h"
#include "host/olap/CubeBuilder.h"
#include "host/sheet/Workbook.h"
#include "host/ui/Form.h"
#include "support/PrintVariant.h"
#include "support/SqlCells.h"
#include "wizards/P_DataSources.h"
#include "wizards/P_zODBC.h"
#include "wizards/fFormHaslo.h"
#include "wizards/fKreatorFDane.h"
#include "wizards/fKreatorFDane2.h"
#include "wizards/fParametrizeFormula.h"

using namespace telm;
using host::Variant;
using host::ui::ComboBox;
using host::ui::CommandButton;
using host::ui::Form;
using host::ui::Label;
using host::ui::ListBox;
using host::ui::TextBox;
using testsupport::quote;

namespace {

constexpr const char* kModel = R"([Measure Sales.Total]
ABOUT=Sales by region and year
Type=ODBC
GetDataArguments={region},{year}
ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]/sales.db;
QueryText=SELECT sum(amount) FROM sales WHERE region = '{region}' AND year = {year}
SampleFunction=GETDATA("Sales.Total";"Północ";2024)
ARG1=SELECT DISTINCT region FROM sales ORDER BY region
ARG2=2023, 2024
[Measure Cube.Total]
ABOUT=The same figures from the cube
Type=OLAP
GetDataArguments={r}
ConnectionText=[TELM.NET.Folder]/sales.cub,,Sales
AddString=[Measures].[Amount]
QueryText=[Region].[{r}]
ARG1=WITH MEMBER [Measures].[x] AS '[Measures].[Amount]' SELECT {[Measures].[x]} ON 0, [Region].children ON 1 FROM [Sales]
ARG2=nothing here
)";

struct Wizards : ::testing::Test, testsupport::AddInHost {
    host::sheet::WorksheetPtr sheet;
    std::string database = folder.file("sales.db");

    Wizards() {
        const std::string model = kModel;
        testsupport::runStatements("Driver={SQLite3};Database=" + database + ";",
                                   {"CREATE TABLE sales (region TEXT, year INTEGER, amount REAL)",
                                    "INSERT INTO sales VALUES ('Północ', 2023, 5), ('Północ', 2024, 7), "
                                    "('Zachód', 2023, 11), ('Zachód', 2024, 13), ('Zachód', 2024, 17)"});
        host::olap::buildCube("Provider=MSOLAP;Location=" + folder.file("sales.cub") +
                              ";SOURCE_DSN=\"Driver={SQLite3};Database=" + database +
                              ";\";CREATECUBE=CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [All] TYPE ALL, "
                              "LEVEL [Region], MEASURE [Amount] FUNCTION SUM);INSERTINTO=INSERT INTO [Sales] "
                              "([Region].[Region], [Measures].[Amount]) SELECT region, amount FROM sales");
        std::ofstream(folder.file("DataModel.par"), std::ios::binary) << model;
        start();
        sheet = app->workbooks().add()->sheet(1);
        dialogs.reset();
    }
    ~Wizards() { KreatorFDane().ListBox1.setListIndex(-1); }

    std::vector<std::string> entries(const host::ui::ListControl& list) const {
        std::vector<std::string> out;
        for (int r = 0; r < list.listCount(); ++r) out.push_back(list.list(r));
        return out;
    }
    std::vector<std::string> prompts() const {
        std::vector<std::string> out;
        for (const auto& d : dialogs.record())
            if (d.kind != host::ui::DialogKind::Form) out.push_back(d.prompt);
        return out;
    }
};

}  // namespace

TEST(WizardsWithoutWorkbook, TheGetDataWizardNeedsAWorkbook) {
    testsupport::AddInHost host;
    host.start();
    host.dialogs.reset();
    host.app->run("WizardGetdata");
    ASSERT_EQ(host.dialogs.record().size(), 1u);
    EXPECT_EQ(host.dialogs.record()[0].prompt, "No workbook open.");
    EXPECT_EQ(host.dialogs.record()[0].title, "TELM.NET - Data model");
}

TEST(WizardsWithoutWorkbook, AnEmptyModelShowsNoWizard) {
    testsupport::AddInHost host;
    host.start();
    host.app->workbooks().add();
    host.dialogs.reset();
    host.app->run("WizardGetdata");
    for (const auto& shown : host.dialogs.record()) EXPECT_NE(shown.kind, host::ui::DialogKind::Form);
}

TEST_F(Wizards, GetDataWizardListsTheModelAndWritesAWorkingFormula) {
    sheet->range("C3")->select();
    dialogs.actOnForm([&](Form& step1) {
        auto& list = step1.control<ListBox>("ListBox1");
        EXPECT_EQ(entries(list), (std::vector<std::string>{"Sales.Total", "Cube.Total"}));
        EXPECT_EQ(list.listIndex(), 0);
        EXPECT_EQ(step1.control<Label>("LabelAbout").caption(), "Sales by region and year");
        EXPECT_EQ(step1.caption(), "TELM.NET - Business data explorer / GETDATA() function wizard");
        list.setListIndex(1);
        EXPECT_EQ(SharedState().SelectedModelIndex, 1);
        EXPECT_EQ(step1.control<Label>("LabelType").caption(), "OLAP");
        list.setListIndex(0);
        step1.control<CommandButton>("CommandButton4").click();
    });
    dialogs.actOnForm([&](Form& step2) {
        EXPECT_EQ(entries(step2.control<ComboBox>("ComboBox1")), (std::vector<std::string>{"Północ", "Zachód"}));
        EXPECT_EQ(entries(step2.control<ComboBox>("ComboBox2")), (std::vector<std::string>{"2023", "2024"}));
        EXPECT_FALSE(step2.control("ComboBox3").visible());
        step2.control<ComboBox>("ComboBox1").setText("Zachód");
        step2.control<ComboBox>("ComboBox2").setText("2024");
        step2.control<CommandButton>("CommandButton2").click();
    });
    app->run("WizardGetdata");
    EXPECT_EQ(sheet->range("C3")->formula(), Variant("=GETDATA(\"Sales.Total\",\"Zachód\",2024)"));
    EXPECT_EQ(sheet->range("C3")->value(), Variant(30.0));
}

TEST_F(Wizards, StepTwoTakesCellsAndTheMdxListAndTheSampleButton) {
    sheet->range("A1")->setValue("Północ");
    sheet->range("B2")->select();
    dialogs.actOnForm([](Form& step1) {
        step1.control<ListBox>("ListBox1").setListIndex(1);
        step1.control<CommandButton>("CommandButton4").click();
    });
    dialogs.actOnForm([&](Form& step2) {
        EXPECT_EQ(entries(step2.control<ComboBox>("ComboBox1")), (std::vector<std::string>{"Północ", "Zachód"}));
        step2.control<TextBox>("RefEdit1").setText("A1");
        step2.control<CommandButton>("CommandButton2").click();
    });
    app->run("WizardGetdata");
    EXPECT_EQ(sheet->range("B2")->formula(), Variant("=GETDATA(\"Cube.Total\",A1)"));
    EXPECT_EQ(sheet->range("B2")->value(), Variant(12.0));

    // The sample of the first variable, from step 1's own button.
    sheet->range("B3")->select();
    dialogs.actOnForm([](Form& step1) {
        step1.control<ListBox>("ListBox1").setListIndex(0);
        step1.control<CommandButton>("CommandButton1").click();
    });
    app->run("WizardGetdata");
    EXPECT_EQ(sheet->range("B3")->formula(), Variant("=GETDATA(\"Sales.Total\",\"Północ\",2024)"));
    EXPECT_EQ(sheet->range("B3")->value(), Variant(7.0));
}

TEST_F(Wizards, ValueListsThatGiveNothingSayToUseTheSample) {
    const std::string noList = GetMessageText(3146);
    DataModelVariable v;
    v.Name = "X";
    v.GETDATAARGUMENTS = "a,b,c";
    v.CONNECTIONTEXT = "Driver={SQLite3};Database=" + database + ";";
    v.ARG1 = "SELECT nothing FROM nowhere";
    v.ARG2 = "WITH MEMBER nonsense";
    auto& step2 = KreatorFDane2();
    PrepareArgumentLists(v, step2);
    for (const char* box : {"ComboBox1", "ComboBox2", "ComboBox3"})
        EXPECT_EQ(entries(step2.control<ComboBox>(box)), std::vector<std::string>{noList}) << box;
}

TEST_F(Wizards, ParametrizingATextLiteralWithACell) {
    sheet->range("A1")->setFormula("=GETDATA(\"Sales.Total\",\"Zachód\",2023)");
    sheet->range("A1")->select();
    dialogs.actOnForm([](Form& form) {
        auto& text = form.control<TextBox>("TextBox1");
        EXPECT_EQ(form.activeControl(), &text);
        text.setSelection(24, 6);  // Zachód
        EXPECT_EQ(text.selText(), "Zachód");
        form.control<CommandButton>("CommandButton1").click();
        EXPECT_EQ(text.text(), "=GETDATA(\"Sales.Total\",$B$5,2023)");
        form.control<CommandButton>("CommandButton2").click();
    });
    dialogs.answerInput("B5").answerMessage(host::ui::vbYes).answerMessage(host::ui::vbYes).answerMessage(host::ui::vbYes);
    app->run("ParametrizeFormula");
    EXPECT_EQ(sheet->range("B5")->value(), Variant("Zachód"));  // the empty cell took the text
    EXPECT_EQ(sheet->range("A1")->formula(), Variant("=GETDATA(\"Sales.Total\",$B$5,2023)"));
    EXPECT_EQ(sheet->range("A1")->value(), Variant(11.0));
    EXPECT_EQ(ParametrizeLiteral("=\"ab cd\"&1", 5, 2, "C1"), "=\"ab \"&C1&1");
    EXPECT_EQ(ParametrizeLiteral("=A1&\"x\"", 1, 2, "C1"), "");
}

TEST_F(Wizards, ParametrizingPlainTextAndFormulasWithoutText) {
    sheet->range("A1")->setValue("Północ");
    sheet->range("A1")->select();
    dialogs.answerMessage(host::ui::vbYes).actOnForm([](Form& form) {
        EXPECT_EQ(form.control<TextBox>("TextBox1").text(), "=\"Północ\"");
    });
    app->run("ParametrizeFormula");
    EXPECT_EQ(sheet->range("A1")->formula(), Variant("Północ"));  // the form was closed without OK

    dialogs.reset();
    dialogs.answerMessage(host::ui::vbNo);
    app->run("ParametrizeFormula");
    EXPECT_EQ(prompts(), (std::vector<std::string>{"Convert text into a formula?",
                                                   "Cannot parametrize this formula.\nNo text inside."}));
    for (const char* content : {"=1+2", ""}) {
        dialogs.reset();
        sheet->range("A1")->setFormula(content);
        app->run("ParametrizeFormula");
        EXPECT_EQ(prompts(), std::vector<std::string>{"Cannot parametrize this formula.\nNo text inside."}) << content;
    }
}

TEST_F(Wizards, FillingASelectionWithTheActiveCellsFormula) {
    sheet->range("B1:B3")->setValue(Variant(2.0));
    sheet->range("A1")->setFormula("=B1*2");
    sheet->range("A1:A3")->select();
    app->run("FillSelection");
    EXPECT_EQ(sheet->range("A3")->formula(), Variant("=B3*2"));
    EXPECT_EQ(sheet->range("A3")->value(), Variant(4.0));
}

TEST_F(Wizards, DefiningADataSourceAppendsAVariableThatGetDataThenReads) {
    const std::string custom = folder.file("DataModelCustom.par");
    sheet->range("D4")->setFormula("=GETDATAODBC(" + quote("Driver={SQLite3};Database=" + database + ";") +
                                   ",\"SELECT sum(amount) FROM sales WHERE year = 2024\",FALSE)");
    sheet->range("D4")->select();
    dialogs.actOnForm([&](Form& form) {
        EXPECT_EQ(form.control<TextBox>("TextBoxType").text(), "ODBC");
        auto& query = form.control<TextBox>("TextBoxQueryText");
        EXPECT_EQ(query.text(), "SELECT sum(amount) FROM sales WHERE year = 2024");
        form.control<TextBox>("TextBoxName").setText("Sales.Year");
        // Mapping without a chosen text field, then the year to an argument.
        form.control<TextBox>("TextBoxArgName1").setText("{year}");
        form.control<CommandButton>("Command7").click();
        query.setFocus();
        query.setSelection(43, 4);
        form.control<CommandButton>("Command7").click();
        EXPECT_EQ(query.text(), "SELECT sum(amount) FROM sales WHERE year = {year}");
        EXPECT_EQ(form.control<TextBox>("TextBoxArguments").text(), "{year}");
        form.control<TextBox>("TextBoxSample").setText("GETDATA(\"Sales.Year\";2023)");
        form.control<CommandButton>("Command12").click();
    });
    dialogs.answerMessage(host::ui::vbOK).answerMessage(host::ui::vbOK);
    app->run("DataSourceWizard");
    EXPECT_EQ(prompts()[0], GetMessageText(1033));
    EXPECT_EQ(prompts()[1], "Saved in: " + SharedState().ModelFolder + "\\DataModelCustom.par");
    const std::string text = host::readTextFile(custom);
    EXPECT_EQ(text.rfind("GETDATA() Function data source settings", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n[Measure Sales.Year]\r\nAbout=Sample custom description\r\nType=ODBC\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nQueryText=SELECT sum(amount) FROM sales WHERE year = {year}\r\n"), std::string::npos);
    // The cell now holds the sample of the new variable, computed over the reloaded model.
    EXPECT_EQ(sheet->range("D4")->formula(), Variant("=GETDATA(\"Sales.Year\",2023)"));
    EXPECT_EQ(sheet->range("D4")->value(), Variant(16.0));
    EXPECT_FALSE(SharedState().ArchiveOperationActive);
    EXPECT_FALSE(app->takeCommandFailure());

    // The same name again is refused.
    dialogs.reset();
    dialogs.actOnForm([](Form& form) {
        form.control<TextBox>("TextBoxName").setText("Sales.Year");
        form.control<CommandButton>("Command12").click();
    });
    app->run("DataSourceWizard");
    EXPECT_EQ(prompts().at(0).rfind("This custom measure already exists in '", 0), 0u);
    EXPECT_TRUE(app->takeCommandFailure());  // telm fails the step
}

TEST_F(Wizards, AQueryTableBecomesAGetDataOdbcFormulaWithTheSameRows) {
    auto table = std::make_shared<host::sheet::QueryTable>();
    table->connection = "ODBC;Driver={SQLite3};Database=" + database + ";";
    table->commandText = "SELECT region, sum(amount) AS total FROM sales GROUP BY region ORDER BY region";
    table->resultRange = {2, 2, 4, 3};  // B2:C4, field names first
    sheet->queryTables().push_back(table);
    sheet->range("B2:C4")->setValue(Variant());  // rows as the query table shows them
    sheet->range("C3")->select();
    dialogs.answerInput("F2");
    app->run("WizardGetdataODBC");
    EXPECT_EQ(sheet->range("F2")->text(), "region");
    EXPECT_EQ(sheet->range("F3")->value(), Variant("Północ"));
    EXPECT_EQ(sheet->range("G4")->value(), Variant(41.0));

    // A long query is written as an array constant, with message 113.
    std::string longSql = "SELECT sum(amount) FROM sales WHERE region IN (";
    for (int i = 0; i < 40; ++i) longSql += "'r" + std::to_string(i) + "', ";
    longSql += "'Zachód')";
    table->commandText = longSql;
    table->fieldNames = false;
    table->resultRange = {2, 2, 2, 2};
    dialogs.reset();
    dialogs.answerMessage(host::ui::vbOK).answerInput("H1");
    sheet->range("B2")->select();
    app->run("WizardGetdataODBC");
    EXPECT_EQ(prompts().at(0), GetMessageText(113).substr(0, GetMessageText(113).size()));
    EXPECT_EQ(sheet->range("H1")->formula().toString().find("{\""), std::string("=GETDATAODBC(").size() +
                                                                       quote("Driver={SQLite3};Database=" + database + ";").size() + 1);
    EXPECT_EQ(sheet->range("H1")->value(), Variant(41.0));
    EXPECT_EQ(FormulaTextArgument(std::string(300, 'x')), "{\"" + std::string(255, 'x') + "\";\"" + std::string(45, 'x') + "\"}");

    // Outside a query table: message 107.
    dialogs.reset();
    sheet->range("Z9")->select();
    app->run("WizardGetdataODBC");
    EXPECT_EQ(prompts(), std::vector<std::string>{GetMessageText(107)});
}

TEST(TextPromptForm, CancelSetsTheSharedFlagForGood) {
    telm::ResetSharedState();
    fFormHaslo form;
    host::ui::resetScriptedBackend().actOnForm([](Form& f) { f.control<CommandButton>("ButtonOK").click(); });
    form.show();
    EXPECT_FALSE(SharedState().PromptCancelled);
    host::ui::resetScriptedBackend().actOnForm([](Form& f) { f.control<CommandButton>("ButtonAnuluj").click(); });
    form.show();
    EXPECT_TRUE(SharedState().PromptCancelled);
    host::ui::resetScriptedBackend().actOnForm([](Form& f) { f.control<CommandButton>("ButtonOK").click(); });
    form.show();
    EXPECT_TRUE(SharedState().PromptCancelled);
    telm::ResetSharedState();
}

TEST(FunctionArgumentsOfAFormula, TopLevelOnly) {
    EXPECT_EQ(FunctionArguments("=getdata(\"a,b\",(1,2),{3,4},X1)", "GETDATA"),
              (std::vector<std::string>{"\"a,b\"", "(1,2)", "{3,4}", "X1"}));
    EXPECT_TRUE(FunctionArguments("=GETDATAX(1)", "GETDATA").empty());
    EXPECT_TRUE(FunctionArguments("=GETDATA(1", "GETDATA").empty());
    EXPECT_EQ(SampleFormula(" GETDATA(\"a;b\";2)"), "=GETDATA(\"a;b\",2)");
}

TEST_F(Wizards, DefinitionsReadBackExactlyWhateverTheyHold) {
    const std::string custom = folder.file("DataModelCustom.par");
    // A hand-edited file whose last line has no line end.
    std::ofstream(custom, std::ios::binary) << "[Measure Old]\r\nQueryText=SELECT 5";
    const std::string about = "line one\r\n[Measure Evil]\r\nType=XLS\ttab ::: kept";
    const std::string query = "SELECT sum(amount) AS \"a:::b\"\r\nFROM sales\nWHERE year = 2024";
    sheet->range("D4")->setFormula("=GETDATA(\"Sales.Total\",\"Zachód\",2024)");
    sheet->range("D4")->select();
    dialogs.actOnForm([&](Form& form) {
        form.control<TextBox>("TextBoxName").setText("Sales.Lines");
        form.control<TextBox>("TextBoxAbout").setText(about);
        form.control<TextBox>("TextBoxType").setText("ODBC");
        form.control<TextBox>("TextBoxConnectionText").setText("Driver={SQLite3};Database=" + database + ";");
        form.control<TextBox>("TextBoxQueryText").setText(query);
        form.control<TextBox>("TextBoxArguments").setText("{x}");
        form.control<TextBox>("TextBoxSample").setText("");
        form.control<CommandButton>("Command12").click();
    });
    dialogs.answerMessage(host::ui::vbOK);
    app->run("DataSourceWizard");
    ASSERT_EQ(prompts().size(), 1u);
    EXPECT_EQ(prompts()[0], "Saved in: " + SharedState().ModelFolder + "\\DataModelCustom.par");
    const auto* old = FindDataModelVariable("Old");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->QUERYTEXT, "SELECT 5");
    const auto* saved = FindDataModelVariable("Sales.Lines");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->ABOUT, about);
    EXPECT_EQ(saved->QUERYTEXT, query);
    EXPECT_FALSE(FindDataModelVariable("Evil"));
    // Without a sample, and with arguments to fill, the cell keeps its working formula.
    EXPECT_EQ(sheet->range("D4")->formula(), Variant("=GETDATA(\"Sales.Total\",\"Zachód\",2024)"));
    EXPECT_EQ(sheet->range("D4")->value(), Variant(30.0));

    // A name of another model file is refused as well, naming that file; nothing is written.
    const std::string before = host::readTextFile(custom);
    dialogs.reset();
    dialogs.actOnForm([](Form& form) {
        form.control<TextBox>("TextBoxName").setText("Sales.Total");
        form.control<CommandButton>("Command12").click();
    });
    app->run("DataSourceWizard");
    EXPECT_EQ(prompts().at(0), "This custom measure already exists in '" + SharedState().ModelFolder + "\\DataModel.par'");
    EXPECT_EQ(host::readTextFile(custom), before);

    // A sample goes into the cell when it parses: here with a quote in the name.
    auto saveWithSample = [&](const std::string& name, const std::string& sample) {
        dialogs.reset();
        dialogs.actOnForm([&](Form& form) {
            form.control<TextBox>("TextBoxName").setText(name);
            form.control<TextBox>("TextBoxType").setText("ODBC");
            form.control<TextBox>("TextBoxConnectionText").setText("Driver={SQLite3};Database=" + database + ";");
            form.control<TextBox>("TextBoxQueryText").setText("SELECT count(*) FROM sales WHERE year = {y}");
            form.control<TextBox>("TextBoxArguments").setText("{y}");
            form.control<TextBox>("TextBoxSample").setText(sample);
            form.control<CommandButton>("Command12").click();
        });
        dialogs.answerMessage(host::ui::vbOK);
        app->run("DataSourceWizard");
    };
    saveWithSample("Sales \"count\"", "GETDATA(\"Sales \"\"count\"\"\";(");
    EXPECT_EQ(sheet->range("D4")->formula(), Variant("=GETDATA(\"Sales.Total\",\"Zachód\",2024)"));
    saveWithSample("Sales \"all\"", "GETDATA(\"Sales \"\"all\"\"\";2024)");
    EXPECT_EQ(sheet->range("D4")->formula(), Variant("=GETDATA(\"Sales \"\"all\"\"\",2024)"));
    EXPECT_EQ(sheet->range("D4")->value(), Variant(3.0));
}

TEST_F(Wizards, DefinitionsFollowTheCustomFilesLineEndsAndCodePage) {
    const std::string custom = folder.file("DataModelCustom.par");
    auto save = [&](const std::string& name, const std::string& about) {
        dialogs.reset();
        dialogs.actOnForm([&](Form& form) {
            form.control<TextBox>("TextBoxName").setText(name);
            form.control<TextBox>("TextBoxAbout").setText(about);
            form.control<TextBox>("TextBoxArguments").setText("{x}");
            form.control<TextBox>("TextBoxSample").setText("");
            form.control<CommandButton>("Command12").click();
        });
        dialogs.answerMessage(host::ui::vbOK);
        app->run("DataSourceWizard");
    };
    // A file whose lines end at LF gets LF line ends, so that its own lines still read.
    std::ofstream(custom, std::ios::binary) << "[Measure Unix]\nAbout=written elsewhere\n";
    save("Appended", "plain");
    std::string text = host::readTextFile(custom);
    EXPECT_EQ(text.find('\r'), std::string::npos) << text;
    EXPECT_EQ(FindDataModelVariable("Unix")->ABOUT, "written elsewhere");
    EXPECT_EQ(FindDataModelVariable("Appended")->ABOUT, "plain");

    // A file in the Polish code page takes Polish letters, and refuses what that code page lacks.
    std::ofstream(custom, std::ios::binary) << "[Measure P\xF3\xB3noc]\r\nAbout=\xB9\r\n";
    save("Zachód", "ąę");
    EXPECT_EQ(FindDataModelVariable("Zachód")->ABOUT, "ąę");
    const std::string before = host::readTextFile(custom);
    save("Wschód", "日本");
    EXPECT_EQ(prompts().at(0).rfind(GetMessageText(1036), 0), 0u) << prompts().at(0);
    EXPECT_EQ(host::readTextFile(custom), before);
    EXPECT_FALSE(FindDataModelVariable("Wschód"));
}

TEST_F(Wizards, TheDataSourceFormHandlesItsOwnErrors) {
    sheet->range("A1")->setFormula("=GETDATAODBC(1/0,\"SELECT 1\")");
    sheet->range("A1")->select();
    EXPECT_NO_THROW(app->run("DataSourceWizard"));
    ASSERT_FALSE(prompts().empty());
    EXPECT_EQ(prompts().back().rfind("Unexpected error: ", 0), 0u) << prompts().back();
}

TEST_F(Wizards, StepTwoWritesTextsAsTypedAndNumbersOnlyWhenTheyAreNumbers) {
    auto finish = [&](const std::string& year) {
        sheet->range("C3")->select();
        dialogs.reset();
        dialogs.actOnForm([](Form& step1) {
            step1.control<ListBox>("ListBox1").setListIndex(0);
            step1.control<CommandButton>("CommandButton4").click();
        });
        dialogs.actOnForm([&](Form& step2) {
            step2.control<ComboBox>("ComboBox1").setText("Zachód");
            step2.control<ComboBox>("ComboBox2").setText(year);
            step2.control<CommandButton>("CommandButton2").click();
        });
        app->run("WizardGetdata");
        return sheet->range("C3")->formula().toString();
    };
    EXPECT_EQ(finish("2024"), "=GETDATA(\"Sales.Total\",\"Zachód\",2024)");
    EXPECT_EQ(finish("-0.5"), "=GETDATA(\"Sales.Total\",\"Zachód\",-0.5)");
    for (const char* text : {"007", "1e3", "1,5", "&H10", "1.", "x\"y"})
        EXPECT_EQ(finish(text), "=GETDATA(\"Sales.Total\",\"Zachód\"," + quote(text) + ")") << text;
    // In Polish the decimal comma makes a number, and the function is written by its Polish name.
    SharedState().LanguageIndex = 0;
    EXPECT_EQ(finish("1,5"), "=DANE(\"Sales.Total\",\"Zachód\",1.5)");
    EXPECT_EQ(finish("2024"), "=DANE(\"Sales.Total\",\"Zachód\",2024)");
    EXPECT_EQ(sheet->range("C3")->value(), Variant(30.0));
}

TEST_F(Wizards, SampleButtonsWithoutASampleLeaveTheCell) {
    sheet->range("E5")->setValue("keep me");
    sheet->range("E5")->select();
    dialogs.actOnForm([](Form& step1) {
        step1.control<ListBox>("ListBox1").setListIndex(1);  // Cube.Total has no sample
        step1.control<CommandButton>("CommandButton1").click();
        step1.control<CommandButton>("CommandButton2").click();
    });
    app->run("WizardGetdata");
    EXPECT_EQ(sheet->range("E5")->value(), Variant("keep me"));
    ASSERT_EQ(prompts().size(), 1u);
    EXPECT_EQ(prompts()[0], GetMessageText(3146));
    EXPECT_EQ(dialogs.record().back().title, "TELM.NET - GETDATA");
}

TEST_F(Wizards, ArgumentsBeyondTheFifthComeFromTheSample) {
    std::ofstream(folder.file("DataModelSix.par"), std::ios::binary)
        << "[Measure Six]\r\nType=ODBC\r\nConnectionText=Driver={SQLite3};Database=" << database
        << ";\r\nGetDataArguments={a},{b},{c},{d},{e},{f}\r\nQueryText=SELECT {a}+{b}+{c}+{d}+{e}+{f}\r\n"
           "SampleFunction=GETDATA(\"Six\";1;2;3;4;5;6)\r\n"
           "[Measure Seven]\r\nType=ODBC\r\nGetDataArguments=a,b,c,d,e,f,g\r\nSampleFunction=GETDATA(\"Seven\";1)\r\n";
    auto finish = [&](int index) {
        dialogs.reset();
        dialogs.actOnForm([&](Form& step1) {
            step1.control<ListBox>("ListBox1").setListIndex(index);
            step1.control<CommandButton>("CommandButton4").click();
        });
        dialogs.actOnForm([](Form& step2) {
            for (int k = 1; k <= 5; ++k) step2.control<ComboBox>("ComboBox" + std::to_string(k)).setText(std::to_string(k * 10));
            step2.control<CommandButton>("CommandButton2").click();
            step2.control<CommandButton>("CommandButton4").click();
        });
        app->run("WizardGetdata");
    };
    sheet->range("F6")->select();
    finish(2);
    EXPECT_EQ(sheet->range("F6")->formula(), Variant("=GETDATA(\"Six\",10,20,30,40,50,6)"));
    EXPECT_EQ(sheet->range("F6")->value(), Variant(156.0));
    // The sample does not reach the sixth argument: nothing is written, and the user is told.
    finish(3);
    EXPECT_EQ(sheet->range("F6")->formula(), Variant("=GETDATA(\"Six\",10,20,30,40,50,6)"));
    EXPECT_EQ(prompts(), std::vector<std::string>{GetMessageText(3146)});
}

TEST_F(Wizards, ParametrizingWithACellOnASheetWhoseNameNeedsQuotes) {
    auto other = sheet->parent()->addSheet(nullptr, sheet, "Bob's data");
    other->range("B5")->setValue("Zachód");
    sheet->activate();
    sheet->range("A1")->setFormula("=GETDATA(\"Sales.Total\",\"Północ\",2023)");
    sheet->range("A1")->select();
    dialogs.actOnForm([](Form& form) {
        auto& text = form.control<TextBox>("TextBox1");
        text.setSelection(24, 6);
        form.control<CommandButton>("CommandButton1").click();
        EXPECT_EQ(text.text(), "=GETDATA(\"Sales.Total\",'Bob''s data'!B5,2023)");
        form.control<CommandButton>("CommandButton2").click();
    });
    dialogs.answerInput("'Bob''s data'!B5").answerMessage(host::ui::vbNo).answerMessage(host::ui::vbNo);
    app->run("ParametrizeFormula");
    EXPECT_EQ(sheet->range("A1")->formula(), Variant("=GETDATA(\"Sales.Total\",'Bob''s data'!B5,2023)"));
    EXPECT_EQ(sheet->range("A1")->value(), Variant(11.0));
}
