#include <gtest/gtest.h>

#include <filesystem>

#include "core/A_Deklaracje.h"
#include "core/F_Pomocnicze.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

using namespace telm;
using host::Variant;

namespace {

class TextRoutinesTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSharedState(); }
    void TearDown() override { ResetSharedState(); }
};

std::string quoted(const std::string& piece) { return "\"" + piece + "\""; }

}  // namespace

TEST_F(TextRoutinesTest, GetParamValueFindsAKeyOnlyWhereItFirstOccurs) {
    EXPECT_EQ(GetParamValue("OlapProvider", "OLAPPROVIDER=MSOLAP.3;SERVERCALCULATION=1", ";"), "MSOLAP.3");
    EXPECT_EQ(GetParamValue("olapprovider", "OLAPPROVIDER=MSOLAP.3;SERVERCALCULATION=1", ";"), "MSOLAP.3");
    EXPECT_EQ(GetParamValue("ServerCalculation", "OLAPPROVIDER=MSOLAP.3;SERVERCALCULATION=1", ";"), "1");
    EXPECT_EQ(GetParamValue("ServerCalculation", "X=1;SERVERCALCULATION=", ";"), "");
    EXPECT_EQ(GetParamValue("ServerCalculation", "X=1", ";"), "#N/A");
    EXPECT_EQ(GetParamValue("Key", "Key =1", ";"), "#N/A");
    EXPECT_EQ(GetParamValue("Data Source", "Provider=x;Data Source= C:\\a=b ;Y=2", ";"), " C:\\a=b ");
    // The first occurrence decides, even inside a longer key or a value.
    EXPECT_EQ(GetParamValue("Provider", "OlapProvider=x;Provider=y", ";"), "#N/A");
    EXPECT_EQ(GetParamValue("Provider", "X=Provider;Provider=y", ";"), "#N/A");
    // A line feed or a tab starts an item, a carriage return does not; the value runs to the delimiter.
    EXPECT_EQ(GetParamValue("Provider", "X=1\nProvider=y\nZ=2;W=3", ";"), "y\nZ=2");
    EXPECT_EQ(GetParamValue("Provider", "X=1\tProvider=y", ";"), "y");
    EXPECT_EQ(GetParamValue("Provider", "X=1\rProvider=y", ";"), "#N/A");
    // Characters, not bytes; no limit on the text's length.
    EXPECT_EQ(GetParamValue("żółw", "ŻÓŁW=źdźbło;X=1", ";"), "źdźbło");
    EXPECT_EQ(GetParamValue("B", "A=" + std::string(40000, 'x') + ";B=ok", ";"), "ok");
    try {
        GetParamValue("", "A=1", ";");
        ADD_FAILURE() << "an empty key was accepted";
    } catch (const host::RuntimeError& e) {
        EXPECT_EQ(e.number(), host::err::InvalidProcedureCall);
    }
}

TEST_F(TextRoutinesTest, GetTokenCountsFromBothEndsAndGivesADotInsteadOfFailing) {
    EXPECT_EQ(GetToken("a;b;c", 2, ";"), Variant("b"));
    EXPECT_EQ(GetToken("a;b;c", -1, ";"), Variant("c"));
    EXPECT_EQ(GetToken("a;b;c", -3, ";"), Variant("a"));
    EXPECT_EQ(GetToken("a;b;c", 4, ";"), Variant("."));
    EXPECT_EQ(GetToken("a;b;c", -4, ";"), Variant("."));
    EXPECT_EQ(GetToken("a;b;c", 0, ";"), Variant("c;b;a"));
    EXPECT_EQ(GetToken("", 1, ";"), Variant("."));
    EXPECT_EQ(GetToken("", 0, ";"), Variant(""));
    EXPECT_EQ(GetToken("zażółć", 0, ";"), Variant("ćłóżaz"));
    EXPECT_EQ(GetToken("C:\\Dane\\x.xls", -1, "\\"), Variant("x.xls"));
    EXPECT_EQ(GetToken("a;b", 1, Variant::null()), Variant("."));
    // An error value is no delimiter: never split at a text such as "Error 2042".
    EXPECT_EQ(GetToken("aError 2042b", 1, host::CellError::NA), Variant("."));
}

TEST_F(TextRoutinesTest, TextToArrayConstantCutsPiecesOf255Characters) {
    EXPECT_EQ(TextToArrayConstant(""), "{}");
    const std::string full(255, 'a');
    EXPECT_EQ(TextToArrayConstant(full), "{" + quoted(full) + "}");
    EXPECT_EQ(TextToArrayConstant(full + "b"), "{" + quoted(full) + ";" + quoted("b") + "}");
    // Pieces count characters, quotes are doubled, the list stops at 10 000 characters.
    std::string polish;
    for (int i = 0; i < 256; ++i) polish += "ą";
    EXPECT_EQ(TextToArrayConstant(polish), "{" + quoted(host::Left(polish, 255)) + ";" + quoted("ą") + "}");
    EXPECT_EQ(TextToArrayConstant("say \"hi\""), "{\"say \"\"hi\"\"\"}");
    const std::string longest = TextToArrayConstant(std::string(40000, 'x'));
    EXPECT_EQ(longest.size(), 10002u);
    EXPECT_EQ(longest.substr(0, 262), "{" + quoted(std::string(255, 'x')) + ";\"xx");
}

TEST_F(TextRoutinesTest, FolderRoutines) {
    EXPECT_EQ(GetAppPath(), Variant(std::filesystem::canonical("/proc/self/exe").parent_path().string()));

    SharedState().AddInFolder = "/opt/telm";
    EXPECT_EQ(ReplaceFolderPlaceholder("[TELM.NET.Folder]\\Dane\\x.txt"), "/opt/telm\\Dane\\x.txt");
    EXPECT_EQ(ReplaceFolderPlaceholder("a;[telm.net.folder]/b;[TELM.NET.FOLDER]"), "a;/opt/telm/b;/opt/telm");
    EXPECT_EQ(ReplaceFolderPlaceholder("C:\\[TELM]\\x"), "C:\\[TELM]\\x");
    // Found in any letter case, in texts with and without letters outside ASCII.
    EXPECT_TRUE(HoldsFolderPlaceholder("Database=[telm.net.FOLDER]/x.db"));
    EXPECT_TRUE(HoldsFolderPlaceholder("Baza=żółw;[Telm.Net.Folder]\\x"));
    EXPECT_FALSE(HoldsFolderPlaceholder("Database=[TELM.NET.FOLDE]/x.db"));
    EXPECT_FALSE(HoldsFolderPlaceholder("Baza=żółw;[telm.net.folder"));
    EXPECT_FALSE(HoldsFolderPlaceholder(""));
}
