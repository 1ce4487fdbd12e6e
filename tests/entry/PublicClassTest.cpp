#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/A_Deklaracje.h"
#include "entry/clsTELMPublicClass.h"
#include "host/sheet/CommandBars.h"
#include "support/AddInHost.h"

using namespace telm;
using host::Variant;
using testsupport::AddInHost;

namespace {

const std::string kNotSet = "Object variable or With block variable not set";

// Every caption of a control tree, depth first.
void collectCaptions(const host::sheet::CommandBarControls& controls, std::vector<std::string>& out) {
    for (const auto& c : controls.items()) {
        out.push_back(c->caption());
        if (c->type() == host::sheet::ControlType::Popup) collectCaptions(*c->controls(), out);
    }
}

std::vector<std::string> addInCaptions(host::sheet::Application& app) {
    std::vector<std::string> captions;
    for (const auto& c : app.commandBars().item("Worksheet Menu Bar")->controls()->items())
        if (c->caption() == "&TELM.NET") collectCaptions(*c->controls(), captions);
    for (const char* bar : {"Cell", "PivotTable Context Menu", "Query"})
        for (const auto& c : app.commandBars().item(bar)->controls()->items())
            if (c->tag() == "TELM.NET") {
                captions.push_back(c->caption());
                if (c->type() == host::sheet::ControlType::Popup) collectCaptions(*c->controls(), captions);
            }
    for (const auto& c : app.commandBars().item("TELM")->controls()->items()) captions.push_back(c->tooltipText());
    return captions;
}

}  // namespace

TEST(PublicClass, GuardedFunctionsWithoutTheHostReturnItsDescription) {
    ResetSharedState();
    clsTELMPublicClass cls;  // app was never set
    std::vector<Variant> args{Variant(host::Array::vector({Variant("x")}))};
    std::string inne;
    std::int32_t val = 1;
    EXPECT_EQ(cls.GETDATA(args), Variant(kNotSet));
    EXPECT_EQ(cls.GETDATAOLAP("s", "d", "c", "m", "", "", inne), Variant(kNotSet));
    EXPECT_EQ(cls.GETDATAOLAPuni("c", "mdx", false), Variant(kNotSet));
    EXPECT_EQ(cls.GETDATAODBC("c", "sql", true), Variant(kNotSet));
    EXPECT_EQ(cls.GETDATALINK("link", ":"), Variant(kNotSet));
    EXPECT_EQ(cls.GETTRANSLATION("tekst", "pl", "en"), Variant(kNotSet));
    EXPECT_EQ(cls.TestFunction(val), Variant(kNotSet));
    EXPECT_EQ(SharedState().ErrorText, "");  // the error exit leaves the pending text alone
    // VALUE2STRING has no guard: digit mode and a zero whole part work, words of a number need the host.
    EXPECT_NE(cls.VALUE2STRING(0.5, "EN", "", "/100", false), kNotSet);
    EXPECT_EQ(cls.VALUE2STRING(12, "EN", "", "/100", false), kNotSet);
}

TEST(PublicClass, WorksheetFunctionsFromCells) {
    AddInHost host;
    host.start();
    auto sheet = host.app->workbooks().add()->sheet(1);
    auto cell = [&](const char* address, const std::string& formula) {
        sheet->range(address)->setFormula(formula);
        return sheet->range(address)->value();
    };
    EXPECT_EQ(cell("A1", "=TEST()"), Variant("TELM.NET"));
    EXPECT_EQ(cell("A2", "=GETDATALINK(\"[Book.xlsx]Sheet1!R1C1\",\":\")"), Variant("l(:)[Book.xlsx]Sheet1!R1C1"));
    EXPECT_EQ(SharedState().ErrorText, "#Unexpected error");  // preset by the guard
    // Any other second argument fetches the link as if it were empty.
    for (const char* other : {";", "a", ": "}) {
        const Variant v = cell("A3", std::string("=GETDATALINK(\"x\",\"") + other + "\")");
        EXPECT_NE(v.toString().rfind("l(:)", 0), 0u) << other;
    }
    // GETDATA and its Polish name reach the engine, which with no model loaded answers the pending
    // text; GETDATA with no list at all fails in the guard.
    EXPECT_EQ(cell("A4", "=DANE(\"Sales\",A1,3)"), Variant("#Unexpected error"));
    std::vector<Variant> empty;
    EXPECT_EQ(std::dynamic_pointer_cast<clsTELMPublicClass>(host.companion->publicClass())->GETDATA(empty),
              Variant("Subscript out of range"));
    // VALUE2STRING given only a number: "EN", no currency, "/100", no three letters.
    EXPECT_EQ(cell("A5", "=VALUE2STRING(12.5)"), cell("A6", "=VALUE2STRING(12.5,\"EN\",\"\",\"/100\",FALSE)"));
    // The guard marks the calling cell volatile; VALUE2STRING has no guard.
    EXPECT_TRUE(sheet->calcState().volatileCells.contains(host::sheet::cellKey(1, 1)));
}

