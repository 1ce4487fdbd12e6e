#pragma once
// The data model and the GETDATA engine.
//
// The data model is the list SharedState().DataModelVariables, read from the model files: every file
// of the model folder whose name begins with the model's name and ends in ".par" (letter case
// ignored), except "DataModelLocation.par". The model file is named by the last line of
// "DataModelLocation.par" in the add-in folder (the folder token replaced), by default
// "DataModel.par" in the add-in folder. A model file's lines, each cleaned by CleanParLine:
//   PARAMETERS=...        the model's parameter string (upper-cased; the last one read wins)
//   [Measure name]        opens a new variable called `name`
//   KEY=value             sets a field of the latest variable (ABOUT, TYPE, ADDSTRING, ...,
//                         ARG1..ARG5); the key is upper-cased without blanks, the value is kept as
//                         written, folder token replaced, at most 1,000,000 characters
//   KEY*=escaped value    the same, the value in escaped form (ModelFileText.h)
// and everything else is ignored. The latest variable carries over from one file to the next. Lines
// end as ModelFileLines says.

#include <string>
#include <vector>

#include "host/base/Variant.h"

namespace telm {

struct DataModelVariable;

// The name of the location file in the add-in folder, never read as a model file.
inline constexpr const char* kModelLocationFile = "DataModelLocation.par";
// The longest field value the loader keeps (characters).
inline constexpr long kMaxModelValueLength = 1'000'000;
// The model file when the location file names none.
inline constexpr const char* kDefaultModelFile = "DataModel.par";

// The GETDATA engine: the first item of the list holds the formula's arguments as an array.
host::Variant GetDataByModel(std::vector<host::Variant>& argumenty);

// Cuts `line` at the first ":::" (the rest is a comment) and removes every tab; stores the result
// back into `line` and returns it. Nothing is trimmed.
std::string CleanParLine(std::string& line);

// Reads the data model (edit false) or opens every model file in the text editor without waiting
// (edit true; the variables in memory stay, ModelParameters stays empty). Sets ModelFile (while the
// files are handled, and afterwards, the name of the latest one), ModelName, ModelFolder,
// ModelParameters and, when the parameters hold a non-empty OlapProvider item, CurrentOlapProvider.
// Any failure after the location file (model folder missing, a model file unreadable, a field before
// any variable, more than 32,768 variables, an editor that cannot start) reports message 105 with
// ModelFile and leaves the model without variables; nothing is raised.
void LoadDataModel(bool edit);

// Indexes the loaded variables by name (the first variable of a name wins); the loader calls it.
void IndexDataModel();
// The first variable whose name equals `name` exactly (letter case included), or nullptr; found
// through the index, not by scanning the list.
const DataModelVariable* FindDataModelVariable(const std::string& name);

// The full name of the first model file (in the loader's order) with a header for `name`; "" when
// none has one. The folder and the model name are those of the last load; unreadable files are
// passed over.
std::string ModelFileDefining(const std::string& name);

// The reload command: start-up defaults again (language, error-reporting level, counters, login
// cache, OLAP provider, flags), the model read again, the menus rebuilt, then message 104 when the
// model holds a variable. Any failure ends it silently.
void ReloadDataModel();

}  // namespace telm
