#include "data/F_Publiczne.h"

#include <functional>

#include "core/A_Deklaracje.h"
#include "data/F_MivraADO.h"
#include "host/base/RuntimeError.h"

namespace telm {

using host::Variant;

namespace {

// One preparing step; its failure is skipped, the next step runs.
void ignoringErrors(const std::function<void()>& step) {
    try {
        step();
    } catch (const host::RuntimeError&) {
    }
}

void prepareWorksheetFunction() {
    ignoringErrors([] { ExcelApplication().markVolatile(true); });
    ignoringErrors([] { ExcelApplication().enableCancelKey = 0; });
    ignoringErrors([] { ExcelApplication().calculationInterruptKey = 0; });
    SharedState().ErrorText = "#Error";
}

}  // namespace

Variant GetDataOdbcPublic(const Variant& connection, const Variant& query, Variant& third) {
    prepareWorksheetFunction();
    try {
        bool serverCalculationAllowed = false;
        return GetDataAdoCore(connection, query, third, serverCalculationAllowed);
    } catch (...) {
        SharedState().DescribeModeActive = false;
        return Variant();
    }
}

}  // namespace telm
