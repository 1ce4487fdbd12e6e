#include <gtest/gtest.h>

#include "support/Errors.h"

#include <climits>
#include <functional>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

using namespace host;

using testsupport::errorNumberOf;

namespace {

const std::string polish = "Zażółć gęślą jaźń";

using Parts = std::vector<std::string>;

}  // namespace

TEST(Text, CountsAndCutsCharactersNotBytes) {
    EXPECT_EQ(Len(polish), 17);
    EXPECT_EQ(Len(""), 0);
    EXPECT_EQ(Len("\xFF" "a"), 2);  // an ill-formed byte is one character
    EXPECT_EQ(Left(polish, 6), "Zażółć");
    EXPECT_EQ(Left(polish, 100), polish);
    EXPECT_EQ(Left(polish, 0), "");
    EXPECT_EQ(Right(polish, 4), "jaźń");
    EXPECT_EQ(Right(polish, 17), polish);
    EXPECT_EQ(Mid(polish, 8, 5), "gęślą");
    EXPECT_EQ(Mid(polish, 14), "jaźń");
    EXPECT_EQ(Mid(polish, 17, 10), "ń");
    EXPECT_EQ(Mid(polish, 18), "");
    EXPECT_EQ(Mid(polish, 3, 0), "");
    // Long runs of plain ASCII next to other letters.
    const std::string mixed = std::string(20, 'a') + "ą" + std::string(9, 'b') + "ł";
    EXPECT_EQ(Len(mixed), 31);
    EXPECT_EQ(Mid(mixed, 21, 2), "ąb");
    EXPECT_EQ(Right(mixed, 2), "bł");
    EXPECT_EQ(InStr(mixed, "b"), 22);
}

TEST(Text, InStrGivesCharacterPositions) {
    EXPECT_EQ(InStr(polish, "gęślą"), 8);
    EXPECT_EQ(InStr(polish, "ą"), 12);
    EXPECT_EQ(InStr(polish, "ń"), 17);
    EXPECT_EQ(InStr(13, polish, "ą"), 0);
    EXPECT_EQ(InStr(3, polish, "ż"), 3);
    EXPECT_EQ(InStr(4, polish, "ż"), 0);
    EXPECT_EQ(InStr(polish, "GĘŚLĄ"), 0);
    EXPECT_EQ(InStr(1, polish, "GĘŚLĄ", CompareMethod::Text), 8);
    EXPECT_EQ(InStr(9, polish, "Ń", CompareMethod::Text), 17);
    // Empty texts and starts past the end.
    EXPECT_EQ(InStr(2, "abc", ""), 2);
    EXPECT_EQ(InStr(4, "abc", ""), 0);
    EXPECT_EQ(InStr(5, "abc", "a"), 0);
    EXPECT_EQ(InStr("", ""), 0);
    EXPECT_EQ(InStr("", "a"), 0);
}

TEST(Text, CaseInsensitiveSearchKeepsPositionsWhereFoldingChangesLengths) {
    // "ß" and "İ" fold to longer texts under full folding; positions must still be those of the text.
    EXPECT_EQ(InStr(1, "Weißer Fluß ŁĄKA", "ąka", CompareMethod::Text), 14);
    EXPECT_EQ(InStr(1, "İİ ą", "Ą", CompareMethod::Text), 4);
    EXPECT_EQ(InStr(1, "Straße", "SS", CompareMethod::Text), 0);
    EXPECT_EQ(InStrRev("ßżółw İ żółw", "ŻÓŁW", -1, CompareMethod::Text), 9);
    // The Kelvin sign folds to "k": three bytes in the text match one byte of the needle.
    EXPECT_EQ(Replace("1\u212A2\u212A", "k", "x", 1, -1, CompareMethod::Text), "1x2x");
    EXPECT_EQ(Split("a\u212Ab", "k", -1, CompareMethod::Text), (Parts{"a", "b"}));
}

