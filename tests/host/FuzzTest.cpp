// Fuzzing the formula parser and the workbook reader: a seeded random mutator over the committed
// seed corpus (tests/host/data/fuzz), run for a bounded count. Every input must end with a result
// or a clear error (RuntimeError; for files, one naming the file); crashes and leaks are caught by
// the sanitizers.

#include <random>

#include "host/XlsxTestSupport.h"
#include "host/files/Zip.h"
#include "host/formula/Formula.h"

using namespace host;
using namespace host::sheet;
using xlsxtest::XlsxTest;

namespace {

const std::filesystem::path kCorpus = std::filesystem::path(TELM_SOURCE_DIR) / "tests/host/data/fuzz";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) result.push_back(line);
    return result;
}

// Random edits of a text: bytes flipped, inserted, dropped and repeated, and pieces of the
// language spliced in.
class Mutator {
public:
    Mutator(std::uint32_t seed, std::vector<std::string> pieces) : random_(seed), pieces_(std::move(pieces)) {}

    std::string mutate(std::string s) {
        const int edits = 1 + static_cast<int>(below(4));
        for (int i = 0; i < edits; ++i) edit(s);
        return s;
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

private:
    void edit(std::string& s) {
        const std::size_t at = below(s.size() + 1);
        switch (below(6)) {
        case 0:
            if (!s.empty()) s[below(s.size())] = static_cast<char>(below(256));
            break;
        case 1: s.insert(at, 1, static_cast<char>(below(256))); break;
        case 2: s.erase(at, below(16)); break;
        case 3: {  // repeat a piece, sometimes many times
            const std::string piece = s.substr(at, 1 + below(12));
            const std::size_t times = below(10) == 0 ? 1 + below(3000) : 1 + below(4);
            for (std::size_t k = 0; k < times && s.size() < 200000; ++k) s.insert(at, piece);
            break;
        }
        default: s.insert(at, pieces_[below(pieces_.size())]); break;
        }
    }

    std::mt19937 random_;
    std::vector<std::string> pieces_;
};

const std::vector<std::string> kFormulaPieces = {
    "(", ")", "+", "-", "*", "/", "^", "%", "&", ":", ",", ";", "=", "<>", "<=", "{", "}", "\"", "'", "!", "$",
    "A1", "XFD1048576", "A:A", "1:1048576", "R[-1]C", "SUM(", "IF(", "TEXT(", "CONCATENATE(", "TRANSPOSE(",
    "#REF!", "#N/A", "1E+308", "0.1", "-0", "'S 1'!", "[B.xlsx]S!", "Sheet2!", "\"# ?/?\"", "\"0%\"", " ",
    "ż", "\x80", "\0"};

const std::vector<std::string> kXmlPieces = {
    "<", ">", "</", "/>", "\"", "=", "&amp;", "&#0;", "&#xFFFF;", "<![CDATA[", "]]>", "<row>", "</row>",
    "<c>", "</c>", "<v>1E+307</v>", " r=\"XFE1\"", " r=\"A0\"", " t=\"s\"", " t=\"e\"", " t=\"inlineStr\"",
    "<f>SUM(A:A)</f>", "<f t=\"array\" ref=\"A1:XFD1048576\">1</f>", "<f t=\"shared\" si=\"9\"/>",
    " ss:MergeAcross=\"2147483647\"", " ss:Span=\"-1\"", " ss:Index=\"0\"", "<Cell>", "</Cell>", "<Row>", "</Row>",
    " ss:Formula=\"=1/0\"", "<Data ss:Type=\"Number\">x</Data>", "<a><b><c>", "</c></b></a>", "ż"};

}  // namespace

