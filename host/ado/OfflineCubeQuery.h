#pragma once
// Offline-cube query files (".oqy"): text lines of KEY=value, among them "Connection=" with a local-cube
// connection text (Location=, SOURCE_DSN=, CREATECUBE=, INSERTINTO=) and "CommandText=" with the
// cube's name. Opening one builds the cube file and shows the cube as a pivot table (its first
// dimension's first level on rows, its first measure as data) in a new workbook named after the file.

#include <string>

#include "host/sheet/Application.h"

namespace host::ado {

// True for a name ending ".oqy" (any letter case).
bool isOfflineCubeQueryName(const std::string& path);

// Reads the file, builds its cube and gives the workbook. Raises 1004 naming the file when it holds
// no connection, the cube engine's error when the cube cannot be built.
sheet::WorkbookPtr openOfflineCubeQuery(sheet::Application& application, const std::string& path);

}  // namespace host::ado