TEST(PublicClass, SwitchLanguageRebuildsEveryCaptionFromTheCatalogue) {
    AddInHost host(48);
    host.start();
    const auto polish = addInCaptions(*host.app);
    std::vector<Variant> none;
    host.companion->publicClass()->invoke("PublicSwitchLanguage", none);
    EXPECT_EQ(SharedState().LanguageIndex, 1);
    const auto english = addInCaptions(*host.app);
    ASSERT_EQ(polish.size(), english.size());
    ASSERT_GT(polish.size(), 50u);
    int differing = 0;
    for (std::size_t i = 0; i < polish.size(); ++i) {
        EXPECT_EQ(polish[i].find("Critical error"), std::string::npos) << polish[i];
        EXPECT_EQ(english[i].find("Critical error"), std::string::npos) << english[i];
        EXPECT_FALSE(english[i].empty());
        differing += polish[i] != english[i];
    }
    EXPECT_GT(differing, 40);
    host.companion->publicClass()->invoke("PublicSwitchLanguage", none);
    EXPECT_EQ(addInCaptions(*host.app), polish);
    // Any other value than 1 becomes 1.
    SharedState().LanguageIndex = 7;
    host.companion->publicClass()->invoke("PublicSwitchLanguage", none);
    EXPECT_EQ(SharedState().LanguageIndex, 1);
}

TEST(PublicClass, MenuControlsRunTheirCommands) {
    AddInHost host(44);
    host.start();
    for (const auto& c : host.app->commandBars().item("Worksheet Menu Bar")->controls()->items())
        if (c->caption() == "&TELM.NET") {
            c->controls()->item("Polski / English")->execute();
            EXPECT_EQ(SharedState().LanguageIndex, 0);
        }
    // A command reaches its procedure, which reports what stops it.
    host.app->run("PublishNormal");
    ASSERT_FALSE(host.dialogs.record().empty());
    EXPECT_EQ(host.dialogs.record().back().prompt, "Brak skoroszytu lub skoroszyt niezapisany.");  // in Polish now
    EXPECT_THROW(host.app->run("NoSuchCommand"), host::RuntimeError);
}

TEST(PublicClass, MenageWorkbooksGoesThroughTheReportingLevel) {
    AddInHost host;
    host.start();
    std::vector<Variant> none;
    SharedState().ErrorReportingLevel = 0;
    host.companion->publicClass()->invoke("PublicMenageWorkbooks", none);
    EXPECT_TRUE(host.dialogs.record().empty());
    SharedState().ErrorReportingLevel = 3;
    host.companion->publicClass()->invoke("PublicMenageWorkbooks", none);
    EXPECT_TRUE(host.dialogs.record().empty());
    std::ifstream log(host.folder.file("Errors.log"));
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find(" - TELM.NET,64,Temporarily in preparation."), std::string::npos);
    SharedState().ErrorReportingLevel = 2;
    host.companion->publicClass()->invoke("PublicMenageWorkbooks", none);
    ASSERT_EQ(host.dialogs.record().size(), 1u);
    EXPECT_EQ(host.dialogs.record()[0].prompt, "Temporarily in preparation.");
}

TEST(PublicClass, EventsAndEmptyMembersDoNothingUntilArmed) {
    AddInHost host;
    host.start();
    auto sheet = host.app->workbooks().add()->sheet(1);
    sheet->range("A1")->setFormula("=1+1");  // sheet change and calculate reach the class
    host.app->workbooks().add()->activate();
    EXPECT_TRUE(host.dialogs.record().empty());
    SharedState().RepairLinksOnActivate = true;  // now activation runs the link repair
    sheet->range("A2")->setFormula("='/elsewhere/[TELM.NET.xla]Sheet1'!A1");
    host.app->workbooks().item(1)->activate();
    EXPECT_EQ(sheet->range("A2")->formula(), Variant("='" + host.folder.string() + "/[TELM.NET.xla]Sheet1'!A1"));
    EXPECT_TRUE(host.dialogs.record().empty());
    // The folder of the add-in's component file, before and after start alike.
    std::vector<Variant> none;
    const Variant path = host.companion->publicClass()->invoke("PublicRegPath", none);
    EXPECT_NE(path.toString().find('/'), std::string::npos);
}
