// telm: the spreadsheet platform with the TELM.NET add-in, at a terminal or in a script.

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/TelmOptions.h"
#include "app/TelmSession.h"
#include "host/base/RuntimeError.h"

int main(int argc, char** argv) {
    using namespace telm::app;
    TelmOptions options;
    try {
        options = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::cerr << "telm: " << e.what() << "\n\n" << usageText();
        return 2;
    }
    if (options.help) {
        std::cout << usageText();
        return 0;
    }
    try {
        TelmSession session(options, std::cin, std::cout, std::cerr);
        session.runSteps(options.steps);
    } catch (const host::RuntimeError& e) {
        std::cerr << "telm: " << e.description() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "telm: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
