#pragma once
// The built-in command bars of the application: the worksheet menu bar with its menus, the context
// menus of cells, columns, rows, pivot tables, lists and queries, and the Standard and Formatting
// toolbars, each with its built-in controls.

#include <string_view>
#include <vector>

#include "host/sheet/CommandBars.h"

namespace host::sheet {

// All built-in bars, in the order a new CommandBars holds them.
const std::vector<CommandBarDescription>& builtInCommandBars();
// The built-in bar of that name (ignoring case); nullptr when no built-in bar has it.
const CommandBarDescription* findBuiltInCommandBar(std::string_view name);
// The first built-in control with that Id on any built-in bar; nullptr when there is none.
const ControlDescription* findBuiltInControl(int id);

}  // namespace host::sheet
