#pragma once
// Publication: copies of a saved workbook written where its publication settings say
// (PublicationSettings.h), as xlsx (or xls), spreadsheet XML or a web page, with the formulas frozen
// to values and the archive sheets left out (PublicationCopy.h). The workbook itself is not changed.
// E-mail and FTP destinations are not served: such a setting ends with its failure message.

#include <string>
#include <vector>

#include "analyses/PublicationSettings.h"
#include "host/sheet/Workbook.h"

namespace telm {

// Publishes the active workbook with its stored settings; PublishSilently := `silent` (no message
// listing the copies at the end). No workbook, or one never saved: message 1008.
void PublishWithDefaults(bool& silent);
// Shows the publication panel for the active workbook (fPanelPublikacji), whose buttons publish it
// and keep its settings. No workbook, or one never saved: message 1008.
void PublishWithPanel();
// Activates each open workbook in turn and publishes it with its stored settings.
void PublishAllWorkbooks();
// Writes one copy per setting (status bar: messages 16, 119, 17); a copy that cannot be written, or
// an e-mail or FTP setting, is reported (1005, 1006, 1007) and the others are still written. Unless
// PublishSilently, the copies written are listed at the end (message 118). No workbook: message 1003.
void PublishWorkbook(const host::sheet::WorkbookPtr& book, const std::vector<PublicationSetting>& settings);

}  // namespace telm
