// Analyses opened, saved, saved as, edited and closed through the add-in's commands, over workbook
// files of GETDATA cells and a SQLite database.

#include <gtest/gtest.h>

#include <filesystem>

#include "AnalysisWorkbooks.h"
#include "analyses/AnalysisList.h"
#include "analyses/P_Analizy.h"
#include "core/A_Languages.h"
#include "host/base/Path.h"

using host::Variant;
using namespace telm;
using testsupport::AnalysisWorkbooks;

namespace {

struct ThreeBookAnalysis : AnalysisWorkbooks {
    std::string ana = folder.file("Analyses/sales.ana");
    ThreeBookAnalysis() {
        saveBook("north.xlsx", "Anna");
        saveBook("south.xlsx", "Adam");
        saveBook("east.xlsx", "Anna");
        for (const char* name : {"north.xlsx", "south.xlsx", "east.xlsx"}) book(name)->close();
        std::filesystem::create_directories(folder.file("Analyses"));
        // The folder token and the Windows separator stand in one path; "a" activates south.
        WriteAnalysisList(ana, {{folder.file("north.xlsx"), ""},
                                {"[TELM.NET.Folder]\\south.xlsx", "a"},
                                {folder.file("east.xlsx"), " "}});
    }
    void openAnalysis() {
        std::string file = ana, report, name;
        OpenAnalysis(file, report, name);
    }
};

}  // namespace

TEST(AnalysesTest, OpenedRecalculatedSavedAndSavedAs) {
    ThreeBookAnalysis t;
    t.setAmount("Anna", 20);
    t.dialogs.answerPath(t.ana);
    t.app->run("OpenAnalyse");
    EXPECT_EQ(t.app->workbooks().count(), 3) << t.messages();
    EXPECT_EQ(t.value("north.xlsx", "A1"), Variant(20.0));
    EXPECT_EQ(t.value("east.xlsx", "A2"), Variant(40.0));
    EXPECT_EQ(t.value("south.xlsx", "A1"), Variant(7.0));
    EXPECT_EQ(t.app->activeWorkbook(), t.book("south.xlsx"));
    EXPECT_EQ(SharedState().CurrentAnalysisName, t.ana);
    EXPECT_EQ(SharedState().CurrentAnalysisWorkbook, "sales.ana");
    EXPECT_EQ(t.dialogs.record().front().title, "TELM.NET - Analyses");
    t.expectIdle();

    // Saved: each workbook of the analysis goes to its file.
    t.book("north.xlsx")->sheet(1)->range("B1")->setValue("changed");
    t.app->run("SaveAnalyse");
    EXPECT_EQ(AnalysisWorkbooks::fileValue(t.folder.file("north.xlsx"), "B1"), Variant("changed"));
    EXPECT_EQ(AnalysisWorkbooks::fileValue(t.folder.file("north.xlsx"), "A1"), Variant(20.0));
    t.expectIdle();

    // Saved as a new analysis file of the open workbooks, which becomes the current analysis.
    const std::string copy = t.folder.file("Analyses/copy");
    t.dialogs.answerPath(copy);
    t.app->run("SaveAsAnalyse");
    EXPECT_EQ(t.dialogs.record().back().title, "Analyse definitions of TELM.NET");
    const auto entries = ReadAnalysisList(copy + ".ana");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].path, host::nativePath(t.folder.file("north.xlsx")));
    EXPECT_EQ(SharedState().CurrentAnalysisName, copy + ".ana");

    // Edited: the analysis file itself opens in the host.
    t.app->run("EditAnalyse");
    ASSERT_TRUE(t.book("copy.ana"));
    EXPECT_EQ(t.book("copy.ana")->sheet(1)->range("A1")->value(), Variant(kAnalysisMark));
}

TEST(AnalysesTest, ClosedInEachMode) {
    ThreeBookAnalysis t;
    // Mode 2: the workbooks stay open, the analysis ends.
    t.openAnalysis();
    std::string name;
    std::int16_t mode = 2;
    CloseAnalysis(name, mode);
    EXPECT_EQ(t.app->workbooks().count(), 3);
    EXPECT_EQ(SharedState().CurrentAnalysisName, "");

    // Other modes do nothing at all, not even ask.
    t.dialogs.reset();
    mode = 3;
    CloseAnalysis(name, mode);
    mode = -1;
    CloseAnalysis(name, mode);
    EXPECT_TRUE(t.dialogs.record().empty());

    // Mode 0 closes without saving; the analysis is named in the call.
    t.book("north.xlsx")->sheet(1)->range("B1")->setValue("lost");
    name = t.ana;
    mode = 0;
    CloseAnalysis(name, mode);
    EXPECT_EQ(t.app->workbooks().count(), 0);
    EXPECT_TRUE(AnalysisWorkbooks::fileValue(t.folder.file("north.xlsx"), "B1").isEmpty());

    // Mode 1, the menu command: the changed workbook is saved before it closes.
    t.openAnalysis();
    t.book("east.xlsx")->sheet(1)->range("B1")->setValue("kept");
    t.app->run("CloseAnalyse");
    EXPECT_EQ(t.app->workbooks().count(), 0);
    EXPECT_EQ(AnalysisWorkbooks::fileValue(t.folder.file("east.xlsx"), "B1"), Variant("kept"));
    EXPECT_EQ(SharedState().CurrentAnalysisName, "");

    // Without a current analysis: asked whether to keep the open workbooks as one; No does nothing.
    t.dialogs.reset();
    t.dialogs.answerMessage(host::ui::vbNo);
    t.app->run("CloseAnalyse");
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, GetMessageText(145));
    t.dialogs.answerMessage(host::ui::vbNo);
    t.app->run("SaveAnalyse");
    EXPECT_EQ(t.dialogs.record().size(), 2u);
}

