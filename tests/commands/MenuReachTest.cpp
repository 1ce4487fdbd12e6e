// Every command the add-in puts on the menus, the toolbar and the context menus reaches a member of
// the public class; the commands built so far run to their end; the language switch rebuilds the
// command bars in the other language.

#include <gtest/gtest.h>

#include <functional>

#include "CommandHost.h"
#include "host/sheet/CommandBars.h"

using host::sheet::CommandBarControl;

namespace {

// The macro names of the controls on the command bars that are not built in.
std::vector<std::string> installedActions(host::sheet::CommandBars& bars) {
    std::vector<std::string> actions;
    std::function<void(const CommandBarControl&)> visit = [&](const CommandBarControl& c) {
        if (c.type() == host::sheet::ControlType::Popup) {
            for (const auto& child : c.controls()->items()) visit(*child);
        } else if (!c.onAction().empty()) {
            actions.push_back(c.onAction());
        }
    };
    for (const auto& bar : bars.items())
        for (const auto& control : bar->controls()->items())
            if (!control->builtIn()) visit(*control);
    return actions;
}

}  // namespace

TEST(MenuReach, EveryInstalledCommandReachesAMember) {
    testsupport::CommandHost host;
    const auto actions = installedActions(host.app->commandBars());
    EXPECT_GT(actions.size(), 60u);
    for (const auto& action : actions)
        EXPECT_TRUE(host.companion->publicClass()->hasMember("Public" + action)) << action;
}

TEST(MenuReach, TheGeneralCommandsRunToTheirEnd) {
    testsupport::CommandHost host;
    for (const char* macro :
         {"InfoAbout", "NumberFormat", "OpenHelp", "PasteSpecialOnlyValues", "PrzeliczFormule", "PrzeliczFormule2",
          "SwithErrorReportingLevel", "ZmienpvErrorReportingWay", "PrzeliczZaznaczone", "PrzeliczNastepniki",
          "PrzeliczPoprzedniki", "CountersInfo", "RepairLinks", "OpenSample", "OpenTemplate", "OpenInternetSample",
          "ShowShortcuts", "BrowseForFolder", "BrowseForFile", "FileRegisterStart", "LinkRegisterStart",
          "UnpivotTable", "MenageWorkbooks", "PrzeliczanieArkSkorSwitch", "RegPath", "OnWorkbookActivate"}) {
        host.dialogs.reset();
        host.run(macro);
        for (const auto& shown : host.dialogs.record())
            EXPECT_EQ(shown.prompt.find("Run-time error"), std::string::npos) << macro << ": " << shown.prompt;
    }
}

TEST(MenuReach, LanguageSwitchRebuildsMenusToolbarAndContextMenus) {
    testsupport::CommandHost host;
    auto& bars = host.app->commandBars();
    auto mainMenus = [&] {
        std::vector<std::shared_ptr<CommandBarControl>> found;
        for (const auto& c : bars.item("Worksheet Menu Bar")->controls()->items())
            if (c->caption() == "&TELM.NET") found.push_back(c);
        return found;
    };
    auto tagged = [&](const char* bar) {
        std::vector<std::string> captions;
        for (const auto& c : bars.item(bar)->controls()->items())
            if (c->tag() == "TELM.NET") captions.push_back(c->caption());
        return captions;
    };
    ASSERT_EQ(mainMenus().size(), 1u);
    EXPECT_EQ(mainMenus()[0]->controls()->item(1)->caption(), "&Analyses");

    host.run("SwitchLanguage");
    ASSERT_EQ(mainMenus().size(), 1u);
    EXPECT_EQ(mainMenus()[0]->controls()->item(1)->caption(), "&Analizy");
    EXPECT_EQ(bars.item("TELM")->controls()->item(1)->tooltipText(), "Wstaw funkcję TELM.NET [F3]");
    EXPECT_EQ(tagged("Cell"), (std::vector<std::string>{"&Edycja", "&Archiwum"}));
    EXPECT_EQ(tagged("Row"), (std::vector<std::string>{"&Edycja", "&Archiwum"}));

    host.run("SwitchLanguage");
    EXPECT_EQ(mainMenus()[0]->controls()->item(1)->caption(), "&Analyses");
    EXPECT_EQ(tagged("Column"), (std::vector<std::string>{"&Edit", "&Archive"}));
    EXPECT_TRUE(host.dialogs.record().empty());
}
