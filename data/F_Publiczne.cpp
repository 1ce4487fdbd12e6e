#include "data/F_Publiczne.h"

#include "core/A_Deklaracje.h"
#include "core/P_ObslBledow.h"
#include "data/F_000.h"
#include "data/F_Lacze.h"
#include "data/F_MivraADO.h"
#include "data/F_zOLAP.h"

namespace telm {

using host::Variant;

namespace {

void prepareWorksheetFunction() {
    IgnoringErrors([] { ExcelApplication().markVolatile(true); });
    IgnoringErrors([] { ExcelApplication().enableCancelKey = 0; });
    IgnoringErrors([] { ExcelApplication().calculationInterruptKey = 0; });
    SharedState().ErrorText = "#Error";
}

// The wrapper's own steps, then the worker; a worker that raises gives an empty result.
template <class Worker>
Variant wrapped(Worker worker) {
    prepareWorksheetFunction();
    try {
        return worker();
    } catch (...) {  // whatever its kind: the worker's failure ends describe mode too
        SharedState().DescribeModeActive = false;
        return Variant();
    }
}

}  // namespace

Variant GetDataOlapPublic(const std::string& dataSource, const std::string& catalogue, const std::string& cube,
                          const std::string& measure, const std::string& members, const std::string& extra,
                          const std::string& seventh) {
    return wrapped([&] { return GetDataOlapCore(dataSource, catalogue, cube, measure, members, extra, seventh); });
}

Variant OlapListForWizardPublic(const std::string& dataSource, const std::string& catalogue, const std::string& mdx) {
    return wrapped([&] { return OlapListForWizard(dataSource, catalogue, mdx); });
}

Variant GetDataOdbcPublic(const Variant& connection, const Variant& query, Variant& third) {
    return wrapped([&] {
        bool serverCalculationAllowed = false;
        return GetDataAdoCore(connection, query, third, serverCalculationAllowed);
    });
}

Variant GetDataLinkPublic(const std::string& link, const Variant&) {
    return wrapped([&] {
        std::string text = link;
        return GetDataLinkCore(text);
    });
}

}  // namespace telm
