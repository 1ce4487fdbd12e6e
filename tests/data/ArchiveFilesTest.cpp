// Archives in workbook files: kept by saving and opening, read by another program, and refreshed
// from the requests recorded in the file.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "core/A_Deklaracje.h"
#include "data/P_ArchiwumCommands.h"
#include "support/ArchiveWorkbook.h"

using host::Variant;
using host::sheet::SheetVisibility;
using namespace telm;
using testsupport::ArchiveWorkbook;
using testsupport::readFile;

namespace {

// A workbook archived and saved as "work/Archived.xlsx" in the add-in folder, then closed.
struct SavedArchive : ArchiveWorkbook {
    std::string path;
    std::string comment;  // the twin comment of A1 as archived

    SavedArchive() {
        std::filesystem::create_directory(folder.file("work"));
        path = folder.file("work") + "/Archived.xlsx";
        app->run("MoveToArchive");
        comment = twin()->range("A1")->comment()->text();
        book->saveAs(path);
    }
    // The workbook of that name open in the host.
    host::sheet::WorkbookPtr openBook() const { return app->workbooks().find("Archived.xlsx"); }
    void reopen() {
        if (auto open = openBook()) open->close();
        book = app->workbooks().open(path);
        sheet = book->sheet(1);
    }
};

// Writing files larger than `bytes` fails (as a full disk would) while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, SIG_DFL);
    }

private:
    rlimit saved_{};
};

}  // namespace

TEST(ArchiveFilesTest, SavedAndOpenedWorkbooksKeepTheirArchives) {
    SavedArchive t;
    t.reopen();
    ASSERT_TRUE(t.twin());
    EXPECT_EQ(t.book->indexOf(*t.twin()), 2);
    EXPECT_EQ(t.twin()->visible(), SheetVisibility::Hidden);
    EXPECT_EQ(t.twinValue("A1"), Variant(10.5));
    EXPECT_EQ(t.twin()->range("A1")->comment()->text(), t.comment);
    EXPECT_EQ(t.recorded("A2"), t.key("Adam"));
    // The reopened cells answer from the archive, whatever the source says now.
    t.setAmount("Anna", 99);
    t.app->calculate();
    EXPECT_EQ(t.shown("A1"), Variant(10.5));
}

TEST(ArchiveFilesTest, AnotherProgramSeesTheHiddenTwinSheetAndItsComments) {
    SavedArchive t;
    const std::string script = t.folder.file("read.py");
    std::ofstream(script) << "import sys, openpyxl\n"
                             "wb = openpyxl.load_workbook(sys.argv[1])\n"
                             "ws = wb['Sheet1.a']\n"
                             "print(wb.sheetnames.index('Sheet1.a'), ws.sheet_state, ws['A1'].value)\n"
                             "print(ws['A1'].comment.text)\n";
    FILE* pipe = popen(("/usr/bin/python3 '" + script + "' '" + t.path + "' 2>&1").c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << output;
    EXPECT_EQ(output.substr(0, output.find('\n')), "1 hidden 10.5");
    EXPECT_NE(output.find("--> ODBC:\nDriver={SQLite3};\nDatabase="), std::string::npos) << output;
    EXPECT_NE(output.find("-->SELECT Amount FROM Sales WHERE Region = 'Anna'\n\n"), std::string::npos) << output;
}

TEST(ArchiveFilesTest, RefreshingTheArchivesOfAWorkbookFile) {
    SavedArchive t;
    // A second sheet whose twin's first request fails, and a link, which keeps its value.
    t.reopen();
    auto second = t.book->addSheet(nullptr, nullptr, "Zestawienie");
    auto secondTwin = t.book->addSheet(nullptr, second, "Zestawienie.a");
    std::string bad = "s(:)" + t.connection + "(:)SELECT nothing FROM nowhere";
    secondTwin->range("A1")->setValue(1.0);
    secondTwin->range("A1")->addComment(EncodeSourceComment(bad) + "\n\n" + ArchiveSignature());
    secondTwin->range("A2")->setValue(2.0);
    secondTwin->range("A2")->addComment(t.twin()->range("A1")->comment()->text());
    // A cube that cannot answer: its frozen value and comment stay.
    std::string cube = "m(:)Provider=MSOLAP;Location=" + t.folder.file("missing.cub") + ";(:)SELECT FROM [Sales]";
    const std::string cubeComment = EncodeSourceComment(cube) + "\n\n" + ArchiveSignature();
    t.twin()->range("D9")->setValue(5.0);
    t.twin()->range("D9")->addComment(cubeComment);
    std::string link = "l(:)'C:\\f\\[B.xlsx]S'!R1C1";
    t.twin()->range("C1")->setValue("linked");
    t.twin()->range("C1")->addComment(EncodeSourceComment(link) + "\n\n" + ArchiveSignature());
    t.book->save();
    t.setAmount("Anna", 99);
    t.setAmount("Adam", 3);

    // Open in the host: saved, closed, refreshed from the file and opened again.
    RefreshWorkbookArchives(t.path);
    ASSERT_TRUE(t.openBook());
    EXPECT_NE(t.openBook(), t.book);
    t.book = t.openBook();
    t.sheet = t.book->sheet(1);
    EXPECT_EQ(t.twin()->visible(), SheetVisibility::Hidden);
    EXPECT_EQ(t.twinValue("A1"), Variant(99.0));
    EXPECT_EQ(t.twinValue("A2"), Variant(3.0));
    EXPECT_EQ(t.twinValue("C1"), Variant("linked"));
    const std::string comment = t.twin()->range("A1")->comment()->text();
    EXPECT_EQ(comment.substr(0, t.comment.rfind("\n\n") + 2), t.comment.substr(0, t.comment.rfind("\n\n") + 2));
    EXPECT_EQ(comment.substr(comment.size() - 7), " (Auto)");
    EXPECT_EQ(t.recorded("A1"), t.key("Anna"));
    // The failing request ended its sheet's refresh; the other sheets went on.
    EXPECT_EQ(t.book->sheet("Zestawienie.a")->range("A1")->value(), Variant(1.0));
    EXPECT_EQ(t.book->sheet("Zestawienie.a")->range("A2")->value(), Variant(2.0));
    EXPECT_EQ(t.twinValue("D9"), Variant(5.0));
    EXPECT_EQ(t.twin()->range("D9")->comment()->text(), cubeComment);
    const auto failure = t.app->takeCommandFailure();
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("Sheet1.a, Zestawienie.a"), std::string::npos) << *failure;
    t.app->calculate();
    EXPECT_EQ(t.shown("A1"), Variant(99.0));
    EXPECT_TRUE(t.app->displayAlerts);
    EXPECT_EQ(t.app->statusBar(), Variant(false));

    // Not open in the host: refreshed in the file and left closed.
    t.book->close();
    t.setAmount("Anna", 50);
    RefreshWorkbookArchives(t.path);
    EXPECT_FALSE(t.openBook());
    t.reopen();
    EXPECT_EQ(t.twinValue("A1"), Variant(50.0));
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
    EXPECT_TRUE(t.app->takeCommandFailure());  // the cube still cannot answer
}

