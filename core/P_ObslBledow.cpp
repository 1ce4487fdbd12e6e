#include "core/P_ObslBledow.h"

#include "core/A_Deklaracje.h"
#include "host/base/DateSerial.h"
#include "host/base/Path.h"
#include "host/base/Text.h"
#include "host/base/TextFile.h"
#include "host/ui/Dialogs.h"
#include "host/ui/Secrets.h"

namespace telm {

namespace {
std::string currentDateTimeText() { return host::formatDate(host::nowSerial()); }

host::Variant showMessageBox(std::string_view prompt, const host::Variant& buttons, std::string_view title) {
    return host::Variant(host::ui::MsgBox(host::ui::maskPasswords(prompt), buttons.toLong(), host::ui::maskPasswords(title)));
}
}  // namespace

std::string ErrorLogLine(std::string_view prompt, const host::Variant& buttons, std::string_view title) {
    return currentDateTimeText() + " - " + host::ui::maskPasswords(title) + "," + buttons.toString() + "," +
           host::Replace(host::ui::maskPasswords(prompt), "\r", "(&)");
}

host::Variant ReportMessage(std::string_view prompt, const host::Variant& buttons, std::string_view title) {
    A_Deklaracje& state = SharedState();
    state.ReportChannel = host::Variant::integer(state.ErrorReportingLevel);
    const std::string line = ErrorLogLine(prompt, buttons, title);
    switch (state.ReportChannel.toInteger()) {
        case 1:
            if (state.ISProgramRunning) return {};
            return showMessageBox(prompt, buttons, title);
        case 2:
            return showMessageBox(prompt, buttons, title);
        case 3:
            WriteErrorLog(line);
            return {};
        default:  // 0, 4 and any other level: the message is dropped
            return {};
    }
}

void WriteErrorLog(std::string_view line) {
    const std::string path = host::nativePath(SharedState().AddInFolder + "\\Errors.log");
    host::writeTextFile(path, "\"" + host::ui::maskPasswords(line) + "\"\r\n", true);
}

void WriteErrorLog() { WriteErrorLog(currentDateTimeText() + " - Error."); }

}  // namespace telm
