#pragma once
// The keyboard-shortcut form: pages of shortcut lists ("Page1" ... "Page9" their titles, "Heading<p>_<n>"
// and "Text<p>_<n>" the sections of page p) and a close button, all from the message catalogue.

#include "host/ui/Form.h"

namespace telm {

class pSkroty : public host::ui::Form {
public:
    pSkroty();
    // Sets the caption (3244), the page titles, section headings and texts (3245-3287) and the close
    // button (3288) in the current language.
    void SetFormLanguage();
};

}  // namespace telm
