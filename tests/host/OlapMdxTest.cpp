#include <gtest/gtest.h>

#include "OlapCubes.h"
#include "host/olap/CubeBuilder.h"

using host::Variant;
using namespace olaptest;

namespace {

struct SalesCube : ::testing::Test {
    static void SetUpTestSuite() {
        source = new SalesSource;
        host::olap::buildCube(source->buildText());
    }
    static void TearDownTestSuite() { delete source; }
    static SalesSource* source;
    Variant cell(const std::string& mdx) { return firstCell(source->openText(), mdx); }
};
SalesSource* SalesCube::source = nullptr;

}  // namespace

TEST_F(SalesCube, AggregatesAtEveryLevel) {
    EXPECT_EQ(cell("SELECT {[Measures].[Amount]} ON 0 FROM [Sales]"), Variant(407.5));
    EXPECT_EQ(cell("SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Region].[Poland])"), Variant(180.0));
    EXPECT_EQ(cell("SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Region].[Warsaw], [Time].[2012])"), Variant(150.0));
}