TEST(Text, AsciiTextsCompareAsUnicodeFoldingDoes) {
    // Pure ASCII texts take a byte-wise route; mixed texts the Unicode one: both must agree.
    EXPECT_EQ(InStr(1, "select {ID} from T where id = {id}", "{Id}", CompareMethod::Text), 8);
    EXPECT_EQ(InStrRev("aXbxc", "X", -1, CompareMethod::Text), 4);
    EXPECT_EQ(InStrRev("abc", "abcd", -1, CompareMethod::Text), 0);
    EXPECT_EQ(InStrRev("Abc", "aBC", -1, CompareMethod::Text), 1);
    EXPECT_EQ(Replace("[a]=[A]", "[a]", "1", 1, -1, CompareMethod::Text), "1=1");
    EXPECT_EQ(Replace("@[\\]^_`{", "`", "!", 1, -1, CompareMethod::Text), "@[\\]^_!{");  // around the letters
    EXPECT_EQ(Replace("k\u212A", "K", "x", 1, -1, CompareMethod::Text), "xx");  // one side not ASCII
    EXPECT_EQ(StrComp("abc", "ABD", CompareMethod::Text), -1);
    EXPECT_EQ(StrComp("ABC", "ab", CompareMethod::Text), 1);
    EXPECT_EQ(StrComp("_", "a", CompareMethod::Text), StrComp("_", "A", CompareMethod::Text));  // '_' sorts before letters folded
    EXPECT_EQ(UCase("a1_z{"), "A1_Z{");
    EXPECT_EQ(LCase("A1_Z@"), "a1_z@");
}

TEST(Text, InStrRevFindsMatchesEndingBeforeStart) {
    EXPECT_EQ(InStrRev("abcabc", "bc"), 5);
    EXPECT_EQ(InStrRev("abcabc", "bc", 5), 2);
    EXPECT_EQ(InStrRev("abcabc", "bc", 6), 5);
    EXPECT_EQ(InStrRev("ąbcąbc", "ą", 3), 1);
    EXPECT_EQ(InStrRev("abc", "x"), 0);
    EXPECT_EQ(InStrRev("abc", "a", 4), 0);
    EXPECT_EQ(InStrRev("abc", ""), 3);
    EXPECT_EQ(InStrRev("abc", "", 2), 2);
    EXPECT_EQ(InStrRev("", ""), 0);
}

