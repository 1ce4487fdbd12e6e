#pragma once
// One run of telm in the test process: the add-in folder and library first, then the arguments; what
// it printed on standard output and what its dialogs showed on standard error. Dialogs left without
// an answer take their default buttons (--defaults), as a person pressing Enter would.

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/TelmOptions.h"
#include "app/TelmSession.h"
#include "core/A_Deklaracje.h"

namespace testsupport {

inline std::pair<std::string, std::string> runTelm(const std::string& addinFolder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--addin", addinFolder, "--library", TELM_ADDIN_LIBRARY, "--defaults"});
    const auto options = telm::app::parseCommandLine(arguments);
    std::istringstream in;
    std::ostringstream out, err;
    {
        telm::app::TelmSession session(options, in, out, err);
        session.runSteps(options.steps);
    }
    telm::ResetSharedState();
    return {out.str(), err.str()};
}

}  // namespace testsupport
