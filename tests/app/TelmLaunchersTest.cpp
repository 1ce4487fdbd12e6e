// Programs telm starts for the user: the editor for the data-model files (waited for, so the reload
// sees the edit), xdg-open for web pages (a failing or missing one reported), and the sample and
// template workbooks of the shipped add-in folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/TelmProgram.h"

namespace fs = std::filesystem;

namespace {

using testsupport::Outcome;
using testsupport::slurp;

struct TelmLaunchers : ::testing::Test, testsupport::TelmProgram {
    // An executable shell script in the work folder.
    std::string script(const std::string& name, const std::string& body) const {
        const std::string path = work.file(name);
        std::ofstream(path) << "#!/bin/sh\n" << body;
        ::chmod(path.c_str(), 0755);
        return path;
    }
    // A PATH whose xdg-open is the given script body (none when empty), with the usual tools after it.
    std::string pathWithOpener(const std::string& body) const {
        fs::create_directories(work.file("bin"));
        if (!body.empty()) fs::rename(script("xdg-open", body), work.file("bin/xdg-open"));
        return "PATH=" + work.file("bin") + ":/usr/bin:/bin";
    }
};

constexpr const char* kModel = "[Measure Sales.Total]\nType=ODBC\nGetDataArguments={year}\n"
                               "ConnectionText=Driver={SQLite3};Database=/nowhere.db;\nQueryText=SELECT {year}\n";

}  // namespace

TEST_F(TelmLaunchers, TheModelFilesOpenInTheEditorWhichIsWaitedFor) {
    std::ofstream(addin.file("DataModel.par")) << kModel;
    // The editor notes the file and adds a variable to it.
    const std::string editor = script("editor", "echo \"$1\" >> " + work.file("edited") +
                                                    "\nprintf '[Measure Sales.Added]\\nType=ODBC\\n' >> \"$1\"\n");
    // Answered in Polish: refresh the model ("Tak") and close the wizard shown again.
    const Outcome r = run("--country 48 --new --run WizardGetdata --answer 'click CommandButton3' --answer Tak "
                          "--answer close",
                          "VISUAL= EDITOR=" + editor);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(work.file("edited")), addin.file("DataModel.par") + "\n");
    EXPECT_NE(r.err.find("1: Sales.Added"), std::string::npos) << r.err;

    // An editor that fails is reported and fails the run.
    const Outcome failed = run("--new --run WizardGetdata --answer 'click CommandButton3' --answer OK --answer No "
                               "--answer close",
                               "VISUAL=" + script("broken", "exit 3\n") + " EDITOR=");
    EXPECT_EQ(failed.status, 1) << failed.err;
    EXPECT_NE(failed.err.find("exit status 3"), std::string::npos) << failed.err;
}

TEST_F(TelmLaunchers, WebPagesGoToXdgOpenWhoseFailureIsReported) {
    const std::string opened = work.file("opened");
    Outcome r = run("--run OpenHelp", pathWithOpener("echo \"$1\" > " + opened + "\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(slurp(opened).find("://"), std::string::npos);

    r = run("--run OpenInternetSample --answer OK", pathWithOpener("exit 4\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("I cannot open the page"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("exit status 4"), std::string::npos) << r.err;

    fs::remove(work.file("bin/xdg-open"));
    r = run("--run OpenHelp --answer OK", pathWithOpener(""));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("I cannot open the page"), std::string::npos) << r.err;
}

TEST_F(TelmLaunchers, TheShippedSampleAndTemplateOpenAndCalculate) {
    // The shipped add-in folder, copied as a user does.
    fs::copy(std::string(TELM_SOURCE_DIR) + "/examples", work.file("addin"), fs::copy_options::recursive);
    const std::string own = std::string(TELM_PROGRAM) + " --addin " + work.file("addin") + " --library " +
                            TELM_ADDIN_LIBRARY;
    for (const auto& [command, file, cell] : {std::tuple{"OpenSample", "SalesByRegion.xlsx", "B8"},
                                              std::tuple{"OpenTemplate", "MonthlySales.xlsx", "B6"}}) {
        const std::string line = own + " --run " + command + " --answer " + file + " --calc --print " + cell + " >" +
                                 io.file("out") + " 2>" + io.file("err") + " </dev/null";
        const int status = std::system(line.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 0) << slurp(io.file("err"));
        const std::string printed = slurp(io.file("out"));
        EXPECT_FALSE(printed.empty() || printed.starts_with("#")) << command << ": " << printed;
    }
}
