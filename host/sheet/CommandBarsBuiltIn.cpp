#include "host/sheet/CommandBarsBuiltIn.h"

#include "host/base/Text.h"

namespace host::sheet {

namespace {

ControlDescription button(int id, const char* caption, bool beginGroup = false) {
    ControlDescription d;
    d.properties.id = id;
    d.properties.caption = caption;
    d.properties.faceId = id;
    d.properties.beginGroup = beginGroup;
    d.properties.builtIn = true;
    return d;
}

ControlDescription popup(int id, const char* caption, std::vector<ControlDescription> controls) {
    ControlDescription d;
    d.properties.type = ControlType::Popup;
    d.properties.id = id;
    d.properties.caption = caption;
    d.properties.builtIn = true;
    d.controls = std::move(controls);
    return d;
}

CommandBarDescription bar(const char* name, CommandBarType type, CommandBarPosition position, bool visible,
                          std::vector<ControlDescription> controls) {
    return CommandBarDescription{name, type, position, visible, false, std::move(controls)};
}

CommandBarDescription contextMenu(const char* name, std::vector<ControlDescription> controls) {
    return bar(name, CommandBarType::Popup, CommandBarPosition::Popup, false, std::move(controls));
}

CommandBarDescription toolbar(const char* name, std::vector<ControlDescription> controls) {
    return bar(name, CommandBarType::Normal, CommandBarPosition::Top, true, std::move(controls));
}

std::vector<CommandBarDescription> makeBuiltInBars() {
    const auto cut = button(21, "Cu&t");
    const auto copy = button(19, "&Copy");
    const auto paste = button(22, "&Paste");
    const auto refresh = button(459, "&Refresh Data", true);
    return {
        bar("Worksheet Menu Bar", CommandBarType::MenuBar, CommandBarPosition::MenuBar, true,
            {
                popup(30002, "&File",
                      {button(18, "&New..."), button(23, "&Open..."), button(106, "&Close"), button(3, "&Save", true),
                       button(748, "Save &As..."), button(4, "&Print...", true), button(752, "E&xit", true)}),
                popup(30003, "&Edit",
                      {button(128, "&Undo"), cut, copy, paste, button(1849, "&Find...", true)}),
                popup(30004, "&View", {button(723, "&Normal"), button(724, "&Page Break Preview"),
                                       button(178, "F&ull Screen", true), button(925, "&Zoom...")}),
                popup(30005, "&Insert", {button(296, "&Rows"), button(297, "&Columns"), button(852, "&Worksheet"),
                                         button(385, "&Function...", true), button(2031, "Co&mment")}),
                popup(30006, "F&ormat", {button(855, "C&ells..."), button(1001, "&AutoFormat...", true)}),
                popup(30007, "&Tools", {button(2, "&Spelling..."), button(186, "&Macros...", true),
                                        button(943, "Add-&Ins..."), button(522, "&Options...", true)}),
                popup(30011, "&Data", {button(928, "&Sort..."), button(1604, "&PivotTable Report...", true), refresh}),
                popup(30009, "&Window",
                      {button(303, "&New Window"), button(298, "&Arrange..."), button(443, "&Freeze Panes", true)}),
                popup(30010, "&Help", {button(984, "&Help"), button(927, "&About", true)}),
            }),
        contextMenu("Cell", {cut, copy, paste, button(3181, "&Insert...", true), button(292, "&Delete..."),
                             button(3125, "Clear Co&ntents"), button(2031, "Insert Co&mment", true),
                             button(855, "&Format Cells...", true)}),
        contextMenu("Column", {cut, copy, paste, button(297, "&Insert", true), button(294, "&Delete"),
                               button(542, "&Column Width...", true), button(886, "&Hide"), button(887, "&Unhide")}),
        contextMenu("Row", {cut, copy, paste, button(296, "&Insert", true), button(293, "&Delete"),
                            button(541, "&Row Height...", true), button(883, "&Hide"), button(884, "&Unhide")}),
        contextMenu("PivotTable Context Menu", {button(460, "Field Settin&gs..."), button(1948, "Table &Options..."),
                                                refresh}),
        contextMenu("List Range Popup", {cut, copy, paste, button(928, "&Sort...", true), button(7193, "&Total Row")}),
        contextMenu("Query", {button(1951, "&Edit Query..."), button(1952, "Data Range &Properties..."),
                              button(1953, "Para&meters..."), refresh}),
        toolbar("Standard", {button(2520, "&New"), button(23, "&Open"), button(3, "&Save"),
                             button(2521, "&Print", true), cut, copy, paste, button(128, "&Undo", true),
                             button(210, "Sort &Ascending", true), button(211, "Sort &Descending")}),
        toolbar("Formatting", {button(113, "&Bold"), button(114, "&Italic"), button(115, "&Underline"),
                               button(120, "Align &Left", true), button(122, "&Center"), button(121, "Align &Right"),
                               button(402, "&Merge and Center")}),
    };
}

const ControlDescription* findControlById(const std::vector<ControlDescription>& controls, int id) {
    for (const auto& c : controls) {
        if (c.properties.id == id) return &c;
        if (const auto* inner = findControlById(c.controls, id)) return inner;
    }
    return nullptr;
}

}  // namespace

const std::vector<CommandBarDescription>& builtInCommandBars() {
    static const std::vector<CommandBarDescription> bars = makeBuiltInBars();
    return bars;
}

const CommandBarDescription* findBuiltInCommandBar(std::string_view name) {
    for (const auto& b : builtInCommandBars()) {
        if (StrComp(b.name, name, CompareMethod::Text) == 0) return &b;
    }
    return nullptr;
}

const ControlDescription* findBuiltInControl(int id) {
    for (const auto& b : builtInCommandBars()) {
        if (const auto* c = findControlById(b.controls, id)) return c;
    }
    return nullptr;
}

}  // namespace host::sheet
