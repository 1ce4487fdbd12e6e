#pragma once
// Passwords never reach the screen, a cell or a log: the value of every password item of a connection
// text is replaced by asterisks before the text is shown or written. One linear pass over the text.

#include <string>
#include <string_view>

namespace host::ui {

// The text with the value of each "PWD=" / "Password=" item (any letter case, also inside a longer
// key such as "Jet OLEDB:Database Password=") replaced by "****"; a value in braces (with "}}" inside)
// or quotes is masked whole, to the end of the text when it is never closed.
std::string maskPasswords(std::string_view text);

}  // namespace host::ui
