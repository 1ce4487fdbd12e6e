#include "core/P_API.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/os/Download.h"
#include "host/os/Launcher.h"
#include "host/os/System.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

constexpr int kCannotOpenPageMessage = 1012;

// True for a path that starts with a drive root such as "C:\".
bool hasDriveRoot(const std::string& path) {
    const std::string root = host::Left(path, 3);
    return host::Len(root) == 3 && host::Mid(root, 2, 1) == ":" &&
           (host::Right(root, 1) == "\\" || host::Right(root, 1) == "/");
}

std::string networkForm(const std::string& path, const std::string& computer) {
    if (!hasDriveRoot(path) && host::Left(path, 1) == "/") return "//" + computer + path;
    return "\\\\" + host::Replace(path, host::Left(path, 3), computer + "\\");
}

bool endsWithSeparator(const std::string& folder) {
    const std::string last = host::Right(folder, 1);
    return last == "\\" || last == "/";
}

// The chosen folder ending in a separator; "" (a cancel) stays "".
std::string asFolderText(const std::string& folder) {
    if (folder.empty() || endsWithSeparator(folder)) return folder;
    return folder + ExcelApplication().pathSeparator();
}

}  // namespace

std::string ComputerName() {
    ExcelApplication().markVolatile();
    return host::os::computerName();
}

std::string ConvertToUNCPath(std::string& path, bool flag) {
    ExcelApplication().markVolatile();
    if (path.empty()) path = host::os::currentFolder();
    const std::string computer = ComputerName();
    if (!flag) return path;
    const std::string unc = networkForm(path, computer);
    try {
        host::os::pathExists(unc);  // only whether the look-up itself fails matters
    } catch (const host::RuntimeError&) {
        return std::string(kBadPathText);
    }
    return unc;
}

void OpenDocument(std::string_view target) {
    try {
        host::os::openDocument(target);
    } catch (const host::RuntimeError& e) {
        ReportMessage(GetMessageText(kCannotOpenPageMessage) + "\r" + std::string(target), host::ui::vbExclamation,
                      kSystemName);
        // The caller goes on; a host program still learns that nothing was opened.
        ExcelApplication().noteCommandFailure(e.description());
    }
}

bool DownloadFile(std::string_view url, std::string_view localFile) { return host::os::downloadFile(url, localFile); }

host::Variant BrowseFolderDialog() {
    ExcelApplication();  // the picker is the application's own dialog: error 91 without it
    return asFolderText(host::ui::PickFolder());
}

std::string ShellBrowseForFolder(long /*hwnd*/, std::string_view title, int /*options*/, const host::Variant& root) {
    const std::string start = root.isMissing() ? std::string() : root.toString();
    return asFolderText(host::ui::PickFolder(title, start));
}

}  // namespace telm
