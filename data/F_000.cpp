#include "data/F_000.h"

#include <memory>

#include "core/A_Deklaracje.h"
#include "core/F_Pomocnicze.h"
#include "data/clsF000.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/ui/Secrets.h"

namespace telm {

using host::Variant;

namespace {

clsF000& lastingObject() {
    static const std::unique_ptr<clsF000> object = std::make_unique<clsF000>();
    return *object;
}

}  // namespace

void PrepareVolatileCall() {
    auto& app = ExcelApplication();
    app.markVolatile(true);
    app.enableCancelKey = 0;
    app.calculationInterruptKey = 0;
}

Variant LevelRuleResult(const Variant& failure, const Variant& unchanged) {
    switch (SharedState().ErrorReportingLevel) {
    case 0:
    case 1: return Variant::integer(0);
    case 2: return failure.isString() ? host::Variant(host::ui::maskPasswords(failure.stringValue())) : failure;
    default: return unchanged;
    }
}

std::string FailureDescription(const std::exception& e) {
    if (const auto* runtime = dynamic_cast<const host::RuntimeError*>(&e)) return runtime->description();
    return e.what();
}

Variant DispatchLacze000(std::string& link) {
    SharedState().ErrorDetail.clear();
    try {
        return lastingObject().lacze000(link);
    } catch (const std::exception& e) {
        return FailureDescription(e);
    }
}

Variant DispatchZOLAP000(const std::string& connection, const std::string& mdx, bool& asArray) {
    auto& s = SharedState();
    s.ErrorDetail.clear();
    try {
        s.CurrentConnectionText = connection;
        s.CurrentQueryText = mdx;
        std::string text = connection;
        if (HoldsFolderPlaceholder(text)) text = ReplaceFolderPlaceholder(text);
        return lastingObject().zOLAP000(text, mdx, asArray);
    } catch (const std::exception&) {
        return "# " + s.ErrorDetail;
    }
}

Variant DispatchFunkcjaADO000(const std::string& connection, const Variant& sql, std::vector<Variant>* eachResult) {
    SharedState().ErrorDetail.clear();
    try {
        Variant result = lastingObject().funkcjaADO000(connection, sql, eachResult);
        if (eachResult && result.isEmpty()) return result;
        return result.isArray() ? result : Variant(host::Array::vector({result}));
    } catch (const std::exception&) {
        return host::Array::vector({Variant(".")});
    }
}

std::vector<std::vector<Variant>> DispatchEachResultsAtOnce(const std::string& connection,
                                                            const std::vector<std::string>& texts, int connections) {
    try {
        return lastingObject().eachResultsAtOnce(connection, texts, connections);
    } catch (const std::exception&) {
        return std::vector<std::vector<Variant>>(texts.size());
    }
}

}  // namespace telm
