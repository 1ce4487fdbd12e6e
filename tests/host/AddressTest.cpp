#include <gtest/gtest.h>

#include "host/formula/Address.h"

using namespace host;
using namespace host::formula;

namespace {

int errorNumberOf(std::string_view text, ReferenceStyle style = ReferenceStyle::A1) {
    try {
        parseAddress(text, style);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(Address, ColumnLetters) {
    EXPECT_EQ(columnLetters(1), "A");
    EXPECT_EQ(columnLetters(26), "Z");
    EXPECT_EQ(columnLetters(27), "AA");
    EXPECT_EQ(columnLetters(702), "ZZ");
    EXPECT_EQ(columnLetters(703), "AAA");
    EXPECT_EQ(columnLetters(16384), "XFD");
}

TEST(Address, ParsesUnionsAndQualifiedAreas) {
    const auto areas = parseAddress("a1, $B$2:C3,D:E, 2:5");
    ASSERT_EQ(areas.size(), 4u);
    EXPECT_EQ(areas[0].area, Area::cell(1, 1));
    EXPECT_EQ(areas[1].area, (Area{2, 2, 3, 3}));
    EXPECT_EQ(areas[2].area, (Area{1, 4, kMaxRows, 5}));
    EXPECT_EQ(areas[3].area, (Area{2, 1, 5, kMaxColumns}));

    const auto external = parseAddress("'folder\\[Book.xlsx]Sheet 1'!A1,[B.xlsx]S!B2,'My Sheet'!C3");
    ASSERT_EQ(external.size(), 3u);
    EXPECT_EQ(external[0], (ReferenceTarget{"folder\\", "Book.xlsx", "Sheet 1", Area::cell(1, 1)}));
    EXPECT_EQ(external[1], (ReferenceTarget{"", "B.xlsx", "S", Area::cell(2, 2)}));
    EXPECT_EQ(external[2].sheet, "My Sheet");

    const auto r1c1 = parseAddress("R[-1]C:R2C3", ReferenceStyle::R1C1, 4, 2);
    ASSERT_EQ(r1c1.size(), 1u);
    EXPECT_EQ(r1c1[0].area, (Area{2, 2, 3, 3}));
}

TEST(Address, RejectsTextsThatAreNoAddress) {
    EXPECT_EQ(errorNumberOf(""), 1004);
    EXPECT_EQ(errorNumberOf("A1+B2"), 1004);
    EXPECT_EQ(errorNumberOf("A1,"), 1004);
    EXPECT_EQ(errorNumberOf("MyName"), 1004);
    EXPECT_EQ(errorNumberOf("XFE1"), 1004);
    EXPECT_EQ(errorNumberOf("A1048577"), 1004);
    EXPECT_EQ(errorNumberOf("A1", ReferenceStyle::R1C1), 1004);
    EXPECT_EQ(errorNumberOf("R0C1", ReferenceStyle::R1C1), 1004);
}

TEST(Address, FormatsAreas) {
    EXPECT_EQ(formatArea(Area::cell(1, 1), true, true, ReferenceStyle::A1), "$A$1");
    EXPECT_EQ(formatArea({1, 1, 2, 2}, false, false, ReferenceStyle::A1), "A1:B2");
    EXPECT_EQ(formatArea({1, 1, kMaxRows, 1}, true, true, ReferenceStyle::A1), "$A:$A");
    EXPECT_EQ(formatArea({3, 1, 4, kMaxColumns}, false, false, ReferenceStyle::A1), "3:4");
    EXPECT_EQ(formatArea(Area::cell(1, 1), true, true, ReferenceStyle::R1C1), "R1C1");
    EXPECT_EQ(formatArea({3, 1, 2 + 2, 3}, false, false, ReferenceStyle::R1C1, 2, 2), "R[1]C[-1]:R[2]C[1]");
    EXPECT_EQ(formatArea(Area::cell(2, 2), false, false, ReferenceStyle::R1C1, 2, 2), "RC");
    EXPECT_EQ(formatArea({1, 2, kMaxRows, 2}, false, false, ReferenceStyle::R1C1, 1, 1), "C[1]");
}

TEST(Address, SheetPrefixQuotesWhereNeeded) {
    EXPECT_EQ(sheetPrefix("", ""), "");
    EXPECT_EQ(sheetPrefix("", "Sheet1"), "Sheet1!");
    EXPECT_EQ(sheetPrefix("", "Dane_2024.v1"), "Dane_2024.v1!");
    EXPECT_EQ(sheetPrefix("", "My Sheet"), "'My Sheet'!");
    EXPECT_EQ(sheetPrefix("", "It's"), "'It''s'!");
    EXPECT_EQ(sheetPrefix("", "2024"), "'2024'!");
    EXPECT_EQ(sheetPrefix("", "A1"), "'A1'!");
    EXPECT_EQ(sheetPrefix("", "R1C1"), "'R1C1'!");
    EXPECT_EQ(sheetPrefix("Book.xlsx", "Sheet1"), "[Book.xlsx]Sheet1!");
    EXPECT_EQ(sheetPrefix("Book 1.xlsx", "Sheet1"), "'[Book 1.xlsx]Sheet1'!");
    EXPECT_EQ(sheetPrefix("Book.xls", "Sheet1", "C:\\data\\"), "'C:\\data\\[Book.xls]Sheet1'!");
}
