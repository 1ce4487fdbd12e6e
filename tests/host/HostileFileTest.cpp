// Workbook files others send that once crashed the reader, took memory out of proportion to the
// file, or could not be read back once saved; and saves killed part-way.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <thread>

#include "host/MemoryLimit.h"
#include "host/XlsxTestSupport.h"
#include "host/files/XlsxReader.h"
#include "host/files/XmlWorkbook.h"

using namespace host;
using namespace host::sheet;
using xlsxtest::XlsxTest;

namespace {

// The description of the error opening the file raises (it must name the file); "" when it opened.
std::string openError(Application& app, const std::string& path) {
    try {
        app.workbooks().open(path);
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::InvalidArgument) << e.description();
        EXPECT_NE(e.description().find(path.substr(path.find_last_of('/') + 1)), std::string::npos) << e.description();
        return e.description();
    }
    return "";
}

bool mentions(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string spreadsheetXml(const std::string& table) {
    return R"(<?xml version="1.0"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet")"
           R"( xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"><Worksheet ss:Name="S"><Table>)" +
           table + "</Table></Worksheet></Workbook>";
}

// Bits of a deflate stream, least significant first; Huffman codes go most significant bit first.
struct BitWriter {
    std::string bytes;
    int used = 8;
    void bit(int b) {
        if (used == 8) bytes += '\0', used = 0;
        if (b) bytes.back() = static_cast<char>(bytes.back() | (1 << used));
        ++used;
    }
    void bits(unsigned value, int count) {
        for (int i = 0; i < count; ++i) bit((value >> i) & 1);
    }
    void code(unsigned value, int count) {
        for (int i = count - 1; i >= 0; --i) bit((value >> i) & 1);
    }
};

// A deflate stream of `size` zero bytes (a multiple of 258, plus one): a literal 0, then copies of
// 258 bytes at distance 1, in one block of the fixed code.
std::string deflatedZeros(std::uint64_t size) {
    BitWriter w;
    w.bits(1, 1);      // last block
    w.bits(1, 2);      // fixed Huffman code
    w.code(0x30, 8);   // literal 0
    for (std::uint64_t n = 1; n + 258 <= size; n += 258) {
        w.code(0xC5, 8);  // length 258 (code 285)
        w.code(0, 5);     // distance 1
    }
    w.code(0, 7);  // end of block
    return w.bytes;
}

void put16(std::string& s, unsigned v) { s += static_cast<char>(v & 0xFF), s += static_cast<char>((v >> 8) & 0xFF); }
void put32(std::string& s, std::uint32_t v) { put16(s, v & 0xFFFF), put16(s, v >> 16); }

// The CRC-32 of `size` zero bytes.
std::uint32_t crcOfZeros(std::uint64_t size) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint64_t i = 0; i < size; ++i)
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    return ~crc;
}

// A zip file of one deflated part whose directory claims `claimedSize` bytes (and the checksum).
void writeZipOfPart(const std::string& path, const std::string& name, const std::string& deflated, std::uint32_t claimedSize,
                    std::uint32_t crc = 0) {
    std::string zip;
    auto header = [&](std::uint32_t signature, bool central) {
        put32(zip, signature);
        if (central) put16(zip, 20);  // made by
        put16(zip, 20), put16(zip, 0), put16(zip, 8), put16(zip, 0), put16(zip, 0x21);  // version, flags, deflate, time, date
        put32(zip, crc), put32(zip, static_cast<std::uint32_t>(deflated.size())), put32(zip, claimedSize);
        put16(zip, static_cast<unsigned>(name.size())), put16(zip, 0);
        if (central) put16(zip, 0), put16(zip, 0), put16(zip, 0), put32(zip, 0), put32(zip, 0);  // comment, disk, attributes, offset
        zip += name;
    };
    header(0x04034b50, false);
    zip += deflated;
    const auto directory = static_cast<std::uint32_t>(zip.size());
    header(0x02014b50, true);
    const auto directorySize = static_cast<std::uint32_t>(zip.size()) - directory;
    put32(zip, 0x06054b50), put16(zip, 0), put16(zip, 0), put16(zip, 1), put16(zip, 1);
    put32(zip, directorySize), put32(zip, directory), put16(zip, 0);
    xlsxtest::writeAll(path, zip);
}

}  // namespace

