// The loader part of F_Dane: the model files read into SharedState().DataModelVariables.

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/F_Pomocnicze.h"
#include "core/GlobalDefaults.h"
#include "core/P_Interfejs.h"
#include "core/P_ObslBledow.h"
#include "data/F_Dane.h"
#include "data/ModelFileText.h"
#include "host/base/Folder.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/TextFile.h"
#include "host/os/Launcher.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

using host::CompareMethod;

constexpr int kModelReadErrorMessage = 105;
constexpr int kModelReadMessage = 104;
constexpr int kModelTitle = 2002;
// Variables are indexed by a 16-bit signed integer.
constexpr std::size_t kMaxVariables = 32'768;

constexpr std::string_view kParametersPrefix = "PARAMETERS=";
constexpr std::string_view kHeaderPrefix = "[Measure ";

using Field = std::string DataModelVariable::*;

// The field a (cleaned) key names, nullptr for any other key.
Field FieldOfKey(std::string_view key) {
    static constexpr std::array<std::pair<std::string_view, Field>, 13> fields{{
        {"ABOUT", &DataModelVariable::ABOUT},
        {"TYPE", &DataModelVariable::TYPE},
        {"ADDSTRING", &DataModelVariable::ADDSTRING},
        {"GETDATAARGUMENTS", &DataModelVariable::GETDATAARGUMENTS},
        {"CONNECTIONTEXT", &DataModelVariable::CONNECTIONTEXT},
        {"QUERYTEXT", &DataModelVariable::QUERYTEXT},
        {"ALIASES", &DataModelVariable::ALIASES},
        {"SAMPLEFUNCTION", &DataModelVariable::SAMPLEFUNCTION},
        {"ARG1", &DataModelVariable::ARG1},
        {"ARG2", &DataModelVariable::ARG2},
        {"ARG3", &DataModelVariable::ARG3},
        {"ARG4", &DataModelVariable::ARG4},
        {"ARG5", &DataModelVariable::ARG5},
    }};
    for (const auto& [name, field] : fields)
        if (name == key) return field;
    return nullptr;
}

// The model file named by the location file's last line (folder token replaced); "" when the file
// is missing, unreadable or empty, or its last line is empty.
std::string ModelFileFromLocation(const std::string& addInFolder) {
    try {
        const auto lines = host::splitLines(host::readTextFile(addInFolder + "\\" + kModelLocationFile));
        return lines.empty() ? std::string() : ReplaceFolderPlaceholder(lines.back());
    } catch (const host::RuntimeError&) {
        return {};  // no usable location file: the default model file
    }
}

// The last part of a path, taken apart at "\" and at "/".
std::string LastPathPart(std::string_view path) {
    const long cut = std::max(host::InStrRev(path, "\\"), host::InStrRev(path, "/"));
    return host::Mid(path, cut + 1);
}

// ModelName and ModelFolder from ModelFile.
void DeriveModelNames(A_Deklaracje& s) {
    s.ModelName = host::Replace(LastPathPart(s.ModelFile), ".par", "", 1, -1, CompareMethod::Text);
    std::string folder = s.ModelFile;
    for (const char* separator : {"\\", "/"})
        folder = host::Replace(folder, separator + s.ModelName + ".par", "", 1, -1, CompareMethod::Text);
    s.ModelFolder = folder;
}

bool IsModelFile(std::string_view fileName, std::string_view modelName) {
    return host::StrComp(host::Left(fileName, host::Len(modelName)), modelName, CompareMethod::Text) == 0 &&
           host::StrComp(host::Right(fileName, 4), ".par", CompareMethod::Text) == 0 &&
           host::StrComp(fileName, kModelLocationFile, CompareMethod::Text) != 0;
}

// One line of a model file into the model: parameters line, header, field line, or nothing.
void ReadModelLine(std::string line, A_Deklaracje& s) {
    CleanParLine(line);
    if (host::UCase(host::Left(line, 11)) == kParametersPrefix) s.ModelParameters = host::UCase(host::Mid(line, 12));

    if (host::Left(line, 9) == kHeaderPrefix && host::Right(line, 1) == "]") {
        if (s.DataModelVariables.size() >= kMaxVariables) throw host::RuntimeError(host::err::Overflow);
        s.DataModelVariables.emplace_back().Name = host::Mid(line, 10, host::Len(line) - 10);
        return;
    }

    const long equals = host::InStr(line, "=");
    if (equals < 2) return;
    std::string key = host::Replace(host::UCase(host::Left(line, equals - 1)), " ", "");
    // "Key*=" carries its value in escaped form (line ends, tabs, colons).
    const bool escaped = key.ends_with('*');
    if (escaped) key.pop_back();
    const Field field = FieldOfKey(key);
    if (!field) return;
    // A field before the first variable of the model has nowhere to go.
    if (s.DataModelVariables.empty()) throw host::RuntimeError(host::err::SubscriptOutOfRange);
    std::string value = host::Mid(line, equals + 1);
    if (escaped) value = UnescapeModelValue(value);
    s.DataModelVariables.back().*field = host::Left(ReplaceFolderPlaceholder(value), kMaxModelValueLength);
}

