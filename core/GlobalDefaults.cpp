#include "core/GlobalDefaults.h"

#include <string>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/ui/Dialogs.h"

namespace telm {

void InitGlobalDefaults() {
    auto& s = SharedState();
    try {
        auto& app = ExcelApplication();
        auto addin = app.thisWorkbook();
        if (!addin) throw host::RuntimeError(host::err::ObjectNotSet);
        s.AddInFolder = addin->path();
        s.ISProgramRunning = false;
        s.PublishFormulaOption = false;
        s.RepairLinksOnActivate = false;
        s.CurrentOlapProvider = "MSOLAP.2";
        s.LanguageIndex = app.international(1).toLong() == 48 ? 0 : 1;
        s.ExcelVersion = host::Variant(host::Left(app.version, 2)).toInteger();
        s.PublishAllowPrivate = true;
        s.AnalysisMode = false;
        s.ErrorReportingLevel = 1;
        s.pvErrorReportingWay = host::Variant::integer(1);
        s.AnalysesFolder = s.AddInFolder + "\\Analyses";
        s.GetDataCallCount = 0;
        s.ArchiveHitCount = 0;
        s.DataFunctionCallCount = 0;
        s.ExternalQueryCount = 0;
        s.ErrorText.clear();
        s.ErrorDetail.clear();
        s.AuthorisationTable = host::Array::vector({host::Variant(std::string())});
    } catch (const host::RuntimeError& e) {
        host::ui::MsgBox(GetMessageText(1999) + e.description(), 48, "TELM.NET");
    }
}

}  // namespace telm
