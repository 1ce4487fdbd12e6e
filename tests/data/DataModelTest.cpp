#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "data/F_Dane.h"
#include "data/P_Archiwum.h"
#include "host/base/Path.h"
#include "host/base/Text.h"
#include "host/os/Launcher.h"
#include "host/ui/ScriptedBackend.h"
#include "support/TempFolder.h"

using namespace telm;

namespace {

// The 14 fields of a variable, in record order.
std::vector<std::string> fieldsOf(const DataModelVariable& v) {
    return {v.Name, v.ABOUT, v.TYPE, v.ADDSTRING, v.GETDATAARGUMENTS, v.CONNECTIONTEXT, v.QUERYTEXT,
            v.ALIASES, v.SAMPLEFUNCTION, v.ARG1, v.ARG2, v.ARG3, v.ARG4, v.ARG5};
}

class DataModel : public ::testing::Test {
protected:
    testsupport::TempFolder folder{"telm-model"};
    host::ui::ScriptedBackend& dialogs = host::ui::resetScriptedBackend();
    A_Deklaracje& s = (ResetSharedState(), SharedState());

    void SetUp() override {
        InitMessageCatalogue();
        s.AddInFolder = folder.string();
        s.LanguageIndex = 1;
        s.ErrorReportingLevel = 1;
        s.CurrentOlapProvider = "MSOLAP.2";
        host::os::clearLaunches();
    }
    void TearDown() override {
        ResetSharedState();
        host::ui::resetScriptedBackend();
        host::os::clearLaunches();
    }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(folder.file(name), std::ios::binary) << text;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& v : s.DataModelVariables) out.push_back(v.Name);
        return out;
    }
    // The prompts of the message boxes shown so far.
    std::vector<std::string> prompts() const {
        std::vector<std::string> out;
        for (const auto& d : dialogs.record()) out.push_back(d.prompt);
        return out;
    }
    // Message 105 as the box shows it: two CRs, then the file.
    std::string readError(const std::string& file) const { return GetMessageText(105) + "\n\n" + file; }
};

}  // namespace

TEST_F(DataModel, ModelFilesByNamePrefixInListingOrder) {
    write("DataModelLocation.par", "[tElM.nEt.FOLDER]\\Budget.par\r\n");
    write("Budget.par", "[Measure b1]\r\n");
    write("BudgetCustom.par", "[Measure b2]\r\n");
    write("budget_old.PAR", "[Measure b3]\r\n");
    write("Budget.txt", "[Measure not a model file]\r\n");
    write("Other.par", "[Measure other]\r\n");
    LoadDataModel(false);
    EXPECT_EQ(names(), (std::vector<std::string>{"b1", "b2", "b3"}));
    EXPECT_EQ(s.ModelName, "Budget");
    EXPECT_EQ(s.ModelFolder, folder.string());
    EXPECT_EQ(s.ModelFile, "budget_old.PAR");  // the name of the latest file read
    EXPECT_TRUE(dialogs.record().empty());
}

TEST_F(DataModel, LocationFileFallsBackToTheDefaultModel) {
    std::filesystem::create_directory(folder.file("models"));
    std::ofstream(folder.file("models/Budget.par")) << "[Measure budget]\n";
    write("DataModel.par", "[Measure default]\n");
    write("DataModelExtra.par", "[Measure extra]\n");
    // Missing location file: every DataModel*.par of the add-in folder, never the location file itself.
    LoadDataModel(false);
    EXPECT_EQ(names(), (std::vector<std::string>{"default", "extra"}));
    // The last line wins; an empty last line means the default.
    write("DataModelLocation.par", "[Measure location]\r\n[TELM.NET.Folder]\\models\\Budget.par\r\n\r\n");
    LoadDataModel(false);
    EXPECT_EQ(names(), (std::vector<std::string>{"default", "extra"}));
    EXPECT_EQ(s.ModelName, "DataModel");
    write("DataModelLocation.par", "");
    LoadDataModel(false);
    EXPECT_EQ(names(), (std::vector<std::string>{"default", "extra"}));
    write("DataModelLocation.par", "C:\\old\\Sales.par\n[TELM.NET.Folder]\\models\\Budget.par");
    LoadDataModel(false);
    EXPECT_EQ(names(), std::vector<std::string>{"budget"});
    EXPECT_EQ(s.ModelFolder, folder.string() + "\\models");
}

