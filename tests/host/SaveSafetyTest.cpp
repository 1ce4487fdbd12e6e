// Saving a workbook file safely: the temporary file cannot be redirected, leftovers of killed saves
// go, a file another program saved in the meantime is not overwritten, and the lock file of an open
// workbook is written and honoured.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/XlsxTestSupport.h"
#include "host/base/RuntimeError.h"

#include <algorithm>

using namespace host;
using xlsxtest::XlsxTest;
namespace fs = std::filesystem;

namespace {

// The id of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

std::string saveFailure(sheet::Workbook& book) {
    try {
        book.save();
    } catch (const RuntimeError& e) {
        return e.description();
    }
    return "";
}

}  // namespace

TEST_F(XlsxTest, TheTemporaryFileOfASaveIsNeverRedirectedAndLeftoversGo) {
    auto book = app->workbooks().add();
    book->sheet(1)->cellAt(1, 1).value = "mine";
    const std::string path = file("safe.xlsx");
    // A symbolic link planted where a predictable temporary name would be, pointing outside.
    const std::string outside = file("outside.txt");
    xlsxtest::writeAll(outside, "precious");
    fs::create_symlink(outside, file(".~safe.xlsx." + std::to_string(::getpid()) + ".tmp"));
    // Leftovers of saves killed in the past, and one of a process that still runs.
    const std::string dead = std::to_string(endedProcess());
    for (const std::string& name : std::vector<std::string>{".~safe.xlsx." + dead + ".tmp", ".~safe.xlsx." + dead + ".Ab3dE9xz.tmp",
                                   ".~safe.xlsx.1.Zz9aaaaa.tmp", ".~other.xlsx." + dead + ".tmp"})
        xlsxtest::writeAll(file(name), "partial");

    ::umask(027);
    book->saveAs(path);
    ::umask(022);
    EXPECT_EQ(xlsxtest::readAll(outside), "precious");
    EXPECT_FALSE(fs::is_symlink(path));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);  // a new file as the umask gives it
    EXPECT_FALSE(fs::exists(file(".~safe.xlsx." + dead + ".tmp")));
    EXPECT_FALSE(fs::exists(file(".~safe.xlsx." + dead + ".Ab3dE9xz.tmp")));
    EXPECT_TRUE(fs::exists(file(".~safe.xlsx.1.Zz9aaaaa.tmp")));   // its process runs
    EXPECT_TRUE(fs::exists(file(".~other.xlsx." + dead + ".tmp")));  // another workbook's
    EXPECT_TRUE(fs::is_symlink(file(".~safe.xlsx." + std::to_string(::getpid()) + ".tmp")));

    auto reopened = sheet::Application::create();
    files::attachWorkbookStore(*reopened);
    EXPECT_EQ(reopened->workbooks().open(path)->sheet(1)->range("A1")->value(), Variant("mine"));
}

TEST_F(XlsxTest, AFileSavedByAnotherProgramSinceItWasOpenedIsNotOverwritten) {
    const std::string path = file("shared.xlsx");
    {
        auto first = app->workbooks().add();
        first->sheet(1)->cellAt(1, 1).value = 1.0;
        first->saveAs(path);
        first->close();
    }
    auto mine = app->workbooks().open(path);
    auto other = sheet::Application::create();
    files::attachWorkbookStore(*other);
    auto theirs = other->workbooks().open(path);
    theirs->sheet(1)->range("B1")->setValue("their change");
    theirs->save();
    const std::string saved = xlsxtest::readAll(path);

    mine->sheet(1)->range("C1")->setValue("my change");
    EXPECT_NE(saveFailure(*mine).find("was changed by another program since it was opened"), std::string::npos);
    EXPECT_EQ(xlsxtest::readAll(path), saved);
    // The other side saves again and again as before.
    theirs->sheet(1)->range("B2")->setValue(2.0);
    EXPECT_EQ(saveFailure(*theirs), "");
    EXPECT_EQ(saveFailure(*theirs), "");

    // Opened again, the workbook holds both changes and saves.
    mine->close();
    mine = app->workbooks().open(path);
    mine->sheet(1)->range("C1")->setValue("my change");
    EXPECT_EQ(saveFailure(*mine), "");
    theirs->close();
    auto check = sheet::Application::create();
    files::attachWorkbookStore(*check);
    const auto result = check->workbooks().open(path)->sheet(1);
    EXPECT_EQ(result->range("B1")->value(), Variant("their change"));
    EXPECT_EQ(result->range("C1")->value(), Variant("my change"));
}

TEST_F(XlsxTest, AnOpenWorkbookHasALockFileAndOneOfAnotherProgramIsHonoured) {
    const std::string path = file("Budget.xlsx");
    const std::string lockFile = file(".~lock.Budget.xlsx#");
    {
        auto book = app->workbooks().add();
        book->saveAs(path);
        book->close();
    }
    // Ours while the workbook is open, in the common form: name, user, host, date, profile.
    auto book = app->workbooks().open(path);
    const std::string line = xlsxtest::readAll(lockFile);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_TRUE(line.starts_with("telm (process " + std::to_string(::getpid()) + "),")) << line;
    EXPECT_NE(line.find("," + std::string(host) + ","), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with(",;")) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
    book->sheet(1)->range("A1")->setValue(1.0);
    EXPECT_EQ(saveFailure(*book), "");
    book->close();
    EXPECT_FALSE(fs::exists(lockFile));

    // Another program's lock: the file is not saved, and the message says who has it.
    book = app->workbooks().open(path);
    xlsxtest::writeAll(lockFile, ",anna,laptop-7,07.12.2026 16:27,file:///home/anna/.config/office/4;");
    const std::string before = xlsxtest::readAll(path);
    book->sheet(1)->range("A1")->setValue(2.0);
    const std::string refused = saveFailure(*book);
    EXPECT_NE(refused.find("open in another program, by anna on laptop-7 since 07.12.2026 16:27"), std::string::npos)
        << refused;
    EXPECT_EQ(xlsxtest::readAll(path), before);
    book->close();
    EXPECT_TRUE(fs::exists(lockFile));  // not ours to remove

    // The lock of a process of ours that is gone counts for nothing.
    xlsxtest::writeAll(lockFile, "telm (process " + std::to_string(endedProcess()) + "),anna," + host +
                                     ",07.12.2026 16:27,;");
    book = app->workbooks().open(path);
    EXPECT_TRUE(xlsxtest::readAll(lockFile).starts_with("telm (process " + std::to_string(::getpid())));
    book->sheet(1)->range("A1")->setValue(3.0);
    EXPECT_EQ(saveFailure(*book), "");
}
