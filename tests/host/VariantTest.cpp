#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "support/Errors.h"

#include "host/base/DateSerial.h"
#include "host/base/RuntimeError.h"
#include "host/base/Variant.h"

using namespace host;

using testsupport::errorNumberOf;

TEST(VariantConversion, NumbersToText) {
    EXPECT_EQ(Variant(0.1 + 0.2).toString(), "0.3");
    EXPECT_EQ(Variant(1e15).toString(), "1E+15");
    EXPECT_EQ(Variant(123456789012345.0).toString(), "123456789012345");
    EXPECT_EQ(Variant(-2.5).toString(), "-2.5");
    EXPECT_EQ(Variant(1e-5).toString(), "1E-05");
    EXPECT_EQ(Variant(12).toString(), "12");
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(Variant(Currency::fromDouble(12.5)).toString(), "12.5");
    EXPECT_EQ(Variant(Currency::fromDouble(-0.0001)).toString(), "-0.0001");
    EXPECT_EQ(Variant(Date{dateSerial(2024, 1, 31)}).toString(), "1/31/2024");
    EXPECT_EQ(Variant(Date{dateSerial(2024, 1, 31, 15, 4, 5)}).toString(), "1/31/2024 3:04:05 PM");
    EXPECT_EQ(Variant(Date{0.5}).toString(), "12:00:00 PM");
}

TEST(VariantConversion, NumbersToTextAsFifteenDigitPrintf) {
    // Every magnitude, and the edges of the whole-number route, against printf's "%.15G": the
    // runtime's own form.
    const auto reference = [](double v) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.15G", v);
        return std::string(buf);
    };
    std::vector<double> values = {1e15 - 1, -(1e15 - 1), 1e15 + 2, 999999999999999.9, 0.1, 1.0 / 3, 2.0 / 3,
                                  123456.789, 5e-324, 1.7976931348623157e308, 9.999999999999995e14, 0.5,
                                  -1e-5, 1e-4, 4503599627370497.0, -12345678901234567890.0};
    for (int e = -320; e <= 308; e += 7)
        for (double m : {1.0, 1.5, 9.87654321012345, 3.0000000000000004}) values.push_back(m * std::pow(10.0, e));
    for (double v : values) EXPECT_EQ(Variant(v).toString(), reference(v)) << v;
}

TEST(VariantConversion, TextToNumbers) {
    EXPECT_DOUBLE_EQ(Variant(" 1,234.5 ").toDouble(), 1234.5);
    EXPECT_DOUBLE_EQ(Variant("-1e3").toDouble(), -1000.0);
    EXPECT_DOUBLE_EQ(Variant("&HFF").toDouble(), 255.0);
    EXPECT_DOUBLE_EQ(Variant(true).toDouble(), -1.0);
    EXPECT_DOUBLE_EQ(Variant().toDouble(), 0.0);
    EXPECT_EQ(errorNumberOf([] { Variant("abc").toDouble(); }), err::TypeMismatch);
    EXPECT_EQ(errorNumberOf([] { Variant::null().toDouble(); }), 94);
    EXPECT_EQ(errorNumberOf([] { Variant::null().toString(); }), 94);
}

TEST(VariantConversion, RoundingAndOverflow) {
    EXPECT_EQ(Variant(2.5).toLong(), 2);
    EXPECT_EQ(Variant(3.5).toLong(), 4);
    EXPECT_EQ(Variant(-2.5).toInteger(), -2);
    EXPECT_EQ(errorNumberOf([] { Variant(32768.0).toInteger(); }), err::Overflow);
    EXPECT_EQ(errorNumberOf([] { Variant(3e9).toLong(); }), err::Overflow);
    EXPECT_EQ(Variant("true").toBool(), true);
    EXPECT_EQ(Variant("0").toBool(), false);
    EXPECT_EQ(errorNumberOf([] { Variant("yes").toBool(); }), err::TypeMismatch);
}

TEST(VariantConversion, IsNumeric) {
    EXPECT_TRUE(isNumeric(Variant()));
    EXPECT_TRUE(isNumeric(Variant(" 12 ")));
    EXPECT_TRUE(isNumeric(Variant("1.5E+3")));
    EXPECT_TRUE(isNumeric(Variant(false)));
    EXPECT_FALSE(isNumeric(Variant("")));
    EXPECT_FALSE(isNumeric(Variant("12a")));
    EXPECT_FALSE(isNumeric(Variant("1e")));
    EXPECT_FALSE(isNumeric(Variant::null()));
    EXPECT_FALSE(isNumeric(Variant(CellError::NA)));
    EXPECT_FALSE(isNumeric(Variant(Date{1.0})));
}

