#pragma once
// The add-in started through the companion on a temporary add-in folder, workbook files readable and
// writable, a new workbook active and the dialogs of the start-up forgotten: the state in which a user
// picks a command from a menu.

#include <string>

#include "core/A_Deklaracje.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "support/AddInHost.h"

namespace testsupport {

struct CommandHost : AddInHost {
    host::sheet::WorksheetPtr sheet;

    CommandHost() {
        host::files::attachWorkbookStore(*app);
        start();
        sheet = app->workbooks().add()->sheet(1);
        dialogs.reset();
    }

    // Runs a command by the macro name its menu entry carries.
    host::Variant run(const std::string& macro) { return app->run(macro); }
    host::sheet::RangePtr cell(const char* address) { return sheet->range(address); }
    const host::ui::ShownDialog& lastDialog() const { return dialogs.record().back(); }
};

}  // namespace testsupport
