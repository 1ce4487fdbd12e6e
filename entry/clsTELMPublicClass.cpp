#include "entry/clsTELMPublicClass.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <unordered_map>
#include <utility>

#include "analyses/P_Analizy.h"
#include "analyses/P_Publikacja.h"
#include "batch/P_TC_Program.h"
#include "batch/P_TELM_IS.h"
#include "commands/P_Ogolne.h"
#include "commands/P_Przeliczanie.h"
#include "commands/P_PrzeliczanieZakres.h"
#include "core/A_Deklaracje.h"
#include "core/F_Pomocnicze.h"
#include "core/F_Slownie.h"
#include "core/P_Interfejs.h"
#include "core/P_ObslBledow.h"
#include "data/F_000.h"
#include "data/F_Dane.h"
#include "data/F_Lacze.h"
#include "data/F_Publiczne.h"
#include "data/P_ArchiwumCommands.h"
#include "data/S_ServerCalculation.h"
#include "data/S_ServiceManager.h"
#include "data/S_Services.h"
#include "data/clsF000.h"
#include "entry/A_Start.h"
#include "host/base/RuntimeError.h"
#include "host/sheet/CommandBars.h"
#include "host/sheet/Range.h"
#include "wizards/P_DataSources.h"
#include "wizards/P_Formuly.h"
#include "wizards/P_zODBC.h"
#include "wizards/P_zOlap.h"