TEST(VariantCompare, EmptyNumbersAndTexts) {
    EXPECT_TRUE(equals(Variant(), Variant(0)));
    EXPECT_TRUE(equals(Variant(), Variant("")));
    EXPECT_TRUE(equals(Variant(), Variant()));
    EXPECT_FALSE(equals(Variant("1"), Variant(1)));
    EXPECT_EQ(compare(Variant(5), Variant("1")), -1);  // a number is less than any text
    EXPECT_TRUE(equals(Variant(1), Variant(1.0)));
    EXPECT_TRUE(equals(Variant(true), Variant(-1)));
    EXPECT_FALSE(equals(Variant("a"), Variant("A")));
    EXPECT_TRUE(equals(Variant("Łódź"), Variant("ŁÓDŹ"), CompareMethod::Text));
    EXPECT_EQ(compare(Variant("b"), Variant("a")), 1);
}

TEST(VariantCompare, NullPropagatesAndErrorsMismatch) {
    EXPECT_FALSE(compare(Variant::null(), Variant(1)).has_value());
    EXPECT_FALSE(compare(Variant(), Variant::null()).has_value());
    EXPECT_FALSE(equals(Variant::null(), Variant::null()));
    EXPECT_EQ(errorNumberOf([] { compare(Variant(CellError::NA), Variant(1)); }), err::TypeMismatch);
    EXPECT_EQ(errorNumberOf([] { Variant(CellError::NA).toString(); }), err::TypeMismatch);
}

TEST(VariantArray, BoundsAndStorageOrder) {
    Array a({{0, 2}, {1, 3}});  // (0 To 1, 1 To 3)
    EXPECT_EQ(a.lbound(1), 0);
    EXPECT_EQ(a.ubound(2), 3);
    a(1, 1) = Variant("x");
    EXPECT_EQ(a.elements()[1], Variant("x"));  // first index varies fastest
    EXPECT_EQ(errorNumberOf([&] { a(2, 1); }), err::SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { a(1); }), err::SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { a.lbound(3); }), err::SubscriptOutOfRange);

    a(0, 3) = Variant(7);
    a.redimPreserve(4);
    EXPECT_EQ(a.ubound(2), 4);
    EXPECT_EQ(a(1, 1), Variant("x"));
    EXPECT_EQ(a(0, 3), Variant(7));
    EXPECT_TRUE(a(0, 4).isEmpty());
}

TEST(VariantArray, ThreeDimensionsCopyAndCompare) {
    Array cube({{1, 2}, {0, 3}, {-1, 2}});  // (1 To 2, 0 To 2, -1 To 0)
    EXPECT_EQ(cube.dimensions(), 3);
    EXPECT_EQ(cube.size(), 12u);
    cube.at({2, 2, 0}) = Variant("last");
    EXPECT_EQ(cube.elements().back(), Variant("last"));
    Array copy = cube;
    EXPECT_EQ(copy, cube);
    EXPECT_EQ(copy.lbound(3), -1);
    copy.redimPreserve(1);
    EXPECT_EQ(copy.ubound(3), 1);
    EXPECT_EQ(copy.at({2, 2, 0}), Variant("last"));
    EXPECT_FALSE(copy == cube);
    EXPECT_EQ(errorNumberOf([&] { cube.at({1, 3, 0}); }), err::SubscriptOutOfRange);
}

TEST(VariantArray, CopiesOnAssignment) {
    Variant v(Array::vector({Variant(1), Variant(2)}));
    Variant copy = v;
    copy.arrayValue()(0) = Variant(9);
    EXPECT_EQ(v.arrayValue()(0), Variant(1));
    EXPECT_EQ(copy.arrayValue()(0), Variant(9));
}

TEST(DateSerialTest, KnownDates) {
    EXPECT_DOUBLE_EQ(dateSerial(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(dateSerial(1900, 3, 1), 61.0);
    EXPECT_DOUBLE_EQ(dateSerial(2024, 2, 29), 45351.0);
    EXPECT_DOUBLE_EQ(dateSerial(2024, 13, 1), dateSerial(2025, 1, 1));  // months roll over
    const DateParts p = splitDate(45351.75);
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 2);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 18);
    EXPECT_EQ(p.weekday, 5);  // Thursday
    EXPECT_EQ(parseDate("2024-02-29 18:00"), 45351.75);
    EXPECT_EQ(parseDate("2/29/2024 6:00 PM"), 45351.75);
    EXPECT_FALSE(parseDate("2023-02-29").has_value());
    EXPECT_FALSE(parseDate("hello").has_value());
}
