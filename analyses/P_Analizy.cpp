#include "analyses/P_Analizy.h"

#include <filesystem>
#include <vector>

#include "analyses/AnalysisList.h"
#include "analyses/BusyState.h"
#include "analyses/P_Publikacja.h"
#include "commands/P_Przeliczanie.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/F_Pomocnicze.h"
#include "core/FileChoice.h"
#include "core/P_ObslBledow.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/WorkbookLinks.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

using host::sheet::WorkbookPtr;
namespace ui = host::ui;

constexpr int kTitle = 2007;
const std::string kAnalysisFilter = "TELM.NET (*.ana),*.ana";

host::Variant report(const std::string& prompt, int buttons = ui::vbExclamation) {
    return ReportMessage(prompt, buttons, GetMessageText(kTitle));
}

void reportFailure(const host::RuntimeError& e) { report(GetMessageText(1999) + e.description()); }

// The last component of a path, taken apart at "\" or "/".
std::string fileNameOf(const std::string& path) {
    const auto cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The open workbook whose file is `path` (folder token and either separator allowed), or nullptr.
WorkbookPtr openWorkbookOf(const std::string& path) {
    const std::string wanted = host::nativePath(ReplaceFolderPlaceholder(path));
    for (const auto& book : ExcelApplication().workbooks().list())
        if (!book->path().empty() && book->fullName() == wanted) return book;
    return nullptr;
}

std::string chooseAnalysisFile() {
    return ChooseFileToOpen(SharedState().AnalysesFolder, kAnalysisFilter, GetMessageText(kTitle));
}

// The list of the analysis file; message 1019 (and nullopt) when it is none.
std::optional<std::vector<AnalysisEntry>> readList(const std::string& file) {
    try {
        return ReadAnalysisList(ReplaceFolderPlaceholder(file));
    } catch (const host::RuntimeError&) {
        report(GetMessageText(1019) + "\n" + file);
        return std::nullopt;
    }
}

void makeCurrent(const std::string& file) {
    SharedState().CurrentAnalysisName = file;
    SharedState().CurrentAnalysisWorkbook = fileNameOf(file);
}

void forgetCurrent() {
    SharedState().CurrentAnalysisName.clear();
    SharedState().CurrentAnalysisWorkbook.clear();
}

// Without a current analysis: message 145 asks whether to keep the open workbooks as a new analysis.
bool offerNewAnalysis() {
    if (!SharedState().CurrentAnalysisName.empty()) return false;
    if (report(GetMessageText(145), ui::vbYesNo + ui::vbQuestion) != host::Variant(ui::vbNo)) SaveAnalysisAs();
    return true;
}

// Opens the listed workbooks that are not open yet; gives the paths that could not be opened.
std::vector<std::string> openListed(const std::vector<AnalysisEntry>& entries) {
    BusyState busy(false);
    std::vector<std::string> failed;
    for (const auto& entry : entries) {
        const std::string unknown = UnknownOptions(entry.options);
        if (!unknown.empty()) report(GetMessageText(1028) + unknown + " (" + entry.path + ")");
        if (openWorkbookOf(entry.path)) continue;
        busy.status(GetMessageText(kTitle) + ": " + fileNameOf(entry.path));
        try {
            ExcelApplication().workbooks().open(ReplaceFolderPlaceholder(entry.path));
        } catch (const host::RuntimeError&) {
            failed.push_back(entry.path);
        }
    }
    return failed;
}

// The links of the analysis's open workbooks to workbooks outside the analysis, as "book: link".
std::vector<std::string> linksOutside(const std::vector<AnalysisEntry>& entries) {
    std::vector<std::string> members;
    for (const auto& entry : entries) members.push_back(host::nativePath(ReplaceFolderPlaceholder(entry.path)));
    auto isMember = [&](const std::string& path) {
        for (const auto& member : members)
            if (host::StrComp(member, host::nativePath(path), host::CompareMethod::Text) == 0) return true;
        return false;
    };
    std::vector<std::string> outside;
    for (const auto& entry : entries)
        if (auto book = openWorkbookOf(entry.path))
            for (const auto& source : host::sheet::linkSources(*book))
                if (!isMember(source)) outside.push_back(book->name() + ": " + source);
    return outside;
}

// Publishes (silently) the open workbooks marked "P" and activates the one marked "A".
void applyOptions(const std::vector<AnalysisEntry>& entries) {
    WorkbookPtr active;
    for (const auto& entry : entries) {
        auto book = openWorkbookOf(entry.path);
        if (!book) continue;
        if (HasOption(entry.options, 'P')) {
            book->activate();
            bool silent = true;
            PublishWithDefaults(silent);
        }
        if (HasOption(entry.options, 'A')) active = book;
    }
    if (active) active->activate();
}

}  // namespace