TEST_F(XlsxTest, DeepXmlIsRefusedNotRecursed) {
    std::string deep = "<root><first/><a>";
    for (int i = 0; i < 100000; ++i) deep += "<b>";
    for (int i = 0; i < 100000; ++i) deep += "</b>";
    deep += "</a></root>";
    xlsxtest::writeAll(file("deep.xml"), deep);
    EXPECT_TRUE(mentions(openError(*app, file("deep.xml")), "nests its elements more than 256 deep"));

    // The same inside a workbook package.
    auto parts = xlsxtest::minimalWorkbook("<row><c><is><t>" + deep.substr(6, deep.size() - 13) + "</t></is></c></row>");
    xlsxtest::writePackage(file("deep.xlsx"), parts);
    EXPECT_TRUE(mentions(openError(*app, file("deep.xlsx")), "'xl/worksheets/sheet1.xml' nests its elements more than 256 deep"));

    // Records nested as deep as real files nest them still open.
    std::string nested = "<root><r><v>1</v></r><r><v>2</v></r>";
    for (int i = 0; i < 100; ++i) nested += "<r><n>";
    for (int i = 0; i < 100; ++i) nested += "</n></r>";
    xlsxtest::writeAll(file("nested.xml"), nested + "</root>");
    EXPECT_EQ(openError(*app, file("nested.xml")), "");
}

TEST_F(XlsxTest, SpansAndMergesReachingPastTheSheetAreRefused) {
    const std::string merge = R"(<Row><Cell ss:MergeAcross="2147483647"><Data ss:Type="Number">1</Data></Cell><Cell/></Row>)";
    xlsxtest::writeAll(file("merge.xml"), spreadsheetXml(merge));
    EXPECT_TRUE(mentions(openError(*app, file("merge.xml")), "ss:MergeAcross '2147483647' of the cell S!A1 reaches past the sheet"));

    const std::string span = R"(<Row ss:Span="2147483647"/><Row/>)";
    xlsxtest::writeAll(file("span.xml"), spreadsheetXml(span));
    EXPECT_TRUE(mentions(openError(*app, file("span.xml")), "ss:Span '2147483647' of the row 1"));

    const std::string negative = R"(<Row><Cell ss:MergeAcross="-5"/></Row>)";
    xlsxtest::writeAll(file("negative.xml"), spreadsheetXml(negative));
    EXPECT_TRUE(mentions(openError(*app, file("negative.xml")), "ss:MergeAcross '-5'"));

    // Spans that stay on the sheet open: the last column and row are reachable.
    const std::string edge = R"(<Row ss:Span="1048574"/><Row><Cell ss:MergeAcross="16382"/><Cell><Data ss:Type="Number">7</Data></Cell></Row>)";
    xlsxtest::writeAll(file("edge.xml"), spreadsheetXml(edge));
    auto book = app->workbooks().open(file("edge.xml"));
    EXPECT_EQ(book->sheet(1)->range("XFD1048576")->value(), Variant(7.0));
}

TEST_F(XlsxTest, CellsPastTheLastColumnAreRefusedAndEveryAddressHasItsKey) {
    std::string row = "<row r=\"1\">";
    for (int c = 1; c <= 16385; ++c) row += "<c><v>1</v></c>";
    xlsxtest::writePackage(file("wide.xlsx"), xlsxtest::minimalWorkbook(row + "</row>"));
    EXPECT_TRUE(mentions(openError(*app, file("wide.xlsx")), "follows S!XFD1, past the last column"));

    std::string explicitCell = "<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>";
    xlsxtest::writePackage(file("xfe.xlsx"), xlsxtest::minimalWorkbook(explicitCell));
    EXPECT_TRUE(mentions(openError(*app, file("xfe.xlsx")), "'XFE1' is not valid"));

    // The corners of the sheet keep their own keys and survive a save.
    EXPECT_EQ(keyRow(cellKey(formula::kMaxRows, formula::kMaxColumns)), formula::kMaxRows);
    EXPECT_EQ(keyColumn(cellKey(formula::kMaxRows, formula::kMaxColumns)), formula::kMaxColumns);
    EXPECT_NE(cellKey(1, 65537), cellKey(2, 1));
    auto book = app->workbooks().add();
    book->sheet(1)->range("XFD1048576")->setValue(1.0);
    book->sheet(1)->range("XFD1")->setValue(2.0);
    book->sheet(1)->range("A1048576")->setValue(3.0);
    book->saveAs(file("corners.xlsx"));
    book->close(false);
    auto again = app->workbooks().open(file("corners.xlsx"));
    EXPECT_EQ(again->sheet(1)->range("XFD1048576")->value(), Variant(1.0));
    EXPECT_EQ(again->sheet(1)->range("XFD1")->value(), Variant(2.0));
    EXPECT_EQ(again->sheet(1)->range("A1048576")->value(), Variant(3.0));
}

