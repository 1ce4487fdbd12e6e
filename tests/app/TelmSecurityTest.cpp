// telm on a copy of the examples, given cells that come from someone else: they read data and do
// nothing more.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/Payload.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct TelmOnExamples : ::testing::Test {
    testsupport::TempFolder addin{"telm-examples"};
    testsupport::TempFolder io{"telm-io"};

    TelmOnExamples() {
        fs::copy(fs::path(TELM_SOURCE_DIR) / "examples", addin.path(), fs::copy_options::recursive);
    }
    std::string slurp(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string err() const { return slurp(io.file("err")); }
    // telm's exit status and standard output for the steps (each step's words already quoted).
    std::pair<int, std::string> run(const std::string& steps) const {
        const std::string command = std::string(TELM_PROGRAM) + " --addin " + addin.string() + " --library " +
                                    TELM_ADDIN_LIBRARY + " " + steps + " >" + io.file("out") + " 2>" +
                                    io.file("err") + " </dev/null";
        const int status = std::system(command.c_str());
        return {WEXITSTATUS(status), slurp(io.file("out"))};
    }
};

}  // namespace

TEST_F(TelmOnExamples, AGetdataArgumentLoadsNoLibrary) {
    testsupport::Payload payload;
    const std::string load = "load_extension('" + payload.library + "')";
    const auto ordinary = run("--eval " + shellQuoted("=GETDATA(\"Sales.YearTotal\",\"Północ\",2024)"));
    EXPECT_EQ(ordinary.first, 0);
    EXPECT_NE(ordinary.second, "0\n");
    EXPECT_NE(ordinary.second.find_first_of("123456789"), std::string::npos) << ordinary.second;
    run("--eval " + shellQuoted("=GETDATA(\"Sales.YearTotal\",\"Północ\",\"2024 AND " + load + " IS NULL\")"));
    run("--eval " + shellQuoted("=GETDATAODBC(\"Driver={SQLite3};Database=" + addin.file("Sales.db") +
                                ";\",\"SELECT " + load + "\")"));
    EXPECT_FALSE(payload.loaded());
}

TEST_F(TelmOnExamples, AFailingCellShowsNoPassword) {
    // Error-reporting level 2 puts the failure text, connection text included, into the cell.
    const std::string secret = "se}}cret-Tail-42";
    const std::string connection = "Driver={SQLite3};Database=" + addin.file("Missing.db") + ";Uid=ann;Pwd={" + secret + "};";
    const std::string book = io.file("book.xlsx");
    const auto r = run("--answer 2 --run SwithErrorReportingLevel --new --set " +
                       shellQuoted("A1==GETDATAODBC(\"" + connection + "\",\"SELECT 1\")") +
                       " --print A1 --save-as " + book);
    EXPECT_EQ(r.first, 0) << err();
    EXPECT_NE(r.second.find("Missing.db"), std::string::npos) << r.second;  // the failure text is there
    EXPECT_NE(r.second.find("Pwd=****"), std::string::npos) << r.second;
    // Neither the password nor its tail after "}}" on the terminal, in the saved workbook's values (its
    // formula holds the text as typed) or in the add-in folder's files.
    const std::string unzip = "/usr/bin/python3 -c 'import re, sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                              "sys.stdout.buffer.write(re.sub(rb\"<f>.*?</f>\", b\"\", "
                              "b\"\".join(z.read(n) for n in z.namelist())))' " + book +
                              " >" + io.file("unzipped");
    ASSERT_EQ(std::system(unzip.c_str()), 0);
    for (const std::string& text : {r.second, err(), slurp(io.file("unzipped"))}) {
        EXPECT_EQ(text.find("cret-Tail"), std::string::npos) << text;
        EXPECT_EQ(text.find("se}"), std::string::npos) << text;
    }
    for (const auto& entry : fs::recursive_directory_iterator(addin.path())) {
        if (!entry.is_regular_file()) continue;
        EXPECT_EQ(slurp(entry.path()).find("cret-Tail"), std::string::npos) << entry.path();
    }
}
