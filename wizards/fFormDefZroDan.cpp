#include "wizards/fFormDefZroDan.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/F_Dane.h"
#include "data/ModelFileText.h"
#include "data/P_Archiwum.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/TextFile.h"
#include "host/os/System.h"

namespace telm {

using host::ui::CommandButton;
using host::ui::Label;
using host::ui::TextBox;

namespace {

constexpr const char* kCustomFileHeader = "GETDATA() Function data source settings";

std::string numbered(const char* name, int k) { return name + std::to_string(k); }

// The custom model file's full name.
std::string customModelFile() {
    const auto& s = SharedState();
    return s.ModelFolder + "\\" + s.ModelName + "Custom.par";
}

// Refuses to save: message 1036 and the part of the block that cannot be written.
void refuseSaving(const std::string& part) {
    ReportMessage(GetMessageText(1036) + "\r\r" + part, 48, GetMessageText(2002));
    ExcelApplication().noteCommandFailure(GetMessageText(1036) + " " + part);
}

// A field line that reads back as the value: plain where it can be, escaped where not.
std::string fieldLine(const std::string& key, const std::string& value) {
    return ModelValueNeedsEscapes(value) ? key + "*=" + EscapeModelValue(value) : key + "=" + value;
}

}  // namespace

fFormDefZroDan::fFormDefZroDan()
    : Form("fFormDefZroDan"),
      TextBoxName(add<TextBox>("TextBoxName")),
      TextBoxAbout(add<TextBox>("TextBoxAbout")),
      TextBoxType(add<TextBox>("TextBoxType")),
      TextBoxAddString(add<TextBox>("TextBoxAddString")),
      TextBoxConnectionText(add<TextBox>("TextBoxConnectionText")),
      TextBoxQueryText(add<TextBox>("TextBoxQueryText")),
      TextBoxArguments(add<TextBox>("TextBoxArguments")),
      TextBoxSample(add<TextBox>("TextBoxSample")) {
    for (const char* label : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7", "Label8", "Label9",
                              "Label10", "Label11", "Label12"})
        add<Label>(label);
    for (int k = 1; k <= kDefinitionArguments; ++k) {
        add<TextBox>(numbered("TextBoxArgName", k));
        add<TextBox>(numbered("TextBoxArgSample", k));
        add<CommandButton>(numbered("Command", 6 + k)).onClick = [this, k] { MapArgument(k); };
    }
    add<CommandButton>("Command12").onClick = [this] { Command12_Click(); };
    auto& close = add<CommandButton>("Command13");
    close.setCancel(true);
    close.onClick = [this] { hide(); };
}

void fFormDefZroDan::SetFormLanguage() {
    setCaption(GetMessageText(2002));
    const std::pair<const char*, int> captions[] = {
        {"Label1", 3169}, {"Label2", 3165},  {"Label3", 3168},  {"Label4", 3164},
        {"Label5", 3163}, {"Label6", 3161},  {"Label7", 3162},  {"Label8", 3166},
        {"Label9", 3167}, {"Label10", 3170}, {"Label11", 3171}, {"Label12", 3172}};
    for (const auto& [name, message] : captions) control<Label>(name).setCaption(GetMessageText(message));
    for (int k = 1; k <= kDefinitionArguments; ++k)
        control<CommandButton>(numbered("Command", 6 + k)).setCaption(GetMessageText(3176));
    control<CommandButton>("Command12").setCaption(GetMessageText(3177) + " " + SharedState().ModelName + "Custom.par");
    control<CommandButton>("Command13").setCaption(GetMessageText(3153));
}

void fFormDefZroDan::MapArgument(int k) {
    auto* field = dynamic_cast<TextBox*>(activeControl());
    if (field != &TextBoxConnectionText && field != &TextBoxQueryText) {
        ReportMessage(GetMessageText(1033), 48, GetMessageText(2002));
        return;
    }
    const std::string name = host::Trim(control<TextBox>(numbered("TextBoxArgName", k)).text());
    if (name.empty() || field->selLength() == 0) {
        ReportMessage(GetMessageText(1034), 48, GetMessageText(2002));
        return;
    }
    const std::string sample = field->selText();
    const std::string& text = field->text();
    field->setText(host::Left(text, field->selStart()) + name + host::Mid(text, field->selStart() + field->selLength() + 1));
    const std::string arguments = host::Trim(TextBoxArguments.text());
    TextBoxArguments.setText(arguments.empty() ? name : arguments + "," + name);
    auto& sampleValue = control<TextBox>(numbered("TextBoxArgSample", k));
    if (host::Trim(sampleValue.text()).empty()) sampleValue.setText(sample);
}

void fFormDefZroDan::Command12_Click() {
    const std::string name = host::Trim(TextBoxName.text());
    if (name.empty()) {
        ReportMessage(GetMessageText(1034), 48, GetMessageText(2002));
        return;
    }
    // The header line holds the name as it is: no line end, no tab, no comment marker.
    if (ModelValueNeedsEscapes(name)) return refuseSaving("[Measure " + name + "]");
    const std::string file = customModelFile();
    if (const std::string defining = ModelFileDefining(name); !defining.empty()) {
        ReportMessage(GetMessageText(1035) + defining + "'", 48, GetMessageText(2002));
        ExcelApplication().noteCommandFailure(GetMessageText(1035) + defining + "'");
        return;
    }
    const std::pair<const char*, const TextBox*> fields[] = {
        {"About", &TextBoxAbout},           {"Type", &TextBoxType},          {"AddString", &TextBoxAddString},
        {"ConnectionText", &TextBoxConnectionText}, {"QueryText", &TextBoxQueryText},
        {"GetDataArguments", &TextBoxArguments}, {"SampleFunction", &TextBoxSample}};
    try {
        const bool exists = host::os::pathExists(file);
        const std::string present = exists ? host::readTextFile(file) : std::string();
        // The block follows the file's own line ends, on a line of its own.
        const std::string lineEnd = exists ? ModelFileLineEnd(present) : "\r\n";
        std::vector<std::string> lines{"[Measure " + name + "]"};
        for (const auto& [key, box] : fields) {
            if (host::Len(box->text()) > kMaxModelValueLength) return refuseSaving(std::string(key) + "=");
            lines.push_back(fieldLine(key, box->text()));
        }
        std::string block = host::Join(lines, lineEnd);
        if (!host::fitsFileEncoding(file, block)) return refuseSaving(file);
        if (!exists) {
            AppendLogLine(block, file, false, kCustomFileHeader);  // starts the file with its header
        } else {
            if (!present.empty() && !present.ends_with('\r') && !present.ends_with('\n')) block = lineEnd + block;
            host::writeTextFile(file, block + lineEnd, true);
        }
    } catch (const host::RuntimeError&) {
        ReportMessage(GetMessageText(1036), 48, GetMessageText(2002));
        ExcelApplication().noteCommandFailure(GetMessageText(1036));
        return;
    }
    ExcelApplication().takeCommandFailure();  // saved after all: an earlier refusal in the form is over
    saved_ = true;
    ReportMessage(GetMessageText(148) + file, 64, GetMessageText(2002));
    hide();
}

fFormDefZroDan& DataSourceDefinitionForm() {
    static fFormDefZroDan form;
    return form;
}

}  // namespace telm