void OpenAnalysis(std::string& analysisFile, std::string& openingReport, std::string& analysisName) {
    openingReport.clear();
    if (!analysisName.empty()) SharedState().LastOpenedAnalysis = analysisName;
    try {
        if (analysisFile.empty()) analysisFile = chooseAnalysisFile();
        if (analysisFile.empty()) return;
        const auto entries = readList(analysisFile);
        if (!entries) return;
        const auto failed = openListed(*entries);
        makeCurrent(analysisFile);
        CalculateAllWorkbooks();
        applyOptions(*entries);
        std::string findings;
        if (!failed.empty()) {
            findings += "\n\n" + GetMessageText(142);
            for (const auto& path : failed) findings += "\n" + path;
        }
        if (const auto links = linksOutside(*entries); !links.empty()) {
            findings += "\n\n" + GetMessageText(143);
            for (const auto& link : links) findings += "\n" + link;
            findings += "\n\n" + GetMessageText(144);
        }
        if (findings.empty()) return;
        openingReport = GetMessageText(141) + analysisFile + findings;
        report(openingReport);
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

void SaveAnalysis() {
    try {
        if (offerNewAnalysis()) return;
        const auto entries = readList(SharedState().CurrentAnalysisName);
        if (!entries) return;
        BusyState busy(false);
        for (const auto& entry : *entries) {
            auto book = openWorkbookOf(entry.path);
            if (!book) continue;
            busy.status(GetMessageText(146) + book->name());
            try {
                book->save();
            } catch (const host::RuntimeError& e) {
                report(GetMessageText(1031) + "\n" + book->fullName() + "\n" + e.description());
            }
        }
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

void SaveAnalysisAs() {
    try {
        std::vector<AnalysisEntry> entries;
        for (const auto& book : ExcelApplication().workbooks().list()) {
            if (book->path().empty()) {
                report(GetMessageText(1030) + "\n" + book->name());
                return;
            }
            entries.push_back({book->fullName(), ""});
        }
        const std::string& folder = SharedState().AnalysesFolder;
        std::error_code ignored;
        std::filesystem::create_directories(host::nativePath(folder), ignored);
        std::string file = ChooseFileToSave(folder, folder + "\\", kAnalysisFilter,
                                            GetMessageText(3088) + " " + std::string(kSystemName));
        if (file.empty()) return;
        if (!host::UCase(file).ends_with(".ANA")) file += ".ana";
        try {
            WriteAnalysisList(file, entries);
        } catch (const host::RuntimeError& e) {
            report(GetMessageText(1031) + "\n" + file + "\n" + e.description());
            return;
        }
        makeCurrent(file);
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

void CloseAnalysis(std::string& analysisName, std::int16_t& mode) {
    if (mode < 0 || mode > 2) return;
    try {
        if (!analysisName.empty()) SharedState().CurrentAnalysisName = analysisName;
        if (offerNewAnalysis()) return;
        const std::string file = SharedState().CurrentAnalysisName;
        auto entries = readList(file);
        if (!entries) return;
        bool listChanged = false;
        for (auto entry = entries->begin(); entry != entries->end();) {
            auto book = openWorkbookOf(entry->path);
            bool keep = true;
            if (book && mode != 2) {
                try {
                    book->close(mode == 1);
                } catch (const host::RuntimeError&) {
                    keep = report(GetMessageText(1032) + file + ")\n\n" + entry->path, ui::vbYesNo + ui::vbQuestion) !=
                           host::Variant(ui::vbNo);
                }
            }
            if (keep) {
                ++entry;
            } else {
                entry = entries->erase(entry);
                listChanged = true;
            }
        }
        if (listChanged) WriteAnalysisList(ReplaceFolderPlaceholder(file), *entries);
        forgetCurrent();
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

void EditAnalysis() {
    try {
        std::string file = SharedState().CurrentAnalysisName;
        if (file.empty()) file = chooseAnalysisFile();
        if (file.empty()) return;
        if (auto book = openWorkbookOf(file)) return book->activate();
        try {
            ExcelApplication().workbooks().open(ReplaceFolderPlaceholder(file));
        } catch (const host::RuntimeError&) {
            report(GetMessageText(1027) + "\n" + file);
        }
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

void SelectAndOpenTemplate() {
    try {
        const std::string file = ChooseFileToOpen(SharedState().AddInFolder + "\\Templates",
                                                  "Templates (*.xlt;*.xltx),*.xlt;*.xltx", GetMessageText(kTitle));
        if (!file.empty()) ExcelApplication().workbooks().addFromTemplate(file);
    } catch (const host::RuntimeError& e) {
        reportFailure(e);
    }
}

}  // namespace telm
