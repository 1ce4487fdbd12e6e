#pragma once
// The about form: the product's name and description, the maker's contact block and an OK button.

#include "host/ui/Form.h"

namespace telm {

class pInfo2 : public host::ui::Form {
public:
    pInfo2();
    // Sets the caption ("TELM.NET - " and message 3066) and the labels (3157, 3158) in the current
    // language.
    void SetFormLanguage();
};

}  // namespace telm
