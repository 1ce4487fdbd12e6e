#include <gtest/gtest.h>

#include "support/Errors.h"

#include "host/base/RuntimeError.h"
#include "host/sheet/CommandBars.h"
#include "host/sheet/CommandBarsBuiltIn.h"

using namespace host;
using namespace host::sheet;

using testsupport::errorNumberOf;

namespace {

std::vector<std::string> captionsOf(const CommandBarControls& controls) {
    std::vector<std::string> captions;
    for (const auto& c : controls.items()) captions.push_back(c->caption());
    return captions;
}

}  // namespace

TEST(CommandBars, BuiltInBarsAtStart) {
    auto bars = std::make_shared<CommandBars>();
    EXPECT_EQ(Variant(bars).objectValue()->typeName(), "CommandBars");

    auto menuBar = bars->item("worksheet MENU bar");
    EXPECT_EQ(menuBar->name(), "Worksheet Menu Bar");
    EXPECT_EQ(menuBar->type(), CommandBarType::MenuBar);
    EXPECT_TRUE(menuBar->builtIn());
    EXPECT_EQ(captionsOf(*menuBar->controls()),
              (std::vector<std::string>{"&File", "&Edit", "&View", "&Insert", "F&ormat", "&Tools", "&Data", "&Window",
                                        "&Help"}));
    auto file = menuBar->controls()->item(1);
    EXPECT_EQ(file->type(), ControlType::Popup);
    EXPECT_TRUE(file->builtIn());
    EXPECT_GT(file->controls()->count(), 2);
    EXPECT_NE(file->controls()->item(1)->id(), 1);

    for (const char* name : {"Cell", "Column", "Row", "PivotTable Context Menu", "List Range Popup", "Query"}) {
        auto menu = bars->item(name);
        EXPECT_EQ(menu->type(), CommandBarType::Popup) << name;
        EXPECT_GT(menu->controls()->count(), 0) << name;
    }
    EXPECT_TRUE(bars->item("Standard")->visible());
    EXPECT_EQ(bars->item("Formatting")->type(), CommandBarType::Normal);

    EXPECT_EQ(bars->item(1)->name(), "Worksheet Menu Bar");
    EXPECT_EQ(errorNumberOf([&] { bars->item("No Such Bar"); }), err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { bars->item(bars->count() + 1); }), err::InvalidProcedureCall);
}

TEST(CommandBars, TemporaryMenuWithNestedButtonsOnTheMenuBar) {
    CommandBars bars;
    auto menuControls = bars.item("Worksheet Menu Bar")->controls();
    const int helpPosition = menuControls->count();

    auto menu = menuControls->add(ControlType::Popup, 0, helpPosition, true);
    menu->setCaption("TE&LM");
    auto refresh = menu->controls()->add(ControlType::Button);
    refresh->setCaption("&Refresh");
    refresh->setOnAction("TELM_Refresh");
    auto tools = menu->controls()->add(ControlType::Popup);
    tools->setCaption("&Tools");
    auto about = tools->controls()->add();
    about->setCaption("&About");
    auto first = menu->controls()->add(ControlType::Button, 1, 1);
    first->setCaption("Save && Close");

    EXPECT_EQ(menuControls->item(helpPosition)->caption(), "TE&LM");
    EXPECT_EQ(menuControls->item(helpPosition + 1)->caption(), "&Help");
    EXPECT_TRUE(menu->temporary());
    EXPECT_FALSE(menu->builtIn());
    EXPECT_EQ(captionsOf(*menu->controls()), (std::vector<std::string>{"Save && Close", "&Refresh", "&Tools"}));
    EXPECT_EQ(refresh->id(), 1);
    EXPECT_EQ(menuControls->item("telm")->controls()->item("tools")->controls()->item(1), about);
    EXPECT_EQ(menu->controls()->item("Save & Close"), first);
    EXPECT_EQ(Variant(about).objectValue()->typeName(), "CommandBarControl");

    EXPECT_EQ(errorNumberOf([&] { refresh->controls(); }), err::NoSuchMember);
    EXPECT_EQ(errorNumberOf([&] { menu->controls()->add(ControlType::Button, 0, 5); }), err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { menu->controls()->add(static_cast<ControlType>(3)); }), err::InvalidProcedureCall);
}

TEST(CommandBars, CaptionsMatchIgnoringCaseAndAccelerators) {
    CommandBars bars;
    auto menu = bars.item("Worksheet Menu Bar")->controls();
    EXPECT_EQ(menu->item("File")->caption(), "&File");
    EXPECT_EQ(menu->item("FORMAT")->caption(), "F&ormat");
    EXPECT_EQ(menu->item("&Format")->caption(), "F&ormat");
    EXPECT_EQ(menu->item(2)->caption(), "&Edit");
    EXPECT_EQ(errorNumberOf([&] { menu->item("Fil"); }), err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { menu->item(0); }), err::InvalidProcedureCall);
}

