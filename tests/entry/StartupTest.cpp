#include <gtest/gtest.h>

#include "core/A_Deklaracje.h"
#include "core/GlobalDefaults.h"
#include "entry/A_Start.h"
#include "entry/clsTELMPublicClass.h"
#include "support/AddInHost.h"

using namespace telm;
using testsupport::AddInHost;

namespace {

bool hasBar(host::sheet::Application& app, const char* name) {
    for (const auto& bar : app.commandBars().items())
        if (bar->name() == name) return true;
    return false;
}

std::string mainMenuFirstCaption(host::sheet::Application& app) {
    for (const auto& c : app.commandBars().item("Worksheet Menu Bar")->controls()->items())
        if (c->caption() == "&TELM.NET") return c->controls()->item(1)->caption();
    return "(no main menu)";
}

}  // namespace

TEST(Startup, CountryCodeChoosesTheLanguage) {
    {
        AddInHost host(48);
        host.start();
        EXPECT_EQ(SharedState().LanguageIndex, 0);
        EXPECT_EQ(mainMenuFirstCaption(*host.app), "&Analizy");
    }
    {
        AddInHost host(44);
        host.start();
        EXPECT_EQ(SharedState().LanguageIndex, 1);
        EXPECT_EQ(mainMenuFirstCaption(*host.app), "&Analyses");
    }
}

TEST(Startup, ClassicMenuBarOnlyForVersions12To15ButNot13) {
    for (const auto& [version, expected] : std::vector<std::pair<std::string, bool>>{
             {"11.0", false}, {"12.0", true}, {"13.0", false}, {"14.0", true}, {"15.0", true}, {"16.0", false}}) {
        AddInHost host(1, version);
        host.start();
        EXPECT_EQ(hasBar(*host.app, "Excel2003Menus"), expected) << version;
        EXPECT_EQ(SharedState().ExcelVersion, std::stoi(version));
    }
}

TEST(Startup, DefaultsAfterStart) {
    AddInHost host;
    host.start();
    const auto& s = SharedState();
    EXPECT_EQ(host.app->caption, "Microsoft Excel & TELM.NET");
    EXPECT_EQ(s.AddInFolder, host.folder.string());
    EXPECT_EQ(s.AnalysesFolder, host.folder.string() + "\\Analyses");
    EXPECT_EQ(s.CurrentOlapProvider, "MSOLAP.2");
    EXPECT_EQ(s.ErrorReportingLevel, 1);
    EXPECT_TRUE(s.PublishAllowPrivate);
    // The login cache holds exactly one empty entry.
    ASSERT_TRUE(s.AuthorisationTable.isArray());
    EXPECT_EQ(s.AuthorisationTable.arrayValue().lbound(), 0);
    EXPECT_EQ(s.AuthorisationTable.arrayValue().ubound(), 0);
    EXPECT_EQ(s.AuthorisationTable.arrayValue()(0), host::Variant(""));
    EXPECT_EQ(host.app->statusBar(), host::Variant(false));
    EXPECT_TRUE(hasBar(*host.app, "TELM"));
}

TEST(Startup, StartsOncePerApplicationByTheCaseSensitiveMarker) {
    {
        AddInHost host;
        host.app->caption = "Microsoft Excel (!!! NO TELM.NET !!!)";  // left by an earlier instance
        host.start();
        EXPECT_EQ(SharedState().ErrorReportingLevel, 0);  // nothing was started
        EXPECT_FALSE(hasBar(*host.app, "TELM"));
    }
    {
        AddInHost host;
        host.app->caption = "Microsoft Excel - telm.net";  // lower case does not count
        host.start();
        EXPECT_EQ(SharedState().ErrorReportingLevel, 1);
    }
    {
        AddInHost host;
        host.start();
        SharedState().ErrorReportingLevel = 3;
        std::vector<host::Variant> none;
        host.companion->publicClass()->invoke("TELMStart", none);  // a second start does nothing
        EXPECT_EQ(SharedState().ErrorReportingLevel, 3);
    }
}

TEST(Startup, AFailingStepDoesNotStopTheOthers) {
    AddInHost host(1, "14.0", /*withToolbarFile=*/false);
    host.start();
    // The toolbar could not be loaded: message 1037 was shown ...
    ASSERT_FALSE(host.dialogs.record().empty());
    EXPECT_EQ(host.dialogs.record().front().title, "TELM.NET - Settings");
    EXPECT_NE(host.dialogs.record().front().prompt.find("Commandbar's registration error"), std::string::npos);
    // ... and the steps after it ran.
    EXPECT_TRUE(hasBar(*host.app, "Excel2003Menus"));
    EXPECT_TRUE(host.app->commandBars().item("Cell")->findControl("TELM.NET") != nullptr);
    EXPECT_EQ(host.app->statusBar(), host::Variant(false));
}

TEST(Startup, DefaultsFailureShowsMessage1999Directly) {
    ResetSharedState();
    auto& dialogs = host::ui::resetScriptedBackend();
    auto app = host::sheet::Application::create();  // no companion workbook: ThisWorkbook is missing
    SharedState().ExcelApp = app;
    SharedState().ErrorReportingLevel = 0;  // the box does not go through ReportMessage
    InitGlobalDefaults();
    ASSERT_EQ(dialogs.record().size(), 1u);
    // The catalogue is filled only after the defaults, so at the first start the lead-in is the
    // catalogue's failure text.
    EXPECT_EQ(dialogs.record()[0].prompt,
              "Critical error. Restart TELM.NET!Object variable or With block variable not set");
    EXPECT_EQ(dialogs.record()[0].buttons, 48);
    EXPECT_EQ(dialogs.record()[0].title, "TELM.NET");
    EXPECT_EQ(SharedState().ErrorReportingLevel, 0);  // assignments after the failure were not made
    ResetSharedState();
}

TEST(Startup, TerminatorRemovesMenusBeforeReleasingTheHost) {
    AddInHost host(1, "12.0");
    host.start();
    ASSERT_TRUE(hasBar(*host.app, "TELM"));
    host.companion->close();
    EXPECT_EQ(host.app->caption, "Microsoft Excel (!!! NO TELM.NET !!!)");
    EXPECT_FALSE(hasBar(*host.app, "Excel2003Menus"));
    EXPECT_FALSE(hasBar(*host.app, "TELM"));
    EXPECT_EQ(mainMenuFirstCaption(*host.app), "(no main menu)");
    EXPECT_EQ(host.app->commandBars().item("Cell")->findControl("TELM.NET"), nullptr);
    EXPECT_EQ(SharedState().ExcelApp, nullptr);
    EXPECT_EQ(clsTELMPublicClass::InstanceCount(), 0);
}
