// The automatic refresh of the archive: RefreshWorkbookArchives and RefreshArchiveSheet
// (declared in P_ArchiwumCommands.h).

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/F_000.h"
#include "data/F_MivraADO.h"
#include "data/P_Archiwum.h"
#include "data/P_ArchiwumCommands.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/files/LockFile.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Comment.h"
#include "host/sheet/Workbook.h"
#include "host/ui/Dialogs.h"

namespace telm {

using host::RuntimeError;
using host::Variant;

namespace {

constexpr long kAbsentSeparator = 10000;

// The value of a recorded request: SQL and MDX are asked again, anything else keeps `current`.
Variant requestedValue(const std::string& description, const Variant& current) {
    long p = host::InStr(5, description, "(:)");
    if (p == 0) p = kAbsentSeparator;
    const std::string kind = host::Left(description, 1);
    const std::string connection = host::Mid(description, 5, p - 5);
    const std::string query = host::Mid(description, p + 3, kAbsentSeparator);
    if (kind == "s") {
        bool serverCalculationAllowed = false;
        const Variant rows = GetDataAdoCore(connection, query, false, serverCalculationAllowed);
        return rows.arrayValue()(0, 0);  // anything but a table fails
    }
    if (kind == "m") {
        bool asArray = false;
        SharedState().ErrorText.clear();
        Variant value = DispatchZOLAP000(connection, query, asArray);
        // A failed query answers its error text: the frozen value stays.
        if (!SharedState().ErrorText.empty() || value.isString())
            throw RuntimeError(host::err::InvalidArgument, "The cube did not answer: " + value.toString());
        return value;
    }
    return current;  // links are not read again
}

// The comment's text up to and including its last pair of line feeds (before the old signature).
std::string withoutSignature(const std::string& comment) {
    const long p = host::InStrRev(comment, "\n\n");
    return p > 0 ? host::Left(comment, p + 1) : std::string();
}

}  // namespace

bool RefreshArchiveSheet(const host::sheet::WorksheetPtr& arch) {
    auto& app = ExcelApplication();
    bool complete = false;
    try {
        const std::string place = arch->parent()->name() + " : " + arch->name() + " : ";
        for (const auto& cell : arch->usedRange()->storedCellList()) {
            const auto comment = cell->comment();
            if (!comment || comment->text().empty()) continue;
            const std::string old = comment->text();
            std::string text = old;
            const Variant value = requestedValue(DecodeSourceComment(text), cell->value());
            cell->setValue(value);
            cell->clearComments();
            cell->addComment(withoutSignature(old) + ArchiveSignature() + " (Auto)");
            app.setStatusBar(place + cell->address() + " : " + cell->value().toString());
        }
        EnlargeCommentShapes(*arch);
        complete = true;
    } catch (const RuntimeError&) {  // the refresh of this sheet ends here, the value kept
    }
    app.setStatusBar(false);
    return complete;
}

void RefreshWorkbookArchives(const std::string& fileName) {
    // A workbook someone has open is theirs to save: refreshing it here would replace it under them.
    if (!fileName.empty())
        if (const auto holder = host::files::otherLockHolder(host::nativePath(fileName)))
            throw host::RuntimeError(host::err::InvalidArgument, "The archive of '" + fileName +
                                                                     "' was not refreshed: it is open in another "
                                                                     "program, by " + *holder + ".");
    auto& app = ExcelApplication();
    const bool displayAlerts = app.displayAlerts;
    app.displayAlerts = false;
    app.setStatusBar(GetMessageText(132));
    auto excel = host::sheet::Application::create();
    host::files::attachWorkbookStore(*excel);
    excel->displayAlerts = false;

    if (fileName.empty()) {
        ReportMessage(GetMessageText(1018), host::ui::vbExclamation, GetMessageText(2001));
    } else {
        const std::string sep = app.pathSeparator();
        const std::string path = host::nativePath(fileName);
        const long last = host::InStrRev(path, sep);
        const std::string name = host::Mid(path, last + 1);
        const std::string fullName = last > 0 ? host::Left(path, last - 1) + sep + name : name;

        bool wasOpen = false;
        IgnoringErrors([&] {
            if (const auto open = app.workbooks().find(name)) {
                wasOpen = true;
                open->close(true);
            }
        });
        host::sheet::WorkbookPtr book;
        IgnoringErrors([&] {
            book = excel->workbooks().open(fullName);
            excel->setCalculation(host::sheet::CalculationMode::Manual);
        });
        std::vector<std::string> failed;
        IgnoringErrors([&] {
            if (!book) return failed.push_back(fullName);
            for (const auto& sheet : std::vector(book->worksheets()))
                if (!IsArchiveSheetName(sheet->name()))
                    if (const auto twin = book->findSheet(sheet->name() + ".a"); twin && IsArchiveTwin(*twin))
                        if (!RefreshArchiveSheet(twin)) failed.push_back(twin->name());
        });
        try {
            if (book) book->close(true);
        } catch (const RuntimeError& e) {
            failed.push_back(fullName + " (" + e.description() + ")");
        }
        IgnoringErrors([&] {
            if (wasOpen) app.workbooks().open(fullName);
        });
        if (!failed.empty()) {
            std::string list;
            for (const auto& name : failed) list += (list.empty() ? "" : ", ") + name;
            app.noteCommandFailure("the archive of " + fullName + " was not refreshed completely: " + list);
        }
    }
    excel->quit();
    excel.reset();
    // The host shows its alerts and its own status text again once the command is over.
    app.displayAlerts = displayAlerts;
    app.setStatusBar(false);
}

}  // namespace telm
