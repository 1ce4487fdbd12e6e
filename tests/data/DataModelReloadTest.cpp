#include <gtest/gtest.h>

#include <fstream>

#include "core/A_Deklaracje.h"
#include "support/AddInHost.h"

using namespace telm;
using testsupport::AddInHost;

TEST(DataModelReload, StartUpLoadsAndReloadResetsTheSettings) {
    AddInHost host(44);
    std::ofstream(host.folder.file("DataModel.par")) << "parameters=OlapProvider=msolap.3\n[Measure A]\nTYPE=OLAP\n";
    host.start();
    auto& s = SharedState();
    ASSERT_EQ(s.DataModelVariables.size(), 1u);
    EXPECT_EQ(s.ModelParameters, "OLAPPROVIDER=MSOLAP.3");
    EXPECT_EQ(s.CurrentOlapProvider, "MSOLAP.3");
    EXPECT_TRUE(host.dialogs.record().empty());

    std::ofstream(host.folder.file("DataModel2.par")) << "[Measure B]\n";
    s.LanguageIndex = 0;
    s.ErrorReportingLevel = 2;
    s.ArchiveHitCount = 9;
    s.CurrentOlapProvider = "OTHER";
    host.app->run("RefreshDataModel");
    EXPECT_EQ(s.DataModelVariables.size(), 2u);
    EXPECT_EQ(s.LanguageIndex, 1);
    EXPECT_EQ(s.ErrorReportingLevel, 1);
    EXPECT_EQ(s.ArchiveHitCount, 0);
    EXPECT_EQ(s.CurrentOlapProvider, "MSOLAP.3");
    ASSERT_EQ(host.dialogs.record().size(), 1u);
    EXPECT_EQ(host.dialogs.record()[0].prompt, "Data model has been read.\nAll settings have been reset.");
    EXPECT_EQ(host.dialogs.record()[0].buttons, 64);
    EXPECT_EQ(host.dialogs.record()[0].title, "TELM.NET - Data model");

    // Without a variable the reload says nothing, and the default provider stays.
    std::remove(host.folder.file("DataModel.par").c_str());
    std::remove(host.folder.file("DataModel2.par").c_str());
    host.app->run("RefreshDataModel");
    EXPECT_TRUE(s.DataModelVariables.empty());
    EXPECT_EQ(s.CurrentOlapProvider, "MSOLAP.2");
    EXPECT_EQ(host.dialogs.record().size(), 1u);
}
