#include "wizards/fFormHaslo.h"

#include "core/A_Deklaracje.h"

namespace telm {

using host::ui::CommandButton;

fFormHaslo::fFormHaslo() : Form("fFormHaslo"), TextBox1(add<host::ui::TextBox>("TextBox1")) {
    auto& ok = add<CommandButton>("ButtonOK");
    ok.setDefault(true);
    ok.onClick = [this] { ButtonOK_Click(); };
    auto& cancel = add<CommandButton>("ButtonAnuluj");
    cancel.setCancel(true);
    cancel.onClick = [this] { ButtonAnuluj_Click(); };
}

void fFormHaslo::ButtonOK_Click() { hide(); }

void fFormHaslo::ButtonAnuluj_Click() {
    hide();
    SharedState().PromptCancelled = true;
}

}  // namespace telm
