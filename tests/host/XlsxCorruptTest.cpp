#include "host/XlsxTestSupport.h"

#include "host/files/XlsxReader.h"

using namespace host;
using xlsxtest::XlsxTest;

namespace {

// Opens the file; returns the error's description, or "" when it opened.
std::string openError(sheet::Application& app, const std::string& path) {
    try {
        files::readWorkbook(app, path);
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::InvalidArgument) << e.description();
        EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
        return e.description();
    }
    return "";
}

bool mentions(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_F(XlsxTest, BadFilesAreRefusedWithTheReason) {
    const std::string missing = file("missing.xlsx");
    EXPECT_TRUE(mentions(openError(*app, missing), "could not be found"));

    const std::string text = file("text.xlsx");
    xlsxtest::writeAll(text, "just some text, no zip at all");
    EXPECT_TRUE(mentions(openError(*app, text), "not a zip"));

    auto parts = xlsxtest::minimalWorkbook("<row><c><v>1</v></c></row>");
    auto withoutWorkbook = parts;
    std::erase_if(withoutWorkbook, [](const auto& p) { return p.first == "xl/workbook.xml"; });
    xlsxtest::writePackage(file("noworkbook.xlsx"), withoutWorkbook);
    EXPECT_TRUE(mentions(openError(*app, file("noworkbook.xlsx")), "the part 'xl/workbook.xml' is missing"));

    auto malformed = parts;
    malformed[3].second = "<worksheet><sheetData><row><c><v>1</v></row></sheetData></worksheet>";
    xlsxtest::writePackage(file("malformed.xlsx"), malformed);
    EXPECT_TRUE(mentions(openError(*app, file("malformed.xlsx")), "'xl/worksheets/sheet1.xml' is not well-formed XML"));

    auto badFormula = xlsxtest::minimalWorkbook("<row r=\"2\"><c r=\"B2\"><f>SUM(A1:</f><v>1</v></c></row>");
    xlsxtest::writePackage(file("formula.xlsx"), badFormula);
    EXPECT_TRUE(mentions(openError(*app, file("formula.xlsx")), "the formula '=SUM(A1:' in S!B2 does not parse"));

    auto badString = xlsxtest::minimalWorkbook("<row><c r=\"A1\" t=\"s\"><v>5</v></c></row>");
    xlsxtest::writePackage(file("string.xlsx"), badString);
    EXPECT_TRUE(mentions(openError(*app, file("string.xlsx")), "shared text '5'"));

    auto badReference = xlsxtest::minimalWorkbook("<row r=\"1\"><c r=\"A0\"><v>1</v></c></row>");
    xlsxtest::writePackage(file("reference.xlsx"), badReference);
    EXPECT_TRUE(mentions(openError(*app, file("reference.xlsx")), "'A0'"));
}

TEST_F(XlsxTest, TruncatedAndDamagedFilesNeverCrash) {
    auto book = app->workbooks().add();
    for (int r = 1; r <= 200; ++r) {
        book->sheet(1)->cellAt(r, 1).value = r * 1.5;
        book->sheet(1)->cellAt(r, 2).value = "text " + std::to_string(r);
    }
    book->sheet(1)->range("C1")->setFormula("=SUM(A1:A200)");
    const std::string good = file("good.xlsx");
    book->saveAs(good);
    const std::string bytes = xlsxtest::readAll(good);
    ASSERT_GT(bytes.size(), 1000u);

    const std::string damaged = file("damaged.xlsx");
    int refused = 0;
    for (std::size_t length : {std::size_t{0}, std::size_t{4}, std::size_t{30}, bytes.size() / 3, bytes.size() / 2,
                               bytes.size() - 30, bytes.size() - 1}) {
        xlsxtest::writeAll(damaged, bytes.substr(0, length));
        refused += !openError(*app, damaged).empty();
    }
    EXPECT_EQ(refused, 7);  // a zip cut short loses its directory

    for (std::size_t at = 7; at < bytes.size(); at += bytes.size() / 40) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        xlsxtest::writeAll(damaged, flipped);
        openError(*app, damaged);  // refused or read, but never a crash
    }
}
