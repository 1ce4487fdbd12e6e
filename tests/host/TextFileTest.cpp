#include <gtest/gtest.h>

#include "support/Errors.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/TextFile.h"
#include "host/base/TextFileLines.h"

using namespace host;
namespace fs = std::filesystem;

using testsupport::errorNumberOf;

namespace {

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("telm-textfile-" + std::to_string(::getpid()) + "-" +
                                               std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    void writeBytes(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
    }

    std::string readBytes(const std::string& name) const {
        std::ifstream in(folder_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder_;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(TextFileTest, ReadsWindows1250WhenNotUtf8) {
    writeBytes("cp1250.txt", "Zaj\xB9""c \x9Cwit \xA3\xF3""d\x9F\r\n");
    EXPECT_EQ(readTextFile(path("cp1250.txt")), "Zając świt Łódź\r\n");
}

TEST_F(TextFileTest, ReadsUtf8AndDropsByteOrderMark) {
    writeBytes("bom.txt", "\xEF\xBB\xBF" "Łódź\nżółw");
    EXPECT_EQ(readTextFile(path("bom.txt")), "Łódź\nżółw");
    writeBytes("plain.txt", "gęślą");
    EXPECT_EQ(readTextFile(path("plain.txt")), "gęślą");
    writeBytes("empty.txt", "");
    EXPECT_EQ(readTextFile(path("empty.txt")), "");
}

TEST_F(TextFileTest, WritesUtf8WithoutByteOrderMarkAndAppends) {
    writeTextFile(path("out.txt"), "Łódź\r\n", false);
    writeTextFile(path("out.txt"), "żółw", true);
    EXPECT_EQ(readBytes("out.txt"), "Łódź\r\nżółw");
    writeTextFile(path("out.txt"), "nowy", false);
    EXPECT_EQ(readBytes("out.txt"), "nowy");
}

TEST_F(TextFileTest, AppendsToAFileOfThePolishCodePageInThatCodePage) {
    writeBytes("cp1250.par", "[Measure \xA3\xF3" "d\x9F]\r\n");  // "Łódź" in cp1250
    writeTextFile(path("cp1250.par"), "[Measure Żółw]\r\n", true);
    EXPECT_EQ(readBytes("cp1250.par"), "[Measure \xA3\xF3" "d\x9F]\r\n[Measure \xAF\xF3\xB3" "w]\r\n");
    EXPECT_EQ(readTextFile(path("cp1250.par")), "[Measure Łódź]\r\n[Measure Żółw]\r\n");
}

TEST_F(TextFileTest, AcceptsBackslashesInPaths) {
    fs::create_directory(folder_ / "sub");
    writeTextFile(folder_.string() + "\\sub\\a.txt", "ą", false);
    EXPECT_EQ(readTextFile(folder_.string() + "/sub/a.txt"), "ą");
    EXPECT_EQ(nativePath("C:\\dane\\model/x.txt"), "C:/dane/model/x.txt");
}

TEST_F(TextFileTest, ReportsFailuresWithRuntimeErrorNumbers) {
    EXPECT_EQ(errorNumberOf([&] { readTextFile(path("missing.txt")); }), err::FileNotFound);
    EXPECT_EQ(errorNumberOf([&] { readTextFile(folder_.string()); }), err::PathFileAccessError);
    EXPECT_EQ(errorNumberOf([&] { writeTextFile(path("no-folder/a.txt"), "x", false); }), err::PathNotFound);
    EXPECT_EQ(errorNumberOf([&] { writeTextFile(folder_.string(), "x", false); }), err::PathFileAccessError);
    if (::geteuid() != 0) {  // the superuser may write anywhere
        writeBytes("locked.txt", "x");
        fs::permissions(folder_ / "locked.txt", fs::perms::owner_read);
        EXPECT_EQ(errorNumberOf([&] { writeTextFile(path("locked.txt"), "y", true); }), err::PermissionDenied);
    }
}

TEST(TextLines, SplitsAtCrLfLoneCrAndLoneLf) {
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n"), Lines{"a"});
    EXPECT_EQ(splitLines("a\r\r\nb\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitLines("\n\n"), (Lines{"", ""}));
    EXPECT_EQ(splitLines("łódź"), Lines{"łódź"});
    EXPECT_EQ(splitLines(""), Lines{});
}

TEST_F(TextFileTest, LinesReadOneAtATimeMatchTheWholeText) {
    auto linesOf = [&](const std::string& name) {
        TextFileLines reader(path(name));
        Lines lines;
        for (std::string line; reader.next(line);) lines.push_back(line);
        return lines;
    };
    // CR LF split between two blocks of the reader, a lone CR ending a block, the Polish code page
    // detected only far into the file, a byte order mark, terminators at the very end.
    const std::string longLine(65535, 'x');
    const std::vector<std::string> files = {
        longLine + "\r\nb\rc\nd",
        longLine.substr(1) + "\r\r\n\n",
        std::string(70000, 'a') + "\n" + "Zaj\xB9" "c\r\n",
        "\xEF\xBB\xBF" "Łódź\r\nżółw",
        "a\r",
        "\n\n",
        "",
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string name = "lines" + std::to_string(i) + ".txt";
        writeBytes(name, files[i]);
        EXPECT_EQ(linesOf(name), splitLines(readTextFile(path(name)))) << i;
    }
    EXPECT_EQ(linesOf("lines2.txt").back(), "Zając");
    EXPECT_EQ(linesOf("lines3.txt").front(), "Łódź");
    EXPECT_EQ(errorNumberOf([&] { TextFileLines reader(path("missing.txt")); }), err::FileNotFound);
}

TEST(TextUtf8, RecognisesWellFormedUtf8) {
    EXPECT_TRUE(isValidUtf8("Zażółć gęślą jaźń \U0001F600"));
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_FALSE(isValidUtf8("Zaj\xB9""c"));      // Windows-1250 "ą"
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));        // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));    // surrogate
    EXPECT_FALSE(isValidUtf8("\xC5"));            // cut short
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
}
