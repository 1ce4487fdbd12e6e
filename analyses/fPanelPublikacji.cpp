#include "analyses/fPanelPublikacji.h"

#include "analyses/P_Publikacja.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_API.h"
#include "core/P_ObslBledow.h"
#include "host/base/DateSerial.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

using namespace host::ui;

constexpr int kTitle = 2004;
const std::vector<std::string> kFormats = {"xlsx", "xls", "xml", "htm", "mail", "ftp"};

void report(int message, int buttons = vbExclamation) {
    ReportMessage(GetMessageText(message), buttons, GetMessageText(kTitle));
}

}  // namespace

fPanelPublikacji::fPanelPublikacji(host::sheet::WorkbookPtr book) : Form("fPanelPublikacji"), book_(std::move(book)) {
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7"}) add<Label>(name);
    for (const char* name : {"TextBox1", "TextBox2", "TextBox3", "TextBox4"})
        add<TextBox>(name).onChange = [this] { showFullName(); };
    for (const char* name : {"OptionButton1", "OptionButton2", "OptionButton3"})
        add<OptionButton>(name).onClick = [this] { showFullName(); };
    auto& formats = add<ComboBox>("ComboBox1");
    formats.setStyle(ComboStyle::DropDownList);
    for (const auto& format : kFormats) formats.addItem(format);
    formats.onChange = [this] { showFullName(); };
    add<ListBox>("ListBox1");
    const std::vector<std::pair<const char*, void (fPanelPublikacji::*)()>> buttons = {
        {"CommandButton1", &fPanelPublikacji::CommandButton1_Click},
        {"CommandButton2", &fPanelPublikacji::CommandButton2_Click},
        {"CommandButton3", &fPanelPublikacji::CommandButton3_Click},
        {"CommandButton4", &fPanelPublikacji::CommandButton4_Click},
        {"CommandButton5", &fPanelPublikacji::CommandButton5_Click},
        {"CommandButton6", &fPanelPublikacji::CommandButton6_Click},
        {"CommandButton7", &fPanelPublikacji::CommandButton7_Click},
        {"CommandButton8", &fPanelPublikacji::CommandButton8_Click}};
    for (const auto& [name, handler] : buttons) add<CommandButton>(name).onClick = [this, h = handler] { (this->*h)(); };
    auto& cancel = add<CommandButton>("CommandButton9");
    cancel.setCancel(true);
    cancel.onClick = [this] { hide(); };

    settings_ = ReadPublicationSettings(*book_);
    control<TextBox>("TextBox1").setText(book_->path());
    control<OptionButton>("OptionButton1").setValue(true);
    formats.setText("xlsx");
    SetFormLanguage();
    fillList();
}

void fPanelPublikacji::SetFormLanguage() {
    setCaption(GetMessageText(3127));
    const std::vector<std::pair<const char*, int>> captions = {
        {"Label1", 3128},         {"Label2", 3129},         {"Label3", 3130},         {"Label4", 3131},
        {"Label6", 3136},         {"Label7", 3137},         {"OptionButton1", 3132},  {"OptionButton2", 3133},
        {"OptionButton3", 3134},  {"CommandButton1", 3138}, {"CommandButton2", 3145}, {"CommandButton3", 3139},
        {"CommandButton4", 3140}, {"CommandButton5", 3141}, {"CommandButton6", 3142}, {"CommandButton7", 3143},
        {"CommandButton8", 3144}, {"CommandButton9", 3103}};
    for (const auto& [name, message] : captions)
        dynamic_cast<CaptionedControl&>(control(name)).setCaption(GetMessageText(message));
}

PublicationSetting fPanelPublikacji::EditedSetting() const {
    PublicationSetting setting;
    setting.path = control<TextBox>("TextBox1").text();
    setting.prefix = control<TextBox>("TextBox2").text();
    setting.name = control<TextBox>("TextBox3").text();
    if (control<OptionButton>("OptionButton2").value())
        setting.suffix = kDateSuffix;
    else if (control<OptionButton>("OptionButton3").value())
        setting.suffix = control<TextBox>("TextBox4").text();
    setting.format = control<ComboBox>("ComboBox1").text();
    if (setting.format.empty()) setting.format = "xlsx";
    return setting;
}

void fPanelPublikacji::fillList() {
    auto& list = control<ListBox>("ListBox1");
    list.clear();
    for (const auto& setting : settings_) list.addItem(PublicationSettingText(setting));
    showFullName();
}

void fPanelPublikacji::showFullName() {
    const std::string today = ExcelApplication().worksheetFunctionText(host::Date{host::nowSerial()}, "yymmdd");
    const PublicationSetting setting = EditedSetting();
    control<Label>("Label5").setCaption(IsMailOrFtp(setting) ? setting.path + " : " + setting.name
                                                             : PublicationTarget(setting, *book_, today));
}

void fPanelPublikacji::publish() { PublishWorkbook(book_, settings_); }

void fPanelPublikacji::store() { StorePublicationSettings(*book_, settings_); }

void fPanelPublikacji::CommandButton1_Click() {
    const std::string folder = BrowseFolderDialog().toString();
    if (!folder.empty()) control<TextBox>("TextBox1").setText(folder);
}

void fPanelPublikacji::CommandButton2_Click() {
    const int chosen = control<ListBox>("ListBox1").listIndex();
    if (chosen < 0) return report(115);
    control<TextBox>("TextBox1").setText(settings_[static_cast<std::size_t>(chosen)].path);
}

void fPanelPublikacji::CommandButton3_Click() {
    if (control<TextBox>("TextBox1").text().empty()) return report(140);
    settings_.push_back(EditedSetting());
    fillList();
}

void fPanelPublikacji::CommandButton4_Click() {
    const int chosen = control<ListBox>("ListBox1").listIndex();
    if (chosen < 0) return report(115);
    settings_.erase(settings_.begin() + chosen);
    fillList();
}

void fPanelPublikacji::CommandButton5_Click() {
    hide();
    store();
    publish();
}

void fPanelPublikacji::CommandButton6_Click() {
    hide();
    store();
    report(114, vbInformation);
}

void fPanelPublikacji::CommandButton7_Click() {
    hide();
    publish();
}

void fPanelPublikacji::CommandButton8_Click() {
    settings_.clear();
    fillList();
}

void ShowPublicationPanel(const host::sheet::WorkbookPtr& book) {
    if (book->path().empty()) return report(1014);
    fPanelPublikacji panel(book);
    panel.show();
}

}  // namespace telm
