#include "app/TelmOptions.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string_view>

namespace telm::app {

namespace {

using Kind = Step::Kind;

// Steps that take an argument, and those that take none.
const std::map<std::string, Kind>& stepsWithArgument() {
    static const std::map<std::string, Kind> steps = {
        {"--select", Kind::Select}, {"--sheet", Kind::Sheet},         {"--book", Kind::Book},
        {"--run", Kind::Run},       {"--set", Kind::Set},             {"--print", Kind::Print},
        {"--print-formulas", Kind::PrintFormulas}, {"--save-as", Kind::SaveAs}, {"--eval", Kind::Eval},
        {"--copy", Kind::Copy},
    };
    return steps;
}

const std::map<std::string, Kind>& plainSteps() {
    static const std::map<std::string, Kind> steps = {
        {"--new", Kind::New}, {"--calc", Kind::Calculate}, {"--calc-sheet", Kind::CalculateSheet}, {"--refresh", Kind::Refresh}, {"--save", Kind::Save},
        {"--menus", Kind::Menus}};
    return steps;
}

// The answers of a file, one a line (a carriage return before the line end is dropped).
void readAnswerFile(const std::string& path, std::vector<std::string>& answers) {
    std::ifstream in(path);
    if (!in) throw std::invalid_argument("--answers " + path + ": cannot read the file");
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        answers.push_back(line);
    }
}

}  // namespace

int countryCodeOfLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value) continue;
        return std::string_view(value).starts_with("pl") ? 48 : 1;
    }
    return 1;
}

TelmOptions parseCommandLine(const std::vector<std::string>& arguments) {
    TelmOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size()) throw std::invalid_argument(a + " needs a value");
            return arguments[++i];
        };
        if (a == "-h" || a == "--help") {
            options.help = true;
        } else if (a == "--addin") {
            options.addinFolder = value();
        } else if (a == "--library") {
            options.library = value();
        } else if (a == "--answer") {
            options.answers.push_back(value());
        } else if (a == "--answers") {
            readAnswerFile(value(), options.answers);
        } else if (a == "--cancel") {
            options.answers.push_back(kCancelAnswer);
        } else if (a == "--defaults") {
            options.takeDefaults = true;
        } else if (a == "--country") {
            const std::string& code = value();
            std::size_t used = 0;
            int number = 0;
            try {
                number = std::stoi(code, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used != code.size() || number <= 0)
                throw std::invalid_argument("--country needs a telephone country code such as 48 or 44, got '" + code + "'");
            options.countryCode = number;
        } else if (auto s = stepsWithArgument().find(a); s != stepsWithArgument().end()) {
            options.steps.push_back({s->second, value()});
            if (s->second == Kind::Set && options.steps.back().argument.find('=') == std::string::npos)
                throw std::invalid_argument("--set needs RANGE=VALUE, got '" + options.steps.back().argument + "'");
        } else if (auto p = plainSteps().find(a); p != plainSteps().end()) {
            options.steps.push_back({p->second, {}});
        } else if (a.starts_with("-") && a.size() > 1) {
            throw std::invalid_argument("unknown option " + a);
        } else {
            options.workbooks.push_back(a);
        }
    }
    return options;
}

std::string stepText(const Step& step) {
    for (const auto& [name, kind] : stepsWithArgument())
        if (kind == step.kind) return name + " " + step.argument;
    for (const auto& [name, kind] : plainSteps())
        if (kind == step.kind) return name;
    return "step";
}

std::string usageText() {
    return R"(Usage: telm [OPTIONS] [WORKBOOK...] [STEP...]

Starts the spreadsheet platform with the TELM.NET add-in, opens the workbook files and runs the
steps in the order given. Messages of the add-in appear on the terminal and are answered there, or
by answers given in advance: --answer and --answers first, then the lines of standard input.

Options:
  --addin DIR            the add-in folder (default: the folder next to the program that holds
                         TELM.NET.xla)
  --library FILE         the add-in library (default: libtelm.so next to the program)
  --answers FILE         answers to the next dialogs, one a line (keeps passwords off the command
                         line, where every user of the computer can read them)
  --answer TEXT          an answer to the next dialog (repeatable; in order with --answers)
  --cancel               cancel the next dialog, as the Esc key does (in order with --answer)
  --defaults             let dialogs left without an answer take their default buttons (without
                         it, a run whose standard input is not a terminal fails on such a dialog)
  --country CODE         the country code the platform reports (48 starts the add-in in Polish;
                         default: 48 for a Polish locale, else 1)
  -h, --help             this text

Steps:
  --new                  add a new workbook and make it the active one
  --book NAME            activate an open workbook
  --sheet NAME           activate a sheet of the active workbook
  --select RANGE         select a range ("A1:B2" or "Sheet1!A1")
  --set RANGE=VALUE      type a value or a formula ("=...") into the cells of a range
  --run MACRO            run a command by its macro name (CalculateAll2, SwitchLanguage, ...)
  --menus                print the add-in's menus, toolbar and context-menu entries in the
                         current language, each command with its macro name for --run
  --copy RANGE           copy a range to the clipboard (for PasteSpecialOnlyValues)
  --calc                 calculate all open workbooks
  --calc-sheet           calculate the active sheet
  --refresh              refresh the query tables and pivot tables of the active workbook from
                         their databases and cubes
  --print RANGE          print the values of a range as displayed, tab-separated rows
  --print-formulas RANGE print the formulas of a range
  --save                 save the active workbook
  --save-as FILE         save the active workbook under a new name
  --eval FORMULA         evaluate a formula as a fresh cell of a scratch workbook and print its
                         value as displayed (several values as tab-separated rows)

Answers:
  message box            the button: OK, Cancel, Abort, Retry, Ignore, Yes, No, or in Polish OK,
                         Anuluj, Przerwij, Ponów, Zignoruj, Tak, Nie (letter case ignored), or its
                         number 1-7; an empty answer takes the default button
  input box              the text; an empty answer keeps the proposed text
  password box           secret:PASSWORD (typed at the terminal: the password alone, not echoed);
                         a secret: answer is never shown and never given to another dialog
  file dialog            the path; several files separated by ";"
  form                   actions separated by ";" (write "\;" for a ";" inside an action):
                         NAME=TEXT sets a text box, combo box, check box or list entry;
                         click NAME clicks a button; select NAME ROW picks a list row (from 0);
                         select NAME TEXT selects TEXT in a text box; close closes the form
  \cancel                any dialog, as the Esc key does
Answers not typed at the terminal are checked: a password for another box, a plain answer for a
password box, a message-box answer that names none of its buttons fail the run (exit 1).

Macros the add-in schedules (Application.OnTime) run after the step that scheduled them and before
the next one: telm waits for those due within 10 seconds, and runs those due while a dialog waits
for input; one scheduled for later does not run and is named on standard error. A failing macro
fails the step that scheduled it.

Dialogs and progress of work that takes long go to standard error; standard output carries only
what --print and --eval print. The exit status is 0 when every step succeeded, 1 with a message
naming the first failing step (nothing after it runs), also when a dialog of a run without a
terminal got no answer or a wrong kind of answer; 2 for a bad command line, 130 after Ctrl-C (the
running database statement is cancelled and no later step runs).
)";
}

}  // namespace telm::app
