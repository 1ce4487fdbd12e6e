#pragma once
// Passwords never reach the screen: the value of every password item of a connection text shown in a
// dialog is replaced by asterisks.

#include <string>
#include <string_view>

namespace host::ui {

// The text with the value of each "PWD=" / "Password=" item (any letter case, also inside a longer
// key such as "Jet OLEDB:Database Password=") replaced by "****"; a value in braces or double quotes
// is masked whole.
std::string maskPasswords(std::string_view text);

}  // namespace host::ui
