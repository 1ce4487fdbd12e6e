#include <algorithm>

#include "host/XlsxTestSupport.h"
#include "support/AddInHost.h"

#include "core/F_Pomocnicze.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Workbook.h"

using host::Variant;

namespace {

namespace fs = std::filesystem;
using xlsxtest::readAll;
using xlsxtest::writeAll;

const char* kRecords = "<list><item><code>A</code><qty>2</qty></item><item><code>B</code><qty>5</qty></item></list>";

const char* kSpreadsheet = R"(<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"
 xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"><Worksheet ss:Name="Dane"><Table>
 <Row><Cell><Data ss:Type="String">title</Data></Cell></Row>
 <Row><Cell><Data ss:Type="Number">4</Data></Cell></Row>
 <Row><Cell ss:Formula="=R[-1]C*2"><Data ss:Type="Number">8</Data></Cell></Row>
</Table></Worksheet></Workbook>)";

struct ConvertXmlToXlsTest : ::testing::Test {
    testsupport::AddInHost host;

    ConvertXmlToXlsTest() {
        host::files::attachWorkbookStore(*host.app);
        host.start();
    }

    std::string file(const std::string& name) const { return host.folder.file(name); }
    int openBooks() const { return host.app->workbooks().count(); }
    std::vector<std::string> folderListing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(host.folder.path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

TEST_F(ConvertXmlToXlsTest, WritesTheWorkbookBesideTheFileWithoutItsFirstRow) {
    writeAll(file("x.xml"), kRecords);
    writeAll(file("s.xml"), kSpreadsheet);
    const int before = openBooks();

    EXPECT_TRUE(telm::ConvertXmlToXls(file("x.xml")));
    EXPECT_TRUE(telm::ConvertXmlToXls(file("s.xml")));

    EXPECT_EQ(readAll(file("x.xml")), kRecords);
    EXPECT_EQ(readAll(file("s.xml")), kSpreadsheet);
    EXPECT_EQ(openBooks(), before);
    EXPECT_TRUE(host.app->displayAlerts);
    EXPECT_TRUE(host.app->screenUpdating);
    EXPECT_EQ(host.app->statusBar(), Variant(false));

    // The row of field names is gone: the records start at row 1.
    auto records = host.app->workbooks().open(file("x_xml.xls"));
    auto sheet = records->sheet(1);
    EXPECT_EQ(sheet->range("A1")->value(), Variant("A"));
    EXPECT_EQ(sheet->range("B2")->value(), Variant(5.0));
    EXPECT_TRUE(sheet->range("A3")->value().isEmpty());

    auto book = host.app->workbooks().open(file("s_xml.xls"));
    sheet = book->sheet("Dane");
    EXPECT_EQ(sheet->range("A1")->value(), Variant(4.0));
    EXPECT_EQ(sheet->range("A2")->formula(), Variant("=A1*2"));
    EXPECT_EQ(sheet->range("A2")->value(), Variant(8.0));
}

TEST_F(ConvertXmlToXlsTest, ANameWithoutLowerCaseXmlIsRefusedUntouched) {
    writeAll(file("X.XML"), kRecords);
    const auto written = fs::last_write_time(file("X.XML"));
    const int before = openBooks();
    const auto listing = folderListing();
    EXPECT_FALSE(telm::ConvertXmlToXls(file("X.XML")));
    EXPECT_EQ(readAll(file("X.XML")), kRecords);
    EXPECT_EQ(fs::last_write_time(file("X.XML")), written);
    EXPECT_EQ(openBooks(), before);
    EXPECT_TRUE(host.app->displayAlerts);
    EXPECT_EQ(folderListing(), listing);
}

TEST_F(ConvertXmlToXlsTest, AFailureGivesFalseAndLeavesThingsAsTheyAre) {
    const int before = openBooks();
    EXPECT_FALSE(telm::ConvertXmlToXls(file("missing.xml")));
    EXPECT_EQ(openBooks(), before);
    // The settings stay as the routine changed them.
    EXPECT_FALSE(host.app->displayAlerts);
    EXPECT_FALSE(host.app->screenUpdating);
    EXPECT_EQ(host.app->statusBar(), Variant("XML -> XLS ..."));

    // A save that fails leaves the opened workbook open.
    fs::create_directory(file("in.xml"));
    writeAll(file("in.xml/data.xml"), kRecords);
    EXPECT_FALSE(telm::ConvertXmlToXls(file("in.xml/data.xml")));
    EXPECT_TRUE(host.app->workbooks().find("data.xml"));
    EXPECT_FALSE(fs::exists(file("in_xml.xls")));
}
