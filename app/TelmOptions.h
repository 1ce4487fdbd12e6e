#pragma once
// The command line of `telm`: options, workbook files and the steps to run in order.

#include <optional>
#include <string>
#include <vector>

namespace telm::app {

struct Step {
    enum class Kind { New, Select, Sheet, Book, Run, Set, Calculate, CalculateSheet, Refresh, Print, PrintFormulas, Save, SaveAs, Eval, Copy, Menus };
    Kind kind;
    std::string argument;
};

struct TelmOptions {
    std::string addinFolder;  // empty: the folder next to the program that holds "TELM.NET.xla"
    std::string library;      // empty: "libtelm.so" next to the program
    std::vector<std::string> answers;  // in order; kCancelAnswer cancels a dialog
    bool takeDefaults = false;         // --defaults: unanswered dialogs take their default buttons
    std::optional<int> countryCode;    // --country; else from the locale
    std::vector<std::string> workbooks;
    std::vector<Step> steps;
    bool help = false;
};

// The answer that cancels a dialog, as the Esc key does (what --cancel gives).
inline constexpr const char* kCancelAnswer = "\\cancel";

// The country code the platform reports for the locale of the environment (LC_ALL, LC_MESSAGES,
// LANG, the first one set): 48 for a Polish locale, which starts the add-in in Polish, else 1.
int countryCodeOfLocale();

// Reads the arguments (without the program name) and the answer files they name; raises
// std::invalid_argument with a message for a bad command line or an unreadable answer file.
TelmOptions parseCommandLine(const std::vector<std::string>& arguments);

// The step as written on the command line ("--print A1").
std::string stepText(const Step& step);

// The usage text.
std::string usageText();

}  // namespace telm::app