TEST_F(DataModel, LinuxAndWindowsPathsNameTheSameModel) {
    std::filesystem::create_directory(folder.file("m"));
    std::ofstream(folder.file("m/Sales.PAR")) << "[Measure s]\nTYPE=ODBC\n";
    write("DataModelLocation.par", folder.string() + "/m/Sales.PAR\n");
    LoadDataModel(false);
    EXPECT_EQ(s.ModelName, "Sales");
    EXPECT_EQ(s.ModelFolder, folder.string() + "/m");
    EXPECT_EQ(names(), std::vector<std::string>{"s"});

    write("DataModelLocation.par", host::Replace(folder.string(), "/", "\\") + "\\m\\Sales.par\n");
    LoadDataModel(false);
    EXPECT_EQ(s.ModelName, "Sales");
    EXPECT_EQ(host::nativePath(s.ModelFolder), folder.string() + "/m");
    EXPECT_EQ(names(), std::vector<std::string>{"s"});
}

TEST_F(DataModel, LineSyntax) {
    write("DataModel.par",
          "PARAMETERS=first\r\n"
          "GETDATA() Function data source settings\r\n"
          "[Measure Sales]\r\n"
          " type = ODBC\r\n"
          "About=Net sales :::the note keeps the blank before it\r\n"
          "QueryText=SELECT ':::' FROM t\r\n"
          "Conn\tectionText=DBQ=[telm.NET.folder]\\db.sqlite;\r\n"
          "ARG1=first\r\n"
          "arg1=second\r\n"
          "Unknown=1\r\n"
          "=no key\r\n"
          "[measure lower]\r\n"
          "[Measure trailing] \r\n"
          "[Measure cut] :::the blank before a comment stays\r\n"
          "[Measure  Padded ]\r"
          "[Measure ]\r\r\n"
          "aLiAsEs = a=b\r\r\n"
          "parameters=OlapProvider=msolap.4;Path=[TELM.NET.Folder]\r\n");
    LoadDataModel(false);
    ASSERT_EQ(names(), (std::vector<std::string>{"Sales", " Padded ", ""}));
    const auto& sales = s.DataModelVariables[0];
    EXPECT_EQ(sales.TYPE, " ODBC");
    EXPECT_EQ(sales.ABOUT, "Net sales ");
    EXPECT_EQ(sales.QUERYTEXT, "SELECT '");
    EXPECT_EQ(sales.CONNECTIONTEXT, "DBQ=" + folder.string() + "\\db.sqlite;");
    EXPECT_EQ(sales.ARG1, "second");
    // A header without fields gives a variable with every other field empty.
    std::vector<std::string> padded(14);
    padded[0] = " Padded ";
    EXPECT_EQ(fieldsOf(s.DataModelVariables[1]), padded);
    EXPECT_EQ(s.DataModelVariables[2].ALIASES, " a=b");
    // The parameters line: the last one wins, upper-cased, folder token kept.
    EXPECT_EQ(s.ModelParameters, "OLAPPROVIDER=MSOLAP.4;PATH=[TELM.NET.FOLDER]");
    EXPECT_EQ(s.CurrentOlapProvider, "MSOLAP.4");
    EXPECT_TRUE(dialogs.record().empty());
}

TEST_F(DataModel, LineEndsOfTheFileAndEscapedValues) {
    // Lines ending in CR LF keep a lone LF inside; a file whose lines all end at LF is read by lines.
    write("DataModel.par", "[Measure Windows]\r\nAbout=SELECT 1\nFROM t\r\n"
                           "QUERYTEXT *=a\\cb\\c\\c\\cc \\\\server\\tx\\r\\n[Measure No]\\q ::: a note\r\n");
    write("DataModelUnix.par", "[Measure Unix]\nABOUT=one\nTYPE=two\n");
    LoadDataModel(false);
    ASSERT_EQ(names(), (std::vector<std::string>{"Windows", "Unix"}));
    EXPECT_EQ(s.DataModelVariables[0].ABOUT, "SELECT 1\nFROM t");
    EXPECT_EQ(s.DataModelVariables[0].QUERYTEXT, "a:b:::c \\server\tx\r\n[Measure No]\\q ");
    EXPECT_EQ(s.DataModelVariables[1].ABOUT, "one");
    EXPECT_EQ(s.DataModelVariables[1].TYPE, "two");
}

