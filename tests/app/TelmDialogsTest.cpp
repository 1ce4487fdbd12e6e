// Dialogs answered the ways a script answers them: from a file, from standard input, with ";" inside
// a form's text, in Polish; the refusals of a run without a terminal (no answer left, a password
// answer given to the wrong box), each next to the answer that works.

#include <gtest/gtest.h>

#include <fstream>

#include "support/TelmProgram.h"

namespace {

using testsupport::Outcome;
using testsupport::slurp;

struct TelmDialogs : ::testing::Test, testsupport::TelmProgram {
    std::string answers(const std::string& lines) const {
        std::ofstream(io.file("answers")) << lines;
        return io.file("answers");
    }
};

}  // namespace

TEST_F(TelmDialogs, PasswordsComeMarkedFromAFileOrStandardInputAndAreNeverShown) {
    // "Login" asks for a user name, then a password.
    Outcome r = run("--answers " + answers("someone\nsecret:Tulip-Word-7\n") + " --run Login --eval 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    EXPECT_NE(r.err.find("someone"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Tulip-Word-7"), std::string::npos) << r.err;

    // Out of order: the password reaches the user-name box, which neither takes nor shows it.
    r = runWithInput("--run Login --eval 1", "secret:Tulip-Word-7\nsomeone\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--run Login: a password answer (secret:...) came for the dialog"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Tulip-Word-7"), std::string::npos) << r.err;

    // An unmarked answer for the password box is not taken as a password.
    r = run("--answer someone --answer Tulip-Word-7 --run Login --eval 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("asks for a password: give it as secret:PASSWORD"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Tulip-Word-7"), std::string::npos) << r.err;
}

TEST_F(TelmDialogs, AnUnansweredDialogFailsARunWithoutATerminalUnlessDefaultsAreAllowed) {
    Outcome r = run("--run Login --eval 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--run Login: the dialog \""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("got no answer"), std::string::npos) << r.err;

    r = run("--defaults --run Login --eval 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
}

TEST_F(TelmDialogs, AFormAnswerCarriesSemicolonsEscaped) {
    // The data-source form saves the variable to the model's custom file.
    const std::string connection = "Driver={SQLite3};Database=" + work.file("sales.db") + ";";
    const std::string escaped = "Driver={SQLite3}\\;Database=" + work.file("sales.db") + "\\;";
    const Outcome r = run("--new --run DataSourceWizard --answers " +
                          answers("TextBoxName=Sales.Escaped;TextBoxConnectionText=" + escaped +
                                  ";TextBoxQueryText=SELECT 1;click Command12\nOK\nclose\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string saved;
    for (const auto& entry : std::filesystem::directory_iterator(addin.path()))
        if (entry.path().string().ends_with("Custom.par")) saved = slurp(entry.path().string());
    EXPECT_NE(saved.find("[Measure Sales.Escaped]"), std::string::npos) << saved;
    EXPECT_NE(saved.find("ConnectionText=" + connection), std::string::npos) << saved;
    EXPECT_NE(saved.find("QueryText=SELECT 1"), std::string::npos) << saved;
}
