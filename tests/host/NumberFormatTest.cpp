// Number formats against a table of TEXT(value, format) results computed by a real spreadsheet
// program (scripts/gen-text-table.py); rows with a note follow the other spreadsheet on purpose.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/base/NumberFormat.h"
#include "host/sheet/Application.h"

using namespace host;

namespace {

// A value as the table writes it: "quoted text", TRUE/FALSE, an error value or a number.
Variant tableValue(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"') return Variant(text.substr(1, text.size() - 2));
    if (text == "TRUE" || text == "FALSE") return Variant(text == "TRUE");
    if (auto error = parseCellError(text)) return Variant(*error);
    return Variant(std::strtod(text.c_str(), nullptr));
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

}  // namespace

TEST(NumberFormatTest, MatchesTheTextTable) {
    const auto path = std::filesystem::path(__FILE__).parent_path() / "data" / "text_format_table.tsv";
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    std::string line;
    std::getline(in, line);  // header
    int rows = 0;
    std::ostringstream failures;
    while (std::getline(in, line)) {
        const auto f = splitTabs(line);
        ASSERT_GE(f.size(), 3u) << line;
        ++rows;
        const std::string got = formatValue(tableValue(f[0]), f[1]);
        if (got != f[2]) failures << "\n  " << f[0] << "  [" << f[1] << "]  expected [" << f[2] << "] got [" << got << "]";
    }
    EXPECT_GT(rows, 300);
    EXPECT_TRUE(failures.str().empty()) << "failing rows:" << failures.str();
}

TEST(NumberFormatTest, ReportsValuesADateCodeCannotShow) {
    EXPECT_EQ(tryFormatValue(-1.0, "yyyy-mm-dd"), std::nullopt);
    EXPECT_EQ(tryFormatValue(2958466.0, "d"), std::nullopt);
    EXPECT_EQ(tryFormatValue(2958465.9999999, "yyyy hh:mm:ss"), std::nullopt);  // rounds into year 10000
    EXPECT_EQ(formatValue(-0.5, "h:mm"), "#VALUE!");
    // The negative section shows the magnitude; a number code shows negative numbers anyway.
    EXPECT_EQ(tryFormatValue(-1.5, "yyyy;[h]:mm"), "36:00");
    EXPECT_EQ(tryFormatValue(-1.0, "0"), "-1");
}

TEST(NumberFormatTest, TakesEveryKindOfValue) {
    EXPECT_EQ(formatValue(Variant(), "0.00"), "0.00");
    EXPECT_EQ(formatValue(Variant(), ""), "0");
    EXPECT_EQ(formatValue(Date{45000.5}, "yyyy-mm-dd hh:mm"), "2023-03-15 12:00");
    EXPECT_EQ(formatValue(Date{45000.5}, "General"), "45000.5");
    EXPECT_EQ(formatValue(Currency::fromDouble(1234.5), "#,##0.00"), "1,234.50");
    EXPECT_EQ(formatValue(Variant::integer(-3), "0;(0)"), "(3)");
    EXPECT_EQ(formatValue(CellError::Div0, "0"), "#DIV/0!");
    EXPECT_EQ(formatValue("äbc", "\"»\"@\"«\""), "»äbc«");
    EXPECT_EQ(formatValue(1.0, "\\€0_€"), "€1 ");
    EXPECT_EQ(formatValue(0.75, "h A/P"), "6 P");
    EXPECT_EQ(formatValue(0.25, "h a/p"), "6 a");
}

TEST(NumberFormatTest, GeneralFitsElevenCharacters) {
    EXPECT_EQ(formatGeneral(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatGeneral(1.0 / 3), "0.333333333");
    EXPECT_EQ(formatGeneral(-2.0 / 3), "-0.666666667");
    EXPECT_EQ(formatGeneral(99999999999.0), "99999999999");
    EXPECT_EQ(formatGeneral(99999999999.5), "1E+11");
    EXPECT_EQ(formatGeneral(123456789012.0), "1.23457E+11");
    EXPECT_EQ(formatGeneral(1e15), "1E+15");
    EXPECT_EQ(formatGeneral(1.5e-7), "1.5E-07");
    EXPECT_EQ(formatGeneral(1.23456789e100), "1.2346E+100");
    EXPECT_EQ(formatGeneral(0.0001), "0.0001");
}

TEST(NumberFormatTest, TextFunctionAndCellDisplayUseTheFormats) {
    auto app = sheet::Application::create();
    auto ws = app->workbooks().add()->sheet(1);
    ws->range("A1")->setFormula("=TEXT(45000.5,\"dddd d mmm yyyy h:mm AM/PM\")");
    ws->range("A2")->setFormula("=TEXT(-1,\"yyyy-mm-dd\")");
    EXPECT_EQ(ws->range("A1")->value(), Variant("Wednesday 15 Mar 2023 12:00 PM"));
    EXPECT_EQ(ws->range("A2")->value(), Variant(CellError::Value));
    ws->range("B1")->setValue(-1234.5);
    ws->range("B1")->setNumberFormat("#,##0.00;[Red](#,##0.00)");
    EXPECT_EQ(ws->range("B1")->text(), "(1,234.50)");
}