TEST(AnalysesTest, MissingFilesUnknownOptionsAndFilesThatAreNoAnalysis) {
    ThreeBookAnalysis t;
    SharedState().ErrorReportingLevel = 2;
    const std::string odd = t.folder.file("Analyses/odd.ana");
    WriteAnalysisList(odd, {{t.folder.file("north.xlsx"), "Pz"}, {t.folder.file("missing.xlsx"), ""}});
    std::string file = odd, report, name = "Odd one";
    OpenAnalysis(file, report, name);
    EXPECT_EQ(SharedState().LastOpenedAnalysis, "Odd one");
    EXPECT_EQ(report, GetMessageText(141) + odd + "\n\n" + GetMessageText(142) + "\n" + t.folder.file("missing.xlsx"));
    EXPECT_NE(t.messages().find(GetMessageText(1028) + "z"), std::string::npos) << t.messages();
    EXPECT_EQ(t.app->workbooks().count(), 1);
    // "P" published north beside itself.
    EXPECT_TRUE(std::filesystem::exists(t.folder.file("north_mirror.xlsx")));

    // Links to a workbook outside the analysis are reported; links inside it are not.
    auto north = t.book("north.xlsx");
    north->sheet(1)->range("C1")->setFormula("='" + t.folder.string() + "/[other.xlsx]Sheet1'!A1");
    north->sheet(1)->range("C2")->setFormula("='" + t.folder.string() + "/[NORTH_MIRROR.xlsx]Sheet1'!A1");
    north->save();
    north->close();
    WriteAnalysisList(odd, {{t.folder.file("north.xlsx"), ""}, {t.folder.file("north_mirror.xlsx"), ""}});
    OpenAnalysis(file, report, name);
    EXPECT_EQ(report, GetMessageText(141) + odd + "\n\n" + GetMessageText(143) + "\nnorth.xlsx: " +
                          t.folder.file("other.xlsx") + "\n\n" + GetMessageText(144));
    for (const auto& book : t.app->workbooks().list()) book->close();

    // A workbook that is no analysis file, and a file that is no workbook.
    t.dialogs.reset();
    file = t.folder.file("north.xlsx");
    OpenAnalysis(file, report, name);
    std::ofstream(t.folder.file("text.ana")) << "not a workbook";
    file = t.folder.file("text.ana");
    OpenAnalysis(file, report, name);
    ASSERT_EQ(t.dialogs.record().size(), 2u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, GetMessageText(1019) + "\n" + t.folder.file("north.xlsx"));
    EXPECT_EQ(t.dialogs.record()[1].prompt, GetMessageText(1019) + "\n" + t.folder.file("text.ana"));
    EXPECT_EQ(SharedState().CurrentAnalysisName, odd);

    // A workbook never saved cannot be listed.
    const std::string unsaved = t.app->workbooks().add()->name();
    t.app->run("SaveAsAnalyse");
    EXPECT_EQ(t.dialogs.record().back().prompt, GetMessageText(1030) + "\n" + unsaved);
}

TEST(AnalysesTest, TemplateOpenedFromTheTemplatesFolder) {
    AnalysisWorkbooks t;
    std::filesystem::create_directories(t.folder.file("Templates"));
    auto book = t.app->workbooks().add();
    book->sheet(1)->range("A1")->setValue("template");
    book->saveAs(t.folder.file("Templates/report.xltx"));
    book->close();
    const std::string before = host::currentDirectory();
    t.dialogs.answerPath(t.folder.file("Templates/report.xltx"));
    t.app->run("OtworzSzablonVADUR");
    EXPECT_EQ(host::currentDirectory(), before);
    // A new, unsaved workbook based on the template: saving cannot rewrite the template.
    EXPECT_FALSE(t.book("report.xltx"));
    auto based = t.book("report1");
    ASSERT_TRUE(based);
    EXPECT_EQ(t.value("report1", "A1"), Variant("template"));
    EXPECT_TRUE(based->path().empty());
    based->sheet(1)->range("A1")->setValue("edited");
    EXPECT_THROW(based->save(), host::RuntimeError);
    t.dialogs.answerPath(t.folder.file("Templates/report.xltx"));
    t.app->run("OtworzSzablonVADUR");
    EXPECT_TRUE(t.book("report2"));
    EXPECT_EQ(AnalysisWorkbooks::fileValue(t.folder.file("Templates/report.xltx"), "A1"), Variant("template"));
    // Cancelled: nothing opens.
    t.app->run("OtworzSzablonVADUR");
    EXPECT_EQ(t.app->workbooks().count(), 2);
}
