#pragma once
// The telm program run as a user runs it, on an add-in folder of its own: standard output and standard
// error kept apart, standard input from a given text (none by default), the environment and the
// add-in library chosen per run.

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/AddInHost.h"
#include "support/TempFolder.h"

namespace testsupport {

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct Outcome {
    int status;
    std::string out, err;
};

struct TelmProgram {
    TempFolder addin{"telm-addin"};
    TempFolder work{"telm-work"};
    TempFolder io{"telm-io"};

    TelmProgram() { writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb")); }

    std::string commandLine(const std::string& arguments, const std::string& library = TELM_ADDIN_LIBRARY,
                            const std::string& input = "/dev/null") const {
        return std::string(TELM_PROGRAM) + " --addin " + addin.string() + " --library " + library + " " + arguments +
               " >" + io.file("out") + " 2>" + io.file("err") + " <" + input;
    }
    Outcome collect(int status) const { return {status, slurp(io.file("out")), slurp(io.file("err"))}; }
    // Runs telm with the arguments (as the shell reads them), `input` on standard input.
    Outcome run(const std::string& arguments, const std::string& environment = "",
                const std::string& library = TELM_ADDIN_LIBRARY, const std::string& input = "") const {
        std::ofstream(io.file("in"), std::ios::binary) << input;
        const int status = std::system((environment + " " + commandLine(arguments, library, io.file("in"))).c_str());
        return collect(WEXITSTATUS(status));
    }
    // Runs a Python script in the work folder, as its current folder (openpyxl and sqlite3 write the
    // files a user would bring); gives what it printed, and fails the test when it fails.
    std::string python(const std::string& script) const {
        std::ofstream(work.file("script.py")) << script;
        const std::string command = "cd " + work.string() + " && /usr/bin/python3 script.py >" + io.file("py") + " 2>&1";
        const int status = std::system(command.c_str());
        const std::string printed = slurp(io.file("py"));
        EXPECT_EQ(status, 0) << printed;
        return printed;
    }
    Outcome runWithInput(const std::string& arguments, const std::string& input, const std::string& environment = "") const {
        return run(arguments, environment, TELM_ADDIN_LIBRARY, input);
    }
};

}  // namespace testsupport
