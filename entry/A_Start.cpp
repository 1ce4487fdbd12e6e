#include "entry/A_Start.h"

#include <string>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/GlobalDefaults.h"
#include "core/P_Interfejs.h"
#include "core/P_ObslBledow.h"
#include "data/F_Dane.h"
#include "data/S_ServerCalculation.h"
#include "data/S_ServiceManager.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"

namespace telm {

void StartAddIn() {
    auto& state = SharedState();
    try {
        if (ExcelApplication().caption.find("TELM.NET") != std::string::npos) return;
        state.SavedCurDir = host::currentDirectory();
        RunStartUp();
        host::setCurrentDirectory(state.SavedCurDir);
    } catch (const host::RuntimeError&) {
        ExcelApplication().quit();
    }
}

void RunStartUp() {
    // a failing step is skipped, the next one runs
    IgnoringErrors([] {
        ExcelApplication().enableCancelKey = 0;
        ExcelApplication().calculationInterruptKey = 0;
    });
    IgnoringErrors(InitGlobalDefaults);
    IgnoringErrors(InitMessageCatalogue);
    IgnoringErrors([] { ExcelApplication().caption = "Microsoft Excel & TELM.NET"; });
    IgnoringErrors(InstallMenu);
    IgnoringErrors(InstallToolbar);
    IgnoringErrors([] {
        const int version = SharedState().ExcelVersion;
        if (version == 12 || version == 14 || version == 15) CreateExcel2003Menus();
    });
    IgnoringErrors(AddContextMenus);
    IgnoringErrors([] { LoadDataModel(false); });
    IgnoringErrors([] { SwitchServicesOff(true); });
    IgnoringErrors(ResetBufferingFlag);
    IgnoringErrors(OpenServerCalculationWorkbook);
    IgnoringErrors([] { ExcelApplication().setStatusBar(false); });
}

}  // namespace telm