TEST_F(XlsxTest, FormulasPastTheLengthLimitAreRefusedOnReading) {
    std::string plus = "1";
    for (int i = 0; i < 100000; ++i) plus += "+";
    const std::string row = "<row r=\"1\"><c r=\"A1\"><f>" + plus + "1</f><v>2</v></c></row>";
    xlsxtest::writePackage(file("plus.xlsx"), xlsxtest::minimalWorkbook(row));
    const std::string error = openError(*app, file("plus.xlsx"));
    EXPECT_TRUE(mentions(error, "in S!A1 does not parse")) << error;
    EXPECT_LT(error.size(), 400u);  // the formula is quoted in part

    std::string sum = "=1";
    for (int i = 0; i < 5000; ++i) sum += "+1";
    xlsxtest::writeAll(file("long.xml"), spreadsheetXml("<Row><Cell ss:Formula=\"" + sum + "\"/></Row>"));
    EXPECT_TRUE(mentions(openError(*app, file("long.xml")), "longer than 8192 characters"));
}

TEST_F(XlsxTest, ArrayFormulasOverTheWholeSheetAreRefused) {
    const std::string whole = R"(<row r="1"><c r="A1"><f t="array" ref="A1:XFD1048576">1</f><v>1</v></c></row>)";
    xlsxtest::writePackage(file("array.xlsx"), xlsxtest::minimalWorkbook(whole));
    const std::string path = file("array.xlsx");
    EXPECT_EQ(memtest::runWithMemoryLimit(100, [&]() -> std::string {
                  const std::string error = openError(*app, path);
                  return mentions(error, "covers A1:XFD1048576") ? "" : "opened or refused otherwise: " + error;
              }),
              "");
    // Many column-sized arrays are refused together.
    std::string many = "<row r=\"1\">";
    for (int c = 1; c <= 3; ++c) {
        const std::string column(1, static_cast<char>('A' + c - 1));
        many += "<c r=\"" + column + "1\"><f t=\"array\" ref=\"" + column + "1:" + column + "600000\">1</f></c>";
    }
    xlsxtest::writePackage(file("many.xlsx"), xlsxtest::minimalWorkbook(many + "</row>"));
    EXPECT_TRUE(mentions(openError(*app, file("many.xlsx")), "more cells than a whole column"));
}

TEST_F(XlsxTest, PartsInflatingPastTheLimitAreRefused) {
    // 3 GiB of zeros in 20 MB would take minutes; the reader's limit is a parameter, so a smaller
    // bomb against a smaller limit shows the same refusal, within bounded memory.
    const std::uint64_t size = 64ull << 20;
    const std::string bomb = file("bomb.zip");
    writeZipOfPart(bomb, "xl/worksheets/sheet1.xml", deflatedZeros(size), static_cast<std::uint32_t>(size));
    EXPECT_EQ(memtest::runWithMemoryLimit(150, [&]() -> std::string {
                  try {
                      files::ZipReader(bomb).read("xl/worksheets/sheet1.xml", 16u << 20);
                  } catch (const RuntimeError& e) {
                      return mentions(e.description(), "'xl/worksheets/sheet1.xml' inflates to more than 16 MB") &&
                                     mentions(e.description(), "bomb.zip")
                                 ? ""
                                 : e.description();
                  }
                  return "the part was read";
              }),
              "");
    // A directory entry claiming a small size does not lift the limit.
    writeZipOfPart(bomb, "xl/worksheets/sheet1.xml", deflatedZeros(size), 100);
    EXPECT_EQ(memtest::runWithMemoryLimit(150, [&]() -> std::string {
                  try {
                      const auto content = files::ZipReader(bomb).read("xl/worksheets/sheet1.xml", 16u << 20);
                      return content && content->size() > (16u << 20) ? "read past the limit" : "";
                  } catch (const RuntimeError& e) {
                      return mentions(e.description(), "bomb.zip") ? "" : e.description();
                  }
              }),
              "");
    // A part within the limit reads whole.
    writeZipOfPart(bomb, "part", deflatedZeros(258 * 4 + 1), 258 * 4 + 1, crcOfZeros(258 * 4 + 1));
    EXPECT_EQ(files::ZipReader(bomb).read("part")->size(), 258u * 4 + 1);
}

