#pragma once
// File dialogs that start in a given folder: the current directory is moved there for the dialog and
// given back afterwards, whatever the dialog does.

#include <string>

namespace telm {

// The file the user chose to open, "" when cancelled. A missing folder leaves the dialog where it is.
std::string ChooseFileToOpen(const std::string& folder, const std::string& filter, const std::string& title);
// The file name the user chose to save under, "" when cancelled.
std::string ChooseFileToSave(const std::string& folder, const std::string& initialName, const std::string& filter,
                             const std::string& title);

}  // namespace telm
