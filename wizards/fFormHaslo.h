#pragma once
// The text prompt form: a text box with OK and Cancel (ButtonAnuluj). Cancel sets the shared flag
// PromptCancelled, which nothing in the form clears again.

#include "host/ui/Form.h"

namespace telm {

class fFormHaslo : public host::ui::Form {
public:
    fFormHaslo();
    void ButtonOK_Click();
    void ButtonAnuluj_Click();

    host::ui::TextBox& TextBox1;
};

}  // namespace telm
