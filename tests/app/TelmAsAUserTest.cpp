// telm as a person at a terminal or a script meets it: what saving keeps, where dialogs and secrets
// go, the exit status of failures and of Ctrl-C, and the start language.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "support/AddInHost.h"
#include "support/Odbc.h"
#include "support/TelmProgram.h"

namespace fs = std::filesystem;

namespace {

using testsupport::Outcome;
using testsupport::slurp;

struct TelmUser : ::testing::Test, testsupport::TelmProgram {
    // A saved workbook with 1 in A1.
    std::string savedBook(const std::string& name) const {
        const std::string path = work.file(name);
        EXPECT_EQ(run("--new --set A1=1 --save-as " + path).status, 0);
        return path;
    }
};

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// Statements sleeping on the server in pg_sleep(60), counted over a connection of their own.
struct Sleepers {
    host::ado::Connection monitor;
    explicit Sleepers(const std::string& connection) { monitor.open(connection); }
    long count() {
        host::ado::Recordset r;
        r.open("SELECT count(*) FROM pg_stat_activity WHERE state = 'active' AND query LIKE '%FROM pg_sleep(60)%' "
               "AND pid <> pg_backend_pid()",
               monitor);
        return r.getRows().arrayValue()(0, 0).toLong();
    }
};

// Runs `command` (a telm command line) as a process; once at least `atLeast` statements sleep on the
// server, presses Ctrl-C (SIGINT) and waits up to 15 s for the process to end. Gives its exit status,
// or -1 after failing the test when the statements never got there or the process did not stop.
int interruptWhenSleeping(const std::string& command, Sleepers& sleepers, long atLeast) {
    const std::string line = "exec " + command;
    const pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "no fork";
        return -1;
    }
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (sleepers.count() < atLeast && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const bool reached = sleepers.count() >= atLeast;
    ::kill(pid, SIGINT);
    int status = 0;
    for (int i = 0; i < 300 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (::waitpid(pid, &status, WNOHANG) == 0 && !WIFEXITED(status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "telm did not stop after Ctrl-C";
        return -1;
    }
    EXPECT_TRUE(reached) << "fewer than " << atLeast << " statements reached the server";
    EXPECT_TRUE(WIFEXITED(status)) << "telm ended with status " << status;
    return reached && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(TelmUser, SavingKeepsModeAndLinksAndRefusesReadOnlyFilesAndOtherFormats) {
    const std::string book = savedBook("secret.xlsx");
    ::chmod(book.c_str(), 0600);
    EXPECT_EQ(run(book + " --set A1=2 --save").status, 0);
    struct stat info {};
    ASSERT_EQ(::stat(book.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Through a symbolic link: the target is written and the link stays a link.
    const std::string link = work.file("link.xlsx");
    fs::create_symlink(book, link);
    EXPECT_EQ(run(link + " --set A1=3 --save").status, 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(run(book + " --print A1").out, "3\n");

    // A read-only file is refused and left as it was.
    ::chmod(book.c_str(), 0444);
    const std::string before = slurp(book);
    const Outcome readOnly = run(book + " --set A1=4 --save");
    EXPECT_EQ(readOnly.status, 1);
    EXPECT_NE(readOnly.err.find("is read-only"), std::string::npos) << readOnly.err;
    EXPECT_NE(readOnly.err.find("--save"), std::string::npos) << readOnly.err;
    EXPECT_EQ(slurp(book), before);

    // A name of a format the platform does not write.
    const Outcome csv = run("--new --save-as " + work.file("out.csv"));
    EXPECT_EQ(csv.status, 1);
    EXPECT_NE(csv.err.find(".csv"), std::string::npos) << csv.err;
    EXPECT_FALSE(fs::exists(work.file("out.csv")));
    EXPECT_EQ(run("--new --save-as " + work.file("list.ana")).status, 0);
}

TEST_F(TelmUser, SavingRefusesATargetThatIsNotARegularFile) {
    struct Target {
        std::string path;
        bool (*stillThere)(const fs::path&);
    };
    std::vector<Target> targets;
    const std::string fifo = work.file("pipe.xlsx");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    targets.push_back({fifo, [](const fs::path& p) { return fs::is_fifo(p); }});
    fs::create_symlink(fifo, work.file("to-pipe.xlsx"));
    targets.push_back({work.file("to-pipe.xlsx"), [](const fs::path& p) { return fs::is_fifo(p); }});
    fs::create_directory(work.file("folder.xlsx"));
    targets.push_back({work.file("folder.xlsx"), [](const fs::path& p) { return fs::is_directory(p); }});
    // A device node where this user may make one (a copy of the null device, in the test's folder).
    const std::string device = work.file("device.xlsx");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets.push_back({device, [](const fs::path& p) { return fs::is_character_file(p); }});
    for (const auto& target : targets) {
        const Outcome r = run("--new --set A1=1 --save-as " + target.path);
        EXPECT_EQ(r.status, 1) << target.path;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
        EXPECT_TRUE(target.stillThere(target.path)) << target.path;
    }
    // An ordinary new file is made as the umask says.
    const std::string fresh = work.file("fresh.xlsx");
    EXPECT_EQ(run("--new --set A1=1 --save-as " + fresh, "umask 027;").status, 0);
    struct stat info {};
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(run(fresh + " --print A1").out, "1\n");
}

TEST_F(TelmUser, SavesOfOneWorkbookByManyProcessesAtOnceLoseNoChange) {
    const std::string book = savedBook("shared.xlsx");
    constexpr int kProcesses = 6;
    std::string script;
    for (int i = 1; i <= kProcesses; ++i) {
        const std::string n = std::to_string(i);
        script += "(" + std::string(TELM_PROGRAM) + " --addin " + addin.string() + " --library " + TELM_ADDIN_LIBRARY +
                  " " + book + " --set B" + n + "=" + n + " --save >/dev/null 2>" + io.file("err" + n) +
                  " </dev/null; echo $? >" + io.file("status" + n) + ") & ";
    }
    ASSERT_EQ(std::system((script + "wait").c_str()), 0);
    int saved = 0;
    for (int i = 1; i <= kProcesses; ++i) {
        const std::string n = std::to_string(i);
        const std::string status = slurp(io.file("status" + n));
        const std::string printed = run(book + " --print B" + n).out;
        if (status == "0\n") {
            ++saved;
            EXPECT_EQ(printed, n + "\n") << "the save of process " << n << " was lost";
        } else {
            EXPECT_EQ(status, "1\n");
            const std::string err = slurp(io.file("err" + n));
            EXPECT_TRUE(err.find("changed by another program") != std::string::npos ||
                        err.find("open in another program") != std::string::npos)
                << err;
        }
    }
    EXPECT_GE(saved, 1);
    EXPECT_EQ(run(book + " --print A1").out, "1\n");
    // Once they are done, a save works as before; nothing of theirs is left in the folder.
    EXPECT_EQ(run(book + " --set C1=3 --save").status, 0);
    EXPECT_EQ(run(book + " --set C1=4 --save").status, 0);
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(work.string())) entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"shared.xlsx"});
}

TEST_F(TelmUser, FailuresNameTheStepAndStopTheRun) {
    const std::string book = savedBook("book.xlsx");
    const std::string before = slurp(book);

    Outcome r = run(book + " --print ZZZ");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--print ZZZ: 'ZZZ' is not a cell reference"), std::string::npos) << r.err;
    r = run(book + " --sheet Nope");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--sheet Nope: no sheet of that name in book.xlsx (it has Sheet1)"), std::string::npos) << r.err;
    r = run("--print A1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--print A1: no workbook is open"), std::string::npos) << r.err;

    // A command that ends in a run-time error box fails the run, and the save after it does not happen.
    r = run(book + " --set A1=9 --run Fail --save", "", TELM_FAILING_ADDIN);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--run Fail: run-time error 5: The command failed on purpose"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(book), before);
    // One that runs out of memory likewise: a run-time error 7, not the end of the program.
    r = run(book + " --run Exhaust --save", "", TELM_FAILING_ADDIN);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--run Exhaust: run-time error 7: Out of memory"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(book), before);

    // The add-in folder is a file.
    const std::string asFile = std::string(TELM_PROGRAM) + " --addin " + book + " --eval 1 2>&1 >/dev/null";
    FILE* pipe = popen(asFile.c_str(), "r");
    char buffer[512] = {};
    const std::size_t n = fread(buffer, 1, sizeof buffer - 1, pipe);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 1);
    EXPECT_NE(std::string(buffer, n).find("not a folder"), std::string::npos) << buffer;
}

TEST_F(TelmUser, AStartThatAsksToQuitStopsTheRun) {
    // Start-up cannot read a current folder that was removed, and asks the application to quit.
    const std::string gone = work.file("gone");
    fs::create_directories(gone);
    const int status = std::system(("cd " + gone + " && rmdir " + gone + " && " + commandLine("--eval 1")).c_str());
    const Outcome r = collect(WEXITSTATUS(status));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("asked the application to quit"), std::string::npos) << r.err;
}

TEST_F(TelmUser, WorksheetFunctionsWithoutTheirArgumentsAreErrors) {
    const Outcome r = run("--eval '=GETDATALINK()' --eval '=GETDATAODBC(\"x\")' --eval '=ISERROR(VALUE2STRING())'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "#VALUE!\n#VALUE!\nTRUE\n");
}

TEST_F(TelmUser, TheLocaleChoosesTheStartLanguageAndTheCommandLineOverridesIt) {
    // The menus are captioned in the start language.
    auto menus = [](const Outcome& r) { return r.out; };
    const std::string polish = menus(run("--country 48 --new --menus"));
    const std::string english = menus(run("--country 1 --new --menus"));
    ASSERT_NE(polish, english);
    EXPECT_EQ(menus(run("--new --menus", "LC_ALL= LC_MESSAGES= LANG=pl_PL.UTF-8")), polish);
    EXPECT_EQ(menus(run("--new --menus", "LC_ALL= LC_MESSAGES= LANG=en_GB.UTF-8")), english);
    EXPECT_EQ(menus(run("--new --menus", "LC_ALL=pl_PL.UTF-8 LANG=en_GB.UTF-8")), polish);
    EXPECT_EQ(menus(run("--country 48 --new --menus", "LC_ALL= LC_MESSAGES= LANG=C")), polish);
    EXPECT_EQ(run("--country pl --eval 1").status, 2);
    // Start-up's passing status text is no progress worth showing.
    const Outcome quiet = run("--eval 1");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST(TelmInterface, TheStatusBarIsReleasedOnceTheInterfaceIsRebuilt) {
    testsupport::AddInHost host;
    host.start();
    host.app->run("SwitchLanguage");
    EXPECT_EQ(host.app->statusBar(), host::Variant(false));
    host.app->run("RefreshDataModel");
    EXPECT_EQ(host.app->statusBar(), host::Variant(false));
}

TEST(TelmInterface, PivotListAndQueryMenusHoldTheCommandsInAPopup) {
    testsupport::AddInHost host(1, "14.0");
    host.start();
    for (const char* name : {"PivotTable Context Menu", "List Range Popup", "Query"}) {
        auto bar = host.app->commandBars().item(name);
        auto popup = bar->findControl("TELM.NET");
        ASSERT_TRUE(popup) << name;
        EXPECT_EQ(popup->type(), host::sheet::ControlType::Popup) << name;
        EXPECT_EQ(popup->controls()->count(), 2) << name;
    }
}

TEST_F(TelmUser, DialogsStayOffStandardOutputAndCancelCanBeGivenInAdvance) {
    // "Login" is the companion's dialog: a user name, then a password, here on standard input.
    const Outcome r = runWithInput("--run Login --eval '=1'", "someone\nsecret:hidden-word\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    EXPECT_NE(r.err.find("someone"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("hidden-word"), std::string::npos) << r.err;

    const Outcome cancelled = run("--cancel --run Login --eval '=1'");
    EXPECT_EQ(cancelled.status, 0) << cancelled.err;
    EXPECT_EQ(cancelled.out, "1\n");
    EXPECT_EQ(cancelled.err.find("password"), std::string::npos) << cancelled.err;  // never asked for it
}

TEST_F(TelmUser, NoPasswordIsShownInALoginRun) {
    const auto server = testsupport::postgresServer();
    if (!server) GTEST_SKIP() << "no PostgreSQL server";
    // A refused password brings the login dialog, which shows the connection text.
    const std::string formula = "=GETDATAODBC(\"" + server->connection("Uid=" + server->user + ";Pwd=wrong-word;") +
                                "\",\"SELECT 42\",FALSE)";
    std::ofstream(io.file("answers")) << server->user << "\nsecret:" << server->password << "\n";
    const Outcome r = run("--new --set " + quoted("A1=" + formula) + " --answers " + io.file("answers") + " --print A1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "42\n");
    EXPECT_NE(r.err.find("Authorisation is required."), std::string::npos) << r.err;
    for (const std::string& secret : {std::string("wrong-word"), server->password}) {
        EXPECT_EQ(r.out.find(secret), std::string::npos);
        EXPECT_EQ(r.err.find(secret), std::string::npos) << r.err;
    }
}

TEST_F(TelmUser, CtrlCCancelsTheRunningStatementOnTheServerAndSavesNothing) {
    const auto server = testsupport::postgresServer();
    if (!server) GTEST_SKIP() << "no PostgreSQL server";
    const std::string credentials = "Uid=" + server->user + ";Pwd=" + server->password + ";";
    const std::string book = savedBook("book.xlsx");
    const std::string before = slurp(book);
    const std::string formula =
        "=GETDATAODBC(\"" + server->connection(credentials) + "\",\"SELECT 7 FROM pg_sleep(60)\")";
    Sleepers sleepers(server->connection(credentials));
    const int status =
        interruptWhenSleeping(commandLine(book + " --set " + quoted("A1=" + formula) + " --save"), sleepers, 1);
    EXPECT_EQ(status, 130);
    const Outcome r = collect(status);
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
    EXPECT_EQ(sleepers.count(), 0);
    EXPECT_EQ(slurp(book), before);
    for (const auto& entry : fs::directory_iterator(work.path()))
        EXPECT_EQ(entry.path().extension(), ".xlsx") << entry.path();
}

TEST_F(TelmUser, CtrlCCancelsTheBatchesRunningAtOnceOnEveryConnection) {
    const auto server = testsupport::postgresServer();
    if (!server) GTEST_SKIP() << "no PostgreSQL server";
    const std::string credentials = "Uid=" + server->user + ";Pwd=" + server->password + ";";
    const std::string connection = server->connection(credentials);
    // Quick statements fill the first batch; the slow ones sort after them, so they run at once in the
    // later batches, one sleeping statement on each connection.
    const std::string book = work.file("slow.xlsx");
    const std::string script = work.file("write.py");
    std::ofstream(script) << R"PY(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
conn = sys.argv[2]
for i in range(1, 41):
    ws.cell(row=i, column=1).value = '=GETDATAODBC("%s","SELECT 1 AS quick%s WHERE %d = %d")' % (conn, " " * 60, i, i)
    ws.cell(row=i, column=2).value = '=GETDATAODBC("%s","SELECT 7 FROM pg_sleep(60) WHERE %d = %d%s")' % (conn, i, i, " " * 60)
wb.save(sys.argv[1])
)PY";
    ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + book + " '" + connection + "'").c_str()), 0);
    const std::string before = slurp(book);
    Sleepers sleepers(connection);
    EXPECT_EQ(interruptWhenSleeping(commandLine(book + " --answer OK --run SetServicesOn --run CalculateAll2 --save"),
                                    sleepers, 2),
              130);
    EXPECT_EQ(sleepers.count(), 0);
    EXPECT_EQ(slurp(book), before);
}
