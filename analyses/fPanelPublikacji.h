#pragma once
// The publication panel: the publication list of one workbook, edited and then published, kept in
// the workbook's properties, or both.
//
// Controls: TextBox1 path (or e-mail recipients), TextBox2 prefix, TextBox3 file name (or e-mail
// subject), Label5 the resulting full name; suffix OptionButton1 "_mirror", OptionButton2 the date,
// OptionButton3 the custom suffix in TextBox4; ComboBox1 the format (xlsx, xls, xml, htm, mail,
// ftp); ListBox1 the publication list. Buttons: CommandButton1 browse for the path, CommandButton2
// copy the chosen list entry's path to TextBox1, CommandButton3 add to the list (message 140 without
// a path), CommandButton4 remove the chosen entry (message 115 without one), CommandButton5 publish
// and keep the list, CommandButton6 keep the list without publishing (message 114), CommandButton7
// publish without keeping the list, CommandButton8 remove all, CommandButton9 cancel.

#include <vector>

#include "analyses/PublicationSettings.h"
#include "host/sheet/Workbook.h"
#include "host/ui/Form.h"

namespace telm {

class fPanelPublikacji : public host::ui::Form {
public:
    explicit fPanelPublikacji(host::sheet::WorkbookPtr book);

    // Captions and labels in the current language.
    void SetFormLanguage();

    // The setting the text boxes, options and format describe.
    PublicationSetting EditedSetting() const;
    const std::vector<PublicationSetting>& Settings() const { return settings_; }

    void CommandButton1_Click();
    void CommandButton2_Click();
    void CommandButton3_Click();
    void CommandButton4_Click();
    void CommandButton5_Click();
    void CommandButton6_Click();
    void CommandButton7_Click();
    void CommandButton8_Click();

private:
    void fillList();
    void showFullName();
    void publish();
    void store();

    host::sheet::WorkbookPtr book_;
    std::vector<PublicationSetting> settings_;
};

// Shows the panel for a saved workbook (a workbook never saved: message 1014).
void ShowPublicationPanel(const host::sheet::WorkbookPtr& book);

}  // namespace telm