TEST(FuzzTest, FormulaParserEndsWithAResultOrASyntaxError) {
    const auto seeds = lines(xlsxtest::readAll((kCorpus / "formulas.txt").string()));
    ASSERT_FALSE(seeds.empty());
    auto app = Application::create();
    auto book = app->workbooks().add();
    auto other = book->addSheet();
    other->setName("Sheet2");
    auto sheet = book->sheet(1);
    sheet->range("A1:C5")->setValue(2.5);
    Mutator mutator(20261207, kFormulaPieces);
    int parsed = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = mutator.mutate(seeds[mutator.below(seeds.size())]);
        for (auto style : {formula::ReferenceStyle::A1, formula::ReferenceStyle::R1C1}) {
            try {
                const auto f = formula::Formula::parse(text, style, 3, 3);
                ++parsed;
                // What prints is read again, in both styles.
                formula::Formula::parse(f.toText(formula::ReferenceStyle::A1, 3, 3), formula::ReferenceStyle::A1, 3, 3);
                formula::Formula::parse(f.toText(formula::ReferenceStyle::R1C1, 3, 3), formula::ReferenceStyle::R1C1, 3, 3);
            } catch (const formula::FormulaSyntaxError&) {
            }
        }
        try {
            sheet->range("E5")->setFormula(text.starts_with("=") ? text : "=" + text);
            sheet->range("E5")->value();
            sheet->range("E5")->text();
        } catch (const RuntimeError&) {
        }
    }
    EXPECT_GT(parsed, 100);  // the mutations do not only produce garbage
}

TEST_F(XlsxTest, WorkbookReaderEndsWithAWorkbookOrAClearError) {
    const std::string sheetData = xlsxtest::readAll((kCorpus / "sheetdata.xml").string());
    const std::string records = xlsxtest::readAll((kCorpus / "records.xml").string());
    const std::string spreadsheet = xlsxtest::readAll((kCorpus / "spreadsheet.xml").string());
    ASSERT_FALSE(sheetData.empty() || records.empty() || spreadsheet.empty());
    const std::string sharedStrings = "<si><t>a</t></si>";
    xlsxtest::writePackage(file("seed.xlsx"), xlsxtest::minimalWorkbook(sheetData, sharedStrings));
    const std::string packageBytes = xlsxtest::readAll(file("seed.xlsx"));

    Mutator mutator(7122026, kXmlPieces);
    int opened = 0;
    auto tryOpen = [&](const std::string& path) {
        try {
            auto book = app->workbooks().open(path);
            ++opened;
            app->calculate();
            for (const auto& sheet : book->worksheets()) sheet->usedRange()->text();
            book->saveAs(file("resaved.xlsx"));
            book->close(false);
            // What was saved reads back.
            app->workbooks().open(file("resaved.xlsx"))->close(false);
        } catch (const RuntimeError& e) {
            EXPECT_NE(e.description().find(".x"), std::string::npos) << e.description();
        }
        for (const auto& b : app->workbooks().list()) b->close(false);
    };
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "input" + std::to_string(i);
        switch (i % 4) {
        case 0:
            xlsxtest::writePackage(file(name + ".xlsx"), xlsxtest::minimalWorkbook(mutator.mutate(sheetData), sharedStrings));
            tryOpen(file(name + ".xlsx"));
            break;
        case 1: {
            std::string bytes = packageBytes;
            for (std::size_t k = 0, n = 1 + mutator.below(8); k < n; ++k)
                bytes[mutator.below(bytes.size())] = static_cast<char>(mutator.below(256));
            xlsxtest::writeAll(file(name + ".xlsx"), bytes);
            tryOpen(file(name + ".xlsx"));
            break;
        }
        case 2:
            xlsxtest::writeAll(file(name + ".xml"), mutator.mutate(spreadsheet));
            tryOpen(file(name + ".xml"));
            break;
        default:
            xlsxtest::writeAll(file(name + ".xml"), mutator.mutate(records));
            tryOpen(file(name + ".xml"));
            break;
        }
        std::filesystem::remove(file(name + ".xlsx"));
        std::filesystem::remove(file(name + ".xml"));
    }
    EXPECT_GT(opened, 20);
}
