#pragma once
// The platform's standard dialogs: message box, input boxes, file and folder pickers. The functions
// here give the automation runtime's and the spreadsheet's results; what the user sees and answers
// is the job of the current back-end (scripted for tests, a terminal for the command line).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/base/Variant.h"

namespace host::ui {

class Form;

// Message box buttons value: button set (low 4 bits) + icon + default button.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
inline constexpr int vbDefaultButton1 = 0;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbDefaultButton3 = 512;

// Message box answers.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// The answers of the buttons a message box shows, left to right (vbYesNo gives {vbYes, vbNo}).
// Raises Invalid procedure call for a button set other than 0..5.
std::vector<int> buttonAnswers(int buttons);
// The answer of the default button: the first, or the second / third for vbDefaultButton2 / 3 when
// the box has that many buttons.
int defaultAnswer(int buttons);

// One entry of a file dialog's filter list: "Text files" with {"*.txt", "*.csv"}.
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;
    friend bool operator==(const FileFilter&, const FileFilter&) = default;
};
// Reads the spreadsheet's filter text "Description,*.a;*.b,Description2,*.c" (blanks around the parts
// are ignored); an empty text gives "All Files (*.*)". Raises error 1004 for a description without
// patterns.
std::vector<FileFilter> parseFileFilter(std::string_view filter);

// What a back-end is asked to show. Prompts always separate their lines by "\n".
struct MessageBoxRequest {
    std::string prompt;
    std::string title;  // empty: the application's name
    int buttons = vbOKOnly;
};
struct InputBoxRequest {
    std::string prompt;
    std::string title;
    std::string defaultText;
    int type = 2;  // the kinds of value the spreadsheet's input box accepts (1 number, 2 text, 4 logical)
    bool secret = false;  // a password: never shown, neither as typed nor as given in advance
};
struct OpenFileRequest {
    std::vector<FileFilter> filters;
    std::string title;
    bool multiSelect = false;
};
struct SaveFileRequest {
    std::string initialName;
    std::vector<FileFilter> filters;
    std::string title;
};
struct FolderRequest {
    std::string title;
    std::string initialFolder;
};

// Shows dialogs to the user. One virtual function per kind of dialog; each returns what the user did.
class Backend {
public:
    virtual ~Backend() = default;
    // The answer (vbOK..vbNo) of the button the user chose; one of buttonAnswers(request.buttons).
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    // The text entered, or nullopt when the user cancelled.
    virtual std::optional<std::string> inputBox(const InputBoxRequest& request) = 0;
    // The chosen files (at most one unless multiSelect); empty when the user cancelled.
    virtual std::vector<std::string> openFile(const OpenFileRequest& request) = 0;
    // The chosen file, or nullopt when the user cancelled.
    virtual std::optional<std::string> saveFile(const SaveFileRequest& request) = 0;
    // The chosen folder, or nullopt when the user cancelled.
    virtual std::optional<std::string> pickFolder(const FolderRequest& request) = 0;
    // Lets the user work with the shown form; returns when the form is hidden (by a handler or by
    // Form::close). A back-end that returns with the form still shown has it closed by Form::show.
    virtual void showForm(Form& form) = 0;
};

// The process-wide current back-end; the scripted back-end until another one is set.
Backend& backend();
// Makes `b` the current back-end; nullptr restores the default scripted back-end.
void setBackend(std::shared_ptr<Backend> b);

// The runtime's MsgBox: the answer (vbOK..vbNo) of the chosen button. Lines of the prompt may end
// with CR LF, CR or LF. Raises Invalid procedure call for an unknown button set.
int MsgBox(std::string_view prompt, int buttons = vbOKOnly, std::string_view title = {});

// The runtime's InputBox: the entered text, "" when cancelled.
std::string InputBox(std::string_view prompt, std::string_view title = {}, std::string_view defaultText = {});

// An input box for a password (a text box with a password character): "" when cancelled.
std::string PasswordBox(std::string_view prompt, std::string_view title = {});

// The spreadsheet's Application.InputBox: False when cancelled, else the entry as the value kind
// `type` asks for: a Double for 1 (number), a Boolean for 4 (TRUE / FALSE), the text otherwise
// (a formula or range address is the caller's to interpret). An entry that is not of the asked kind
// is refused with a message box and asked for again, as the spreadsheet does.
Variant ApplicationInputBox(std::string_view prompt, std::string_view title = {}, const Variant& defaultValue = {},
                            int type = 2);

// Application.GetOpenFilename: the chosen path as text, False when cancelled; with multiSelect a
// one-based array of the chosen paths, or False.
Variant GetOpenFilename(std::string_view filter = {}, std::string_view title = {}, bool multiSelect = false);

// Application.GetSaveAsFilename: the chosen path as text, False when cancelled.
Variant GetSaveAsFilename(std::string_view initialName = {}, std::string_view filter = {},
                          std::string_view title = {});

// A folder picker: the chosen folder, "" when cancelled.
std::string PickFolder(std::string_view title = {}, std::string_view initialFolder = {});

}  // namespace host::ui
