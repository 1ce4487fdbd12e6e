#include "commands/pInfo2.h"

#include <string>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"

namespace telm {

pInfo2::pInfo2() : Form("pInfo2") {
    add<host::ui::Label>("Label1");
    add<host::ui::Label>("Label2");
    auto& ok = add<host::ui::CommandButton>("CommandButton1");
    ok.setCaption("OK");
    ok.setDefault(true);
    ok.setCancel(true);
    ok.onClick = [this] { hide(); };
}

void pInfo2::SetFormLanguage() {
    setCaption(std::string(kSystemName) + " - " + GetMessageText(3066));
    control<host::ui::Label>("Label1").setCaption(GetMessageText(3157));
    control<host::ui::Label>("Label2").setCaption(GetMessageText(3158));
}

}  // namespace telm
