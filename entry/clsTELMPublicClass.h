#pragma once
// clsTELMPublicClass: the add-in's only public class and the only way into it. The companion
// add-in creates one instance, hands it the host's Application and Workbooks, starts it, and from
// then on calls its worksheet functions, its commands ("Public" + the command's macro name) and its
// event members, by name through the Dispatch interface or directly.
//
// Worksheet functions never raise: a run-time error ends them with its description as the result.

#include <memory>
#include <string>
#include <vector>

#include "host/base/Dispatch.h"
#include "host/base/Variant.h"

namespace telm {

class clsF000;

class clsTELMPublicClass : public host::Dispatch {
public:
    clsTELMPublicClass();
    // The terminator: sets the stopped caption, deletes the classic menu bar, removes the menus and
    // only then releases the host objects.
    ~clsTELMPublicClass() override;
    std::string typeName() const override { return "clsTELMPublicClass"; }

    // Number of instances alive (the library's unload query).
    static int InstanceCount();

    // ---- worksheet functions ----
    host::Variant GETDATA(std::vector<host::Variant>& argumenty);
    host::Variant GETDATAOLAP(const std::string& SerwerOLAP, const std::string& BazaDanychOLAP,
                              const std::string& KostkaOLAP, const std::string& miara,
                              const std::string& KryteriaMDX, const std::string& InneParADO, std::string& InnePar);
    host::Variant GETDATAOLAPuni(const std::string& connStr, const std::string& MDXStr, bool IfTable);
    host::Variant GETDATAODBC(const host::Variant& connStr, const host::Variant& sqlStr, const host::Variant& Fields);
    host::Variant GETDATALINK(const std::string& LinkStr, const std::string& OtherPar);
    host::Variant GETTRANSLATION(const host::Variant& strTextToTranslate, const std::string& strLanguageFrom,
                                 const std::string& strLanguageTo);
    std::string VALUE2STRING(double value, const host::Variant& language, const std::string& currencyStr,
                             const std::string& centsStr, bool ThreeLetters);

    // ---- start and host objects ----
    void TELMStart();
    void app(const host::Variant& application);
    void books(const host::Variant& workbooks);

    // ---- commands and events ----
    void PublicInfoAbout();
    void PublicNumberFormat();
    void PublicOpenHelp();
    void PublicParametrizeFormula();
    void PublicFillSelection();
    void PublicPasteSpecialOnlyValues();
    void PublicPrzeliczFormule();
    void PublicPrzeliczFormule2();
    void PublicSwithErrorReportingLevel();
    void PublicZmienpvErrorReportingWay();
    void PublicMenageWorkbooks();
    void PublicMoveToArchive();
    void PublicEraseArchive1();
    void PublicEraseArchive2();
    void PublicRefreshArchive();
    void PublicAutoRefreshArchive();
    void PublicSelectArchiveErrors();
    void PublicPrzeliczZaznaczone();
    void PublicPrzeliczNastepniki();
    void PublicPrzeliczPoprzedniki();
    void PublicLink2GetDataLink();
    void PublicGetDataLink2Link();
    void PublicOpenAnalyse();
    void PublicCloseAnalyse();
    void PublicSaveAnalyse();
    void PublicWizardGetdata();
    void PublicCalculateSheet2();
    void PublicShowHideArchive();
    void PublicPublishDefault();
    void PublicWizardGetdataOLAP();
    void PublicWizardGetdataODBC();
    void PublicDataSourceWizard();
    void PublicSaveAsAnalyse();
    void PublicEditAnalyse();
    void PublicOtworzSzablonVADUR();
    void PublicCalculateAll2();
    void PublicPublishNormal();
    void PublicPrzeliczanieArkSkorSwitch();
    void PublicOpublikujWszystko();
    void PublicRemoveArchive();
    void PublicCountersInfo();
    void PublicGetPivotData2GetDataOlap();
    void PublicRefreshDataModel();
    void PublicZamykanie();
    void PublicStartIS();
    void PublicStartTC();
    void PublicOpenPreviewFile();
    void PublicSwitchLanguage();
    void PublicRepairLinks();
    void PublicOnWorkbookActivate();
    void PublicRefreshLinkEnviroment();
    void PublicOpenSample();
    void PublicOpenTemplate();
    void PublicOpenInternetSample();
    host::Variant PublicRegPath();
    host::Variant PublicShowShortcuts();
    void PublicCubeWizard();
    void PublicClearFieldSums();
    void PublicBrowseForFolder();
    void PublicBrowseForFile();
    void PublicFileRegisterStart();
    void PublicLinkRegisterStart();
    void PublicAutoStartIS();
    void PublicResetAuthorisationTable();
    void PublicSetServicesOn();
    void PublicSetServicesOff();
    void PublicResetServicesTable();
    void PublicOnSheetCalculate();
    void PublicOnSheetChange();
    void PublicUnpivotTable();

    // ---- test function: the worksheet function TEST (named so here to keep clear of test macros) ----
    host::Variant TestFunction(std::int32_t& val);

    // ---- late binding ----
    bool hasMember(std::string_view member) const override;
    host::Variant invoke(std::string_view member, std::vector<host::Variant>& arguments) override;
    void setProperty(std::string_view property, const host::Variant& value) override;

private:
    // The class's own data-primitive object, whose private application the command
    // PublicRefreshLinkEnviroment restarts (created on first use).
    std::unique_ptr<clsF000> linkEnvironment_;
};

}  // namespace telm