namespace telm {

using host::Variant;

namespace {

std::atomic<int> instances{0};

// The worksheet-function guard: marks the calling cell volatile, switches off the cancel and
// calculation-interrupt keys, presets the pending error text and runs the member's own step. A
// run-time error ends the call with its description as the result.
template <class Step>
Variant guarded(bool presetErrorText, Step step) {
    try {
        auto& app = ExcelApplication();
        app.markVolatile(true);
        app.enableCancelKey = 0;
        app.calculationInterruptKey = 0;
        if (presetErrorText) SharedState().ErrorText = "#Unexpected error";
        return step();
    } catch (const host::RuntimeError& e) {
        return e.description();
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
}

}  // namespace

clsTELMPublicClass::clsTELMPublicClass() { ++instances; }

clsTELMPublicClass::~clsTELMPublicClass() {
    auto& state = SharedState();
    IgnoringErrors([] { ExcelApplication().caption = "Microsoft Excel (!!! NO TELM.NET !!!)"; });
    IgnoringErrors([] { ExcelApplication().commandBars().item("Excel2003Menus")->remove(); });
    RemoveMenus();
    state.ExcelApp.reset();
    state.ExcelWorkbooks.reset();
    --instances;
}

int clsTELMPublicClass::InstanceCount() { return instances; }

// ---- worksheet functions ----

Variant clsTELMPublicClass::GETDATA(std::vector<Variant>& argumenty) {
    return guarded(true, [&]() -> Variant {
        if (argumenty.empty()) throw host::RuntimeError(host::err::SubscriptOutOfRange);
        const host::Array& items = std::as_const(argumenty.front()).arrayValue();  // no array: Type mismatch
        const auto isRange = [](const Variant& item) { return host::sheet::asRange(item) != nullptr; };
        if (!std::ranges::any_of(items.elements(), isRange)) return GetDataByModel(argumenty);
        // The ranges among the items are read into a copy: the caller's array stays as it was.
        Variant arguments = argumenty.front();
        for (Variant& item : arguments.arrayValue().elements())
            if (auto range = host::sheet::asRange(item)) item = range->value2();
        std::vector<Variant> list{std::move(arguments)};
        return GetDataByModel(list);
    });
}

Variant clsTELMPublicClass::GETDATAOLAP(const std::string& SerwerOLAP, const std::string& BazaDanychOLAP,
                                        const std::string& KostkaOLAP, const std::string& miara,
                                        const std::string& KryteriaMDX, const std::string& InneParADO,
                                        std::string& InnePar) {
    return guarded(true, [&]() -> Variant {
        return GetDataOlapPublic(SerwerOLAP, BazaDanychOLAP, KostkaOLAP, miara, KryteriaMDX, InneParADO, InnePar);
    });
}

Variant clsTELMPublicClass::GETDATAOLAPuni(const std::string& connStr, const std::string& MDXStr, bool IfTable) {
    return guarded(true, [&]() -> Variant { return DispatchZOLAP000(connStr, MDXStr, IfTable); });
}

Variant clsTELMPublicClass::GETDATAODBC(const Variant& connStr, const Variant& sqlStr, const Variant& Fields) {
    return guarded(true, [&]() -> Variant {
        Variant fields = Fields;
        return GetDataOdbcPublic(connStr, sqlStr, fields);
    });
}

Variant clsTELMPublicClass::GETDATALINK(const std::string& LinkStr, const std::string& OtherPar) {
    return guarded(true, [&]() -> Variant {
        if (OtherPar == ":") return "l(:)" + LinkStr;
        return GetDataLinkPublic(LinkStr, std::string());
    });
}

Variant clsTELMPublicClass::GETTRANSLATION(const Variant& strTextToTranslate, const std::string& strLanguageFrom,
                                           const std::string& strLanguageTo) {
    return guarded(true, [&]() -> Variant { return TranslateText(strTextToTranslate, strLanguageFrom, strLanguageTo); });
}

std::string clsTELMPublicClass::VALUE2STRING(double value, const Variant& language, const std::string& currencyStr,
                                             const std::string& centsStr, bool ThreeLetters) {
    try {
        return AmountInWords(value, language, currencyStr, centsStr, ThreeLetters);
    } catch (const host::RuntimeError& e) {
        return e.description();
    }
}

Variant clsTELMPublicClass::TestFunction(std::int32_t&) {
    return guarded(false, []() -> Variant { return "TELM.NET"; });
}

// ---- start and host objects ----

void clsTELMPublicClass::TELMStart() { StartAddIn(); }

void clsTELMPublicClass::app(const Variant& application) {
    auto object = application.isObject() ? application.objectValue() : nullptr;
    auto app = std::dynamic_pointer_cast<host::sheet::Application>(object);
    if (object && !app) throw host::RuntimeError(host::err::TypeMismatch);
    SharedState().ExcelApp = app;
}

void clsTELMPublicClass::books(const Variant& workbooks) {
    auto object = workbooks.isObject() ? workbooks.objectValue() : nullptr;
    auto books = std::dynamic_pointer_cast<host::sheet::Workbooks>(object);
    if (object && !books) throw host::RuntimeError(host::err::TypeMismatch);
    SharedState().ExcelWorkbooks = books;
}

// ---- commands ----

void clsTELMPublicClass::PublicInfoAbout() { ShowAboutBox(); }
void clsTELMPublicClass::PublicNumberFormat() { ApplyDefaultNumberFormat(); }
void clsTELMPublicClass::PublicOpenHelp() { OpenHelpPage(); }
void clsTELMPublicClass::PublicParametrizeFormula() { ParametrizeActiveFormula(); }
void clsTELMPublicClass::PublicFillSelection() { FillSelectionWithFormula(); }
void clsTELMPublicClass::PublicPasteSpecialOnlyValues() { PasteValuesIntoSelection(); }
void clsTELMPublicClass::PublicPrzeliczFormule() { EvaluateFormulaInEditLine(); }
void clsTELMPublicClass::PublicPrzeliczFormule2() { ShowFormulaResult(); }
void clsTELMPublicClass::PublicSwithErrorReportingLevel() { AskErrorReportingLevel(); }
void clsTELMPublicClass::PublicZmienpvErrorReportingWay() { AskErrorReportingWay(); }
void clsTELMPublicClass::PublicMenageWorkbooks() { ReportMessage("Temporarily in preparation.", 64, "TELM.NET"); }
void clsTELMPublicClass::PublicMoveToArchive() { ArchiveRange(); }
void clsTELMPublicClass::PublicEraseArchive1() { ClearArchiveCells(); }
void clsTELMPublicClass::PublicEraseArchive2() { FillArchiveWithPoints(); }
void clsTELMPublicClass::PublicRefreshArchive() { RefreshArchiveSelection(); }
void clsTELMPublicClass::PublicAutoRefreshArchive() { RefreshWorkbookArchives(""); }
void clsTELMPublicClass::PublicSelectArchiveErrors() { SelectArchiveMismatches(); }
void clsTELMPublicClass::PublicPrzeliczZaznaczone() { RecalcSelection(); }
void clsTELMPublicClass::PublicPrzeliczNastepniki() { RecalcDependents(); }
void clsTELMPublicClass::PublicPrzeliczPoprzedniki() { RecalcPrecedents(); }
void clsTELMPublicClass::PublicLink2GetDataLink() { ConvertLinksToGetDataLink(); }
void clsTELMPublicClass::PublicGetDataLink2Link() { ConvertGetDataLinkToLinks(); }
void clsTELMPublicClass::PublicOpenAnalyse() {
    std::string file, report, name;
    OpenAnalysis(file, report, name);
}
void clsTELMPublicClass::PublicCloseAnalyse() {
    std::string name;
    std::int16_t mode = 1;
    CloseAnalysis(name, mode);
}
void clsTELMPublicClass::PublicSaveAnalyse() { SaveAnalysis(); }
void clsTELMPublicClass::PublicWizardGetdata() { ShowGetDataWizard(); }
void clsTELMPublicClass::PublicCalculateSheet2() { CalculateActiveSheet(); }
void clsTELMPublicClass::PublicShowHideArchive() { ToggleArchiveSheet(); }
void clsTELMPublicClass::PublicPublishDefault() {
    bool silent = false;
    PublishWithDefaults(silent);
}
void clsTELMPublicClass::PublicWizardGetdataOLAP() { InsertPivotReferenceFormula(); }
void clsTELMPublicClass::PublicWizardGetdataODBC() { InsertGetDataOdbcFormula(); }
void clsTELMPublicClass::PublicDataSourceWizard() { OpenDataSourceWizard(); }
void clsTELMPublicClass::PublicSaveAsAnalyse() { SaveAnalysisAs(); }
void clsTELMPublicClass::PublicEditAnalyse() { EditAnalysis(); }
void clsTELMPublicClass::PublicOtworzSzablonVADUR() { SelectAndOpenTemplate(); }
void clsTELMPublicClass::PublicCalculateAll2() { CalculateAllWorkbooks(); }
void clsTELMPublicClass::PublicPublishNormal() { PublishWithPanel(); }
void clsTELMPublicClass::PublicPrzeliczanieArkSkorSwitch() {}
void clsTELMPublicClass::PublicOpublikujWszystko() { PublishAllWorkbooks(); }
void clsTELMPublicClass::PublicRemoveArchive() { DeleteArchiveSheet(); }
void clsTELMPublicClass::PublicCountersInfo() { ShowCountersInfo(); }
void clsTELMPublicClass::PublicGetPivotData2GetDataOlap() { ConvertSelectedPivotFormulas(); }
void clsTELMPublicClass::PublicRefreshDataModel() { ReloadDataModel(); }
void clsTELMPublicClass::PublicZamykanie() { RemoveMenus(); }
void clsTELMPublicClass::PublicStartIS() { RunISProgram(); }
void clsTELMPublicClass::PublicStartTC() { RunTextConverter(); }
void clsTELMPublicClass::PublicOpenPreviewFile() {
    bool silent = false;
    OpenLastPreviewWorkbook(silent);
}

void clsTELMPublicClass::PublicSwitchLanguage() {
    auto& language = SharedState().LanguageIndex;
    language = language == 1 ? 0 : 1;
    RebuildMenus();
}

void clsTELMPublicClass::PublicRepairLinks() { RepairAddInLinks(); }

void clsTELMPublicClass::PublicOnWorkbookActivate() {
    if (SharedState().RepairLinksOnActivate) RepairAddInLinks();
}

void clsTELMPublicClass::PublicRefreshLinkEnviroment() {
    if (!linkEnvironment_) linkEnvironment_ = std::make_unique<clsF000>();
    linkEnvironment_->RefreshLinkEnviroment();
}
void clsTELMPublicClass::PublicOpenSample() { OpenSampleWorkbook(); }
void clsTELMPublicClass::PublicOpenTemplate() { OpenTemplateWorkbook(); }
void clsTELMPublicClass::PublicOpenInternetSample() { OpenSamplesWebPage(); }
Variant clsTELMPublicClass::PublicRegPath() { return GetAppPath(); }
Variant clsTELMPublicClass::PublicShowShortcuts() {
    ShowShortcutList();
    return Variant();
}
void clsTELMPublicClass::PublicCubeWizard() { BuildOfflineCube(); }
void clsTELMPublicClass::PublicClearFieldSums() { ClearPivotFieldSubtotals(); }
void clsTELMPublicClass::PublicBrowseForFolder() { InsertChosenFolderPath(); }
void clsTELMPublicClass::PublicBrowseForFile() { InsertChosenFilePath(); }
void clsTELMPublicClass::PublicFileRegisterStart() { BuildFileRegister(); }
void clsTELMPublicClass::PublicLinkRegisterStart() { BuildLinkRegister(); }
void clsTELMPublicClass::PublicAutoStartIS() { StartISWorkbook(); }
void clsTELMPublicClass::PublicResetAuthorisationTable() { ClearAuthorisationTable(); }
void clsTELMPublicClass::PublicSetServicesOn() { SwitchServicesOn(false); }
void clsTELMPublicClass::PublicSetServicesOff() { SwitchServicesOff(false); }
void clsTELMPublicClass::PublicResetServicesTable() { ClearServicesTable(); }

void clsTELMPublicClass::PublicOnSheetCalculate() {
    if (SharedState().ServerCalculationOn) WriteServerCalculationRequests();
}

void clsTELMPublicClass::PublicOnSheetChange() {
    if (SharedState().ServerCalculationOn) HandleServerSheetChange();
}

void clsTELMPublicClass::PublicUnpivotTable() { UnpivotCurrentRegion(); }

}  // namespace telm
