#pragma once
// The add-in's user interface in the host: the main menu "&TELM.NET", the toolbar "TELM", the
// context-menu entries and the classic menu bar "Excel2003Menus". Captions and tooltips come from the
// message catalogue in the current language; each entry's action is the macro name of its command
// (the companion add-in turns it into a call of the public class's member "Public" + that name).

#include <string>

namespace telm {

// Adds the temporary main menu to the worksheet menu bar; when it is there already, says "Already
// installed." instead.
void InstallMenu();
// Saves the user's visible toolbars to "UserBars.xlb", loads the toolbar file
// "TELM.NET.CommandBars.xlb" of the add-in folder, sets the actions and tooltips of the seven buttons
// of toolbar "TELM" and reloads the user's toolbars. Failures are reported with message 1037.
void InstallToolbar();
// Re-creates the command bar "Excel2003Menus" from the host's built-in menus.
void CreateExcel2003Menus();
// Adds the entries of the "Cell", "Column" and "Row" context menus and the popups of the pivot-table,
// list-range (host versions 12, 14, 15) and query context menus. Failures are reported with message
// 1038.
void AddContextMenus();
// Deletes the main menu, the toolbar "TELM" and the context-menu entries; every error is ignored.
void RemoveMenus();
// Removes and installs again the menus, toolbar and context menus, in the current language.
void RebuildMenus();
// Clears the flag of buffered web-service values.
void ResetBufferingFlag();
// Asks for the user name and password of a data source through the companion add-in's macros
// "Login" (title, prompt, the connection text, the two labels and the cancel caption), "GetLoginU"
// and "GetLoginP", and stores the answers in LoginUser and LoginPassword. An empty answer is a
// cancel. A failure (a missing macro) goes to the caller.
void LoginDialog(const std::string& connectionText);

}  // namespace telm
