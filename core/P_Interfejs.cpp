#include "core/P_Interfejs.h"

#include <string>
#include <vector>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/Path.h"
#include "host/sheet/CommandBars.h"
#include "host/sheet/ToolbarFile.h"

namespace telm {

using host::sheet::CommandBarControls;
using host::sheet::CommandBars;
using host::sheet::ControlType;

namespace {

constexpr const char* kMainMenuCaption = "&TELM.NET";
constexpr const char* kToolbarName = "TELM";
constexpr const char* kClassicMenuBarName = "Excel2003Menus";
// Tag of every context-menu entry the add-in adds, so that RemoveMenus finds them.
constexpr const char* kEntryTag = "TELM.NET";

// One menu entry: caption and tooltip by message id (0: none), the command's macro name (a popup
// has none) and the entries of a popup.
struct MenuEntry {
    int caption;
    int tooltip;
    const char* action;
    std::vector<MenuEntry> entries = {};
};

// The popups of the main menu, in order.
const std::vector<MenuEntry>& mainMenu() {
    static const std::vector<MenuEntry> menu = {
        {3007, 3008, nullptr,
         {{3009, 3010, "OpenAnalyse"},
          {3012, 3013, "CloseAnalyse"},
          {3014, 3015, "SaveAnalyse"},
          {3016, 3017, "SaveAsAnalyse"},
          {3018, 3019, "EditAnalyse"}}},
        {3092, 3093, nullptr,
         {{3023, 3086, "OpenSample"}, {3031, 3033, "OpenTemplate"}, {3083, 3085, "OpenInternetSample"}}},
        {3024, 0, nullptr, {{3025, 3026, "WizardGetdata"}, {3027, 3028, "ParametrizeFormula"}}},
        {3029, 0, nullptr,
         {{3030, 0, "CalculateAll2"},
          {3032, 0, "CalculateSheet2"},
          {3034, 0, "SetServicesOn"},
          {3289, 0, "SetServicesOff"},
          {3290, 0, "ResetServicesTable"},
          {3035, 0, "ResetAuthorisationTable"}}},
        {3037, 0, nullptr, {{3038, 3039, "PublishDefault"}, {3040, 3041, "PublishNormal"}}},
        {3048, 0, nullptr, {{3049, 3050, "ShowHideArchive"}, {3051, 3052, "RemoveArchive"}}},
        {3053, 0, nullptr,
         {{3094, 3095, "CubeWizard"}, {3076, 3077, "RepairLinks"}, {3089, 3090, "RefreshLinkEnviroment"}}},
        {3184, 0, nullptr, {{3182, 0, "FileRegisterStart"}, {3183, 0, "LinkRegisterStart"}, {3185, 0, "UnpivotTable"}}},
        {3054, 0, nullptr, {{3057, 3058, "SwithErrorReportingLevel"}}},
        {3061, 0, nullptr, {{3062, 3063, "CountersInfo"}, {3091, 0, "ShowShortcuts"}}},
    };
    return menu;
}

// The entries added to the cell, column and row context menus.
const std::vector<MenuEntry>& cellMenu() {
    static const std::vector<MenuEntry> menu = {
        {3067, 0, nullptr,
         {{3068, 0, "ParametrizeFormula"},
          {3069, 0, "FillSelection"},
          {3078, 3079, "PasteSpecialOnlyValues"},
          {3081, 0, "Link2GetDataLink"},
          {3082, 0, "GetDataLink2Link"},
          {3084, 0, "DataSourceWizard"},
          {3097, 3098, "BrowseForFolder"},
          {3099, 3181, "BrowseForFile"}}},
        {3070, 0, nullptr,
         {{3071, 0, "MoveToArchive"},
          {3072, 0, "EraseArchive1"},
          {3073, 0, "EraseArchive2"},
          {3074, 0, "RefreshArchive"},
          {3075, 0, "AutoRefreshArchive"},
          {3036, 0, "SelectArchiveErrors"}}},
    };
    return menu;
}

const std::vector<MenuEntry>& pivotTableMenu() {
    static const std::vector<MenuEntry> menu = {{3045, 0, "WizardGetdataOLAP"}, {3096, 0, "ClearFieldSums"}};
    return menu;
}

const std::vector<MenuEntry>& queryMenu() {
    static const std::vector<MenuEntry> menu = {{3045, 0, "WizardGetdataODBC"}, {3084, 0, "DataSourceWizard"}};
    return menu;
}

// The toolbar's seven buttons in order: action, tooltip and the key hint after it.
struct ToolbarButton {
    const char* action;
    int tooltip;
    const char* keyHint;
};
constexpr ToolbarButton kToolbarButtons[] = {
    {"WizardGetdata", 3000, " [F3]"},          {"ParametrizeFormula", 3001, " [Ctrl+F2]"},
    {"CalculateAll2", 3002, " [Ctrl+F9]"},     {"NumberFormat", 3003, " [Ctrl+Shift+F]"},
    {"ShowHideArchive", 3004, " [Ctrl+Shift+A]"}, {"PublishDefault", 3005, " [Ctrl+Shift+M]"},
    {"OpenHelp", 3006, ""},
};

CommandBars& commandBars() { return ExcelApplication().commandBars(); }

void addEntries(CommandBarControls& controls, const std::vector<MenuEntry>& entries, bool tagged) {
    for (const MenuEntry& e : entries) {
        auto control = controls.add(e.action ? ControlType::Button : ControlType::Popup, 0, 0, true);
        control->setCaption(GetMessageText(e.caption));
        if (e.tooltip) control->setTooltipText(GetMessageText(e.tooltip));
        if (e.action) control->setOnAction(e.action);
        if (tagged) control->setTag(kEntryTag);
        if (!e.action) addEntries(*control->controls(), e.entries, tagged);
    }
}

// A tagged popup captioned with the system's name that holds the entries.
void addPopup(CommandBarControls& controls, const std::vector<MenuEntry>& entries) {
    auto popup = controls.add(ControlType::Popup, 0, 0, true);
    popup->setCaption(kEntryTag);
    popup->setTag(kEntryTag);
    addEntries(*popup->controls(), entries, true);
}

bool hasMainMenu() {
    for (const auto& c : commandBars().item("Worksheet Menu Bar")->controls()->items())
        if (c->caption() == kMainMenuCaption) return true;
    return false;
}

bool isClassicMenuHost() {
    const int v = SharedState().ExcelVersion;
    return v == 12 || v == 14 || v == 15;
}

std::string addInFile(const char* name) { return host::nativePath(SharedState().AddInFolder + "\\" + name); }

}  // namespace

void InstallMenu() {
    if (hasMainMenu()) {
        ReportMessage("Already installed.", 64, "TELM.NET");
        return;
    }
    auto menu = commandBars().item("Worksheet Menu Bar")->controls()->add(ControlType::Popup, 0, 0, true);
    menu->setCaption(kMainMenuCaption);
    auto& entries = *menu->controls();
    addEntries(entries, mainMenu(), false);
    auto language = entries.add(ControlType::Button, 0, 0, true);
    language->setCaption("&Polski / English");
    language->setTooltipText(GetMessageText(3087));
    language->setOnAction("SwitchLanguage");
    language->setBeginGroup(true);
    addEntries(entries, {{3064, 3065, "OpenHelp"}}, false);
    auto about = entries.add(ControlType::Button, 0, 0, true);
    about->setCaption("TELM.NET - " + GetMessageText(3066));
    about->setTooltipText(GetMessageText(3080));
    about->setOnAction("InfoAbout");
}

void InstallToolbar() {
    auto& app = ExcelApplication();
    try {
        app.setStatusBar(GetMessageText(3156));
        auto& bars = commandBars();
        std::vector<std::string> userBars;
        for (const auto& bar : bars.items())
            if (bar->visible() && bar->type() == host::sheet::CommandBarType::Normal && bar->name() != kToolbarName)
                userBars.push_back(bar->name());
        const std::string userBarsFile = addInFile("UserBars.xlb");
        host::sheet::saveToolbars(bars, userBars, userBarsFile);
        host::sheet::loadToolbars(bars, addInFile("TELM.NET.CommandBars.xlb"));
        auto toolbar = bars.item(kToolbarName);
        int index = 1;
        for (const ToolbarButton& b : kToolbarButtons) {
            auto button = toolbar->controls()->item(index++);
            button->setOnAction(b.action);
            button->setTooltipText(GetMessageText(b.tooltip) + b.keyHint);
        }
        host::sheet::loadToolbars(bars, userBarsFile);
    } catch (const host::RuntimeError&) {
        ReportMessage(GetMessageText(1037), 48, GetMessageText(2010));
    }
    app.setStatusBar(false);
}

void CreateExcel2003Menus() {
    auto& bars = commandBars();
    try {
        bars.item(kClassicMenuBarName)->remove();
    } catch (const host::RuntimeError&) {
        // not there yet
    }
    auto classic = bars.add(kClassicMenuBarName, true);
    int caption = 3400;
    for (const auto& builtIn : bars.item("Worksheet Menu Bar")->controls()->items()) {
        if (!builtIn->builtIn() || caption > 3408) continue;
        auto copy = classic->controls()->add(ControlType::Popup, builtIn->id(), 0, true);
        copy->setCaption(GetMessageText(caption++));
    }
    classic->setVisible(true);
}

void AddContextMenus() {
    try {
        auto& bars = commandBars();
        for (const char* name : {"Cell", "Column", "Row"}) addEntries(*bars.item(name)->controls(), cellMenu(), true);
        addPopup(*bars.item("PivotTable Context Menu")->controls(), pivotTableMenu());
        if (isClassicMenuHost()) addPopup(*bars.item("List Range Popup")->controls(), queryMenu());
        addPopup(*bars.item("Query")->controls(), queryMenu());
    } catch (const host::RuntimeError&) {
        ReportMessage(GetMessageText(1038), 48, GetMessageText(2010));
    }
}

void RemoveMenus() {
    IgnoringErrors([] {
        for (const auto& c : commandBars().item("Worksheet Menu Bar")->controls()->items())
            if (c->caption() == kMainMenuCaption) c->remove();
    });
    IgnoringErrors([] { commandBars().item(kToolbarName)->remove(); });
    for (const char* name : {"Cell", "Column", "Row", "PivotTable Context Menu", "List Range Popup", "Query"})
        IgnoringErrors([name] {
            auto bar = commandBars().item(name);
            while (auto entry = bar->findControl(kEntryTag)) entry->remove();
        });
}

void RebuildMenus() {
    RemoveMenus();
    InstallMenu();
    InstallToolbar();
    AddContextMenus();
}

void ResetBufferingFlag() { SharedState().WebServiceBuffering = false; }

void LoginDialog(const std::string& connectionText) {
    auto& app = ExcelApplication();
    app.run("Login", {std::string(kSystemName) + " - Login", "Authorisation is required.", connectionText,
                      "User name:", "Password:", "Cancel"});
    auto& s = SharedState();
    s.LoginUser = app.run("GetLoginU").toString();
    s.LoginPassword = app.run("GetLoginP").toString();
}

}  // namespace telm
