#include "analyses/P_Publikacja.h"

#include "analyses/BusyState.h"
#include "analyses/PublicationCopy.h"
#include "analyses/fPanelPublikacji.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/DateSerial.h"
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

// Writes one copy; reports and gives False when it cannot.
bool SavePublicationCopy(const host::sheet::Workbook& copy, const std::string& bookName,
                         const PublicationSetting& setting, const std::string& target, BusyState& busy) {
    busy.status(GetMessageText(17) + bookName);
    std::string reason;
    if (IsMailOrFtp(setting)) {
        reason = "e-mail and FTP destinations are not served; publish to a folder instead.";
    } else {
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
    return false;
}

}  // namespace

void PublishWorkbook(const host::sheet::WorkbookPtr& book, const std::vector<PublicationSetting>& settings) {
    if (!book) {
        report(GetMessageText(1003), host::ui::vbExclamation);
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
        report(GetMessageText(1999) + e.description(), host::ui::vbExclamation);
    }
}

void PublishWithPanel() {
    try {
        auto book = savedActiveWorkbook();
        if (book) ShowPublicationPanel(book);
    } catch (const host::RuntimeError& e) {
        report(GetMessageText(1999) + e.description(), host::ui::vbExclamation);
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
        report(GetMessageText(1999) + e.description(), host::ui::vbExclamation);
    }
}

}  // namespace telm
