// Late binding of clsTELMPublicClass: its members by name, with the arguments converted as the
// automation layer converts them (an omitted optional argument takes its default).

#include <functional>
#include <unordered_map>

#include "entry/clsTELMPublicClass.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

namespace telm {

using host::Variant;

namespace {

using Member = std::function<Variant(clsTELMPublicClass&, std::vector<Variant>&)>;

// The argument at a position; Missing when the caller gave fewer.
const Variant& argument(const std::vector<Variant>& a, std::size_t i) {
    static const Variant missing = Variant::missing();
    return i < a.size() ? a[i] : missing;
}

std::string text(const std::vector<Variant>& a, std::size_t i, const char* fallback = "") {
    const Variant& v = argument(a, i);
    return v.isMissing() ? std::string(fallback) : v.toString();
}

bool flag(const std::vector<Variant>& a, std::size_t i, bool fallback) {
    const Variant& v = argument(a, i);
    return v.isMissing() ? fallback : v.toBool();
}

Variant value(const std::vector<Variant>& a, std::size_t i, const Variant& fallback) {
    const Variant& v = argument(a, i);
    return v.isMissing() ? fallback : v;
}

// Refuses a call that leaves out one of the first `count` arguments, as the automation layer does
// for a parameter that is not optional.
void requireArguments(const std::vector<Variant>& a, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (argument(a, i).isMissing())
            throw host::RuntimeError(host::err::ArgumentNotOptional,
                                     host::standardDescription(host::err::ArgumentNotOptional));
}

// A command member: no arguments, no result.
Member command(void (clsTELMPublicClass::*member)()) {
    return [member](clsTELMPublicClass& c, std::vector<Variant>&) {
        (c.*member)();
        return Variant();
    };
}

std::string key(std::string_view name) { return host::UCase(name); }

const std::unordered_map<std::string, Member>& members() {
    using C = clsTELMPublicClass;
    static const std::unordered_map<std::string, Member> table = [] {
        std::unordered_map<std::string, Member> t;
        auto add = [&](std::string_view name, Member m) { t.emplace(key(name), std::move(m)); };
        add("GETDATA", [](C& c, std::vector<Variant>& a) { return c.GETDATA(a); });
        add("GETDATAOLAP", [](C& c, std::vector<Variant>& a) {
            requireArguments(a, 4);
            std::string innePar = text(a, 6);
            Variant result = c.GETDATAOLAP(text(a, 0), text(a, 1), text(a, 2), text(a, 3), text(a, 4), text(a, 5), innePar);
            if (a.size() > 6 && !a[6].isMissing()) a[6] = innePar;  // by reference
            return result;
        });
        add("GETDATAOLAPuni", [](C& c, std::vector<Variant>& a) {
            requireArguments(a, 2);
            return c.GETDATAOLAPuni(text(a, 0), text(a, 1), flag(a, 2, false));
        });
        add("GETDATAODBC", [](C& c, std::vector<Variant>& a) {
            requireArguments(a, 2);
            return c.GETDATAODBC(argument(a, 0), argument(a, 1), value(a, 2, true));
        });
        add("GETDATALINK", [](C& c, std::vector<Variant>& a) {
            requireArguments(a, 1);
            return c.GETDATALINK(text(a, 0), text(a, 1));
        });
        add("GETTRANSLATION", [](C& c, std::vector<Variant>& a) {
            requireArguments(a, 1);
            return c.GETTRANSLATION(argument(a, 0), text(a, 1, "pl"), text(a, 2, "en"));
        });
        add("VALUE2STRING", [](C& c, std::vector<Variant>& a) -> Variant {
            requireArguments(a, 1);
            return c.VALUE2STRING(argument(a, 0).toDouble(), value(a, 1, "EN"), text(a, 2), text(a, 3, "/100"),
                                  flag(a, 4, false));
        });
        add("TEST", [](C& c, std::vector<Variant>& a) {
            std::int32_t val = argument(a, 0).isMissing() ? 1 : argument(a, 0).toLong();
            return c.TestFunction(val);
        });
        add("TELMStart", command(&C::TELMStart));
        add("PublicInfoAbout", command(&C::PublicInfoAbout));
        add("PublicNumberFormat", command(&C::PublicNumberFormat));
        add("PublicOpenHelp", command(&C::PublicOpenHelp));
        add("PublicParametrizeFormula", command(&C::PublicParametrizeFormula));
        add("PublicFillSelection", command(&C::PublicFillSelection));
        add("PublicPasteSpecialOnlyValues", command(&C::PublicPasteSpecialOnlyValues));
        add("PublicPrzeliczFormule", command(&C::PublicPrzeliczFormule));
        add("PublicPrzeliczFormule2", command(&C::PublicPrzeliczFormule2));
        add("PublicSwithErrorReportingLevel", command(&C::PublicSwithErrorReportingLevel));
        add("PublicZmienpvErrorReportingWay", command(&C::PublicZmienpvErrorReportingWay));
        add("PublicMenageWorkbooks", command(&C::PublicMenageWorkbooks));
        add("PublicMoveToArchive", command(&C::PublicMoveToArchive));
        add("PublicEraseArchive1", command(&C::PublicEraseArchive1));
        add("PublicEraseArchive2", command(&C::PublicEraseArchive2));
        add("PublicRefreshArchive", command(&C::PublicRefreshArchive));
        add("PublicAutoRefreshArchive", command(&C::PublicAutoRefreshArchive));
        add("PublicSelectArchiveErrors", command(&C::PublicSelectArchiveErrors));
        add("PublicPrzeliczZaznaczone", command(&C::PublicPrzeliczZaznaczone));
        add("PublicPrzeliczNastepniki", command(&C::PublicPrzeliczNastepniki));
        add("PublicPrzeliczPoprzedniki", command(&C::PublicPrzeliczPoprzedniki));
        add("PublicLink2GetDataLink", command(&C::PublicLink2GetDataLink));
        add("PublicGetDataLink2Link", command(&C::PublicGetDataLink2Link));
        add("PublicOpenAnalyse", command(&C::PublicOpenAnalyse));
        add("PublicCloseAnalyse", command(&C::PublicCloseAnalyse));
        add("PublicSaveAnalyse", command(&C::PublicSaveAnalyse));
        add("PublicWizardGetdata", command(&C::PublicWizardGetdata));
        add("PublicCalculateSheet2", command(&C::PublicCalculateSheet2));
        add("PublicShowHideArchive", command(&C::PublicShowHideArchive));
        add("PublicPublishDefault", command(&C::PublicPublishDefault));
        add("PublicWizardGetdataOLAP", command(&C::PublicWizardGetdataOLAP));
        add("PublicWizardGetdataODBC", command(&C::PublicWizardGetdataODBC));
        add("PublicDataSourceWizard", command(&C::PublicDataSourceWizard));
        add("PublicSaveAsAnalyse", command(&C::PublicSaveAsAnalyse));
        add("PublicEditAnalyse", command(&C::PublicEditAnalyse));
        add("PublicOtworzSzablonVADUR", command(&C::PublicOtworzSzablonVADUR));
        add("PublicCalculateAll2", command(&C::PublicCalculateAll2));
        add("PublicPublishNormal", command(&C::PublicPublishNormal));
        add("PublicPrzeliczanieArkSkorSwitch", command(&C::PublicPrzeliczanieArkSkorSwitch));
        add("PublicOpublikujWszystko", command(&C::PublicOpublikujWszystko));
        add("PublicRemoveArchive", command(&C::PublicRemoveArchive));
        add("PublicCountersInfo", command(&C::PublicCountersInfo));
        add("PublicGetPivotData2GetDataOlap", command(&C::PublicGetPivotData2GetDataOlap));
        add("PublicRefreshDataModel", command(&C::PublicRefreshDataModel));
        add("PublicZamykanie", command(&C::PublicZamykanie));
        add("PublicStartIS", command(&C::PublicStartIS));
        add("PublicStartTC", command(&C::PublicStartTC));
        add("PublicOpenPreviewFile", command(&C::PublicOpenPreviewFile));
        add("PublicSwitchLanguage", command(&C::PublicSwitchLanguage));
        add("PublicRepairLinks", command(&C::PublicRepairLinks));
        add("PublicOnWorkbookActivate", command(&C::PublicOnWorkbookActivate));
        add("PublicRefreshLinkEnviroment", command(&C::PublicRefreshLinkEnviroment));
        add("PublicOpenSample", command(&C::PublicOpenSample));
        add("PublicOpenTemplate", command(&C::PublicOpenTemplate));
        add("PublicOpenInternetSample", command(&C::PublicOpenInternetSample));
        add("PublicRegPath", [](C& c, std::vector<Variant>&) { return c.PublicRegPath(); });
        add("PublicShowShortcuts", [](C& c, std::vector<Variant>&) { return c.PublicShowShortcuts(); });
        add("PublicCubeWizard", command(&C::PublicCubeWizard));
        add("PublicClearFieldSums", command(&C::PublicClearFieldSums));
        add("PublicBrowseForFolder", command(&C::PublicBrowseForFolder));
        add("PublicBrowseForFile", command(&C::PublicBrowseForFile));
        add("PublicFileRegisterStart", command(&C::PublicFileRegisterStart));
        add("PublicLinkRegisterStart", command(&C::PublicLinkRegisterStart));
        add("PublicAutoStartIS", command(&C::PublicAutoStartIS));
        add("PublicResetAuthorisationTable", command(&C::PublicResetAuthorisationTable));
        add("PublicSetServicesOn", command(&C::PublicSetServicesOn));
        add("PublicSetServicesOff", command(&C::PublicSetServicesOff));
        add("PublicResetServicesTable", command(&C::PublicResetServicesTable));
        add("PublicOnSheetCalculate", command(&C::PublicOnSheetCalculate));
        add("PublicOnSheetChange", command(&C::PublicOnSheetChange));
        add("PublicUnpivotTable", command(&C::PublicUnpivotTable));
        return t;
    }();
    return table;
}

}  // namespace

bool clsTELMPublicClass::hasMember(std::string_view member) const { return members().contains(key(member)); }

Variant clsTELMPublicClass::invoke(std::string_view member, std::vector<Variant>& arguments) {
    // Members are kept in upper case, as callers mostly name them.
    auto it = members().find(std::string(member));
    if (it == members().end()) it = members().find(key(member));
    if (it == members().end()) throw host::RuntimeError(host::err::NoSuchMember);
    return it->second(*this, arguments);
}

void clsTELMPublicClass::setProperty(std::string_view property, const Variant& value) {
    if (key(property) == "APP")
        app(value);
    else if (key(property) == "BOOKS")
        books(value);
    else
        throw host::RuntimeError(host::err::NoSuchMember);
}

}  // namespace telm