TEST(Text, ReplaceDropsTextBeforeStartAndCountsReplacements) {
    EXPECT_EQ(Replace("Łódź i ŁÓDŹ", "łódź", "Kraków", 1, -1, CompareMethod::Text), "Kraków i Kraków");
    EXPECT_EQ(Replace("Łódź i ŁÓDŹ", "łódź", "Kraków", 1, 1, CompareMethod::Text), "Kraków i ŁÓDŹ");
    EXPECT_EQ(Replace("Łódź i ŁÓDŹ", "Łódź", "Kraków"), "Kraków i ŁÓDŹ");
    EXPECT_EQ(Replace("ąbcąbc", "ą", "X", 3), "cXbc");
    EXPECT_EQ(Replace("ąbcąbc", "ą", "X", 7), "");
    EXPECT_EQ(Replace("ąbcąbc", "", "X", 2), "bcąbc");
    EXPECT_EQ(Replace("ąbcąbc", "ą", "X", 1, 0), "ąbcąbc");
    EXPECT_EQ(Replace("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(Replace("abab", "b", ""), "aa");
}

TEST(Text, ReplaceAllChangesTheTextOnlyWhereFound) {
    std::string query = "SELECT {ID} FROM t WHERE id = {id}";
    EXPECT_TRUE(replaceAll(query, "{id}", "7", CompareMethod::Text));
    EXPECT_EQ(query, "SELECT 7 FROM t WHERE id = 7");
    EXPECT_FALSE(replaceAll(query, "{id}", "8", CompareMethod::Text));
    EXPECT_EQ(query, "SELECT 7 FROM t WHERE id = 7");
    EXPECT_FALSE(replaceAll(query, "", "x"));
    std::string cities = "Łódź i ŁÓDŹ";
    EXPECT_TRUE(replaceAll(cities, "łódź", "Kraków", CompareMethod::Text));
    EXPECT_EQ(cities, "Kraków i Kraków");
    std::string letters = "aAaA";
    EXPECT_TRUE(replaceAll(letters, "a", "bb"));
    EXPECT_EQ(letters, "bbAbbA");
}

TEST(Text, SplitAndJoin) {
    EXPECT_EQ(Split("ą,ę,,ó", ","), (Parts{"ą", "ę", "", "ó"}));
    EXPECT_EQ(Split("ą,ę,,ó", ",", 2), (Parts{"ą", "ę,,ó"}));
    EXPECT_EQ(Split("ą,ę,,ó", ",", 1), (Parts{"ą,ę,,ó"}));
    EXPECT_EQ(Split("ą,ę", ",", 0), Parts{});
    EXPECT_EQ(Split("a b"), (Parts{"a", "b"}));
    EXPECT_EQ(Split(",", ","), (Parts{"", ""}));
    EXPECT_EQ(Split(""), Parts{});
    EXPECT_EQ(Split("", ","), Parts{});
    EXPECT_EQ(Split("abc", ""), Parts{"abc"});
    EXPECT_EQ(Split("żŁżłż", "ł", -1, CompareMethod::Text), (Parts{"ż", "ż", "ż"}));
    EXPECT_EQ(Split("żŁżłż", "ł"), (Parts{"żŁż", "ż"}));
    EXPECT_EQ(Join({"ą", "", "b"}, "; "), "ą; ; b");
    EXPECT_EQ(Join({}, ","), "");
    EXPECT_EQ(Join(Split("a b  c")), "a b  c");
}

TEST(Text, CaseMappingAndTrimming) {
    EXPECT_EQ(UCase("zażółć gęślą jaźń ß"), "ZAŻÓŁĆ GĘŚLĄ JAŹŃ SS");
    EXPECT_EQ(LCase("ZAŻÓŁĆ GĘŚLĄ JAŹŃ"), "zażółć gęślą jaźń");
    EXPECT_EQ(UCase("istanbul"), "ISTANBUL");  // language-neutral: no dotted capital I
    EXPECT_EQ(Trim("  \tą  "), "\tą");
    EXPECT_EQ(LTrim("  ą  "), "ą  ");
    EXPECT_EQ(RTrim("  ą  "), "  ą");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(StrComp("ŁÓDŹ", "łódź", CompareMethod::Text), 0);
}

TEST(Text, CharactersAndCodes) {
    EXPECT_EQ(Space(3), "   ");
    EXPECT_EQ(String(3, "ąb"), "ąąą");
    EXPECT_EQ(ChrW(0x105), "ą");
    EXPECT_EQ(Chr(10), "\n");
    EXPECT_EQ(ChrW(0x1F600), "\U0001F600");
    EXPECT_EQ(ChrW(-1), "\uFFFF");
    EXPECT_EQ(AscW("ąb"), 0x105);
    EXPECT_EQ(AscW("\U0001F600"), 0x1F600);
}

TEST(Text, FormatWholeNumbers) {
    EXPECT_EQ(FormatWhole(5, "00"), "05");
    EXPECT_EQ(FormatWhole(-5, "00"), "-05");
    EXPECT_EQ(FormatWhole(123, "00"), "123");
    EXPECT_EQ(FormatWhole(7, "000"), "007");
    EXPECT_EQ(FormatWhole(0, "0"), "0");
    EXPECT_EQ(FormatWhole(42, ""), "42");
    EXPECT_EQ(FormatWhole(LLONG_MIN, "0"), "-9223372036854775808");
}

TEST(Text, ArgumentsOutOfRangeRaiseError5) {
    const std::vector<std::function<void()>> calls = {
        [] { Left("a", -1); },
        [] { Right("a", -1); },
        [] { Mid("a", 0); },
        [] { Mid("a", 1, -1); },
        [] { InStr(0, "a", "a"); },
        [] { InStrRev("a", "a", 0); },
        [] { InStrRev("a", "a", -2); },
        [] { Replace("a", "a", "b", 0); },
        [] { Replace("a", "a", "b", 1, -2); },
        [] { Split("a", ",", -2); },
        [] { Space(-1); },
        [] { String(-1, "a"); },
        [] { String(2, ""); },
        [] { AscW(""); },
        [] { ChrW(0xD800); },
        [] { ChrW(0x110000); },
        [] { ChrW(-32769); },
        [] { FormatWhole(1, "#0"); },
    };
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(errorNumberOf(calls[i]), err::InvalidProcedureCall) << "call " << i;
    }
}