TEST_F(XlsxTest, ASaveKilledPartWayLeavesNoTemporaryFile) {
    auto book = app->workbooks().add();
    for (int r = 1; r <= 3000; ++r)
        for (int c = 1; c <= 10; ++c) book->sheet(1)->cells(r, c)->setValue("text " + std::to_string(r * c));
    const std::string path = file("killed.xlsx");
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            for (;;) book->saveAs(path);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + attempt * 13));
        ::kill(child, attempt % 2 ? SIGTERM : SIGINT);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << status;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            EXPECT_EQ(entry.path().filename().string(), "killed.xlsx") << "left behind after attempt " << attempt;
    }
    // What the kills left is a whole workbook.
    if (std::filesystem::exists(path)) {
        auto saved = app->workbooks().open(path);
        EXPECT_EQ(saved->sheet(1)->range("J3000")->value(), Variant("text 30000"));
    }
}

TEST_F(XlsxTest, CalculatingAfterOpeningBringsEveryDependentUpToDate) {
    // A user-defined function reading an outside source, summed by a plain formula.
    static std::map<int, double> source;
    auto lookup = [](std::vector<Variant>& arguments) -> Variant {
        return source[static_cast<int>(arguments.at(0).objectValue()->defaultValue().toDouble())];
    };
    for (int i = 1; i <= 10; ++i) source[i] = i;
    app->registerFunction("LOOKUPSOURCE", lookup);
    auto book = app->workbooks().add();
    auto sheet = book->sheet(1);
    for (int r = 1; r <= 10; ++r) {
        sheet->cells(r, 1)->setValue(r);
        sheet->cells(r, 2)->setFormula("=LOOKUPSOURCE(A" + std::to_string(r) + ")");
    }
    sheet->range("C1")->setFormula("=SUM(B1:B10)");
    sheet->range("D1")->setFormula("=C1*2");
    sheet->range("E1")->setFormula("=RAND()");
    sheet->range("F1")->setFormula("=E1+1");
    EXPECT_EQ(sheet->range("C1")->value(), Variant(55.0));
    book->saveAs(file("sources.xlsx"));
    const Variant storedRandom = sheet->range("E1")->value();
    book->close(false);

    for (int i = 1; i <= 10; ++i) source[i] = 100 * i;
    auto opened = app->workbooks().open(file("sources.xlsx"));
    auto s = opened->sheet(1);
    app->calculate();  // one calculation
    EXPECT_EQ(s->range("B1")->value(), Variant(100.0));
    EXPECT_EQ(s->range("C1")->value(), Variant(5500.0));
    EXPECT_EQ(s->range("D1")->value(), Variant(11000.0));
    // RAND read from the file is volatile: a new number, and what uses it follows.
    EXPECT_NE(s->range("E1")->value(), storedRandom);
    EXPECT_EQ(s->range("F1")->value().toDouble(), s->range("E1")->value().toDouble() + 1);
}

TEST_F(XlsxTest, TheBuiltInFractionFormatShowsFractions) {
    auto parts = xlsxtest::minimalWorkbook(R"(<row r="1"><c r="A1" s="1"><v>1.5</v></c><c r="B1" s="2"><v>0.3333</v></c></row>)");
    parts.emplace_back("xl/styles.xml", R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
                                        R"(<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="12"/><xf numFmtId="13"/></cellXfs></styleSheet>)");
    xlsxtest::writePackage(file("fractions.xlsx"), parts);
    auto book = app->workbooks().open(file("fractions.xlsx"));
    EXPECT_EQ(book->sheet(1)->range("A1")->text(), "1 1/2");
    EXPECT_EQ(book->sheet(1)->range("B1")->text(), "  1/3 ");
}
