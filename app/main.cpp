// telm: the spreadsheet platform with the TELM.NET add-in, at a terminal or in a script.

#include <unistd.h>

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/TelmOptions.h"
#include "app/TelmSession.h"
#include "host/base/RuntimeError.h"
#include "host/os/Interrupt.h"
#include "host/ui/Secrets.h"

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
    host::os::installInterruptHandler();
    try {
        TelmSession session(options, std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) != 0);
        session.runSteps(options.steps);
    } catch (const TelmInterrupted&) {
        std::cout.flush();
        std::cerr << "telm: interrupted: the running statement was cancelled and no later step ran\n";
        return 130;
    } catch (const std::exception& e) {  // a failing step (TelmFailure) or anything else
        std::cout.flush();
        std::cerr << "telm: " << host::ui::maskPasswords(e.what()) << "\n";
        return 1;
    }
    return host::os::interruptRequested() ? 130 : 0;
}
