// The commands on links between workbooks: repairing the links to the companion add-in and the
// link register.

#include <string>
#include <vector>

#include "commands/CommandSupport.h"
#include "commands/P_Ogolne.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "host/base/FolderTree.h"
#include "host/base/Path.h"
#include "host/base/Text.h"
#include "host/companion/Companion.h"
#include "host/os/System.h"
#include "host/sheet/Application.h"
#include "host/sheet/WorkbookLinks.h"

namespace telm {

using host::Variant;
using host::sheet::WorkbookPtr;

namespace {

// A full name as names are compared: "/" between folders, upper case.
std::string comparable(const std::string& fullName) { return host::UCase(host::Replace(fullName, "\\", "/")); }

// The last component of a full name, "\" and "/" both separating folders.
std::string fileNameOf(const std::string& fullName) {
    const std::string normal = host::Replace(fullName, "\\", "/");
    return normal.substr(normal.rfind('/') + 1);
}

// The workbook a link names: the open one of that name, else its file opened (nullptr when there is
// no such file or it cannot be read). `opened` tells whether it was opened here.
WorkbookPtr linkedWorkbook(const std::string& link, bool& opened) {
    auto& app = ExcelApplication();
    opened = false;
    if (auto open = app.workbooks().find(fileNameOf(link))) return open;
    const std::string file = host::nativePath(link);
    if (!file.starts_with("/") || !host::os::pathExists(file) || host::isFolder(file)) return nullptr;
    try {
        auto book = app.workbooks().open(file);
        opened = true;
        return book;
    } catch (const host::RuntimeError&) {
        return nullptr;  // not a workbook this host reads
    }
}

// The sheet "LinkRegister" of the workbook, emptied, or a new one after its last sheet.
host::sheet::WorksheetPtr linkRegisterSheet(const WorkbookPtr& book) {
    if (auto sheet = book->findSheet(kLinkRegisterSheet)) {
        sheet->usedRange()->clearContents();
        return sheet;
    }
    return book->addSheet(nullptr, book->worksheets().back(), kLinkRegisterSheet);
}

}  // namespace

void RepairAddInLinks() {
    RunCommand([] {
        auto& app = ExcelApplication();
        auto companion = app.thisWorkbook();
        if (!companion) throw host::RuntimeError(host::err::ObjectNotSet);
        const std::string inUse = companion->fullName();
        for (const auto& book : app.workbooks().list())
            for (const std::string& link : host::sheet::linkSources(*book)) {
                if (comparable(fileNameOf(link)) != comparable(host::companion::kWorkbookName) ||
                    comparable(link) == comparable(inUse))
                    continue;
                app.setStatusBar(GetMessageText(15) + " " + book->name());
                host::sheet::changeLink(*book, link, inUse);
            }
        app.setStatusBar(false);
    });
}

void BuildLinkRegister() {
    RunCommand([] {
        auto& app = ExcelApplication();
        if (!WorkbookIsOpen()) return;
        auto book = app.activeWorkbook();
        std::vector<std::vector<Variant>> rows{{"Workbook", "Link"}};
        const auto links = host::sheet::linkSources(*book);
        for (const std::string& link : links) rows.push_back({book->fullName(), link});
        for (const std::string& link : links) {
            bool opened = false;
            auto linked = linkedWorkbook(link, opened);
            if (!linked) continue;
            for (const std::string& further : host::sheet::linkSources(*linked)) rows.push_back({linked->fullName(), further});
            if (opened) linked->close(false);
        }
        book->activate();
        auto sheet = linkRegisterSheet(book);
        WriteRows(sheet->range("A1"), rows);
        SharedState().RepairLinksOnActivate = true;
    });
}

}  // namespace telm