TEST_F(DataModel, CleanParLineCutsTheCommentAndRemovesTabs) {
    std::string line = "\tKEY =\ta b ::: c ::: d";
    EXPECT_EQ(CleanParLine(line), "KEY =a b ");
    EXPECT_EQ(line, "KEY =a b ");
    std::string comment = ":::";
    EXPECT_EQ(CleanParLine(comment), "");
}

TEST_F(DataModel, CurrentVariableCarriesOverToTheNextFile) {
    write("DataModel.par", "[Measure A]\nTYPE=ODBC\n");
    write("DataModelB.par", "ABOUT=from the next file\nPARAMETERS=ServerCalculation=1\n[Measure B]\n");
    LoadDataModel(false);
    ASSERT_EQ(names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(s.DataModelVariables[0].ABOUT, "from the next file");
    EXPECT_EQ(s.CurrentOlapProvider, "MSOLAP.2");  // no OlapProvider item: unchanged

    // A second load starts from an empty list: a deleted field line is gone.
    write("DataModelB.par", "[Measure B]\n");
    LoadDataModel(false);
    EXPECT_EQ(s.DataModelVariables[0].ABOUT, "");
    EXPECT_EQ(s.ModelParameters, "");
}

TEST_F(DataModel, FileWithoutHeader) {
    // Parameters and notes before any variable are fine.
    write("DataModel.par", "PARAMETERS=OlapProvider=\nsome note\nOther=1\n");
    LoadDataModel(false);
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(s.CurrentOlapProvider, "MSOLAP.2");  // an empty OlapProvider item: unchanged
    EXPECT_TRUE(dialogs.record().empty());
    // A field before the model's first variable is a failure of the file that holds it.
    write("DataModelB.par", "[Measure B]\n");
    write("DataModel.par", "TYPE=ODBC\n[Measure A]\n");
    LoadDataModel(false);
    EXPECT_TRUE(names().empty());
    ASSERT_EQ(dialogs.record().size(), 1u);
    EXPECT_EQ(dialogs.record()[0].prompt, readError("DataModel.par"));
    EXPECT_EQ(dialogs.record()[0].buttons, 16);
    EXPECT_EQ(dialogs.record()[0].title, "TELM.NET - Data model");
}

TEST_F(DataModel, ValueLimitCountsCharacters) {
    write("DataModel.par", "[Measure long]\nQUERYTEXT=" + host::String(1'000'005, "ą") + "\n");
    LoadDataModel(false);
    ASSERT_EQ(names().size(), 1u);
    EXPECT_EQ(host::Len(s.DataModelVariables[0].QUERYTEXT), 1'000'000);
}

TEST_F(DataModel, AtMost32768Variables) {
    std::string headers;
    for (int i = 0; i < 32'768; ++i) headers += "[Measure v]\n";
    write("DataModel.par", headers);
    LoadDataModel(false);
    EXPECT_EQ(s.DataModelVariables.size(), 32'768u);
    write("DataModelZ.par", "[Measure one too many]\n");
    LoadDataModel(false);
    EXPECT_TRUE(s.DataModelVariables.empty());
    EXPECT_EQ(prompts(), std::vector<std::string>{readError("DataModelZ.par")});
}

TEST_F(DataModel, MissingModelFolderReportsAndEmptiesTheModel) {
    const std::string modelFile = folder.string() + "\\none\\Sales.par";
    write("DataModelLocation.par", modelFile);
    s.DataModelVariables.resize(3);
    LoadDataModel(false);
    EXPECT_TRUE(s.DataModelVariables.empty());
    EXPECT_EQ(prompts(), std::vector<std::string>{readError(modelFile)});
    // At error-reporting level 3 the message goes to the error log instead.
    s.ErrorReportingLevel = 3;
    LoadDataModel(false);
    EXPECT_EQ(dialogs.record().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(folder.file("Errors.log")));
}

TEST_F(DataModel, FileGoneBetweenListingAndReading) {
    write("DataModel.par", "[Measure A]\n");
    // A link whose file is gone is listed, and reading it fails as for a file deleted meanwhile.
    std::filesystem::create_symlink(folder.file("deleted.par"), folder.file("DataModelGone.par"));
    LoadDataModel(false);
    EXPECT_TRUE(s.DataModelVariables.empty());
    EXPECT_EQ(prompts(), std::vector<std::string>{readError("DataModelGone.par")});
}

TEST_F(DataModel, EditModeOpensEachFileInTheEditor) {
    write("DataModel.par", "PARAMETERS=OlapProvider=X\n[Measure A]\n");
    write("DataModel2.par", "[Measure B]\n");
    write("DataModelCustom.par", "[Measure C]\n");
    LoadDataModel(false);
    ASSERT_EQ(names().size(), 3u);
    s.CurrentOlapProvider = "MSOLAP.2";
    LoadDataModel(true);
    const std::string prefix = folder.string() + "\\";
    const std::vector<host::os::Launch> expected{{host::os::LaunchKind::Editor, prefix + "DataModel.par"},
                                                 {host::os::LaunchKind::Editor, prefix + "DataModel2.par"},
                                                 {host::os::LaunchKind::Editor, prefix + "DataModelCustom.par"}};
    EXPECT_EQ(host::os::launches(), expected);
    EXPECT_EQ(s.ModelParameters, "");
    EXPECT_EQ(s.CurrentOlapProvider, "MSOLAP.2");
    EXPECT_EQ(names().size(), 3u);  // the variables in memory stay
}

TEST_F(DataModel, CustomFileAppendedLater) {
    write("DataModel.par", "[Measure A]\n");
    LoadDataModel(false);
    const std::string custom = s.ModelFolder + "\\" + s.ModelName + "Custom.par";
    EXPECT_TRUE(AppendLogLine("[Measure Added]", custom, false, "header"));
    EXPECT_TRUE(AppendLogLine("TYPE=ODBC", custom, false, "header"));
    LoadDataModel(false);
    ASSERT_EQ(names(), (std::vector<std::string>{"A", "Added"}));
    EXPECT_EQ(s.DataModelVariables[1].TYPE, "ODBC");
    std::ifstream in(folder.file("DataModelCustom.par"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "GETDATA() Function data source settings\n\r\n\r" + std::string(79, '-') +
                        "\r\n[Measure Added]\r\nTYPE=ODBC\r\n");
}

TEST_F(DataModel, LookUpByNameFindsTheFirstOfANameExactlyAndFollowsReloads) {
    write("DataModel.par", "[Measure Sales]\r\nABOUT=first\r\n[Measure sales]\r\nABOUT=lower\r\n"
                           "[Measure Sales]\r\nABOUT=second\r\n");
    LoadDataModel(false);
    ASSERT_NE(FindDataModelVariable("Sales"), nullptr);
    EXPECT_EQ(FindDataModelVariable("Sales")->ABOUT, "first");
    EXPECT_EQ(FindDataModelVariable("sales")->ABOUT, "lower");
    EXPECT_EQ(FindDataModelVariable("SALES"), nullptr);
    EXPECT_EQ(FindDataModelVariable(""), nullptr);

    write("DataModel.par", "[Measure Costs]\r\nABOUT=new\r\n");
    LoadDataModel(false);
    EXPECT_EQ(FindDataModelVariable("Sales"), nullptr);
    EXPECT_EQ(FindDataModelVariable("Costs")->ABOUT, "new");

    // A list changed without the loader is indexed again.
    s.DataModelVariables.insert(s.DataModelVariables.begin(), DataModelVariable{});
    s.DataModelVariables.front().Name = "Costs";
    s.DataModelVariables.front().ABOUT = "inserted";
    EXPECT_EQ(FindDataModelVariable("Costs")->ABOUT, "inserted");
}
