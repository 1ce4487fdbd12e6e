#pragma once
// The command line of `telm`: options, workbook files and the steps to run in order.

#include <optional>
#include <string>
#include <vector>

namespace telm::app {

struct Step {
    enum class Kind { New, Select, Sheet, Book, Run, Set, Calculate, CalculateSheet, Print, PrintFormulas, Save, SaveAs, Eval, Copy, Menus };
    Kind kind;
    std::string argument;
};

struct TelmOptions {
    std::string addinFolder;  // empty: the folder next to the program that holds "TELM.NET.xla"
    std::string library;      // empty: "libtelm.so" next to the program
    std::vector<std::string> answers;
    std::vector<std::string> workbooks;
    std::vector<Step> steps;
    bool help = false;
};

// Reads the arguments (without the program name); raises std::invalid_argument with a message for a
// bad command line.
TelmOptions parseCommandLine(const std::vector<std::string>& arguments);

// The usage text.
std::string usageText();

}  // namespace telm::app
