#include "analyses/P_Publikacja.h"

#include <filesystem>

#include "analyses/BusyState.h"
#include "analyses/PublicationCopy.h"
#include "analyses/fPanelPublikacji.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/DateSerial.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/files/HtmlWriter.h"
#include "host/files/SpreadsheetXmlWriter.h"
#include "host/files/XlsxWriter.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

constexpr int kTitle = 2004;

host::Variant report(const std::string& prompt, int buttons) {
    return ReportMessage(prompt, buttons, GetMessageText(kTitle));
}

// The active workbook when it has been saved; message 1008 and nullptr otherwise.
host::sheet::WorkbookPtr savedActiveWorkbook() {
    auto book = ExcelApplication().activeWorkbook();
    if (book && !book->path().empty()) return book;
    report(GetMessageText(1008), host::ui::vbExclamation);
    ExcelApplication().noteCommandFailure(GetMessageText(1008));
    return nullptr;
}

void writeCopy(const host::sheet::Workbook& copy, const std::string& format, const std::string& target) {
    if (format == "xlsx" || format == "xls")
        host::files::writeWorkbook(copy, target);
    else if (format == "xml")
        host::files::writeSpreadsheetXml(copy, target);
    else if (format == "htm" || format == "html")
        host::files::writeHtml(copy, target);
    else
        throw host::RuntimeError(host::err::InvalidArgument, "unknown publication format '" + format + "'");
}

bool holdsSeparator(const std::string& text) { return text.find_first_of("/\\") != std::string::npos; }

bool sameFile(const std::string& one, const std::string& other) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path a = host::nativePath(one), b = host::nativePath(other);
    if (fs::equivalent(a, b, error)) return true;
    const fs::path first = fs::weakly_canonical(a, error);
    if (error) return false;
    return first == fs::weakly_canonical(b, error) && !error;
}

// Why the copy may not go to `target`, or empty: its file-name parts must not lead to another folder,
// and it must never replace the workbook itself nor any other open workbook.
std::string targetRefusal(const PublicationSetting& setting, const std::string& target) {
    if (holdsSeparator(setting.prefix) || holdsSeparator(setting.name) || holdsSeparator(setting.suffix))
        return "the prefix, name and suffix must not hold a folder separator (\"/\" or \"\\\").";
    for (const auto& open : ExcelApplication().workbooks().list())
        if (!open->path().empty() && sameFile(target, open->fullName()))
            return "the copy would replace the open workbook " + open->fullName() + ".";
    return {};
}

// Writes one copy; reports, notes the failure and gives False when it cannot.
bool SavePublicationCopy(const host::sheet::Workbook& copy, const std::string& bookName,
                         const PublicationSetting& setting, const std::string& target, BusyState& busy) {
    busy.status(GetMessageText(17) + bookName);
    std::string reason;
    if (IsMailOrFtp(setting)) {
        reason = "e-mail and FTP destinations are not served; publish to a folder instead.";
    } else if (reason = targetRefusal(setting, target); reason.empty()) {
        try {
            writeCopy(copy, setting.format, target);
            return true;
        } catch (const host::RuntimeError& e) {
            reason = e.description();
        }
    }
    report(GetMessageText(1005) + bookName + GetMessageText(1006) + (IsMailOrFtp(setting) ? setting.path : target) +
               "\n" + GetMessageText(1007) + reason,
           host::ui::vbExclamation);
    ExcelApplication().noteCommandFailure(bookName + " was not published in " + target + ": " + reason);
    return false;
}

void reportFailure(const host::RuntimeError& e) {
    report(GetMessageText(1999) + e.description(), host::ui::vbExclamation);
    ExcelApplication().noteCommandFailure(e.description());
}

}  // namespace

void PublishWorkbook(const host::sheet::WorkbookPtr& book, const std::vector<PublicationSetting>& settings) {
    if (!book) {
        report(GetMessageText(1003), host::ui::vbExclamation);
        ExcelApplication().noteCommandFailure(GetMessageText(1003));
        return;
    }
    std::vector<std::string> written;
    {
        BusyState busy(false);
        busy.status(GetMessageText(16));
        const PublicationCopy copy = MakePublicationCopy(*book);
        busy.status(GetMessageText(119));
        const std::string today = ExcelApplication().worksheetFunctionText(host::Date{host::nowSerial()}, "yymmdd");
        for (const auto& setting : settings) {
            const std::string target = PublicationTarget(setting, *book, today);
            if (SavePublicationCopy(*copy.book, book->name(), setting, target, busy)) written.push_back(target);
        }
    }
    if (SharedState().PublishSilently || written.empty()) return;
    std::string list = book->name() + " " + GetMessageText(118);
    for (const auto& target : written) list += "\n" + target;
    report(list, host::ui::vbInformation);
}

void PublishWithDefaults(bool& silent) {
    try {
        SharedState().PublishSilently = silent;
        auto book = savedActiveWorkbook();
        if (book) PublishWorkbook(book, ReadPublicationSettings(*book));
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

void PublishWithPanel() {
    try {
        auto book = savedActiveWorkbook();
        if (book) ShowPublicationPanel(book);
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

void PublishAllWorkbooks() {
    try {
        for (const auto& book : ExcelApplication().workbooks().list()) {
            book->activate();
            bool silent = false;
            PublishWithDefaults(silent);
        }
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

}  // namespace telm