TEST(CommandBars, AddingABuiltInControlById) {
    CommandBars bars;
    auto custom = bars.add("Mine");
    auto copy = custom->controls()->add(ControlType::Button, 19);
    EXPECT_EQ(copy->id(), 19);
    EXPECT_EQ(copy->caption(), "&Copy");
    EXPECT_TRUE(copy->builtIn());
    auto file = custom->controls()->add(ControlType::Popup, 30002);
    EXPECT_EQ(file->controls()->count(), findBuiltInControl(30002)->controls.size());
    EXPECT_EQ(errorNumberOf([&] { custom->controls()->add(ControlType::Button, 987654); }), err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { custom->controls()->add(ControlType::Popup, 19); }), err::InvalidProcedureCall);
    EXPECT_EQ(custom->controls()->count(), 2);
}

TEST(CommandBars, DeletingControlsAndBars) {
    CommandBars bars;
    auto cell = bars.item("Cell")->controls();
    const int builtInCount = cell->count();
    for (const char* caption : {"One", "Two", "Three"}) {
        auto c = cell->add();
        c->setCaption(caption);
        c->setTag("telm");
    }
    cell->item("Two")->setTag("other");
    for (const auto& c : cell->items()) {
        if (c->tag() == "telm") c->remove();
    }
    EXPECT_EQ(cell->count(), builtInCount + 1);
    auto two = cell->item("Two");
    two->remove();
    EXPECT_EQ(cell->count(), builtInCount);
    EXPECT_EQ(errorNumberOf([&] { two->remove(); }), err::InvalidArgument);

    const int count = bars.count();
    auto mine = bars.add("TELM Bar", true);
    EXPECT_FALSE(mine->visible());
    EXPECT_EQ(errorNumberOf([&] { bars.add("telm bar"); }), err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { bars.add(""); }), err::InvalidProcedureCall);
    mine->remove();
    EXPECT_EQ(bars.count(), count);
    EXPECT_EQ(errorNumberOf([&] { bars.item("TELM Bar"); }), err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { mine->remove(); }), err::InvalidArgument);
    EXPECT_NO_THROW(bars.add("TELM Bar"));

    EXPECT_EQ(errorNumberOf([&] { bars.item("Standard")->remove(); }), err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { bars.item("Cell")->remove(); }), err::InvalidProcedureCall);
    EXPECT_NO_THROW(bars.item("Standard"));
}

TEST(CommandBars, ResetPutsBackTheBuiltInControls) {
    CommandBars bars;
    auto cell = bars.item("Cell");
    const auto original = cell->describe();
    cell->controls()->item(1)->remove();
    cell->controls()->item(1)->setCaption("Changed");
    cell->controls()->add()->setCaption("Added");
    cell->reset();
    EXPECT_EQ(cell->describe(), original);

    auto mine = bars.add("Mine");
    mine->controls()->add()->setCaption("Kept");
    mine->reset();
    EXPECT_EQ(mine->controls()->count(), 1);
}

TEST(CommandBars, ExecuteRunsTheOnActionMacro) {
    CommandBars bars;
    auto menu = bars.item("Worksheet Menu Bar")->controls()->add(ControlType::Popup, 0, 0, true);
    auto button = menu->controls()->add();
    button->setOnAction("'TELM.NET.xla'!ShowPanel");
    button->setParameter("panel-2");
    EXPECT_EQ(errorNumberOf([&] { button->execute(); }), err::InvalidArgument);

    std::vector<std::string> ran;
    std::string parameterSeen;
    bars.setMacroRunner([&](const std::string& macro) {
        ran.push_back(macro);
        parameterSeen = bars.actionControl()->parameter();
        if (macro == "Fails") throw RuntimeError(err::DivisionByZero);
    });
    button->execute();
    EXPECT_EQ(ran, std::vector<std::string>{"'TELM.NET.xla'!ShowPanel"});
    EXPECT_EQ(parameterSeen, "panel-2");
    EXPECT_EQ(bars.actionControl(), nullptr);

    button->setOnAction("Fails");
    EXPECT_EQ(errorNumberOf([&] { button->execute(); }), err::DivisionByZero);
    EXPECT_EQ(bars.actionControl(), nullptr);

    button->setOnAction("");
    button->execute();
    EXPECT_EQ(ran.size(), 2u);

    button->remove();
    EXPECT_EQ(errorNumberOf([&] { button->execute(); }), err::InvalidArgument);
}

TEST(CommandBars, FindControlByTagSearchesPopups) {
    CommandBars bars;
    auto menu = bars.item("Worksheet Menu Bar")->controls()->add(ControlType::Popup);
    auto inner = menu->controls()->add(ControlType::Popup)->controls()->add();
    inner->setTag("TELM.Archive");
    auto onToolbar = bars.add("Mine")->controls()->add();
    onToolbar->setTag("TELM.Mine");

    EXPECT_EQ(bars.item("Worksheet Menu Bar")->findControl("TELM.Archive"), inner);
    EXPECT_EQ(bars.findControl("TELM.Archive"), inner);
    EXPECT_EQ(bars.findControl("TELM.Mine"), onToolbar);
    EXPECT_EQ(bars.item("Standard")->findControl("TELM.Archive"), nullptr);
    EXPECT_EQ(bars.findControl("telm.archive"), nullptr);

    menu->remove();
    EXPECT_EQ(bars.findControl("TELM.Archive"), nullptr);
}