TEST(ArchiveFilesTest, ARefreshThatCannotWriteLeavesTheFileWhole) {
    SavedArchive t;
    t.reopen();
    t.setAmount("Anna", 99);
    const std::string before = readFile(t.path);
    {
        FileSizeLimit limit(before.size() / 2);
        RefreshWorkbookArchives(t.path);
    }
    EXPECT_EQ(readFile(t.path), before);
    EXPECT_TRUE(t.app->takeCommandFailure());
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(t.folder.file("work")))
        if (!entry.path().filename().string().starts_with(".~lock."))  // the open workbook's lock
            files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"Archived.xlsx"});
    // The workbook stays open in the host as it was.
    EXPECT_EQ(t.openBook(), t.book);
    EXPECT_EQ(t.twinValue("A1"), Variant(10.5));
}

TEST(ArchiveFilesTest, AWorkbookAnotherProgramHasOpenIsNotRefreshed) {
    SavedArchive t;
    t.openBook()->close();
    t.setAmount("Anna", 99);
    const std::string lockFile = t.folder.file("work") + "/.~lock.Archived.xlsx#";
    std::ofstream(lockFile) << ",ewa,desk-3,07.12.2026 09:15,file:///home/ewa/.config/office/4;";
    const std::string before = readFile(t.path);
    try {
        RefreshWorkbookArchives(t.path);
        ADD_FAILURE() << "the refresh went on";
    } catch (const host::RuntimeError& e) {
        EXPECT_NE(e.description().find("open in another program, by ewa on desk-3"), std::string::npos)
            << e.description();
    }
    EXPECT_EQ(readFile(t.path), before);
    // Closed there, it is refreshed.
    std::filesystem::remove(lockFile);
    RefreshWorkbookArchives(t.path);
    t.reopen();
    EXPECT_EQ(t.twinValue("A1"), Variant(99.0));
}

TEST(ArchiveFilesTest, NoFileOrABadOne) {
    ArchiveWorkbook t;
    // The menu's command has no file to refresh.
    t.app->run("AutoRefreshArchive");
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, "This is not a proper archive list.");
    EXPECT_EQ(t.dialogs.record()[0].title, "TELM.NET - Archivisation");
    EXPECT_TRUE(t.app->displayAlerts);
    EXPECT_EQ(t.app->statusBar(), Variant(false));
    // A missing file and one that is no workbook: nothing is opened or written.
    t.dialogs.reset();
    RefreshWorkbookArchives(t.folder.file("missing.xlsx"));
    EXPECT_TRUE(t.app->takeCommandFailure());
    const std::string bad = t.folder.file("bad.xlsx");
    std::ofstream(bad) << "PK\x03\x04 not a workbook";
    RefreshWorkbookArchives(bad);
    EXPECT_EQ(readFile(bad), "PK\x03\x04 not a workbook");
    EXPECT_FALSE(std::filesystem::exists(t.folder.file("missing.xlsx")));
    EXPECT_EQ(t.app->workbooks().count(), 1);
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
}
