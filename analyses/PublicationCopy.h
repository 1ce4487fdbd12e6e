#pragma once
// The copy of a workbook that publication writes: its sheets but the archive sheets (a name ending
// ".A" in any letter case), in a private application, with the formulas frozen to their values.

#include <memory>

#include "host/sheet/Application.h"
#include "host/sheet/Workbook.h"

namespace telm {

struct PublicationCopy {
    std::shared_ptr<host::sheet::Application> application;
    host::sheet::WorkbookPtr book;
};

// Copies names, visibility, values and number formats of the sheets. Every formula becomes its value;
// with PublishFormulaOption on, only the formulas that call the add-in's functions (any function not
// built into the host) do, and the others are kept.
PublicationCopy MakePublicationCopy(const host::sheet::Workbook& source);

}  // namespace telm
