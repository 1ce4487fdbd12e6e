#include "core/FileChoice.h"

#include <functional>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

std::string inFolder(const std::string& folder, const std::function<host::Variant()>& dialog) {
    const std::string saved = host::currentDirectory();
    try {
        host::setCurrentDirectory(host::nativePath(folder));
    } catch (const host::RuntimeError&) {
        // a missing folder: the dialog opens where the user was
    }
    host::Variant chosen;
    try {
        chosen = dialog();
    } catch (...) {
        host::setCurrentDirectory(saved);
        throw;
    }
    host::setCurrentDirectory(saved);
    return chosen.isString() ? chosen.stringValue() : std::string();
}

}  // namespace

std::string ChooseFileToOpen(const std::string& folder, const std::string& filter, const std::string& title) {
    return inFolder(folder, [&] { return host::ui::GetOpenFilename(filter, title); });
}

std::string ChooseFileToSave(const std::string& folder, const std::string& initialName, const std::string& filter,
                             const std::string& title) {
    return inFolder(folder, [&] { return host::ui::GetSaveAsFilename(initialName, filter, title); });
}

}  // namespace telm