// The model's OlapProvider item, when it has a non-empty one, becomes the OLAP provider.
void ApplyOlapProvider(A_Deklaracje& s) {
    const std::string provider = GetParamValue("OlapProvider", s.ModelParameters, ";");
    if (!provider.empty() && provider != kParamNotFound) s.CurrentOlapProvider = provider;
}

}  // namespace

std::string CleanParLine(std::string& line) {
    const long comment = host::InStr(line, ":::");
    if (comment > 0) line = host::Left(line, comment - 1);
    line = host::Replace(line, "\t", "");
    return line;
}

void IndexDataModel() {
    auto& s = SharedState();
    s.DataModelIndex.clear();
    s.DataModelIndex.reserve(s.DataModelVariables.size());
    for (std::size_t i = 0; i < s.DataModelVariables.size(); ++i) s.DataModelIndex.try_emplace(s.DataModelVariables[i].Name, i);
}

const DataModelVariable* FindDataModelVariable(const std::string& name) {
    auto& s = SharedState();
    auto at = [&]() -> const DataModelVariable* {
        const auto it = s.DataModelIndex.find(name);
        if (it == s.DataModelIndex.end()) return nullptr;
        const std::size_t i = it->second;
        return i < s.DataModelVariables.size() && s.DataModelVariables[i].Name == name ? &s.DataModelVariables[i] : nullptr;
    };
    // A list filled or changed other than by the loader is indexed again.
    const bool stale = s.DataModelIndex.empty() != s.DataModelVariables.empty() ||
                       s.DataModelIndex.size() > s.DataModelVariables.size();
    if (stale) IndexDataModel();
    const DataModelVariable* found = at();
    if (!found && s.DataModelIndex.count(name)) {
        IndexDataModel();
        found = at();
    }
    return found;
}

void LoadDataModel(bool edit) {
    auto& s = SharedState();
    s.ModelFile.clear();
    s.ModelParameters.clear();
    s.ModelFile = ModelFileFromLocation(s.AddInFolder);
    if (s.ModelFile.empty()) s.ModelFile = s.AddInFolder + "\\" + kDefaultModelFile;
    try {
        DeriveModelNames(s);
        const std::vector<std::string> files = host::listFiles(s.ModelFolder);
        if (!edit) s.DataModelVariables.clear();
        for (const std::string& name : files) {
            if (!IsModelFile(name, s.ModelName)) continue;
            s.ModelFile = name;
            const std::string path = s.ModelFolder + "\\" + name;
            if (edit) {
                host::os::startEditor(path);
                continue;
            }
            for (const std::string& line : ModelFileLines(host::readTextFile(path))) ReadModelLine(line, s);
        }
        if (!edit) IndexDataModel();
        ApplyOlapProvider(s);
    } catch (const host::RuntimeError& e) {
        s.DataModelVariables.clear();
        IndexDataModel();
        ReportMessage(GetMessageText(kModelReadErrorMessage) + "\r\r" + s.ModelFile, host::ui::vbCritical,
                      GetMessageText(kModelTitle));
        if (s.ExcelApp) s.ExcelApp->noteCommandFailure(e.description());
    }
}

std::string ModelFileDefining(const std::string& name) {
    const auto& s = SharedState();
    const std::string header = std::string(kHeaderPrefix) + name + "]";
    try {
        for (const std::string& file : host::listFiles(s.ModelFolder)) {
            if (!IsModelFile(file, s.ModelName)) continue;
            const std::string path = s.ModelFolder + "\\" + file;
            try {
                for (std::string line : ModelFileLines(host::readTextFile(path)))
                    if (CleanParLine(line) == header) return path;
            } catch (const host::RuntimeError&) {
            }
        }
    } catch (const host::RuntimeError&) {
    }
    return {};
}

void ReloadDataModel() {
    try {
        InitGlobalDefaults();
        LoadDataModel(false);
        RebuildMenus();
        if (!SharedState().DataModelVariables.empty())
            ReportMessage(GetMessageText(kModelReadMessage), host::ui::vbInformation, GetMessageText(kModelTitle));
    } catch (const host::RuntimeError&) {
        // a reload that fails ends without its message
    }
}

}  // namespace telm
